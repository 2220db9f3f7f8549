#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/failure.h"

// Conversions between the model's UTF-8 text and the UTF-16 the file stores.
namespace rw::sheet::text {

// Strict UTF-8 -> UTF-16; fails on malformed input (overlong forms, surrogates, truncation).
std::u16string toUtf16(std::string_view utf8);
// The number of UTF-16 code units of valid UTF-8 (validating it on the way).
std::size_t utf16Length(std::string_view utf8);
// UTF-16 -> UTF-8; an unpaired surrogate becomes U+FFFD.
std::string toUtf8(std::u16string_view utf16);
// True when every code unit fits in one byte (the file's compressed 8-bit form, ISO-8859-1).
bool isLatin1(std::u16string_view utf16);

}  // namespace rw::sheet::text
