#include "platform/settings_store.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QStringList>
#include <cerrno>
#include <cstring>

namespace rw {

namespace {

const QString kGroup = QStringLiteral("Rootweave");
// How many names "<file>.bad", "<file>.1.bad" ... are tried before a corrupt file is left where it is.
constexpr int kAsideNames = 100;

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

QString reasonOf(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

QString kindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return QStringLiteral("a folder");
    }
    if (S_ISFIFO(mode)) {
        return QStringLiteral("a named pipe");
    }
    if (S_ISSOCK(mode)) {
        return QStringLiteral("a socket");
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return QStringLiteral("a device");
    }
    return QStringLiteral("no regular file");
}

// The rest of a warning when the file is not used at all, and when what it held could partly be read.
const QString kDefaultsOnly = QStringLiteral(
    "Rootweave starts with its default inputs and keeps what you type until it ends, but cannot remember it "
    "for the next start.");
const QString kMemoryOnly = QStringLiteral(
    "Rootweave goes on with the inputs it could read or its defaults, and keeps what you type until it ends, "
    "but cannot remember it for the next start.");

// Why a file cannot be written: the file itself, or the nearest folder above it that exists.
QString whyNotWritable(const QString& path) {
    struct stat st {};
    if (::stat(native(path).constData(), &st) == 0 &&
        ::faccessat(AT_FDCWD, native(path).constData(), W_OK, AT_EACCESS) != 0) {
        return reasonOf(errno);
    }
    QString folder = QFileInfo(path).absolutePath();
    while (::stat(native(folder).constData(), &st) != 0) {
        const int error = errno;
        const QString up = QFileInfo(folder).absolutePath();
        if (error != ENOENT || up == folder) {
            return reasonOf(error);
        }
        folder = up;
    }
    if (!S_ISDIR(st.st_mode)) {
        return QStringLiteral("\"%1\" is no folder").arg(folder);
    }
    if (::faccessat(AT_FDCWD, native(folder).constData(), W_OK | X_OK, AT_EACCESS) != 0) {
        return QStringLiteral("%1 (folder \"%2\")").arg(reasonOf(errno), folder);
    }
    return QStringLiteral("the file could not be written (the disk may be full)");
}

// Reads at most one byte more than the largest settings file; 0, or the error. A file that turned into
// something else meanwhile is not waited for.
int readSmallFile(const QString& path, QByteArray& bytes) {
    const int fd = ::open(native(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return errno;
    }
    struct stat st {};
    int error = 0;
    if (::fstat(fd, &st) != 0) {
        error = errno;
    } else if (!S_ISREG(st.st_mode)) {
        error = EINVAL;
    }
    bytes.resize(kMaxSettingsFileSize + 1);
    qsizetype got = 0;
    while (error == 0 && got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, static_cast<size_t>(bytes.size() - got));
        if (n < 0 && errno != EINTR) {
            error = errno;
        } else if (n == 0) {
            break;
        } else if (n > 0) {
            got += n;
        }
    }
    ::close(fd);
    bytes.resize(got);
    return error;
}

// What QSettings writes is UTF-8 text with control characters escaped; anything else was never ours.
bool looksLikeText(const QByteArray& bytes) {
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 && u != '\t' && u != '\n' && u != '\r') {
            return false;
        }
    }
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    return !decoder.hasError();
}

}  // namespace

int moveWithoutReplacing(const QString& from, const QString& to) {
    if (::renameat2(AT_FDCWD, native(from).constData(), AT_FDCWD, native(to).constData(), RENAME_NOREPLACE) ==
        0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) {
        return errno;
    }
    if (::link(native(from).constData(), native(to).constData()) != 0) {
        return errno;
    }
    return ::unlink(native(from).constData()) == 0 ? 0 : errno;
}

QString defaultSettingsFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Tolvane/Rootweave.conf");
}

QtSettingsStore::QtSettingsStore(QString fileName) : fileName_(std::move(fileName)) {
    open();
}

QtSettingsStore::~QtSettingsStore() = default;

