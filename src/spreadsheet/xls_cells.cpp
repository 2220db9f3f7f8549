#include "spreadsheet/xls_cells.h"

#include <cmath>
#include <cstring>

#include "spreadsheet/xls_book_reader.h"
#include "spreadsheet/xls_shared_strings.h"

namespace rw::sheet::xls {

namespace {

void checkedBoolErr(ValueKind kind, std::uint8_t value) {
    if (kind == ValueKind::Boolean ? value > 1 : errorText(value) == nullptr) {
        damaged("a cell holds an unknown boolean or error value");
    }
}

// An RK number; like a NUMBER, it must be finite (the top bits of a double can spell infinity).
double rkValue(std::uint32_t rk) {
    double v = 0;
    if (rk & 0x02) {
        v = static_cast<double>(static_cast<std::int32_t>(rk) >> 2);
    } else {
        const std::uint64_t bits = std::uint64_t{rk & 0xFFFFFFFC} << 32;
        std::memcpy(&v, &bits, sizeof v);
    }
    v = (rk & 0x01) ? v / 100 : v;
    if (!std::isfinite(v)) {
        damaged("a cell holds an invalid number");
    }
    return v;
}

}  // namespace

void writeRowCells(RecordSink& s, std::int32_t row, const std::vector<OutCell>& cells) {
    std::size_t i = 0;
    while (i < cells.size()) {
        const OutCell& c = cells[i];
        if (c.kind == ValueKind::Text) {
            s.begin(biff::kLabelSst);
            s.u16(row);
            s.u16(c.column);
            s.u16(c.xf);
            s.u32(c.sst);
            s.end();
            ++i;
            continue;
        }
        if (c.kind == ValueKind::Boolean || c.kind == ValueKind::Error) {
            s.begin(biff::kBoolErr);
            s.u16(row);
            s.u16(c.column);
            s.u16(c.xf);
            s.u8(static_cast<std::uint32_t>(c.number));
            s.u8(c.kind == ValueKind::Error ? 1 : 0);
            s.end();
            ++i;
            continue;
        }
        if (c.kind == ValueKind::Number) {
            s.begin(biff::kNumber);
            s.u16(row);
            s.u16(c.column);
            s.u16(c.xf);
            s.f64(c.number);
            s.end();
            ++i;
            continue;
        }
        // A run of adjacent blanks: MULBLANK for two or more, BLANK for one.
        std::size_t j = i + 1;
        while (j < cells.size() && cells[j].kind == ValueKind::Empty &&
               cells[j].column == cells[j - 1].column + 1) {
            ++j;
        }
        if (j - i == 1) {
            s.begin(biff::kBlank);
            s.u16(row);
            s.u16(c.column);
            s.u16(c.xf);
            s.end();
        } else {
            s.begin(biff::kMulBlank);
            s.u16(row);
            s.u16(c.column);
            for (std::size_t k = i; k < j; ++k) {
                s.u16(cells[k].xf);
            }
            s.u16(cells[j - 1].column);
            s.end();
        }
        i = j;
    }
}

std::size_t rowCellsSize(const std::vector<OutCell>& cells) {
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < cells.size();) {
        switch (cells[i].kind) {
            case ValueKind::Text:
                bytes += 4 + 10;
                break;
            case ValueKind::Boolean:
            case ValueKind::Error:
                bytes += 4 + 8;
                break;
            case ValueKind::Number:
                bytes += 4 + 14;
                break;
            case ValueKind::Empty: {
                std::size_t j = i + 1;
                while (j < cells.size() && cells[j].kind == ValueKind::Empty &&
                       cells[j].column == cells[j - 1].column + 1) {
                    ++j;
                }
                bytes += j - i == 1 ? 4 + 6 : 4 + 6 + 2 * (j - i);
                i = j;
                continue;
            }
        }
        ++i;
    }
    return bytes;
}

