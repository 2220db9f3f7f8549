#pragma once

#include <QString>
#include <optional>
#include <string>

// The checks rootweave-chart makes on every file it is to write before it replaces any. They work on the
// bytes of the names, as the system sees them, so a name that is not UTF-8 is checked as the very file that
// will be written. A link is checked at the file it finally leads to, which is the file that gets replaced.
namespace rw::cli {

// Why the file `name` (its bytes) cannot be replaced, as the words that follow "cannot write NAME: ", or
// nothing when it looks writable. The write itself still has the last word (a full disk, say).
std::optional<QString> outputProblem(const std::string& name);

// True when the two names will be the same file once written: an existing file however each name is spelt
// (relative parts, links, hard links), else the same absolute name after links in the folders are followed.
bool sameTarget(const std::string& a, const std::string& b);

}  // namespace rw::cli
