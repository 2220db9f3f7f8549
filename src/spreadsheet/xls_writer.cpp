#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "platform/failure.h"
#include "platform/safe_file.h"
#include "spreadsheet/biff.h"
#include "spreadsheet/byte_io.h"
#include "spreadsheet/compound_file.h"
#include "spreadsheet/number_formats.h"
#include "spreadsheet/text.h"
#include "spreadsheet/xls_codec.h"

namespace rw::sheet {

namespace {

using bytes::put16;
using bytes::put32;

// Writes records straight into the stream; a record's length is patched when it ends.
class RecordSink {
  public:
    std::vector<std::uint8_t> out;

    void begin(std::uint16_t id) {
        put16(out, id);
        lengthAt_ = out.size();
        put16(out, 0);
        bodyStart_ = out.size();
    }
    void end() {
        const std::size_t len = out.size() - bodyStart_;
        if (len > biff::kMaxBody) {
            throw Failure("Internal error: a record grew past its size limit");
        }
        bytes::set16(out, lengthAt_, static_cast<std::uint32_t>(len));
    }
    std::size_t room() const { return biff::kMaxBody - (out.size() - bodyStart_); }
    std::size_t recordStart() const { return lengthAt_ - 2; }
    void u8(std::uint32_t v) { out.push_back(static_cast<std::uint8_t>(v)); }
    void u16(std::uint32_t v) { put16(out, v); }
    void u32(std::uint32_t v) { put32(out, v); }
    void f64(double d) { bytes::putDouble(out, d); }
    void record(std::uint16_t id, std::initializer_list<std::uint16_t> words) {
        begin(id);
        for (auto w : words) {
            u16(w);
        }
        end();
    }
    // Characters of a string in the file's 8-bit or UTF-16 form.
    void chars(std::u16string_view s, bool wide) {
        for (char16_t c : s) {
            if (wide) {
                u16(c);
            } else {
                u8(c);
            }
        }
    }

