// Reads Excel 97-2003 workbooks into the workbook model.
//
// Kept: worksheets with their cells (text, numbers, booleans, errors, blanks with a format), the value a
// formula last showed (with the cell's format), cell formats (font, fill, borders, horizontal alignment,
// number format), column widths, column formats and hidden columns, row heights, merged areas, the palette,
// the active sheet, and the print set-up (orientation, scale or fit to pages, margins, centring, header and
// footer, rows repeated at the top).
//
// Skipped knowingly, because the model has no place for them: the formulas themselves (only their last
// values stay), chart sheets, macro and dialog sheets, charts and pictures embedded in a sheet (drawing
// objects), comments, hyperlinks, data validation, conditional formats, names other than the print titles,
// rich-text runs and phonetic text inside strings, vertical alignment, wrapping, indent and rotation,
// protection, outlines, frozen panes and other window settings, and VBA macros (a separate stream).
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <optional>

#include "platform/failure.h"
#include "spreadsheet/biff.h"
#include "spreadsheet/byte_io.h"
#include "spreadsheet/compound_file.h"
#include "spreadsheet/mapped_file.h"
#include "spreadsheet/number_formats.h"
#include "spreadsheet/text.h"
#include "spreadsheet/xls_codec.h"

namespace rw::sheet {

namespace {

[[noreturn]] void damaged(const std::string& what) {
    throw Failure("The file is damaged: " + what);
}

struct Record {
    std::uint16_t id;
    std::size_t pos;  // stream position of the record header
    std::span<const std::uint8_t> body;
};

// Walks the records of the workbook stream.
class RecordStream {
  public:
    explicit RecordStream(std::span<const std::uint8_t> stream) : stream_(stream) {}
    void seek(std::size_t pos) {
        if (pos > stream_.size()) {
            damaged("a sheet lies past the end of the workbook stream");
        }
        pos_ = pos;
    }
    // Records end at `end` (a sheet's records must not run into the next sheet).
    void limit(std::size_t end) { end_ = std::min(end, stream_.size()); }
    std::size_t position() const { return pos_; }
    bool atEnd() const { return pos_ + 4 > end_; }
    Record next() {
        if (pos_ + 4 > end_) {
            damaged(end_ < stream_.size() ? "a sheet runs into the next one"
                                          : "the workbook stream ends in the middle of a record");
        }
        const std::uint16_t id = static_cast<std::uint16_t>(stream_[pos_] | (stream_[pos_ + 1] << 8));
        const std::size_t len = stream_[pos_ + 2] | (stream_[pos_ + 3] << 8);
        if (len > biff::kMaxBody) {
            damaged("a record is longer than the format allows");
        }
        if (pos_ + 4 + len > end_) {
            damaged(end_ < stream_.size() ? "a sheet runs into the next one"
                                          : "the workbook stream ends in the middle of a record");
        }
        Record r{id, pos_, stream_.subspan(pos_ + 4, len)};
        pos_ += 4 + len;
        return r;
    }
    std::uint16_t peekId() const {
        return atEnd() ? 0 : static_cast<std::uint16_t>(stream_[pos_] | (stream_[pos_ + 1] << 8));
    }

  private:
    std::span<const std::uint8_t> stream_;
    std::size_t pos_ = 0;
    std::size_t end_ = stream_.size();
};

std::u16string readChars(bytes::Reader& r, std::size_t count, bool wide) {
    std::u16string s;
    s.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        s.push_back(wide ? static_cast<char16_t>(r.u16()) : static_cast<char16_t>(r.u8()));
    }
    return s;
}

// XLUnicodeString / ShortXLUnicodeString, with optional rich-text and phonetic parts skipped.
std::string readString(bytes::Reader& r, bool shortCount) {
    const std::size_t count = shortCount ? r.u8() : r.u16();
    const std::uint8_t flags = r.u8();
    std::size_t runs = 0, ext = 0;
    if (flags & 0x08) {
        runs = r.u16();
    }
    if (flags & 0x04) {
        ext = r.u32();
    }
    const std::u16string s = readChars(r, count, flags & 0x01);
    r.skip(runs * 4);
    r.skip(ext);
    return text::toUtf8(s);
}

// The SST and its CONTINUE records, read as one sequence of segments.
class SstReader {
  public:
    explicit SstReader(std::vector<std::span<const std::uint8_t>> segments) : segs_(std::move(segments)) {}

    std::uint32_t u32() {
        std::uint32_t v = 0;
        for (int i = 0; i < 4; ++i) {
            v |= std::uint32_t{byte()} << (8 * i);
        }
        return v;
    }
    std::uint16_t u16() { return static_cast<std::uint16_t>(byte() | (byte() << 8)); }

