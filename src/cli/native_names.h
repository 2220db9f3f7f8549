#pragma once

#include <QString>
#include <string>

// File names on the command line are bytes, and need not be UTF-8. Qt's own decoding turns the bytes it
// cannot read into U+FFFD, so a file would be written under another name. These two keep every byte: what
// is not UTF-8 travels through QString as a lone surrogate (U+DC80 to U+DCFF, one per byte) and comes back
// as the same byte.
namespace rw::cli {

QString argumentFromBytes(const std::string& bytes);
std::string bytesFromArgument(const QString& text);

}  // namespace rw::cli
