#include "app/temporary_folder.h"

#include <QFile>

#include "platform/temp_folder.h"

namespace rw {

TemporaryFolder temporaryFolder() {
    const tempfolder::Choice choice = tempfolder::chosen();
    return {QFile::decodeName(QByteArray::fromStdString(choice.folder)),
            QString::fromStdString(choice.variable)};
}

QString temporaryFolderProblem(const QString& folder) {
    return QString::fromLocal8Bit(tempfolder::problem(QFile::encodeName(folder).toStdString()));
}

QString temporaryFolderMessage(const TemporaryFolder& folder, const QString& problem) {
    QString advice;
    if (folder.variable == QLatin1String("temp")) {
        advice = QStringLiteral(
            "Set the environment variable temp to a folder you can write to, or leave it "
            "unset to use the system's temporary folder.");
    } else if (folder.variable.isEmpty()) {
        advice = QStringLiteral(
            "It is the system's temporary folder. Set the environment variable temp or "
            "TMPDIR to a folder you can write to.");
    } else {
        advice = QStringLiteral(
                     "It comes from the environment variable %1, as temp is unset or empty. Set %1 or "
                     "temp to a folder you can write to.")
                     .arg(folder.variable);
    }
    return QStringLiteral("Cannot make the chart: the temporary folder \"%1\" %2.\r\n")
               .arg(folder.folder, problem) +
           advice;
}

}  // namespace rw
