#pragma once

#include <QSettings>
#include <QString>
#include <map>
#include <memory>

#include "platform/seams.h"

namespace rw {

// The per-user settings file: organisation "Tolvane", application "Rootweave"
// (on Linux ~/.config/Tolvane/Rootweave.conf).
QString defaultSettingsFile();

// Renames `from` to `to` unless `to` is taken (by anything, a dangling link included), in one step: 0, or
// the error (EEXIST for a taken name). Where the file system cannot rename that way, a second hard link and
// the removal of the first do the same. A corrupt settings file is moved aside with it.
int moveWithoutReplacing(const QString& from, const QString& to);

// The largest settings file that is read. Two text boxes of at most 32767 characters each stay far below it;
// a larger file is not one this program wrote.
constexpr qint64 kMaxSettingsFileSize = 1 << 20;

// The settings store over QSettings, in the group "Rootweave". It never keeps the program from starting and
// never fails a write:
// - the file is looked at before Qt opens it: what is no regular file (a folder, a named pipe, a device) is
//   never opened, and a file that cannot be read is left as it is; the store then keeps its values in memory
//   for this run;
// - a file that cannot be parsed (or is far too large) is renamed aside with the suffix ".bad" and a fresh
//   one is started with what could be read from it;
// - a write that does not reach the disk keeps the value in memory and is tried again with the next write.
// Each of these gives one warning a run, through takeWarning().
class QtSettingsStore : public SettingsStore {
  public:
    explicit QtSettingsStore(QString fileName = defaultSettingsFile());
    ~QtSettingsStore() override;

    QString read(const QString& key, const QString& fallback) override;
    void write(const QString& key, const QString& value) override;
    QString takeWarning() override;

    const QString& fileName() const { return fileName_; }
    // False once the file has been found unusable: the values then live in memory only.
    bool usesFile() const { return !memoryOnly_; }

  private:
    // Looks at the file and opens QSettings on it when it may be used; otherwise notes why not.
    void open();
    // Writes every value to a freshly opened file; false (with the reason noted) when that fails.
    bool flushAll();
    void warn(const QString& text);

    QString fileName_;
    std::map<QString, QString> values_;
    std::unique_ptr<QSettings> settings_;
    bool memoryOnly_ = false;
    bool writeFailed_ = false;
    bool warned_ = false;
    QString warning_;
};

}  // namespace rw
