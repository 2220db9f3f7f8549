#include "preview/file_copy.h"

#include <QFile>
#include <QFileInfo>
#include <filesystem>
#include <string_view>
#include <system_error>
#include <vector>

#include "platform/failure.h"
#include "platform/safe_file.h"

namespace rw::preview {

void copyFileReplacing(const QString& source, const QString& target) {
    const QFileInfo info(source);
    if (!info.exists()) {
        throw Failure("File not found");
    }
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
        throw Failure("Path/File access error: " + target.toStdString() + " cannot be written (" +
                      e.reason() + ")");
    }
}

}  // namespace rw::preview