    std::string string() {
        const std::size_t count = u16();
        std::uint8_t flags = byte();
        std::size_t runs = 0, ext = 0;
        if (flags & 0x08) {
            runs = u16();
        }
        if (flags & 0x04) {
            ext = u32();
        }
        std::u16string s;
        s.reserve(std::min<std::size_t>(count, 8224));
        while (s.size() < count) {
            if (off_ == segs_[seg_].size()) {
                // Characters go on in the next CONTINUE, which starts with a fresh option byte.
                nextSegment();
                flags = byte();
            }
            if (flags & 0x01) {
                if (segs_[seg_].size() - off_ < 2) {
                    damaged("a shared string splits a character");
                }
                s.push_back(static_cast<char16_t>(byte() | (byte() << 8)));
            } else {
                s.push_back(static_cast<char16_t>(byte()));
            }
        }
        skip(runs * 4 + ext);
        return text::toUtf8(s);
    }

  private:
    std::uint8_t byte() {
        while (off_ == segs_[seg_].size()) {
            nextSegment();
        }
        return segs_[seg_][off_++];
    }
    void skip(std::size_t n) {
        while (n > 0) {
            if (off_ == segs_[seg_].size()) {
                nextSegment();
            }
            const std::size_t k = std::min(n, segs_[seg_].size() - off_);
            off_ += k;
            n -= k;
        }
    }
    void nextSegment() {
        if (seg_ + 1 >= segs_.size()) {
            damaged("the shared string table is cut short");
        }
        ++seg_;
        off_ = 0;
    }
    std::vector<std::span<const std::uint8_t>> segs_;
    std::size_t seg_ = 0;
    std::size_t off_ = 0;
};

struct RawXf {
    std::uint16_t font;
    std::uint16_t format;
    CellStyle style;
};

Font parseFont(std::span<const std::uint8_t> body) {
    bytes::Reader r(body, "a FONT record");
    Font f;
    f.heightTwips = r.u16();
    const std::uint16_t flags = r.u16();
    f.color = r.u16();
    f.bold = r.u16() >= 700;
    r.u16();
    f.underline = r.u8() != 0;
    r.skip(3);
    f.name = readString(r, true);
    f.italic = flags & 0x02;
    f.strikeOut = flags & 0x08;
    if (f.heightTwips < 20 || f.heightTwips > 8180) {
        f.heightTwips = std::clamp<std::uint16_t>(f.heightTwips, 20, 8180);
    }
    if (f.name.empty()) {
        f.name = "Arial";
    }
    const bool okColor = (f.color >= kFirstPaletteIndex && f.color <= kLastPaletteIndex);
    if (!okColor) {
        f.color = kAutomaticFontColor;
    }
    return f;
}

std::uint16_t paletteOr(std::uint32_t c, std::uint16_t fallback) {
    return (c >= kFirstPaletteIndex && c <= kLastPaletteIndex) ? static_cast<std::uint16_t>(c) : fallback;
}

RawXf parseXf(std::span<const std::uint8_t> body) {
    bytes::Reader r(body, "an XF record");
    RawXf x;
    x.font = r.u16();
    x.format = r.u16();
    r.u16();
    const std::uint8_t align = r.u8();
    r.skip(3);
    const std::uint32_t b1 = r.u32();
    const std::uint32_t b2 = r.u32();
    const std::uint16_t colors = r.u16();
    CellStyle& s = x.style;
    s.alignment = static_cast<HorizontalAlignment>(align & 0x07);
    const auto edge = [&](Edge e, std::uint32_t line, std::uint32_t color) {
        Border& b = s.borders[static_cast<int>(e)];
        if (line == 0 || line > 13) {
            return;
        }
        b.line = static_cast<LineStyle>(line);
        b.color = paletteOr(color, kAutomaticLineColor);
    };
    edge(Edge::Left, b1 & 0x0F, (b1 >> 16) & 0x7F);
    edge(Edge::Right, (b1 >> 4) & 0x0F, (b1 >> 23) & 0x7F);
    edge(Edge::Top, (b1 >> 8) & 0x0F, b2 & 0x7F);
    edge(Edge::Bottom, (b1 >> 12) & 0x0F, (b2 >> 7) & 0x7F);
    const std::uint32_t pattern = (b2 >> 26) & 0x3F;
    if (pattern == 1) {
        const std::uint16_t fore = paletteOr(colors & 0x7F, 0);
        if (fore != 0) {
            s.solidFill = true;
            s.fillColor = fore;
        }
    }
    return x;
}

struct SheetData {
    std::string name;
    std::size_t pos;
    std::size_t end;  // where the next sheet (or the stream) begins: the sheet's records must end by then
};

// An entry of the EXTERNSHEET table: a SUPBOOK and a range of its sheets.
struct SheetReference {
    std::uint16_t supBook;
    std::uint16_t firstSheet;
    std::uint16_t lastSheet;
};

// A Print_Area or Print_Titles name as found in the globals, before its reference is resolved.
struct PrintName {
    std::uint16_t sheet;      // position among all BOUNDSHEET records
    std::uint16_t reference;  // index into the EXTERNSHEET table
    bool isArea;              // Print_Area, else Print_Titles (whole rows)
    CellRange range;
};

// The rows of a Print_Titles formula: one reference to whole rows, alone or beside a reference to whole
// columns (the union Excel writes when both are set). Anything else is not a form this engine keeps, and
// yields nothing.
std::optional<PrintName> printTitleRows(std::span<const std::uint8_t> rgce, std::uint16_t sheet) {
    std::optional<PrintName> rows;
    std::size_t p = 0;
    const auto word = [&](std::size_t at) {
        return static_cast<std::uint16_t>(rgce[at] | (rgce[at + 1] << 8));
    };
    while (p < rgce.size()) {
        const std::uint8_t ptg = rgce[p++];
        if (ptg == biff::kPtgUnion) {
            continue;
        }
        if (ptg == biff::kPtgMemFunc || ptg == biff::kPtgMemFunc + 0x20 || ptg == biff::kPtgMemFunc + 0x40) {
            if (rgce.size() - p < 2) {
                return std::nullopt;
            }
            p += 2;
            continue;
        }
        if (ptg != biff::kPtgArea3d && ptg != biff::kPtgArea3d + 0x20 && ptg != biff::kPtgArea3d + 0x40) {
            return std::nullopt;
        }
        if (rgce.size() - p < 10) {
            return std::nullopt;
        }
        const std::uint16_t reference = word(p);
        const std::uint16_t firstRow = word(p + 2);
        const std::uint16_t lastRow = word(p + 4);
        const std::uint16_t firstColumn = word(p + 6) & 0x3FFF;
        const std::uint16_t lastColumn = word(p + 8) & 0x3FFF;
        p += 10;
        if (firstColumn == 0 && lastColumn >= biff::kLastColumnIndex && firstRow <= lastRow && !rows) {
            rows = PrintName{sheet, reference, false, CellRange::wholeRows(firstRow + 1, lastRow + 1)};
        }
    }
    return rows;
}

// The cells of a Print_Area formula: one reference to a block of cells on one sheet. Several blocks are not a
// form this engine keeps, and yield nothing.
std::optional<PrintName> printAreaRange(std::span<const std::uint8_t> rgce, std::uint16_t sheet) {
    if (rgce.size() != 11 || (rgce[0] != biff::kPtgArea3d && rgce[0] != biff::kPtgArea3d + 0x20 &&
                              rgce[0] != biff::kPtgArea3d + 0x40)) {
        return std::nullopt;
    }
    const auto word = [&](std::size_t at) {
        return static_cast<std::int32_t>(rgce[at] | (rgce[at + 1] << 8));
    };
    const CellRange range{word(3) + 1, (word(7) & 0x3FFF) + 1, word(5) + 1, (word(9) & 0x3FFF) + 1};
    if (!range.isValid()) {
        return std::nullopt;
    }
    return PrintName{sheet, static_cast<std::uint16_t>(word(1)), true, range};
}

// A margin as the file stores it, or the default where the value makes no sense.
double marginOr(double value, double fallback) {
    return (std::isfinite(value) && value >= 0 && value < 49) ? value : fallback;
}

struct PendingCell {
    std::int32_t row, column;
    std::uint16_t xf;
    ValueKind kind;
    std::uint32_t sst;  // text: index into the strings; boolean or error: the value's code
    double number;
};

// What the engine needs to hold a sheet (and to save it again), estimated from what the reader found, so
// that a small file cannot make it hold a huge one (the costs follow how the worksheet stores rows and
// merged areas, and how the writer writes merged areas).
constexpr std::size_t kSheetBytes = 16 * 1024;
constexpr std::size_t kRowBytes = 32;
constexpr std::size_t kMergeIndexBytes = 2 * 1024 * 1024;
constexpr std::size_t kMergeTileBytes = 48;
constexpr std::size_t kMergeTileCells = 16;
// Saving a merged area writes each of its hidden cells with the area's format: two bytes a cell at least.
constexpr std::size_t kMergeCellBytes = 2;
// Beyond 40 bytes per byte of file, a workbook may need this much.
constexpr std::size_t kMemoryAllowance = 64u * 1024 * 1024;

class BookReader {
  public:
    BookReader(std::span<const std::uint8_t> stream, std::size_t fileSize)
        : records_(stream), streamSize_(stream.size()), budget_(kMemoryAllowance + 40 * fileSize) {}

