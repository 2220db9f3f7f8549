#pragma once

#include <QString>
#include <string>

#include "platform/failure.h"

namespace rw::preview {

// Copies `source` to `target` byte for byte, replacing `target` in one step (safefile::replace): a failed
// copy leaves nothing under the target name and an existing target untouched, and a target that is no
// plain file (a folder, a FIFO, a device) is refused. Throws rw::Failure with a description on failure.
void copyFileReplacing(const QString& source, const QString& target);

// The one description of a saved file that cannot be written, whichever its format:
// "Path/File access error: <target> cannot be written (<reason>)".
Failure cannotWrite(const QString& target, const std::string& reason);

// Throws "File not found: <source>" when the workbook to save is gone.
void requireSource(const QString& source);

// Throws cannotWrite when `target` exists and the user may not write it (a read-only file, someone else's
// file): saving never replaces a file the user could not change in place.
void requireWritableTarget(const QString& target);

}  // namespace rw::preview