// Rows cost memory in the worksheet whether or not they hold much: they are counted as a cell first
// reaches them, before the worksheet grows.
void BookReader::payRows(SheetInProgress& sheet, std::int32_t row) {
    if (row > sheet.rowsPaid) {
        spend(kRowBytes * static_cast<std::size_t>(row - sheet.rowsPaid));
        sheet.rowsPaid = row;
    }
}

BookReader::CellHead BookReader::cell(SheetInProgress& sheet, bytes::Reader& r) {
    CellHead c{};
    c.row = r.u16() + 1;
    c.column = r.u16() + 1;
    c.style = styleOfXf(r.u16());
    if (c.column > kMaxColumns) {
        damaged("a cell lies outside the sheet");
    }
    payRows(sheet, c.row);
    return c;
}

// A shared string is copied into a sheet the first time one of its cells uses it, and counted then; the
// sheet's other cells refer to that copy.
void BookReader::putSharedText(SheetInProgress& sheet, const CellHead& c, std::uint32_t sst) {
    const std::string& text = strings_[sst];
    if (text.empty()) {
        return;
    }
    SharedUse& use = sharedUse_[sst];
    if (use.sheet != sheetNumber_) {
        spend(text.size());
        use.sheet = sheetNumber_;
        use.text = sheet.ws.addSharedText(text);
    }
    sheet.ws.putSharedText(c.row, c.column, use.text);
}

void BookReader::readBlank(SheetInProgress& sheet, const Record&, bytes::Reader& r) {
    const CellHead c = cell(sheet, r);
    sheet.ws.putCell(c.row, c.column, c.style);
}

void BookReader::readMulBlank(SheetInProgress& sheet, const Record& rec, bytes::Reader& r) {
    const std::int32_t row = r.u16() + 1;
    const std::int32_t first = r.u16() + 1;
    if (rec.body.size() < 8 || rec.body.size() % 2) {
        damaged("a MULBLANK record has the wrong size");
    }
    const std::size_t n = (rec.body.size() - 6) / 2;
    const std::int32_t last = (rec.body[rec.body.size() - 2] | (rec.body[rec.body.size() - 1] << 8)) + 1;
    if (last != first + static_cast<std::int32_t>(n) - 1 || last > kMaxColumns) {
        damaged("a MULBLANK record's columns do not add up");
    }
    payRows(sheet, row);
    sheet.ws.reserveCells(row, n);
    for (std::size_t k = 0; k < n; ++k) {
        sheet.ws.putCell(row, first + static_cast<std::int32_t>(k), styleOfXf(r.u16()));
    }
}

void BookReader::readLabelSst(SheetInProgress& sheet, const Record&, bytes::Reader& r) {
    const CellHead c = cell(sheet, r);
    const std::uint32_t sst = r.u32();
    if (sst >= strings_.size()) {
        damaged("a cell refers to a shared string that does not exist");
    }
    sheet.ws.putCell(c.row, c.column, c.style);
    putSharedText(sheet, c, sst);
}

void BookReader::readLabel(SheetInProgress& sheet, const Record&, bytes::Reader& r) {
    const CellHead c = cell(sheet, r);
    std::string text = readString(r, false);
    sheet.ws.putCell(c.row, c.column, c.style);
    if (!text.empty()) {
        sheet.ws.putText(c.row, c.column, std::move(text));
    }
}

void BookReader::readNumber(SheetInProgress& sheet, const Record&, bytes::Reader& r) {
    const CellHead c = cell(sheet, r);
    const double v = r.f64();
    if (!std::isfinite(v)) {
        damaged("a cell holds an invalid number");
    }
    sheet.ws.putCell(c.row, c.column, c.style);
    sheet.ws.putNumber(c.row, c.column, v);
}