  private:
    std::size_t lengthAt_ = 0;
    std::size_t bodyStart_ = 0;
};

// XLUnicodeString (16-bit count) or ShortXLUnicodeString (8-bit count).
void putString(RecordSink& s, const std::u16string& str, bool shortCount) {
    const bool wide = !text::isLatin1(str);
    if (shortCount) {
        s.u8(static_cast<std::uint32_t>(str.size()));
    } else {
        s.u16(static_cast<std::uint32_t>(str.size()));
    }
    s.u8(wide ? 1 : 0);
    s.chars(str, wide);
}

struct Layout {
    std::vector<std::uint16_t> xfOfStyle;   // per style id; 0xFFFF = not written
    std::vector<StyleId> xfStyles;          // styles of XF 16 onwards
    std::vector<Font> fonts;                // fonts of FONT index 5 onwards
    std::vector<std::uint16_t> fontOfXf;    // per entry of xfStyles
    std::vector<std::uint16_t> formatOfXf;  // per entry of xfStyles: the number format's index
    std::vector<std::string> formats;       // codes of the FORMAT records, from index 164 on
};

// The index of a number format: a built-in one's own, else a FORMAT record of the workbook.
std::uint16_t formatIndex(Layout& l, const std::string& code) {
    if (code.empty()) {
        return 0;
    }
    if (auto builtin = builtinNumberFormatIndex(code)) {
        return *builtin;
    }
    auto it = std::find(l.formats.begin(), l.formats.end(), code);
    if (it == l.formats.end()) {
        it = l.formats.insert(it, code);
    }
    return static_cast<std::uint16_t>(kFirstCustomNumberFormat + (it - l.formats.begin()));
}

std::uint16_t fontIndex(Layout& l, const Font& f, const Font& defaultFont) {
    if (f == defaultFont) {
        return 0;
    }
    for (std::size_t i = 0; i < l.fonts.size(); ++i) {
        if (l.fonts[i] == f) {
            return static_cast<std::uint16_t>(i + 5);
        }
    }
    l.fonts.push_back(f);
    return static_cast<std::uint16_t>(l.fonts.size() + 4);
}

std::uint16_t xfIndex(Layout& l, StyleId id) {
    if (id >= l.xfOfStyle.size()) {
        throw Failure("Internal error: a cell refers to an unknown format");
    }
    std::uint16_t& xf = l.xfOfStyle[id];
    if (xf == 0xFFFF) {
        xf = static_cast<std::uint16_t>(16 + l.xfStyles.size());
        l.xfStyles.push_back(id);
    }
    return xf;
}

void putFont(RecordSink& s, const Font& f) {
    s.begin(biff::kFont);
    s.u16(f.heightTwips);
    s.u16((f.italic ? 0x02 : 0) | (f.strikeOut ? 0x08 : 0));
    s.u16(f.color);
    s.u16(f.bold ? 700 : 400);
    s.u16(0);
    s.u8(f.underline ? 1 : 0);
    s.u8(0);  // family
    s.u8(1);  // character set: default
    s.u8(0);
    putString(s, text::toUtf16(f.name), true);
    s.end();
}

void putStyleXf(RecordSink& s, std::uint16_t font, bool first) {
    s.begin(biff::kXf);
    s.u16(font);
    s.u16(0);
    s.u16(0xFFF5);  // locked, style XF, no parent
    s.u8(0x20);     // general, bottom
    s.u8(0);
    s.u8(0);
    s.u8(first ? 0x00 : 0xF4);
    s.u32(0);
    s.u32(0);
    s.u16(64 | (65 << 7));
    s.end();
}

void putCellXf(RecordSink& s, std::uint16_t font, std::uint16_t format, const CellStyle& st, bool defaultXf) {
    s.begin(biff::kXf);
    s.u16(font);
    s.u16(format);
    s.u16(0x0001);  // locked, cell XF, parent style XF 0
    s.u8(static_cast<std::uint32_t>(st.alignment) | 0x20);
    s.u8(0);
    s.u8(0);
    s.u8(defaultXf ? 0x00 : 0xFC);
    const Border& l = st.border(Edge::Left);
    const Border& r = st.border(Edge::Right);
    const Border& t = st.border(Edge::Top);
    const Border& b = st.border(Edge::Bottom);
    s.u32(static_cast<std::uint32_t>(l.line) | (static_cast<std::uint32_t>(r.line) << 4) |
          (static_cast<std::uint32_t>(t.line) << 8) | (static_cast<std::uint32_t>(b.line) << 12) |
          (std::uint32_t{l.color} << 16) | (std::uint32_t{r.color} << 23));
    s.u32(std::uint32_t{t.color} | (std::uint32_t{b.color} << 7) | ((st.solidFill ? 1u : 0u) << 26));
    s.u16(std::uint32_t{st.solidFill ? st.fillColor : std::uint16_t{64}} | (65u << 7));
    s.end();
}

// Refuses a print set-up the file cannot hold, before a byte is written.
void checkPageSetup(const PageSetup& ps, const std::string& sheetName) {
    const auto refuse = [&](const std::string& why) {
        throw Failure("The page set-up of the sheet \"" + sheetName + "\" cannot be saved: " + why);
    };
    if (ps.scalePercent < 10 || ps.scalePercent > 400) {
        refuse("the print scale must lie between 10 and 400 percent");
    }
    if (ps.fitWidth > 32767 || ps.fitHeight > 32767) {
        refuse("at most 32767 pages across and down");
    }
    for (double m :
         {ps.leftMargin, ps.rightMargin, ps.topMargin, ps.bottomMargin, ps.headerMargin, ps.footerMargin}) {
        if (!std::isfinite(m) || m < 0 || m >= 49) {
            refuse("margins must lie between 0 and 49 inches");
        }
    }
    for (const std::string* text : {&ps.header, &ps.footer}) {
        if (text::toUtf16(*text).size() > 255) {
            refuse("a page header or footer is longer than 255 characters");
        }
    }
    if (ps.titleRows && !CellRange{ps.titleRows->first, 1, ps.titleRows->second, kMaxColumns}.isValid()) {
        refuse("the rows repeated at the top of each page lie outside the sheet");
    }
    if (ps.printArea && !ps.printArea->isValid()) {
        refuse("the print area lies outside the sheet");
    }
}

// The built-in name of a sheet's print area or print titles: one 3-D area reference through the workbook's
// table of sheet references.
void writeBuiltinName(RecordSink& s, std::uint8_t code, std::size_t sheet, std::size_t reference,
                      const CellRange& area) {
    s.begin(biff::kName);
    s.u16(biff::kNameBuiltin);
    s.u8(0);    // no keyboard shortcut
    s.u8(1);    // one character: the built-in name's code
    s.u16(11);  // formula: one 3-D area reference
    s.u16(0);
    s.u16(static_cast<std::uint32_t>(sheet + 1));  // local to its sheet
    s.u32(0);
    s.u8(0);  // 8-bit characters
    s.u8(code);
    s.u8(biff::kPtgArea3d);
    s.u16(static_cast<std::uint32_t>(reference));  // entry in EXTERNSHEET
    s.u16(static_cast<std::uint32_t>(area.firstRow - 1));
    s.u16(static_cast<std::uint32_t>(area.lastRow - 1));
    s.u16(static_cast<std::uint32_t>(area.firstColumn - 1));  // absolute references
    s.u16(static_cast<std::uint32_t>(area.lastColumn - 1));
    s.end();
}

// The cells that print and the rows repeated at the top of printed pages are the built-in names Print_Area
// and Print_Titles of their sheet: references through the workbook's table of sheet references
// (EXTERNSHEET), whose entries point into the workbook itself (a SUPBOOK of its own).
void writePrintNames(RecordSink& s, const Workbook& wb) {
    std::vector<std::size_t> named;
    for (std::size_t i = 0; i < wb.sheetCount(); ++i) {
        const PageSetup& ps = wb.sheet(i).pageSetup();
        if (ps.titleRows || ps.printArea) {
            named.push_back(i);
        }
    }
    if (named.empty()) {
        return;
    }
    s.record(biff::kSupBook, {static_cast<std::uint16_t>(wb.sheetCount()), biff::kSupBookSelf});
    s.begin(biff::kExternSheet);
    s.u16(static_cast<std::uint32_t>(named.size()));
    for (std::size_t sheet : named) {
        s.u16(0);  // the SUPBOOK above
        s.u16(static_cast<std::uint32_t>(sheet));
        s.u16(static_cast<std::uint32_t>(sheet));
    }
    s.end();
    for (std::size_t k = 0; k < named.size(); ++k) {
        const PageSetup& ps = wb.sheet(named[k]).pageSetup();
        if (ps.printArea) {
            writeBuiltinName(s, biff::kBuiltinPrintArea, named[k], k, *ps.printArea);
        }
        if (ps.titleRows) {
            writeBuiltinName(s, biff::kBuiltinPrintTitles, named[k], k,
                             CellRange::wholeRows(ps.titleRows->first, ps.titleRows->second));
        }
    }
}

// One cell as it goes into the file.
struct OutCell {
    std::uint16_t column;  // 0-based
    std::uint16_t xf;
    ValueKind kind;
    std::uint32_t sst;
    double number;
};

class SheetWriter {
  public:
    SheetWriter(const Worksheet& ws, bool active, Layout& layout,
                std::unordered_map<std::string, std::uint32_t>& sst, std::vector<std::string_view>& sstList,
                std::uint32_t& sstTotal)
        : ws_(ws), active_(active), layout_(layout), sst_(sst), sstList_(sstList), sstTotal_(sstTotal) {}

