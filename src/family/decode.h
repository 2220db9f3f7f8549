#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "family/family.h"

// Turning the bytes of a family file into UTF-8 text, whatever character set it was written in.
namespace rw::family::detail {

struct Decoded {
    std::string text;        // UTF-8; empty when `bytes` was already UTF-8 and is used as it is
    bool usesInput = false;  // true: the input bytes (minus a byte-order mark) are the text
    std::size_t skip = 0;    // bytes of a byte-order mark to skip when usesInput
    std::string encoding;    // "UTF-8", "UTF-16LE", "ANSEL", ...
    std::string version;     // HEAD.GEDC.VERS, empty when absent
};

// Picks the character set (byte-order mark, then the first bytes, then the header's CHAR, then the
// version's default) and decodes. Anything doubtful becomes a warning in `warnings`.
Decoded decode(std::string_view bytes, std::vector<Warning>& warnings);

// Appends the UTF-8 form of a code point.
void appendUtf8(std::string& out, char32_t c);

// NFC (canonical composition) of UTF-8 text; plain ASCII is returned untouched.
std::string toNfc(std::string_view text);

}  // namespace rw::family::detail
