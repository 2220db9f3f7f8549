#include "app/family_open.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QProgressDialog>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <exception>
#include <filesystem>
#include <utility>

#include "platform/failure.h"

namespace rw {

namespace {

constexpr int kTickMs = 50;
constexpr int kSteps = 1000;

}  // namespace

QString familyWarningsMessage(const std::vector<family::Warning>& warnings) {
    constexpr std::size_t kShown = 10;
    QString text = QStringLiteral("The family file does not add up, so the chart stops these lines:");
    for (std::size_t i = 0; i < warnings.size() && i < kShown; ++i) {
        text += QStringLiteral("\r\n");
        if (warnings[i].line != 0) {
            text += QStringLiteral("line %1: ").arg(warnings[i].line);
        }
        text += QString::fromStdString(warnings[i].message);
    }
    if (warnings.size() > kShown) {
        text += QStringLiteral("\r\n... and %1 more.").arg(warnings.size() - kShown);
    }
    return text;
}

QString refusedFamilyFile(const QString& path) {
    if (QFileInfo(path).suffix().compare(QStringLiteral("gdz"), Qt::CaseInsensitive) == 0) {
        return QStringLiteral(
                   "\"%1\" is a GEDCOM 7 archive (.gdz), which this program cannot open. Unpack it "
                   "and open the .ged file it holds.")
            .arg(QFileInfo(path).fileName());
    }
    return {};
}

FamilyOpen::FamilyOpen(QWidget& window) : QObject(&window), window_(window) {}

FamilyOpen::~FamilyOpen() {
    if (thread_ != nullptr) {
        cancel_ = true;
        thread_->wait();
        delete thread_;
    }
    delete progress_;
}

bool FamilyOpen::start(const QString& path, std::function<void(Result)> done) {
    if (thread_ != nullptr) {
        return false;
    }
    done_ = std::move(done);
    cancel_ = false;
    bytesDone_ = 0;
    bytesTotal_ = 0;
    result_ = std::make_shared<Result>();
    const std::filesystem::path file(QFile::encodeName(path).toStdString());
    thread_ = QThread::create([this, file, result = result_] {
        try {
            auto read = family::readFamilyFile(file, [this](std::uint64_t doneBytes, std::uint64_t total) {
                bytesDone_ = doneBytes;
                bytesTotal_ = total;
                return !cancel_;
            });
            result->file = std::make_shared<const family::FamilyFile>(std::move(read));
        } catch (const family::Cancelled&) {
            result->cancelled = true;
        } catch (const Failure& e) {
            result->error = QString::fromStdString(e.description());
        } catch (const std::bad_alloc&) {
            result->error = QStringLiteral("There is not enough memory to read this family file.");
        } catch (const std::exception& e) {
            result->error = QString::fromStdString(e.what());
        }
    });
    connect(thread_, &QThread::finished, this, &FamilyOpen::finished, Qt::QueuedConnection);
    startedMs_ = QDateTime::currentMSecsSinceEpoch();
    if (timer_ == nullptr) {
        timer_ = new QTimer(this);
        timer_->setInterval(kTickMs);
        connect(timer_, &QTimer::timeout, this, &FamilyOpen::tick);
    }
    timer_->start();
    thread_->start();
    return true;
}

void FamilyOpen::tick() {
    if (thread_ == nullptr) {
        return;
    }
    if (!progress_) {
        if (QDateTime::currentMSecsSinceEpoch() - startedMs_ < kProgressDelayMs) {
            return;
        }
        progress_ = new QProgressDialog(QStringLiteral("Reading the family file…"), QStringLiteral("Cancel"),
                                        0, kSteps, &window_);
        progress_->setObjectName(QStringLiteral("FamilyProgress"));
        progress_->setWindowTitle(window_.windowTitle());
        progress_->setMinimumDuration(0);
        progress_->setAutoClose(false);
        progress_->setAutoReset(false);
        connect(progress_, &QProgressDialog::canceled, this, [this] { cancel_ = true; });
        progress_->show();
    }
    const std::uint64_t total = bytesTotal_;
    const std::uint64_t doneBytes = bytesDone_;
    progress_->setValue(total == 0 ? 0 : static_cast<int>(doneBytes * kSteps / total));
}

void FamilyOpen::finished() {
    timer_->stop();
    if (progress_) {
        progress_->hide();
        progress_->deleteLater();
    }
    thread_->deleteLater();
    thread_ = nullptr;
    Result result = std::move(*result_);
    result_.reset();
    auto done = std::move(done_);
    done_ = nullptr;
    if (done) {
        done(std::move(result));
    }
}

}  // namespace rw