    // Assigns XFs and strings in a fixed order (columns, then cells by row) so equal content always
    // gives equal files.
    void prepare() {
        for (std::int32_t c = 1; c <= kMaxColumns; ++c) {
            xfIndex(layout_, ws_.column(c).style);
        }
        rows_ = ws_.usedRows();
        for (const CellRange& m : ws_.mergedRanges()) {
            for (std::int32_t r = m.firstRow; r <= m.lastRow; ++r) {
                rows_.push_back(r);
            }
        }
        std::sort(rows_.begin(), rows_.end());
        rows_.erase(std::unique(rows_.begin(), rows_.end()), rows_.end());
        const auto& merges = ws_.mergedRanges();
        mergesByFirstRow_.resize(merges.size());
        for (std::size_t i = 0; i < merges.size(); ++i) {
            mergesByFirstRow_[i] = static_cast<std::uint32_t>(i);
        }
        std::stable_sort(
            mergesByFirstRow_.begin(), mergesByFirstRow_.end(),
            [&](std::uint32_t a, std::uint32_t b) { return merges[a].firstRow < merges[b].firstRow; });
        std::vector<OutCell> scratch;
        preparing_ = true;
        restartMergeSweep();
        for (std::int32_t row : rows_) {
            scratch.clear();
            collectRow(row, scratch);
            if (scratch.empty()) {
                continue;
            }
            if (!anyCell_) {
                firstRow_ = static_cast<std::uint32_t>(row - 1);
            }
            anyCell_ = true;
            lastRow_ = static_cast<std::uint32_t>(row);
            firstCol_ = std::min(firstCol_, scratch.front().column);
            lastCol_ =
                std::max<std::uint16_t>(lastCol_, static_cast<std::uint16_t>(scratch.back().column + 1));
        }
        preparing_ = false;
    }

