#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// The number formats every Excel 97-2003 workbook knows without a FORMAT record, by the index an XF
// record gives. Formats Excel always writes out itself (the currency and accounting ones) are not here.
namespace rw::sheet {

// The code of a built-in format ("0.00" for 2, "m/d/yy" for 14); empty for General (0) and for indexes
// that are not built in.
std::string_view builtinNumberFormat(std::uint16_t index);

// The index of a built-in format with exactly this code, if there is one.
std::optional<std::uint16_t> builtinNumberFormatIndex(std::string_view code);

// The first index a workbook's own formats may use.
inline constexpr std::uint16_t kFirstCustomNumberFormat = 164;

}  // namespace rw::sheet
