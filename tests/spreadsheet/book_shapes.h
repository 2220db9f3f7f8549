#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "spreadsheet/biff.h"
#include "spreadsheet/cell_address.h"
#include "spreadsheet/compound_file.h"

// Workbooks built record by record, in shapes our own writer never makes: foreign cell records (formulas,
// booleans, RK numbers), shared strings spread over CONTINUE records, many sheets, and the hostile shapes a
// damaged or crafted file may take (sheets that share one place in the stream, whole-sheet merges). The
// reader's tests, its fuzzer's seeds and its benchmark use them.
namespace rw::test::shapes {

using Bytes = std::vector<std::uint8_t>;
namespace biff = sheet::biff;

inline void put16(Bytes& b, std::uint32_t v) {
    b.push_back(static_cast<std::uint8_t>(v));
    b.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void put32(Bytes& b, std::uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
inline void putF64(Bytes& b, double v) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &v, sizeof v);
    put32(b, static_cast<std::uint32_t>(bits));
    put32(b, static_cast<std::uint32_t>(bits >> 32));
}
// An 8-bit string with a 16-bit count (or an 8-bit count when `shortCount`).
inline void putText(Bytes& b, const std::string& s, bool shortCount = false) {
    shortCount ? b.push_back(static_cast<std::uint8_t>(s.size()))
               : put16(b, static_cast<std::uint32_t>(s.size()));
    b.push_back(0);
    b.insert(b.end(), s.begin(), s.end());
}

inline Bytes record(std::uint16_t id, const Bytes& body = {}) {
    Bytes r;
    put16(r, id);
    put16(r, static_cast<std::uint32_t>(body.size()));
    r.insert(r.end(), body.begin(), body.end());
    return r;
}
inline Bytes& operator+=(Bytes& a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}
inline Bytes operator+(Bytes a, const Bytes& b) {
    return a += b;
}

// Cell records; rows and columns 0-based as the file stores them, cell format 15 (the default) unless said.
inline Bytes cellHead(std::uint16_t row, std::uint16_t column, std::uint16_t xf) {
    Bytes b;
    put16(b, row);
    put16(b, column);
    put16(b, xf);
    return b;
}
inline Bytes number(std::uint16_t row, std::uint16_t column, double v, std::uint16_t xf = 15) {
    Bytes b = cellHead(row, column, xf);
    putF64(b, v);
    return record(biff::kNumber, b);
}
inline Bytes label(std::uint16_t row, std::uint16_t column, const std::string& s, std::uint16_t xf = 15) {
    Bytes b = cellHead(row, column, xf);
    putText(b, s);
    return record(biff::kLabel, b);
}
inline Bytes labelSst(std::uint16_t row, std::uint16_t column, std::uint32_t index) {
    Bytes b = cellHead(row, column, 15);
    put32(b, index);
    return record(biff::kLabelSst, b);
}
inline Bytes boolErr(std::uint16_t row, std::uint16_t column, std::uint8_t value, bool error) {
    Bytes b = cellHead(row, column, 15);
    b.push_back(value);
    b.push_back(error ? 1 : 0);
    return record(biff::kBoolErr, b);
}
inline Bytes rk(std::uint16_t row, std::uint16_t column, std::int32_t integer) {
    Bytes b = cellHead(row, column, 15);
    put32(b, (static_cast<std::uint32_t>(integer) << 2) | 0x02);
    return record(biff::kRk, b);
}
inline Bytes mulRk(std::uint16_t row, std::uint16_t first, const std::vector<std::int32_t>& integers) {
    Bytes b;
    put16(b, row);
    put16(b, first);
    for (std::int32_t v : integers) {
        put16(b, 15);
        put32(b, (static_cast<std::uint32_t>(v) << 2) | 0x02);
    }
    put16(b, first + static_cast<std::uint32_t>(integers.size()) - 1);
    return record(biff::kMulRk, b);
}
inline Bytes mulBlank(std::uint16_t row, std::uint16_t first, std::uint16_t last) {
    Bytes b;
    put16(b, row);
    put16(b, first);
    for (std::uint32_t c = first; c <= last; ++c) {
        put16(b, 15);
    }
    put16(b, last);
    return record(biff::kMulBlank, b);
}
// A formula (=1+1 as tokens) whose last value is given as the 8 value bytes.
inline Bytes formula(std::uint16_t row, std::uint16_t column, const Bytes& value, std::uint16_t xf = 15) {
    Bytes b = cellHead(row, column, xf);
    b += value;
    put16(b, 0);
    put32(b, 0);
    const Bytes tokens = {0x1E, 1, 0, 0x1E, 1, 0, 0x03};
    put16(b, static_cast<std::uint32_t>(tokens.size()));
    b += tokens;
    return record(biff::kFormula, b);
}
inline Bytes formulaNumber(std::uint16_t row, std::uint16_t column, double v, std::uint16_t xf = 15) {
    Bytes value;
    putF64(value, v);
    return formula(row, column, value, xf);
}
// kind 0 text (a STRING record follows), 1 boolean, 2 error, 3 empty text.
inline Bytes formulaSpecial(std::uint16_t row, std::uint16_t column, std::uint8_t kind, std::uint8_t value) {
    return formula(row, column, Bytes{kind, 0, value, 0, 0, 0, 0xFF, 0xFF});
}
inline Bytes string(const std::string& s) {
    Bytes b;
    putText(b, s);
    return record(biff::kString, b);
}
inline Bytes merges(const std::vector<sheet::CellRange>& areas) {
    Bytes b;
    put16(b, static_cast<std::uint32_t>(areas.size()));
    for (const sheet::CellRange& m : areas) {
        put16(b, m.firstRow - 1);
        put16(b, m.lastRow - 1);
        put16(b, m.firstColumn - 1);
        put16(b, m.lastColumn - 1);
    }
    return record(biff::kMergeCells, b);
}
inline Bytes colInfo(std::uint16_t first, std::uint16_t last, std::uint16_t width, std::uint16_t flags) {
    Bytes b;
    put16(b, first);
    put16(b, last);
    put16(b, width);
    put16(b, 15);
    put16(b, flags);
    put16(b, 0);
    return record(biff::kColInfo, b);
}
// The shared strings, each string whole in its segment; every `perSegment` strings a CONTINUE begins.
inline Bytes sst(const std::vector<std::string>& strings, std::size_t perSegment) {
    Bytes out, body;
    put32(body, static_cast<std::uint32_t>(strings.size()));
    put32(body, static_cast<std::uint32_t>(strings.size()));
    std::uint16_t id = biff::kSst;
    for (std::size_t i = 0; i < strings.size(); ++i) {
        if (i > 0 && i % perSegment == 0) {
            out += record(id, body);
            body.clear();
            id = biff::kContinue;
        }
        putText(body, strings[i]);
    }
    return out += record(id, body);
}

// Records carrying one long 8-bit string (the 16-bit count, the option byte, the characters) whose
// characters go on in CONTINUE records of at most `perRecord` bytes, each starting with the option byte
// of what it holds: 0 (8-bit) or, when `wideContinuations`, 1 with the characters as UTF-16. `head` goes
// before the string in the first record.
inline Bytes continuedString(std::uint16_t id, const Bytes& head, const std::string& s, std::size_t perRecord,
                             bool wideContinuations = false) {
    Bytes body = head;
    put16(body, static_cast<std::uint32_t>(s.size()));
    body.push_back(0);
    Bytes out;
    std::size_t done = 0;
    bool first = true;
    while (done < s.size() || first) {
        const bool wide = !first && wideContinuations;
        const std::size_t unit = wide ? 2 : 1;
        const std::size_t fit = std::min(s.size() - done, (perRecord - body.size()) / unit);
        for (std::size_t i = 0; i < fit; ++i) {
            body.push_back(static_cast<std::uint8_t>(s[done + i]));
            if (wide) {
                body.push_back(0);
            }
        }
        done += fit;
        out += record(first ? id : biff::kContinue, body);
        first = false;
        body = {static_cast<std::uint8_t>(wideContinuations ? 1 : 0)};
    }
    return out;
}

// A shared string table of long 8-bit strings: where a string's characters fill a record, they go on in
// a CONTINUE record that starts with the option byte (as Excel writes them).
inline Bytes longSst(const std::vector<std::string>& strings) {
    Bytes out, body;
    put32(body, static_cast<std::uint32_t>(strings.size()));
    put32(body, static_cast<std::uint32_t>(strings.size()));
    std::uint16_t id = biff::kSst;
    const auto flush = [&] {
        out += record(id, body);
        body.clear();
        id = biff::kContinue;
    };
    for (const std::string& s : strings) {
        if (biff::kMaxBody - body.size() < 4) {
            flush();
        }
        putText(body, "");
        body[body.size() - 3] = static_cast<std::uint8_t>(s.size());
        body[body.size() - 2] = static_cast<std::uint8_t>(s.size() >> 8);
        for (std::size_t done = 0; done < s.size();) {
            if (body.size() == biff::kMaxBody) {
                flush();
                body.push_back(0);
            }
            const std::size_t fit = std::min(s.size() - done, biff::kMaxBody - body.size());
            body.insert(body.end(), s.begin() + static_cast<std::ptrdiff_t>(done),
                        s.begin() + static_cast<std::ptrdiff_t>(done + fit));
            done += fit;
        }
    }
    flush();
    return out;
}

// The globals every book needs: a BOF, one font, 16 cell formats (XF 15 the default), and `extra`
// (FORMAT or SST records); the BOUNDSHEETs and the EOF are added by book().
inline Bytes basicGlobals(const Bytes& extra = {}, std::uint16_t format15 = 0) {
    Bytes g = record(biff::kBof, {0x00, 0x06, 0x05, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    Bytes font;
    put16(font, 200);
    put16(font, 0);
    put16(font, 0x7FFF);
    put16(font, 400);
    put16(font, 0);
    font.insert(font.end(), {0, 0, 1, 0});
    putText(font, "Arial", true);
    g += record(biff::kFont, font);
    g += extra;
    for (int i = 0; i < 16; ++i) {
        Bytes xf;
        put16(xf, 0);
        put16(xf, i == 15 ? format15 : 0);
        put16(xf, i < 15 ? 0xFFF5 : 0x0001);
        xf.insert(xf.end(), {0x20, 0, 0, 0});
        put32(xf, 0);
        put32(xf, 0);
        put16(xf, 64 | (65 << 7));
        g += record(biff::kXf, xf);
    }
    return g;
}

// A workbook stream: the globals, then one BOUNDSHEET per entry of `sheetOf` pointing at sheet body
// sheetOf[i] (so several may point at the same one), then the sheets, each wrapped in BOF and EOF.
inline Bytes bookStream(const Bytes& globals, const std::vector<Bytes>& sheetBodies,
                        const std::vector<std::size_t>& sheetOf) {
    const Bytes sheetBof = record(biff::kBof, {0x00, 0x06, 0x10, 0x00, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    std::vector<std::string> names;
    std::size_t globalsSize = globals.size() + 4;  // the EOF
    for (std::size_t i = 0; i < sheetOf.size(); ++i) {
        names.push_back("S" + std::to_string(i + 1));
        globalsSize += 4 + 8 + names.back().size();
    }
    std::vector<std::size_t> starts;
    std::size_t at = globalsSize;
    for (const Bytes& body : sheetBodies) {
        starts.push_back(at);
        at += sheetBof.size() + body.size() + 4;
    }
    Bytes s = globals;
    for (std::size_t i = 0; i < sheetOf.size(); ++i) {
        Bytes b;
        put32(b, static_cast<std::uint32_t>(starts.at(sheetOf[i])));
        b.push_back(0);
        b.push_back(0);
        putText(b, names[i], true);
        s += record(biff::kBoundSheet, b);
    }
    s += record(biff::kEof);
    for (const Bytes& body : sheetBodies) {
        s += sheetBof;
        s += body;
        s += record(biff::kEof);
    }
    return s;
}

// The same, one BOUNDSHEET per sheet, wrapped in a compound file.
inline Bytes bookFile(const Bytes& globals, const std::vector<Bytes>& sheetBodies) {
    std::vector<std::size_t> sheetOf;
    for (std::size_t i = 0; i < sheetBodies.size(); ++i) {
        sheetOf.push_back(i);
    }
    return sheet::cfb::writeSingleStream(bookStream(globals, sheetBodies, sheetOf), u"Workbook");
}

// --- hostile shapes -----------------------------------------------------------------------------------

// 255 BOUNDSHEETs all pointing at one sheet of `cells` numbers.
inline Bytes oneSheetManyTimes(int cells) {
    Bytes body;
    for (int i = 0; i < cells; ++i) {
        body += number(static_cast<std::uint16_t>(i / 200), static_cast<std::uint16_t>(i % 200), i);
    }
    return sheet::cfb::writeSingleStream(bookStream(basicGlobals(), {body}, std::vector<std::size_t>(255, 0)),
                                         u"Workbook");
}

// `sheets` sheets, each merged whole, with a number in its last cell.
inline Bytes wholeSheetMerges(int sheets) {
    std::vector<Bytes> bodies;
    for (int i = 0; i < sheets; ++i) {
        Bytes body = number(0xFFFF, 0xFF, 1);
        body += merges({sheet::CellRange::wholeSheet()});
        bodies.push_back(body);
    }
    return bookFile(basicGlobals(), bodies);
}

// One sheet whose `cells` cells (256 to a row) all show the same shared string of `length` characters.
inline Bytes oneLongStringInManyCells(std::size_t length, int cells) {
    Bytes body;
    for (int i = 0; i < cells; ++i) {
        body += labelSst(static_cast<std::uint16_t>(i / 256), static_cast<std::uint16_t>(i % 256), 0);
    }
    return bookFile(basicGlobals(longSst({std::string(length, 'x')})), {body});
}

// `rows` rows of 256 blank cells with a format, one MULBLANK record a row.
inline Bytes denseBlanks(int rows) {
    Bytes body;
    for (int r = 0; r < rows; ++r) {
        body += mulBlank(static_cast<std::uint16_t>(r), 0, 255);
    }
    return bookFile(basicGlobals(), {body});
}

// `count` merged areas of two cells side by side, 128 to a row, in full MERGEDCELLS records.
inline Bytes twoCellMerges(int count) {
    Bytes body;
    std::vector<sheet::CellRange> areas;
    for (int i = 0; i < count; ++i) {
        const int row = i / 128 + 1, column = (i % 128) * 2 + 1;
        areas.push_back(sheet::CellRange{row, column, row, column + 1});
        if (areas.size() == biff::kMaxMergesPerRecord || i + 1 == count) {
            body += merges(areas);
            areas.clear();
        }
    }
    return bookFile(basicGlobals(), {body});
}

// `sheets` small sheets, each with a few cells.
inline Bytes manySmallSheets(int sheets) {
    std::vector<Bytes> bodies;
    for (int i = 0; i < sheets; ++i) {
        Bytes body = number(0, 0, i);
        body += label(1, 0, "sheet " + std::to_string(i));
        body += rk(2, 1, i);
        bodies.push_back(body);
    }
    return bookFile(basicGlobals(), bodies);
}

}  // namespace rw::test::shapes
