#include "spreadsheet/xls_cells.h"

#include <cmath>
#include <cstring>

#include "spreadsheet/xls_book_reader.h"

namespace rw::sheet::xls {

namespace {

std::uint32_t checkedBoolErr(ValueKind kind, std::uint8_t value) {
    if (kind == ValueKind::Boolean ? value > 1 : errorText(value) == nullptr) {
        damaged("a cell holds an unknown boolean or error value");
    }
    return value;
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

PendingCell BookReader::cell(bytes::Reader& r) const {
    PendingCell c{};
    c.row = r.u16() + 1;
    c.column = r.u16() + 1;
    c.xf = r.u16();
    if (c.column > kMaxColumns) {
        damaged("a cell lies outside the sheet");
    }
    styleOfXf(c.xf);
    return c;
}

void BookReader::readBlank(SheetInProgress& sheet, const Record&, bytes::Reader& r) {
    sheet.cells.push_back(cell(r));
}

void BookReader::readMulBlank(SheetInProgress& sheet, const Record& rec, bytes::Reader& r) {
    const std::int32_t row = r.u16() + 1;
    const std::int32_t first = r.u16() + 1;
    if (rec.body.size() < 8 || rec.body.size() % 2) {
        damaged("a MULBLANK record has the wrong size");
    }
    const std::size_t n = (rec.body.size() - 6) / 2;
    for (std::size_t k = 0; k < n; ++k) {
        const std::uint16_t xf = r.u16();
        styleOfXf(xf);
        sheet.cells.push_back(
            PendingCell{row, first + static_cast<std::int32_t>(k), xf, ValueKind::Empty, 0, 0});
    }
    const std::int32_t last = r.u16() + 1;
    if (last != first + static_cast<std::int32_t>(n) - 1 || last > kMaxColumns) {
        damaged("a MULBLANK record's columns do not add up");
    }
}

void BookReader::readLabelSst(SheetInProgress& sheet, const Record&, bytes::Reader& r) {
    PendingCell c = cell(r);
    c.kind = ValueKind::Text;
    c.sst = r.u32();
    if (c.sst >= strings_.size()) {
        damaged("a cell refers to a shared string that does not exist");
    }
    sheet.cells.push_back(c);
}

void BookReader::readLabel(SheetInProgress& sheet, const Record&, bytes::Reader& r) {
    PendingCell c = cell(r);
    c.kind = ValueKind::Text;
    c.sst = static_cast<std::uint32_t>(strings_.size());
    strings_.push_back(readString(r, false));
    sheet.cells.push_back(c);
}

void BookReader::readNumber(SheetInProgress& sheet, const Record&, bytes::Reader& r) {
    PendingCell c = cell(r);
    c.kind = ValueKind::Number;
    c.number = r.f64();
    if (!std::isfinite(c.number)) {
        damaged("a cell holds an invalid number");
    }
    sheet.cells.push_back(c);
}

void BookReader::readBoolErr(SheetInProgress& sheet, const Record&, bytes::Reader& r) {
    PendingCell c = cell(r);
    const std::uint8_t value = r.u8();
    c.kind = r.u8() ? ValueKind::Error : ValueKind::Boolean;
    c.sst = checkedBoolErr(c.kind, value);
    sheet.cells.push_back(c);
}

void BookReader::readFormula(SheetInProgress& sheet, const Record&, bytes::Reader& r) {
    // Kept as the value it last showed, with its format; the formula itself is not.
    PendingCell c = cell(r);
    const std::span<const std::uint8_t> v = r.take(8);
    sheet.formulaString = SheetInProgress::kNoFormula;
    if (v[6] == 0xFF && v[7] == 0xFF) {
        switch (v[0]) {
            case 0:  // text, in the STRING record that follows
                c.kind = ValueKind::Text;
                c.sst = static_cast<std::uint32_t>(strings_.size());
                strings_.emplace_back();
                sheet.formulaString = sheet.cells.size();
                break;
            case 1:
                c.kind = ValueKind::Boolean;
                c.sst = checkedBoolErr(c.kind, v[2]);
                break;
            case 2:
                c.kind = ValueKind::Error;
                c.sst = checkedBoolErr(c.kind, v[2]);
                break;
            case 3:  // empty text
                break;
            default:
                damaged("a formula holds a value of unknown kind");
        }
    } else {
        bytes::Reader n(v, "a FORMULA record");
        c.kind = ValueKind::Number;
        c.number = n.f64();
        if (!std::isfinite(c.number)) {
            damaged("a cell holds an invalid number");
        }
    }
    sheet.cells.push_back(c);
}

void BookReader::readFormulaString(SheetInProgress& sheet, const Record& rec, bytes::Reader&) {
    if (sheet.formulaString == SheetInProgress::kNoFormula) {
        return;  // no formula waits for it
    }
    const std::vector<std::uint8_t> body = withContinues(rec);
    bytes::Reader b(body, "a STRING record");
    strings_[sheet.cells[sheet.formulaString].sst] = readString(b, false);
    sheet.formulaString = SheetInProgress::kNoFormula;
}

void BookReader::readRk(SheetInProgress& sheet, const Record&, bytes::Reader& r) {
    PendingCell c = cell(r);
    c.kind = ValueKind::Number;
    c.number = rkValue(r.u32());
    sheet.cells.push_back(c);
}

void BookReader::readMulRk(SheetInProgress& sheet, const Record& rec, bytes::Reader& r) {
    const std::int32_t row = r.u16() + 1;
    const std::int32_t first = r.u16() + 1;
    if (rec.body.size() < 6 || (rec.body.size() - 6) % 6) {
        damaged("a MULRK record has the wrong size");
    }
    const std::size_t n = (rec.body.size() - 6) / 6;
    for (std::size_t k = 0; k < n; ++k) {
        const std::uint16_t xf = r.u16();
        styleOfXf(xf);
        const double v = rkValue(r.u32());
        sheet.cells.push_back(
            PendingCell{row, first + static_cast<std::int32_t>(k), xf, ValueKind::Number, 0, v});
    }
    if (first + static_cast<std::int32_t>(n) - 1 > kMaxColumns) {
        damaged("a cell lies outside the sheet");
    }
}

}  // namespace rw::sheet::xls