    Workbook read() {
        Record bof = records_.next();
        checkBof(bof, 0x0005, "The file is not an Excel 97-2003 workbook");
        std::vector<Font> fonts;
        std::vector<RawXf> xfs;
        std::vector<SheetData> sheets;
        std::vector<std::size_t> substreams;  // where every BOUNDSHEET's sheet begins, whatever its kind
        std::map<std::uint16_t, std::string> formats;
        std::vector<std::optional<std::size_t>> worksheetOfBoundSheet;  // per BOUNDSHEET: our sheet index
        std::vector<bool> supBookIsSelf;
        std::vector<SheetReference> sheetReferences;
        std::vector<PrintName> printNames;
        std::vector<std::span<const std::uint8_t>> sstSegments;
        std::optional<std::array<Rgb, 56>> palette;
        std::size_t activeTab = 0;
        for (;;) {
            if (records_.atEnd()) {
                damaged("the workbook globals have no end");
            }
            Record r = records_.next();
            if (r.id == biff::kEof) {
                break;
            }
            switch (r.id) {
                case biff::kFont:
                    fonts.push_back(parseFont(r.body));
                    if (fonts.size() == 4) {
                        fonts.push_back(fonts[0]);  // index 4 does not exist; keep the numbering
                    }
                    break;
                case biff::kXf:
                    xfs.push_back(parseXf(r.body));
                    break;
                case biff::kFormat: {
                    bytes::Reader f(r.body, "a FORMAT record");
                    const std::uint16_t index = f.u16();
                    formats[index] = readString(f, false);
                    break;
                }
                case biff::kWindow1: {
                    bytes::Reader w(r.body, "the WINDOW1 record");
                    w.skip(10);
                    activeTab = w.u16();
                    break;
                }
                case biff::kPalette: {
                    bytes::Reader p(r.body, "the PALETTE record");
                    const std::uint16_t n = p.u16();
                    if (n != 56 || p.left() != 56 * 4) {
                        damaged("the palette has the wrong size");
                    }
                    std::array<Rgb, 56> colors{};
                    for (Rgb& c : colors) {
                        c.r = p.u8();
                        c.g = p.u8();
                        c.b = p.u8();
                        p.u8();
                    }
                    palette = colors;
                    break;
                }
                case biff::kBoundSheet: {
                    bytes::Reader b(r.body, "a BOUNDSHEET record");
                    const std::uint32_t pos = b.u32();
                    b.u8();
                    const std::uint8_t type = b.u8();
                    std::string name = readString(b, true);
                    worksheetOfBoundSheet.emplace_back();
                    substreams.push_back(pos);
                    if (type == 0) {
                        worksheetOfBoundSheet.back() = sheets.size();
                        sheets.push_back(SheetData{std::move(name), pos, 0});
                    }
                    break;
                }
                case biff::kSupBook: {
                    bytes::Reader b(r.body, "a SUPBOOK record");
                    b.u16();
                    supBookIsSelf.push_back(b.u16() == biff::kSupBookSelf);
                    break;
                }
                case biff::kExternSheet: {
                    const std::vector<std::uint8_t> body = withContinues(r);
                    bytes::Reader b(body, "the EXTERNSHEET record");
                    const std::uint16_t count = b.u16();
                    if (b.left() < 6u * count) {
                        damaged("the EXTERNSHEET record is cut short");
                    }
                    for (std::uint16_t k = 0; k < count; ++k) {
                        SheetReference ref{};
                        ref.supBook = b.u16();
                        ref.firstSheet = b.u16();
                        ref.lastSheet = b.u16();
                        sheetReferences.push_back(ref);
                    }
                    break;
                }
                case biff::kName: {
                    const std::vector<std::uint8_t> body = withContinues(r);
                    if (auto name = readName(body)) {
                        printNames.push_back(*name);
                    }
                    break;
                }
                case biff::kSst:
                    sstSegments.push_back(r.body);
                    while (records_.peekId() == biff::kContinue) {
                        sstSegments.push_back(records_.next().body);
                    }
                    break;
                default:
                    break;
            }
        }
        if (fonts.empty()) {
            damaged("the workbook has no fonts");
        }
        placeSheets(sheets, substreams, records_.position());
        Workbook wb(Workbook::NoSheets{}, fonts[0]);
        if (palette) {
            for (std::uint16_t i = 0; i < 56; ++i) {
                wb.setPaletteColor(static_cast<std::uint16_t>(i + 8), (*palette)[i]);
            }
        }
        // Cell formats: each XF becomes an interned style.
        xfStyle_.reserve(xfs.size());
        for (const RawXf& x : xfs) {
            CellStyle s = x.style;
            s.font = x.font < fonts.size() ? fonts[x.font] : fonts[0];
            if (auto f = formats.find(x.format); f != formats.end()) {
                s.numberFormat = f->second == "General" ? std::string() : f->second;
            } else {
                s.numberFormat = builtinNumberFormat(x.format);
            }
            xfStyle_.push_back(wb.styles().intern(s));
        }
        readSst(sstSegments);
        if (sheets.empty()) {
            damaged("the workbook has no worksheet");
        }
        for (const SheetData& sd : sheets) {
            readSheet(wb, sd);
        }
        for (const PrintName& t : printNames) {
            if (t.reference >= sheetReferences.size()) {
                damaged("a name refers to a sheet reference that does not exist");
            }
            if (t.sheet >= worksheetOfBoundSheet.size()) {
                damaged("a name belongs to a sheet that does not exist");
            }
            const SheetReference& ref = sheetReferences[t.reference];
            const bool ownSheet = ref.supBook < supBookIsSelf.size() && supBookIsSelf[ref.supBook] &&
                                  ref.firstSheet == t.sheet && ref.lastSheet == t.sheet;
            if (ownSheet && worksheetOfBoundSheet[t.sheet]) {
                PageSetup& ps = wb.sheet(*worksheetOfBoundSheet[t.sheet]).pageSetup();
                if (t.isArea) {
                    ps.printArea = t.range;
                } else {
                    ps.titleRows = std::pair{t.range.firstRow, t.range.lastRow};
                }
            }
        }
        wb.setActiveSheet(activeTab < wb.sheetCount() ? activeTab : 0);
        return wb;
    }

