#include "preview/file_copy.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/failure.h"
#include "platform/safe_file.h"

namespace rw::preview {

Failure cannotWrite(const QString& target, const std::string& reason) {
    return Failure("Path/File access error: " + target.toStdString() + " cannot be written (" + reason + ")");
}

void requireSource(const QString& source) {
    if (!QFileInfo::exists(source)) {
        throw Failure("File not found: " + source.toStdString());
    }
}

void requireWritableTarget(const QString& target) {
    // Asked as the user the program runs as (its effective ids), like every other permission it meets.
    const QByteArray name = QFile::encodeName(target);
    struct stat st {};
    if (::stat(name.constData(), &st) == 0 &&
        ::faccessat(AT_FDCWD, name.constData(), W_OK, AT_EACCESS) != 0) {
        throw cannotWrite(target, "the file is read-only");
    }
}

void copyFileReplacing(const QString& source, const QString& target) {
    requireSource(source);
    const QFileInfo info(source);
    QFile in(source);
    // Only a plain file is opened: opening a FIFO would wait for a writer that may never come.
    if (!info.isFile() || !in.open(QIODevice::ReadOnly)) {
        throw Failure("Path/File access error: " + source.toStdString() + " cannot be read");
    }
    try {
        safefile::replace(QFile::encodeName(target).toStdString(), [&](safefile::Output& out) {
            std::vector<char> buffer(1 << 16);
            while (true) {
                const qint64 got = in.read(buffer.data(), static_cast<qint64>(buffer.size()));
                if (got < 0) {
                    throw Failure("Path/File access error: " + source.toStdString() + " cannot be read (" +
                                  in.errorString().toStdString() + ")");
                }
                if (got == 0) {
                    break;
                }
                out.write(std::string_view(buffer.data(), static_cast<std::size_t>(got)));
            }
        });
    } catch (const safefile::Error& e) {
        throw cannotWrite(target, e.reason());
    }
}

}  // namespace rw::preview