void QtSettingsStore::open() {
    struct stat st {};
    if (::stat(native(fileName_).constData(), &st) != 0) {
        const int error = errno;
        if (error != ENOENT) {
            memoryOnly_ = true;
            warn(QStringLiteral("Cannot read the settings file \"%1\": %2.\r\n")
                     .arg(fileName_, reasonOf(error)) +
                 kDefaultsOnly);
            return;
        }
        // A first start: the file is made by the first write.
        settings_ = std::make_unique<QSettings>(fileName_, QSettings::IniFormat);
        settings_->beginGroup(kGroup);
        return;
    }
    if (!S_ISREG(st.st_mode)) {
        // Never opened: a named pipe would wait for a writer forever, a device could be anything.
        memoryOnly_ = true;
        warn(QStringLiteral("The settings file \"%1\" is %2, not a file, so Rootweave leaves it alone.\r\n")
                 .arg(fileName_, kindOf(st.st_mode)) +
             kDefaultsOnly);
        return;
    }
    QByteArray bytes;
    const int readError = readSmallFile(fileName_, bytes);
    if (readError != 0) {
        memoryOnly_ = true;
        warn(QStringLiteral("Cannot read the settings file \"%1\": %2.\r\n")
                 .arg(fileName_, reasonOf(readError)) +
             kDefaultsOnly);
        return;
    }

    QString problem;
    if (bytes.size() > kMaxSettingsFileSize) {
        problem = QStringLiteral("it is larger than 1 MB");
    } else if (!looksLikeText(bytes)) {
        problem = QStringLiteral("it is not a valid settings file");
    } else {
        auto parsed = std::make_unique<QSettings>(fileName_, QSettings::IniFormat);
        parsed->beginGroup(kGroup);
        if (parsed->status() != QSettings::AccessError) {
            for (const QString& key : parsed->childKeys()) {
                values_[key] = parsed->value(key).toString();
            }
        }
        if (parsed->status() == QSettings::NoError) {
            settings_ = std::move(parsed);
            return;
        }
        problem = parsed->status() == QSettings::FormatError
                      ? QStringLiteral("it is not a valid settings file")
                      : QStringLiteral("it could not be read");
        // Nothing was set on it, so letting it go writes nothing back.
    }

    // Kept aside under a name of its own, never overwritten: the move itself refuses a taken name, so a
    // second copy of the program starting at the same moment cannot put a file over an earlier ".bad".
    QString aside;
    int error = EEXIST;
    for (int n = 0; n < kAsideNames && error == EEXIST; ++n) {
        aside =
            n == 0 ? fileName_ + QStringLiteral(".bad") : QStringLiteral("%1.%2.bad").arg(fileName_).arg(n);
        error = moveWithoutReplacing(fileName_, aside);
    }
    if (error != 0) {
        memoryOnly_ = true;
        warn(QStringLiteral(
                 "The settings file \"%1\" cannot be used (%2), and it could not be moved aside: %3.\r\n"
                 "It is left as it is. ")
                 .arg(fileName_, problem, reasonOf(error)) +
             kMemoryOnly);
        return;
    }
    warn(
        QStringLiteral("The settings file \"%1\" cannot be used (%2). It was moved aside to \"%3\".\r\n"
                       "Rootweave goes on with the inputs it could read or its defaults, in a fresh settings "
                       "file.")
            .arg(fileName_, problem, aside));
    flushAll();
}

bool QtSettingsStore::flushAll() {
    // A fresh QSettings: its status tells about this attempt alone.
    struct stat st {};
    if (::stat(native(fileName_).constData(), &st) == 0 && !S_ISREG(st.st_mode)) {
        memoryOnly_ = true;  // something else took the file's place meanwhile; leave it alone
        return false;
    }
    settings_ = std::make_unique<QSettings>(fileName_, QSettings::IniFormat);
    settings_->beginGroup(kGroup);
    for (const auto& [key, value] : values_) {
        settings_->setValue(key, value);
    }
    settings_->sync();
    writeFailed_ = settings_->status() != QSettings::NoError;
    return !writeFailed_;
}

QString QtSettingsStore::read(const QString& key, const QString& fallback) {
    const auto it = values_.find(key);
    return it == values_.end() ? fallback : it->second;
}

void QtSettingsStore::write(const QString& key, const QString& value) {
    values_[key] = value;
    if (memoryOnly_) {
        return;
    }
    if (writeFailed_) {
        flushAll();  // everything this run kept, once the file takes writes again
        return;
    }
    settings_->setValue(key, value);
    settings_->sync();
    if (settings_->status() != QSettings::NoError) {
        writeFailed_ = true;
        warn(QStringLiteral("Cannot save the settings to \"%1\": %2.\r\n")
                 .arg(fileName_, whyNotWritable(fileName_)) +
             QStringLiteral(
                 "Rootweave keeps what you type until it ends, but it may not be remembered for the "
                 "next start."));
    }
}

void QtSettingsStore::warn(const QString& text) {
    if (!warned_) {
        warned_ = true;
        warning_ = text;
    }
}

QString QtSettingsStore::takeWarning() {
    return std::exchange(warning_, QString());
}

}  // namespace rw