  private:
    // Each sheet must begin at a place of its own, after the globals and inside the stream; a sheet's
    // records may run only up to the next sheet's start. So no byte of the stream is read twice, and the
    // time to read a file grows with its size.
    void placeSheets(std::vector<SheetData>& sheets, std::vector<std::size_t> starts,
                     std::size_t globalsEnd) {
        std::sort(starts.begin(), starts.end());
        if (std::adjacent_find(starts.begin(), starts.end()) != starts.end()) {
            damaged("two sheets claim the same place in the workbook stream");
        }
        if (!starts.empty() && (starts.front() < globalsEnd || starts.back() >= streamSize_)) {
            damaged("a sheet lies outside the workbook stream");
        }
        for (SheetData& sd : sheets) {
            const auto next = std::upper_bound(starts.begin(), starts.end(), sd.pos);
            sd.end = next == starts.end() ? streamSize_ : *next;
        }
    }

    // Counts memory the workbook will need against what the file's size allows.
    void spend(std::size_t bytes) {
        spent_ += bytes;
        if (spent_ > budget_) {
            throw Failure(
                "The workbook cannot be opened: its sheets, rows and merged areas would need more "
                "memory than a file of this size can hold (over " +
                std::to_string(budget_ / (1024 * 1024)) + " MB)");
        }
    }