    void write(RecordSink& s) {
        s.begin(biff::kBof);
        s.u16(0x0600);
        s.u16(0x0010);
        s.u16(0x0DBB);
        s.u16(0x07CC);
        s.u32(0);
        s.u32(6);
        s.end();
        s.record(biff::kCalcMode, {1});
        s.record(biff::kCalcCount, {100});
        s.record(biff::kCalcRefMode, {1});
        s.record(biff::kCalcIter, {0});
        s.begin(biff::kCalcDelta);
        s.f64(0.001);
        s.end();
        s.record(biff::kCalcSaveRecalc, {1});
        s.record(biff::kPrintRowCol, {0});
        s.record(biff::kPrintGrid, {0});
        s.record(biff::kGridSet, {1});
        s.record(biff::kGuts, {0, 0, 0, 0});
        const bool syncedDefault = ws_.defaultRowHeight() == rowHeightForFont(ws_.workbook().defaultFont());
        s.record(biff::kDefaultRowHeight,
                 {static_cast<std::uint16_t>(syncedDefault ? 0 : 1), ws_.defaultRowHeight()});
        const PageSetup& ps = ws_.pageSetup();
        s.record(biff::kWsBool, {static_cast<std::uint16_t>(0x04C1 | (ps.fitToPage ? 0x0100 : 0))});
        writePageSetup(s, ps);
        s.record(biff::kDefColWidth, {ws_.defaultColumnCharacters()});
        writeColumns(s);
        writeDimensions(s);
        writeCells(s);
        s.record(biff::kWindow2,
                 {static_cast<std::uint16_t>(active_ ? 0x06B6 : 0x00B6), 0, 0, 64, 0, 0, 0, 0, 0});
        const auto& merges = ws_.mergedRanges();
        for (std::size_t i = 0; i < merges.size(); i += biff::kMaxMergesPerRecord) {
            const std::size_t n = std::min(merges.size() - i, biff::kMaxMergesPerRecord);
            s.begin(biff::kMergeCells);
            s.u16(static_cast<std::uint32_t>(n));
            for (std::size_t k = i; k < i + n; ++k) {
                s.u16(merges[k].firstRow - 1);
                s.u16(merges[k].lastRow - 1);
                s.u16(merges[k].firstColumn - 1);
                s.u16(merges[k].lastColumn - 1);
            }
            s.end();
        }
        s.begin(biff::kEof);
        s.end();
    }

