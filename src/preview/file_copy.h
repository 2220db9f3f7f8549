#pragma once

#include <QString>

namespace rw::preview {

// True when both names lead to the same existing file, however each is spelt (relative parts, links).
bool sameFile(const QString& a, const QString& b);

// Copies `source` to `target` byte for byte, replacing `target`. The bytes go to a temporary file in the
// target's folder that is renamed into place only once complete, so a failed copy leaves nothing under the
// target name (and an existing target untouched). Throws rw::Failure with a description on failure.
void copyFileReplacing(const QString& source, const QString& target);

}  // namespace rw::preview