    // A record's body joined with the CONTINUE records that follow it.
    std::vector<std::uint8_t> withContinues(const Record& r) {
        std::vector<std::uint8_t> body(r.body.begin(), r.body.end());
        while (records_.peekId() == biff::kContinue) {
            const Record c = records_.next();
            body.insert(body.end(), c.body.begin(), c.body.end());
        }
        return body;
    }

    // A NAME record: its layout is checked whatever it holds; only the built-in Print_Area (one block of
    // cells) and Print_Titles (whole rows) of a sheet are kept.
    static std::optional<PrintName> readName(std::span<const std::uint8_t> body) {
        bytes::Reader b(body, "a NAME record");
        const std::uint16_t flags = b.u16();
        b.u8();
        const std::uint8_t nameLength = b.u8();
        const std::uint16_t formulaLength = b.u16();
        b.u16();
        const std::uint16_t itab = b.u16();
        b.skip(4);
        std::u16string name;
        if (nameLength > 0) {
            name = readChars(b, nameLength, b.u8() & 0x01);
        }
        const std::span<const std::uint8_t> rgce = b.take(formulaLength);
        if (!(flags & biff::kNameBuiltin) || name.size() != 1 || itab == 0) {
            return std::nullopt;
        }
        const auto sheet = static_cast<std::uint16_t>(itab - 1);
        if (name[0] == biff::kBuiltinPrintArea) {
            return printAreaRange(rgce, sheet);
        }
        return name[0] == biff::kBuiltinPrintTitles ? printTitleRows(rgce, sheet) : std::nullopt;
    }

    static void checkBof(const Record& r, std::uint16_t type, const char* message) {
        if (r.id != biff::kBof || r.body.size() < 4) {
            throw Failure(message);
        }
        bytes::Reader b(r.body, "a BOF record");
        const std::uint16_t version = b.u16();
        const std::uint16_t dt = b.u16();
        if (version != 0x0600 || dt != type) {
            throw Failure(message);
        }
    }

    void readSst(const std::vector<std::span<const std::uint8_t>>& segments) {
        if (segments.empty()) {
            return;
        }
        std::size_t total = 0;
        for (auto s : segments) {
            total += s.size();
        }
        SstReader r(segments);
        r.u32();
        const std::uint32_t unique = r.u32();
        if (unique > total / 3) {
            damaged("the shared string table claims more strings than it holds");
        }
        strings_.reserve(unique);
        for (std::uint32_t i = 0; i < unique; ++i) {
            strings_.push_back(r.string());
        }
    }

    StyleId styleOfXf(std::uint16_t xf) const {
        if (xf >= xfStyle_.size()) {
            damaged("a cell refers to a cell format that does not exist");
        }
        return xfStyle_[xf];
    }