  private:
    void collectRow(std::int32_t row, std::vector<OutCell>& out) {
        // Stored cells, then the hidden cells of merged areas that show the top-left cell's format.
        ws_.forEachCell(CellRange{row, 1, row, kMaxColumns}, [&](const CellView& v) {
            OutCell c{static_cast<std::uint16_t>(v.column - 1), 0, v.kind, 0, v.number};
            c.xf = xfIndex(layout_, ws_.effectiveStyleId(row, v.column));
            if (v.kind == ValueKind::Text) {
                std::string key(v.text);
                auto [it, added] = sst_.emplace(key, static_cast<std::uint32_t>(sst_.size()));
                if (added) {
                    sstList_.push_back(it->first);
                }
                c.sst = it->second;
                if (preparing_) {
                    ++sstTotal_;
                }
            }
            out.push_back(c);
        });
        bool added = false;
        const auto& merges = ws_.mergedRanges();
        for (const std::uint32_t i : mergesOnRow(row)) {
            const CellRange& m = merges[i];
            const std::uint16_t xf = xfIndex(layout_, ws_.effectiveStyleId(m.firstRow, m.firstColumn));
            for (std::int32_t col = m.firstColumn; col <= m.lastColumn; ++col) {
                if (ws_.cell(row, col)) {
                    continue;
                }
                out.push_back(OutCell{static_cast<std::uint16_t>(col - 1), xf, ValueKind::Empty, 0, 0});
                added = true;
            }
        }
        if (added) {
            std::sort(out.begin(), out.end(),
                      [](const OutCell& a, const OutCell& b) { return a.column < b.column; });
        }
    }

    // The merged areas across a row, in the order of the sheet's list (which fixes the order XFs are
    // numbered in). Rows must come ascending between restarts. The areas across one row do not overlap, so
    // at most one per column is ever active.
    void restartMergeSweep() {
        nextMerge_ = 0;
        activeMerges_.clear();
    }
    const std::vector<std::uint32_t>& mergesOnRow(std::int32_t row) {
        const auto& merges = ws_.mergedRanges();
        std::erase_if(activeMerges_, [&](std::uint32_t i) { return merges[i].lastRow < row; });
        bool added = false;
        while (nextMerge_ < mergesByFirstRow_.size() &&
               merges[mergesByFirstRow_[nextMerge_]].firstRow <= row) {
            const std::uint32_t i = mergesByFirstRow_[nextMerge_++];
            if (merges[i].lastRow >= row) {
                activeMerges_.push_back(i);
                added = true;
            }
        }
        if (added) {
            std::sort(activeMerges_.begin(), activeMerges_.end());
        }
        return activeMerges_;
    }

    void writePageSetup(RecordSink& s, const PageSetup& ps) {
        for (auto [id, str] : {std::pair{biff::kHeader, &ps.header}, std::pair{biff::kFooter, &ps.footer}}) {
            // An empty text is stored as such: a record of length zero reads as "the default header" in
            // some spreadsheet programs.
            s.begin(id);
            putString(s, text::toUtf16(*str), false);
            s.end();
        }
        s.record(biff::kHCenter, {static_cast<std::uint16_t>(ps.centerHorizontally ? 1 : 0)});
        s.record(biff::kVCenter, {static_cast<std::uint16_t>(ps.centerVertically ? 1 : 0)});
        for (auto [id, v] :
             {std::pair{biff::kLeftMargin, ps.leftMargin}, std::pair{biff::kRightMargin, ps.rightMargin},
              std::pair{biff::kTopMargin, ps.topMargin}, std::pair{biff::kBottomMargin, ps.bottomMargin}}) {
            s.begin(id);
            s.f64(v);
            s.end();
        }
        const bool printerData = ps.landscape || ps.scalePercent != 100 || ps.fitToPage;
        s.begin(biff::kSetup);
        s.u16(printerData ? 9 : 0);  // A4
        s.u16(ps.scalePercent);
        s.u16(1);
        s.u16(ps.fitWidth);
        s.u16(ps.fitHeight);
        s.u16((ps.landscape ? 0 : 0x02) | (printerData ? 0 : 0x04));
        s.u16(printerData ? 600 : 0);
        s.u16(printerData ? 600 : 0);
        s.f64(ps.headerMargin);
        s.f64(ps.footerMargin);
        s.u16(1);
        s.end();
    }

