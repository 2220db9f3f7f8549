#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "family/family.h"

class QProgressDialog;
class QThread;
class QTimer;
class QWidget;

namespace rw {

// Reads a family file off the window's thread. When the read takes longer than half a second a progress
// dialog with Cancel shows over the window; the window itself stays usable meanwhile.
class FamilyOpen : public QObject {
    Q_OBJECT
  public:
    struct Result {
        std::shared_ptr<const family::FamilyFile> file;  // set when the file was read
        QString error;                                   // a complete sentence when it could not be
        bool cancelled = false;
    };

    explicit FamilyOpen(QWidget& window);
    ~FamilyOpen() override;  // stops a read under way and waits for it

    // Starts reading `path`; `done` runs on the window's thread once the read has ended. One read at a time:
    // false (and nothing started) while one is under way.
    bool start(const QString& path, std::function<void(Result)> done);
    bool busy() const { return thread_ != nullptr; }
    void cancel() { cancel_ = true; }

    // How long a read runs before its progress shows, in milliseconds.
    static constexpr int kProgressDelayMs = 500;

  private:
    void tick();
    void finished();

    QWidget& window_;
    QThread* thread_ = nullptr;
    QTimer* timer_ = nullptr;
    QPointer<QProgressDialog> progress_;
    std::function<void(Result)> done_;
    std::shared_ptr<Result> result_;
    std::atomic<std::uint64_t> bytesDone_{0};
    std::atomic<std::uint64_t> bytesTotal_{0};
    std::atomic<bool> cancel_{false};
    qint64 startedMs_ = 0;
};

// The message that shows warnings met while filling a chart (a loop in the family file), at most ten of
// them with their line numbers.
QString familyWarningsMessage(const std::vector<family::Warning>& warnings);

// The message for a file the program does not read: a GEDCOM 7 archive (.gdz). Empty for any other file.
QString refusedFamilyFile(const QString& path);

}  // namespace rw