    void readSheet(Workbook& wb, const SheetData& sd) {
        spend(kSheetBytes);
        records_.seek(sd.pos);
        records_.limit(sd.end);
        checkBof(records_.next(), 0x0010,
                 "The file is damaged: a sheet does not start where the workbook says");
        Worksheet& ws = wb.addSheet(sd.name);
        std::vector<PendingCell> cells;
        constexpr std::size_t kNoFormula = SIZE_MAX;
        std::size_t formulaString = kNoFormula;  // the cell whose text a STRING record brings
        std::vector<CellRange> merges;
        std::map<std::int32_t, std::uint16_t> heights;
        const auto cell = [&](bytes::Reader& r) {
            PendingCell c{};
            c.row = r.u16() + 1;
            c.column = r.u16() + 1;
            c.xf = r.u16();
            if (c.column > kMaxColumns) {
                damaged("a cell lies outside the sheet");
            }
            styleOfXf(c.xf);
            return c;
        };
        for (;;) {
            if (records_.atEnd()) {
                damaged("a sheet has no end");
            }
            Record rec = records_.next();
            if (rec.id == biff::kEof) {
                break;
            }
            if (rec.id == biff::kBof) {
                skipSubstream();  // an embedded chart: not kept
                continue;
            }
            bytes::Reader r(rec.body, "a sheet record");
            switch (rec.id) {
                case biff::kDefaultRowHeight: {
                    r.u16();
                    const std::uint16_t h = r.u16();
                    if (h >= 1 && h <= 8192) {
                        ws.setDefaultRowHeight(h);
                    }
                    break;
                }
                case biff::kDefColWidth: {
                    const std::uint16_t w = r.u16();
                    if (w <= 255) {
                        ws.setDefaultColumnCharacters(w);
                    }
                    break;
                }
                case biff::kColInfo: {
                    const std::uint16_t first = r.u16();
                    const std::uint16_t last = r.u16();
                    const std::uint16_t width = r.u16();
                    const std::uint16_t xf = r.u16();
                    const std::uint16_t flags = r.u16();
                    if (first > last || first >= kMaxColumns) {
                        damaged("a column record lies outside the sheet");
                    }
                    // The width counts whether or not the file marks it as set by the user (LibreOffice
                    // and others leave that flag off).
                    ColumnInfo info;
                    info.customWidth = (flags & 0x02) || width != ws.defaultColumnWidth();
                    info.width = info.customWidth ? width : 0;
                    info.hidden = flags & 0x01;
                    info.style = styleOfXf(xf);
                    for (std::int32_t c = first; c <= std::min<std::int32_t>(last, kMaxColumns - 1); ++c) {
                        ws.setColumn(c + 1, info);
                    }
                    break;
                }
                case biff::kRow: {
                    const std::int32_t row = r.u16() + 1;
                    r.skip(4);
                    const std::uint16_t height = r.u16();
                    r.skip(4);
                    const std::uint16_t flags = r.u16();
                    if ((flags & 0x40) && height >= 1 && height <= 8192) {
                        heights[row] = height;
                    }
                    break;
                }
                case biff::kBlank:
                    cells.push_back(cell(r));
                    break;
                case biff::kMulBlank: {
                    const std::int32_t row = r.u16() + 1;
                    const std::int32_t first = r.u16() + 1;
                    if (rec.body.size() < 8 || rec.body.size() % 2) {
                        damaged("a MULBLANK record has the wrong size");
                    }
                    const std::size_t n = (rec.body.size() - 6) / 2;
                    for (std::size_t k = 0; k < n; ++k) {
                        const std::uint16_t xf = r.u16();
                        styleOfXf(xf);
                        cells.push_back(PendingCell{row, first + static_cast<std::int32_t>(k), xf,
                                                    ValueKind::Empty, 0, 0});
                    }
                    const std::int32_t last = r.u16() + 1;
                    if (last != first + static_cast<std::int32_t>(n) - 1 || last > kMaxColumns) {
                        damaged("a MULBLANK record's columns do not add up");
                    }
                    break;
                }
                case biff::kLabelSst: {
                    PendingCell c = cell(r);
                    c.kind = ValueKind::Text;
                    c.sst = r.u32();
                    if (c.sst >= strings_.size()) {
                        damaged("a cell refers to a shared string that does not exist");
                    }
                    cells.push_back(c);
                    break;
                }
                case biff::kLabel: {
                    PendingCell c = cell(r);
                    c.kind = ValueKind::Text;
                    c.sst = static_cast<std::uint32_t>(strings_.size());
                    strings_.push_back(readString(r, false));
                    cells.push_back(c);
                    break;
                }
                case biff::kNumber: {
                    PendingCell c = cell(r);
                    c.kind = ValueKind::Number;
                    c.number = r.f64();
                    if (!std::isfinite(c.number)) {
                        damaged("a cell holds an invalid number");
                    }
                    cells.push_back(c);
                    break;
                }
                case biff::kBoolErr: {
                    PendingCell c = cell(r);
                    const std::uint8_t value = r.u8();
                    c.kind = r.u8() ? ValueKind::Error : ValueKind::Boolean;
                    c.sst = checkedBoolErr(c.kind, value);
                    cells.push_back(c);
                    break;
                }
                case biff::kFormula: {
                    // Kept as the value it last showed, with its format; the formula itself is not.
                    PendingCell c = cell(r);
                    const std::span<const std::uint8_t> v = r.take(8);
                    formulaString = kNoFormula;
                    if (v[6] == 0xFF && v[7] == 0xFF) {
                        switch (v[0]) {
                            case 0:  // text, in the STRING record that follows
                                c.kind = ValueKind::Text;
                                c.sst = static_cast<std::uint32_t>(strings_.size());
                                strings_.emplace_back();
                                formulaString = cells.size();
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
                    cells.push_back(c);
                    break;
                }
                case biff::kString: {
                    if (formulaString == kNoFormula) {
                        break;  // no formula waits for it
                    }
                    const std::vector<std::uint8_t> body = withContinues(rec);
                    bytes::Reader b(body, "a STRING record");
                    strings_[cells[formulaString].sst] = readString(b, false);
                    formulaString = kNoFormula;
                    break;
                }
                case biff::kRk: {
                    PendingCell c = cell(r);
                    c.kind = ValueKind::Number;
                    c.number = rkValue(r.u32());
                    cells.push_back(c);
                    break;
                }
                case biff::kMulRk: {
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
                        cells.push_back(PendingCell{row, first + static_cast<std::int32_t>(k), xf,
                                                    ValueKind::Number, 0, v});
                    }
                    if (first + static_cast<std::int32_t>(n) - 1 > kMaxColumns) {
                        damaged("a cell lies outside the sheet");
                    }
                    break;
                }
                case biff::kMergeCells: {
                    const std::uint16_t n = r.u16();
                    if (rec.body.size() != 2 + 8u * n) {
                        damaged("a MERGEDCELLS record has the wrong size");
                    }
                    for (std::uint16_t k = 0; k < n; ++k) {
                        CellRange m;
                        m.firstRow = r.u16() + 1;
                        m.lastRow = r.u16() + 1;
                        m.firstColumn = r.u16() + 1;
                        m.lastColumn = r.u16() + 1;
                        if (!m.isValid()) {
                            damaged("a merged range lies outside the sheet");
                        }
                        if (!m.isSingleCell()) {
                            spend(mergeCost(m, merges.empty()));
                            merges.push_back(m);
                        }
                    }
                    break;
                }
                case biff::kHeader:
                case biff::kFooter: {
                    std::string& text =
                        rec.id == biff::kHeader ? ws.pageSetup().header : ws.pageSetup().footer;
                    text = rec.body.empty() ? std::string() : readString(r, false);
                    if (text::toUtf16(text).size() > 255) {
                        damaged("a page header or footer is longer than 255 characters");
                    }
                    break;
                }
                case biff::kHCenter:
                    ws.pageSetup().centerHorizontally = r.u16() != 0;
                    break;
                case biff::kVCenter:
                    ws.pageSetup().centerVertically = r.u16() != 0;
                    break;
                case biff::kLeftMargin:
                    ws.pageSetup().leftMargin = marginOr(r.f64(), PageSetup{}.leftMargin);
                    break;
                case biff::kRightMargin:
                    ws.pageSetup().rightMargin = marginOr(r.f64(), PageSetup{}.rightMargin);
                    break;
                case biff::kTopMargin:
                    ws.pageSetup().topMargin = marginOr(r.f64(), PageSetup{}.topMargin);
                    break;
                case biff::kBottomMargin:
                    ws.pageSetup().bottomMargin = marginOr(r.f64(), PageSetup{}.bottomMargin);
                    break;
                case biff::kWsBool:
                    ws.pageSetup().fitToPage = r.u16() & 0x0100;
                    break;
                case biff::kSetup: {
                    // Paper, scale and orientation mean something only with printer data (fNoPls clear)
                    // and, for the orientation, fNoOrient clear. Values the format does not allow fall back
                    // to the defaults, so whatever is read can be saved again.
                    PageSetup& ps = ws.pageSetup();
                    const PageSetup defaults;
                    r.u16();
                    const std::uint16_t scale = r.u16();
                    r.u16();
                    const std::uint16_t fitWidth = r.u16();
                    const std::uint16_t fitHeight = r.u16();
                    const std::uint16_t grbit = r.u16();
                    const bool printerData = !(grbit & 0x04);
                    ps.scalePercent =
                        printerData && scale >= 10 && scale <= 400 ? scale : defaults.scalePercent;
                    ps.fitWidth = fitWidth <= 32767 ? fitWidth : defaults.fitWidth;
                    ps.fitHeight = fitHeight <= 32767 ? fitHeight : defaults.fitHeight;
                    ps.landscape = printerData && !(grbit & 0x40) && !(grbit & 0x02);
                    r.skip(4);
                    ps.headerMargin = marginOr(r.f64(), defaults.headerMargin);
                    ps.footerMargin = marginOr(r.f64(), defaults.footerMargin);
                    break;
                }
                default:
                    break;
            }
        }
        records_.limit(streamSize_);
        std::int32_t lastRow = heights.empty() ? 0 : heights.rbegin()->first;
        for (const PendingCell& c : cells) {
            lastRow = std::max(lastRow, c.row);
        }
        spend(kRowBytes * static_cast<std::size_t>(lastRow));
        checkMergesApart(merges);
        for (const CellRange& m : merges) {
            ws.addMergedRangeUnchecked(m);
        }
        for (const PendingCell& c : cells) {
            if (auto m = ws.mergedAreaAt(c.row, c.column);
                m && (m->firstRow != c.row || m->firstColumn != c.column)) {
                continue;  // hidden by a merged area: it only repeats the area's format
            }
            ws.putCell(c.row, c.column, styleOfXf(c.xf));
            if (c.kind == ValueKind::Text && !strings_[c.sst].empty()) {
                ws.putText(c.row, c.column, strings_[c.sst]);
            } else if (c.kind == ValueKind::Number) {
                ws.putNumber(c.row, c.column, c.number);
            } else if (c.kind == ValueKind::Boolean) {
                ws.putBoolean(c.row, c.column, c.sst != 0);
            } else if (c.kind == ValueKind::Error) {
                ws.putError(c.row, c.column, static_cast<std::uint8_t>(c.sst));
            }
        }
        for (const auto& [row, h] : heights) {
            ws.setCustomRowHeight(row, h);
        }
    }

    // A chart or other sub-stream inside a sheet, skipped up to its EOF.
    void skipSubstream() {
        for (int depth = 1; depth > 0;) {
            if (records_.atEnd()) {
                damaged("a sheet has no end");
            }
            const std::uint16_t id = records_.next().id;
            depth += id == biff::kBof ? 1 : id == biff::kEof ? -1 : 0;
        }
    }

    static std::uint32_t checkedBoolErr(ValueKind kind, std::uint8_t value) {
        if (kind == ValueKind::Boolean ? value > 1 : errorText(value) == nullptr) {
            damaged("a cell holds an unknown boolean or error value");
        }
        return value;
    }

    // The memory a merged area takes in the worksheet's index, which lists it in every tile it touches, and
    // the bytes saving it again will write.
    static std::size_t mergeCost(const CellRange& m, bool first) {
        const std::size_t rows = static_cast<std::size_t>(m.lastRow - 1) / kMergeTileCells -
                                 static_cast<std::size_t>(m.firstRow - 1) / kMergeTileCells + 1;
        const std::size_t columns = static_cast<std::size_t>(m.lastColumn - 1) / kMergeTileCells -
                                    static_cast<std::size_t>(m.firstColumn - 1) / kMergeTileCells + 1;
        return rows * columns * kMergeTileBytes + static_cast<std::size_t>(m.cellCount()) * kMergeCellBytes +
               (first ? kMergeIndexBytes : 0);
    }

    // Merged areas must not overlap. Swept by first row: the areas still open at a row all cross that row,
    // so while none overlap there are at most 256 of them to compare a new one with.
    static void checkMergesApart(const std::vector<CellRange>& merges) {
        std::vector<CellRange> sorted = merges;
        std::sort(sorted.begin(), sorted.end(),
                  [](const CellRange& a, const CellRange& b) { return a.firstRow < b.firstRow; });
        std::vector<CellRange> open;
        for (const CellRange& m : sorted) {
            std::erase_if(open, [&](const CellRange& o) { return o.lastRow < m.firstRow; });
            for (const CellRange& o : open) {
                if (o.intersects(m)) {
                    damaged("merged areas overlap");
                }
            }
            open.push_back(m);
        }
    }

    // An RK number; like a NUMBER, it must be finite (the top bits of a double can spell infinity).
    static double rkValue(std::uint32_t rk) {
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

    RecordStream records_;
    std::size_t streamSize_;
    std::size_t budget_;
    std::size_t spent_ = 0;
    std::vector<StyleId> xfStyle_;
    std::vector<std::string> strings_;
};

}  // namespace

Workbook decodeWorkbook(std::span<const std::uint8_t> file) {
    bool found = false;
    std::vector<std::uint8_t> stream = cfb::readStream(file, u"Workbook", found);
    if (!found) {
        bool old = false;
        cfb::readStream(file, u"Book", old);
        throw Failure(old ? "The file is an older Excel format (Excel 5.0/95), which is not supported"
                          : "The file is not an Excel 97-2003 workbook (it has no Workbook stream)");
    }
    BookReader reader(stream, file.size());
    return reader.read();
}

Workbook loadWorkbook(const std::filesystem::path& path) {
    const MappedFile file(path, kMaxFileSize);
    return decodeWorkbook(file.bytes());
}

}  // namespace rw::sheet