    void writeColumns(RecordSink& s) {
        std::int32_t c = 1;
        while (c <= kMaxColumns) {
            const ColumnInfo& info = ws_.column(c);
            if (!info.customWidth && info.style == kDefaultStyle && !info.hidden) {
                ++c;
                continue;
            }
            std::int32_t last = c;
            while (last < kMaxColumns && ws_.column(last + 1).customWidth == info.customWidth &&
                   ws_.columnWidth(last + 1) == ws_.columnWidth(c) &&
                   ws_.column(last + 1).style == info.style && ws_.column(last + 1).hidden == info.hidden) {
                ++last;
            }
            s.begin(biff::kColInfo);
            s.u16(c - 1);
            s.u16(last - 1);
            s.u16(ws_.columnWidth(c));
            s.u16(layout_.xfOfStyle[info.style]);
            s.u16((info.hidden ? 0x01 : 0) | (info.customWidth ? 0x02 : 0));
            s.u16(0);
            s.end();
            c = last + 1;
        }
    }

    void writeDimensions(RecordSink& s) {
        s.begin(biff::kDimensions);
        s.u32(anyCell_ ? firstRow_ : 0);
        s.u32(anyCell_ ? lastRow_ : 0);
        s.u16(anyCell_ ? firstCol_ : 0);
        s.u16(anyCell_ ? lastCol_ : 0);
        s.u16(0);
        s.end();
    }

    void writeCells(RecordSink& s) {
        restartMergeSweep();
        // Blocks of up to 32 rows: their ROW records, then their cells.
        for (std::size_t b = 0; b < rows_.size();) {
            std::size_t e = b + 1;
            while (e < rows_.size() && e - b < 32 && (rows_[e] - 1) / 32 == (rows_[b] - 1) / 32) {
                ++e;
            }
            if (block_.size() < 32) {
                block_.resize(32);
            }
            for (std::size_t i = b; i < e; ++i) {
                auto& cells = block_[i - b];
                cells.clear();
                collectRow(rows_[i], cells);
            }
            for (std::size_t i = b; i < e; ++i) {
                const std::int32_t row = rows_[i];
                const auto& cells = block_[i - b];
                const auto custom = ws_.customRowHeight(row);
                s.begin(biff::kRow);
                s.u16(row - 1);
                s.u16(cells.empty() ? 0 : cells.front().column);
                s.u16(cells.empty() ? 0 : cells.back().column + 1);
                s.u16(custom ? *custom : ws_.defaultRowHeight());
                s.u16(0);
                s.u16(0);
                s.u16(custom ? 0x0140 : 0x0100);
                s.u16(15);
                s.end();
            }
            for (std::size_t i = b; i < e; ++i) {
                writeRowCells(s, rows_[i] - 1, block_[i - b]);
            }
            b = e;
        }
    }

