#pragma once

#include <QString>

namespace rw {

// Why the chart's workbook cannot be made in `folder` ("does not exist", "is not a folder", "cannot be
// written: Permission denied", ...), or an empty text when the folder exists and takes new files.
QString temporaryFolderProblem(const QString& folder);

// The one message that tells the user so, naming the folder and the reason.
QString temporaryFolderMessage(const QString& folder, const QString& problem);

}  // namespace rw
