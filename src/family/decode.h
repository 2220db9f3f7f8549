#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include "family/family.h"

// Turning the bytes of a family file into UTF-8 text, whatever character set it was written in.
namespace rw::family::detail {

// ASCII upper case; and the text without blanks at either end (nor a carriage return at its end): what the
// header scan, the record reader and the dates share.
std::string upperAscii(std::string_view s);
std::string_view trimBlanks(std::string_view s);

struct Decoded {
    std::string text;        // UTF-8; empty when `bytes` was already UTF-8 and is used as it is
    bool usesInput = false;  // true: the input bytes (minus a byte-order mark) are the text
    std::size_t skip = 0;    // bytes of a byte-order mark to skip when usesInput
    std::string encoding;    // "UTF-8", "UTF-16LE", "ANSEL", ...
    std::string version;     // HEAD.GEDC.VERS, empty when absent
};

// How many bytes at the start of a file decide its character set (the header lies within them).
inline constexpr std::size_t kHeadBytes = 1 << 16;

enum class Charset { Utf8, Utf16LE, Utf16BE, Ansel, Cp1252, Cp437, MacRoman };

struct Plan {
    Charset charset = Charset::Utf8;
    std::size_t skip = 0;  // bytes of a byte-order mark
    std::string encoding;  // the name FamilyFile::encoding gets
    std::string version;   // HEAD.GEDC.VERS
};

// The character set of a file from its first kHeadBytes bytes (or all of it, when shorter).
Plan plan(std::string_view head, std::vector<Warning>& warnings);

// Appends the UTF-8 form of `in` to `out`. False (and nothing appended) when UTF-8 is not valid UTF-8. Each
// piece must end where a line ends (UTF-16: on a whole unit), so no character is cut in two.
bool decodeInto(Charset charset, std::string_view in, std::string& out);

// Invalid UTF-8: read as Windows-1252 instead, with a warning.
void fallBackToWindows1252(Plan& plan, std::vector<Warning>& warnings);

// Reads an open file piece by piece (its size as seen when opened): only the people and a piece of the file
// are in memory at once. Throws ReadError like readFamilyBytes.
FamilyFile readFamilyStream(std::FILE* file, std::uint64_t size, const Progress& progress);

// Picks the character set (byte-order mark, then the first bytes, then the header's CHAR, then the
// version's default) and decodes. Anything doubtful becomes a warning in `warnings`.
Decoded decode(std::string_view bytes, std::vector<Warning>& warnings);

// Appends the UTF-8 form of a code point.
void appendUtf8(std::string& out, char32_t c);

// NFC (canonical composition) of UTF-8 text; plain ASCII is returned untouched.
std::string toNfc(std::string_view text);

}  // namespace rw::family::detail