    static void writeRowCells(RecordSink& s, std::int32_t row, const std::vector<OutCell>& cells) {
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

    const Worksheet& ws_;
    bool active_;
    Layout& layout_;
    std::unordered_map<std::string, std::uint32_t>& sst_;
    std::vector<std::string_view>& sstList_;
    std::uint32_t& sstTotal_;
    std::vector<std::int32_t> rows_;
    std::vector<std::uint32_t> mergesByFirstRow_;  // indexes into the merged areas, by first row
    std::size_t nextMerge_ = 0;
    std::vector<std::uint32_t> activeMerges_;
    std::vector<std::vector<OutCell>> block_;  // the cells of up to 32 rows being written
    bool preparing_ = false;
    bool anyCell_ = false;
    std::uint32_t firstRow_ = 0, lastRow_ = 0;
    std::uint16_t firstCol_ = 0xFFFF, lastCol_ = 0;
};

void writeSst(RecordSink& s, const std::vector<std::string_view>& strings, std::uint32_t total) {
    struct Bucket {
        std::uint32_t streamPos;
        std::uint16_t offset;
    };
    const std::size_t dsst = std::max<std::size_t>(strings.size() / 128 + 1, 8);
    std::vector<Bucket> buckets;
    s.begin(biff::kSst);
    s.u32(total);
    s.u32(static_cast<std::uint32_t>(strings.size()));
    for (std::size_t i = 0; i < strings.size(); ++i) {
        const std::u16string str = text::toUtf16(strings[i]);
        const bool wide = !text::isLatin1(str);
        const std::size_t unit = wide ? 2 : 1;
        // The 3-byte header and at least one character stay together.
        if (s.room() < 3 + unit) {
            s.end();
            s.begin(biff::kContinue);
        }
        if (i % dsst == 0) {
            buckets.push_back(Bucket{static_cast<std::uint32_t>(s.out.size()),
                                     static_cast<std::uint16_t>(s.out.size() - s.recordStart())});
        }
        s.u16(static_cast<std::uint32_t>(str.size()));
        s.u8(wide ? 1 : 0);
        std::size_t done = 0;
        while (done < str.size()) {
            const std::size_t fit = std::min(str.size() - done, s.room() / unit);
            s.chars(std::u16string_view(str).substr(done, fit), wide);
            done += fit;
            if (done < str.size()) {
                // The rest goes on in a CONTINUE that starts with its own option byte.
                s.end();
                s.begin(biff::kContinue);
                s.u8(wide ? 1 : 0);
            }
        }
    }
    s.end();
    s.begin(biff::kExtSst);
    s.u16(static_cast<std::uint32_t>(dsst));
    for (const Bucket& b : buckets) {
        s.u32(b.streamPos);
        s.u16(b.offset);
        s.u16(0);
    }
    s.end();
}

}  // namespace

std::vector<std::uint8_t> encodeWorkbook(const Workbook& wb) {
    if (wb.sheetCount() == 0) {
        throw Failure("A workbook must have at least one sheet");
    }
    for (std::size_t i = 0; i < wb.sheetCount(); ++i) {
        checkPageSetup(wb.sheet(i).pageSetup(), wb.sheet(i).name());
    }
    Layout layout;
    layout.xfOfStyle.assign(wb.styles().size(), 0xFFFF);
    layout.xfOfStyle[kDefaultStyle] = 15;
    std::unordered_map<std::string, std::uint32_t> sst;
    std::vector<std::string_view> sstList;
    std::uint32_t sstTotal = 0;
    std::vector<std::unique_ptr<SheetWriter>> sheets;
    for (std::size_t i = 0; i < wb.sheetCount(); ++i) {
        sheets.push_back(std::make_unique<SheetWriter>(wb.sheet(i), i == wb.activeSheetIndex(), layout, sst,
                                                       sstList, sstTotal));
        sheets.back()->prepare();
    }
    const Font& defaultFont = wb.defaultFont();
    for (StyleId id : layout.xfStyles) {
        layout.fontOfXf.push_back(fontIndex(layout, wb.styles().style(id).font, defaultFont));
        layout.formatOfXf.push_back(formatIndex(layout, wb.styles().style(id).numberFormat));
    }

    RecordSink s;
    std::size_t cells = 0;
    for (std::size_t i = 0; i < wb.sheetCount(); ++i) {
        cells += wb.sheet(i).storedCellCount();
    }
    s.out.reserve(65536 + cells * 4);
    s.begin(biff::kBof);
    s.u16(0x0600);
    s.u16(0x0005);
    s.u16(0x0DBB);
    s.u16(0x07CC);
    s.u32(0);
    s.u32(6);
    s.end();
    s.record(biff::kInterfaceHdr, {1200});
    s.record(biff::kMms, {0});
    s.begin(biff::kInterfaceEnd);
    s.end();
    s.begin(biff::kWriteAccess);
    putString(s, u"Rootweave", false);
    while (s.room() > biff::kMaxBody - 112) {
        s.u8(' ');
    }
    s.end();
    s.record(biff::kCodePage, {1200});
    s.record(biff::kDsf, {0});
    s.begin(biff::kTabId);
    for (std::size_t i = 0; i < wb.sheetCount(); ++i) {
        s.u16(static_cast<std::uint32_t>(i + 1));
    }
    s.end();
    s.record(biff::kFnGroupCount, {14});
    s.record(biff::kWindowProtect, {0});
    s.record(biff::kProtect, {0});
    s.record(biff::kObjProtect, {0});
    s.record(biff::kPassword, {0});
    s.record(biff::kProt4Rev, {0});
    s.record(biff::kProt4RevPass, {0});
    s.record(biff::kWindow1, {0x0168, 0x001E, 0x4000, 0x2000, 0x0038,
                              static_cast<std::uint16_t>(wb.activeSheetIndex()), 0, 1, 600});
    s.record(biff::kBackup, {0});
    s.record(biff::kHideObj, {0});
    s.record(biff::kDateMode, {0});
    s.record(biff::kPrecision, {1});
    s.record(biff::kRefreshAll, {0});
    s.record(biff::kBookBool, {0});
    for (int i = 0; i < 4; ++i) {
        putFont(s, defaultFont);
    }
    for (const Font& f : layout.fonts) {
        putFont(s, f);
    }
    const std::uint16_t defaultFormat = formatIndex(layout, wb.styles().style(kDefaultStyle).numberFormat);
    for (std::size_t i = 0; i < layout.formats.size(); ++i) {
        s.begin(biff::kFormat);
        s.u16(static_cast<std::uint32_t>(kFirstCustomNumberFormat + i));
        putString(s, text::toUtf16(layout.formats[i]), false);
        s.end();
    }
    for (int i = 0; i < 15; ++i) {
        putStyleXf(s, 0, i == 0);
    }
    putCellXf(s, 0, defaultFormat, wb.styles().style(kDefaultStyle), true);
    for (std::size_t i = 0; i < layout.xfStyles.size(); ++i) {
        putCellXf(s, layout.fontOfXf[i], layout.formatOfXf[i], wb.styles().style(layout.xfStyles[i]), false);
    }
    s.record(biff::kStyle, {0x8000, 0xFF00});
    if (wb.hasCustomPalette()) {
        s.begin(biff::kPalette);
        s.u16(56);
        for (const Rgb& c : wb.palette()) {
            s.u8(c.r);
            s.u8(c.g);
            s.u8(c.b);
            s.u8(0);
        }
        s.end();
    }
    s.record(biff::kUsesElfs, {0});
    std::vector<std::size_t> plyPos;
    for (std::size_t i = 0; i < wb.sheetCount(); ++i) {
        s.begin(biff::kBoundSheet);
        plyPos.push_back(s.out.size());
        s.u32(0);
        s.u8(0);
        s.u8(0);
        putString(s, text::toUtf16(wb.sheet(i).name()), true);
        s.end();
    }
    s.record(biff::kCountry, {1, 1});
    writePrintNames(s, wb);
    writeSst(s, sstList, sstTotal);
    s.begin(biff::kEof);
    s.end();
    for (std::size_t i = 0; i < sheets.size(); ++i) {
        bytes::set32(s.out, plyPos[i], static_cast<std::uint32_t>(s.out.size()));
        sheets[i]->write(s);
    }
    return cfb::writeSingleStream(s.out, u"Workbook");
}

void saveWorkbook(const Workbook& workbook, const std::filesystem::path& path) {
    safefile::replace(path, encodeWorkbook(workbook));
}

}  // namespace rw::sheet
