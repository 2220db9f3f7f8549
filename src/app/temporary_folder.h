#pragma once

#include <QString>

namespace rw {

// The folder of the temporary workbook, by the program's one rule for temporary files: "temp" when set and
// not empty, else TMPDIR when set and not empty, else /tmp. `variable` names where it came from ("temp",
// "TMPDIR", or empty for /tmp); `folder` has no trailing separator (except the root itself).
struct TemporaryFolder {
    QString folder;
    QString variable;
};
TemporaryFolder temporaryFolder();

// Why the chart's workbook cannot be made in `folder` ("does not exist", "is not a folder", "cannot be
// written: Permission denied", ...), or an empty text when the folder exists and takes new files.
QString temporaryFolderProblem(const QString& folder);

// The one message that tells the user so, naming the folder, the reason and the variable it came from.
QString temporaryFolderMessage(const TemporaryFolder& folder, const QString& problem);

}  // namespace rw