void BookReader::readBoolErr(SheetInProgress& sheet, const Record&, bytes::Reader& r) {
    const CellHead c = cell(sheet, r);
    const std::uint8_t value = r.u8();
    const ValueKind kind = r.u8() ? ValueKind::Error : ValueKind::Boolean;
    checkedBoolErr(kind, value);
    sheet.ws.putCell(c.row, c.column, c.style);
    if (kind == ValueKind::Boolean) {
        sheet.ws.putBoolean(c.row, c.column, value != 0);
    } else {
        sheet.ws.putError(c.row, c.column, value);
    }
}

void BookReader::readFormula(SheetInProgress& sheet, const Record&, bytes::Reader& r) {
    // Kept as the value it last showed, with its format; the formula itself is not.
    const CellHead c = cell(sheet, r);
    const std::span<const std::uint8_t> v = r.take(8);
    sheet.formulaString.reset();
    if (v[6] == 0xFF && v[7] == 0xFF) {
        switch (v[0]) {
            case 0:  // text, in the STRING record that follows
                sheet.ws.putCell(c.row, c.column, c.style);
                sheet.formulaString.emplace(c.row, c.column);
                break;
            case 1:
            case 2: {
                const ValueKind kind = v[0] == 1 ? ValueKind::Boolean : ValueKind::Error;
                checkedBoolErr(kind, v[2]);
                sheet.ws.putCell(c.row, c.column, c.style);
                if (kind == ValueKind::Boolean) {
                    sheet.ws.putBoolean(c.row, c.column, v[2] != 0);
                } else {
                    sheet.ws.putError(c.row, c.column, v[2]);
                }
                break;
            }
            case 3:  // empty text
                sheet.ws.putCell(c.row, c.column, c.style);
                break;
            default:
                damaged("a formula holds a value of unknown kind");
        }
    } else {
        bytes::Reader n(v, "a FORMULA record");
        const double number = n.f64();
        if (!std::isfinite(number)) {
            damaged("a cell holds an invalid number");
        }
        sheet.ws.putCell(c.row, c.column, c.style);
        sheet.ws.putNumber(c.row, c.column, number);
    }
}

// The text a formula last showed. A long one goes on in CONTINUE records, each of which starts with the
// option byte of the characters it holds (8-bit or UTF-16), as in the shared string table.
void BookReader::readFormulaString(SheetInProgress& sheet, const Record& rec, bytes::Reader&) {
    const std::vector<std::span<const std::uint8_t>> segments = withContinueSegments(rec);
    if (!sheet.formulaString) {
        return;  // no formula waits for it
    }
    const auto [row, column] = *sheet.formulaString;
    sheet.formulaString.reset();
    std::string text = ContinuedReader(segments).string();
    if (!text.empty()) {
        sheet.ws.putText(row, column, std::move(text));
    }
}

void BookReader::readRk(SheetInProgress& sheet, const Record&, bytes::Reader& r) {
    const CellHead c = cell(sheet, r);
    const double v = rkValue(r.u32());
    sheet.ws.putCell(c.row, c.column, c.style);
    sheet.ws.putNumber(c.row, c.column, v);
}

void BookReader::readMulRk(SheetInProgress& sheet, const Record& rec, bytes::Reader& r) {
    const std::int32_t row = r.u16() + 1;
    const std::int32_t first = r.u16() + 1;
    if (rec.body.size() < 6 || (rec.body.size() - 6) % 6) {
        damaged("a MULRK record has the wrong size");
    }
    const std::size_t n = (rec.body.size() - 6) / 6;
    if (first + static_cast<std::int32_t>(n) - 1 > kMaxColumns) {
        damaged("a cell lies outside the sheet");
    }
    payRows(sheet, row);
    sheet.ws.reserveCells(row, n);
    for (std::size_t k = 0; k < n; ++k) {
        const StyleId style = styleOfXf(r.u16());
        const double v = rkValue(r.u32());
        const std::int32_t column = first + static_cast<std::int32_t>(k);
        sheet.ws.putCell(row, column, style);
        sheet.ws.putNumber(row, column, v);
    }
}

}  // namespace rw::sheet::xls
