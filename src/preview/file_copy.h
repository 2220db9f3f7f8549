#pragma once

#include <QString>

namespace rw::preview {

// Copies `source` to `target` byte for byte, replacing `target` in one step (safefile::replace): a failed
// copy leaves nothing under the target name and an existing target untouched, and a target that is no
// plain file (a folder, a FIFO, a device) is refused. Throws rw::Failure with a description on failure.
void copyFileReplacing(const QString& source, const QString& target);

}  // namespace rw::preview
