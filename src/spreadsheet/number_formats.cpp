#include "spreadsheet/number_formats.h"

#include <array>
#include <utility>

namespace rw::sheet {

namespace {

constexpr std::array<std::pair<std::uint16_t, std::string_view>, 27> kBuiltin{{
    {1, "0"},
    {2, "0.00"},
    {3, "#,##0"},
    {4, "#,##0.00"},
    {9, "0%"},
    {10, "0.00%"},
    {11, "0.00E+00"},
    {12, "# ?/?"},
    {13, "# ?\?/??"},
    {14, "m/d/yy"},
    {15, "d-mmm-yy"},
    {16, "d-mmm"},
    {17, "mmm-yy"},
    {18, "h:mm AM/PM"},
    {19, "h:mm:ss AM/PM"},
    {20, "h:mm"},
    {21, "h:mm:ss"},
    {22, "m/d/yy h:mm"},
    {37, "#,##0 ;(#,##0)"},
    {38, "#,##0 ;[Red](#,##0)"},
    {39, "#,##0.00;(#,##0.00)"},
    {40, "#,##0.00;[Red](#,##0.00)"},
    {45, "mm:ss"},
    {46, "[h]:mm:ss"},
    {47, "mmss.0"},
    {48, "##0.0E+0"},
    {49, "@"},
}};

}  // namespace

std::string_view builtinNumberFormat(std::uint16_t index) {
    for (const auto& [i, code] : kBuiltin) {
        if (i == index) {
            return code;
        }
    }
    return {};
}

std::optional<std::uint16_t> builtinNumberFormatIndex(std::string_view code) {
    for (const auto& [i, c] : kBuiltin) {
        if (c == code) {
            return i;
        }
    }
    return std::nullopt;
}

}  // namespace rw::sheet
