#pragma once

#include <QString>

// Questions about files by their names, and the one plain delete, for every part of the program. (Main's
// FileExists answers the wider question "does the platform know this path at all", folders included.)
namespace rw::files {

// A regular file at the path (what a search for normal files finds); an empty name is none.
bool isNormalFile(const QString& path);

// Deletes a file: a missing one (or no file at all, such as a folder) fails with "File not found", one that
// cannot be removed with "Permission denied". Throws rw::Failure.
void deleteFile(const QString& path);

// Two different questions, so two names:
// sameExistingFile: both names lead to the same file that exists now, however each is spelt (relative parts,
// links); used before copying one over the other, where only an existing file matters.
bool sameExistingFile(const QString& a, const QString& b);
// sameTargetName: the two names will be the same file once written. Existing files are compared by where they
// really are; otherwise the cleaned absolute names are compared, since nothing is there yet to ask.
bool sameTargetName(const QString& a, const QString& b);

}  // namespace rw::files
