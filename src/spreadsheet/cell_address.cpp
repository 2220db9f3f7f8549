#include "spreadsheet/cell_address.h"

#include <algorithm>
#include <cctype>

#include "platform/failure.h"

namespace rw::sheet {

namespace {

std::string trimBlanks(std::string_view s) {
    std::size_t b = s.find_first_not_of(" \t");
    if (b == std::string_view::npos) {
        return {};
    }
    std::size_t e = s.find_last_not_of(" \t");
    return std::string(s.substr(b, e - b + 1));
}

// One corner of an address: letters, digits or both; each may carry a '$'.
struct Corner {
    std::int64_t column = 0;  // 0 when absent
    std::int64_t row = 0;     // 0 when absent
};

bool parseCorner(std::string_view s, Corner& out) {
    std::size_t i = 0;
    if (i < s.size() && s[i] == '$') {
        ++i;
    }
    std::size_t letters = 0;
    std::int64_t col = 0;
    while (i < s.size() && std::isalpha(static_cast<unsigned char>(s[i]))) {
        if (++letters > 3) {
            return false;
        }
        col = col * 26 + (std::toupper(static_cast<unsigned char>(s[i])) - 'A' + 1);
        ++i;
    }
    if (i < s.size() && s[i] == '$') {
        if (letters == 0) {
            return false;
        }
        ++i;
    }
    std::size_t digits = 0;
    std::int64_t row = 0;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) {
        if (++digits > 6) {
            return false;
        }
        row = row * 10 + (s[i] - '0');
        ++i;
    }
    if (i != s.size() || (letters == 0 && digits == 0)) {
        return false;
    }
    if ((letters > 0 && (col < 1 || col > kMaxColumns)) || (digits > 0 && (row < 1 || row > kMaxRows))) {
        return false;
    }
    out.column = letters > 0 ? col : 0;
    out.row = digits > 0 ? row : 0;
    return true;
}

[[noreturn]] void badAddress(std::string_view text) {
    throw Failure("\"" + std::string(text) + "\" is not a valid cell reference");
}

}  // namespace

std::string columnName(std::int32_t column) {
    std::string out;
    while (column > 0) {
        const int rem = (column - 1) % 26;
        out.insert(out.begin(), static_cast<char>('A' + rem));
        column = (column - 1) / 26;
    }
    return out;
}

void checkCell(std::int64_t row, std::int64_t column) {
    if (row < 1 || row > kMaxRows) {
        throw Failure("Row " + std::to_string(row) + " is outside the sheet (1 to 65536)");
    }
    if (column < 1 || column > kMaxColumns) {
        throw Failure("Column " + std::to_string(column) + " is outside the sheet (1 to 256)");
    }
}

CellRange parseAddress(std::string_view input) {
    const std::string text = trimBlanks(input);
    if (text.empty()) {
        badAddress(input);
    }
    const std::size_t colon = text.find(':');
    Corner a, b;
    if (colon == std::string::npos) {
        if (!parseCorner(text, a) || a.row == 0 || a.column == 0) {
            badAddress(input);
        }
        b = a;
    } else {
        if (text.find(':', colon + 1) != std::string::npos ||
            !parseCorner(trimBlanks(std::string_view(text).substr(0, colon)), a) ||
            !parseCorner(trimBlanks(std::string_view(text).substr(colon + 1)), b)) {
            badAddress(input);
        }
        const bool aCell = a.row && a.column, bCell = b.row && b.column;
        const bool aCol = !a.row, bCol = !b.row, aRow = !a.column, bRow = !b.column;
        if (!((aCell && bCell) || (aCol && bCol) || (aRow && bRow))) {
            badAddress(input);
        }
    }
    CellRange r;
    if (a.row == 0) {  // whole columns
        r = CellRange::wholeColumns(static_cast<std::int32_t>(std::min(a.column, b.column)),
                                    static_cast<std::int32_t>(std::max(a.column, b.column)));
    } else if (a.column == 0) {  // whole rows
        r = CellRange::wholeRows(static_cast<std::int32_t>(std::min(a.row, b.row)),
                                 static_cast<std::int32_t>(std::max(a.row, b.row)));
    } else {
        r.firstRow = static_cast<std::int32_t>(std::min(a.row, b.row));
        r.lastRow = static_cast<std::int32_t>(std::max(a.row, b.row));
        r.firstColumn = static_cast<std::int32_t>(std::min(a.column, b.column));
        r.lastColumn = static_cast<std::int32_t>(std::max(a.column, b.column));
    }
    return r;
}

std::string formatAddress(const CellRange& r) {
    if (r.coversAllRows() && !r.coversAllColumns()) {
        return columnName(r.firstColumn) + ":" + columnName(r.lastColumn);
    }
    if (r.coversAllColumns()) {
        return std::to_string(r.firstRow) + ":" + std::to_string(r.lastRow);
    }
    std::string s = columnName(r.firstColumn) + std::to_string(r.firstRow);
    if (!r.isSingleCell()) {
        s += ":" + columnName(r.lastColumn) + std::to_string(r.lastRow);
    }
    return s;
}

}  // namespace rw::sheet
