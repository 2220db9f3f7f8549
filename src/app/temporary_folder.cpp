#include "app/temporary_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <cerrno>
#include <cstring>

namespace rw {

namespace {

QString reasonOf(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

}  // namespace

QString temporaryFolderProblem(const QString& folder) {
    const QByteArray path = QFile::encodeName(folder);
    struct stat st {};
    if (::stat(path.constData(), &st) != 0) {
        const int error = errno;
        return error == ENOENT ? QStringLiteral("does not exist")
                               : QStringLiteral("cannot be reached: ") + reasonOf(error);
    }
    if (!S_ISDIR(st.st_mode)) {
        return QStringLiteral("is not a folder");
    }
    // Making a file needs both: writing the folder and passing through it.
    if (::faccessat(AT_FDCWD, path.constData(), W_OK | X_OK, AT_EACCESS) != 0) {
        return QStringLiteral("cannot be written: ") + reasonOf(errno);
    }
    return {};
}

QString temporaryFolderMessage(const QString& folder, const QString& problem) {
    return QStringLiteral(
               "Cannot make the chart: the temporary folder \"%1\" %2.\r\n"
               "Set the environment variable temp to a folder you can write to, or leave it unset "
               "to use the system's temporary folder.")
        .arg(folder, problem);
}

}  // namespace rw
