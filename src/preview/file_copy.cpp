#include "preview/file_copy.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/failure.h"

namespace rw::preview {

bool sameFile(const QString& a, const QString& b) {
    if (a.isEmpty() || b.isEmpty()) {
        return false;
    }
    std::error_code error;
    const bool same = std::filesystem::equivalent(std::filesystem::path(a.toStdString()),
                                                  std::filesystem::path(b.toStdString()), error);
    return !error && same;
}

void copyFileReplacing(const QString& source, const QString& target) {
    const QFileInfo info(source);
    if (!info.exists()) {
        throw Failure("File not found");
    }
    QFile in(source);
    if (!info.isFile() || !in.open(QIODevice::ReadOnly)) {
        throw Failure("Path/File access error: " + source.toStdString() + " cannot be read");
    }
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly)) {
        throw Failure("Path/File access error: " + target.toStdString() + " cannot be written (" +
                      out.errorString().toStdString() + ")");
    }
    std::vector<char> buffer(1 << 16);
    while (true) {
        const qint64 got = in.read(buffer.data(), static_cast<qint64>(buffer.size()));
        if (got < 0) {
            out.cancelWriting();
            throw Failure("Path/File access error: " + source.toStdString() + " cannot be read (" +
                          in.errorString().toStdString() + ")");
        }
        if (got == 0) {
            break;
        }
        if (out.write(buffer.data(), got) != got) {
            const std::string why = out.errorString().toStdString();
            out.cancelWriting();
            throw Failure("Path/File access error: writing " + target.toStdString() + " failed (" + why +
                          ")");
        }
    }
    if (!out.commit()) {
        throw Failure("Path/File access error: writing " + target.toStdString() + " failed (" +
                      out.errorString().toStdString() + ")");
    }
}

}  // namespace rw::preview
