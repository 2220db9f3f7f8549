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
#include <cstdint>
#include <iterator>
#include <map>
#include <optional>

#include "platform/failure.h"
#include "spreadsheet/biff.h"
#include "spreadsheet/byte_io.h"
#include "spreadsheet/compound_file.h"
#include "spreadsheet/file_bytes.h"
#include "spreadsheet/number_formats.h"
#include "spreadsheet/xls_book_reader.h"
#include "spreadsheet/xls_codec.h"
#include "spreadsheet/xls_page_setup.h"
#include "spreadsheet/xls_records.h"
#include "spreadsheet/xls_styles.h"

namespace rw::sheet {

namespace xls {

Workbook BookReader::read() {
    Record bof = records_.next();
    checkBof(bof, 0x0005, "The file is not an Excel 97-2003 workbook");
    std::vector<Font> fonts;
    std::vector<RawXf> xfs;
    std::vector<SheetData> sheets;
    std::vector<std::size_t> substreams;  // where every BOUNDSHEET's sheet begins, whatever its kind
    std::map<std::uint16_t, std::string> formats;
    std::vector<std::optional<std::size_t>> worksheetOfBoundSheet;  // per BOUNDSHEET: our sheet index
    PrintNames names;
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
            case biff::kFormat:
                parseFormat(r.body, formats);
                break;
            case biff::kWindow1: {
                bytes::Reader w(r.body, "the WINDOW1 record");
                w.skip(10);
                activeTab = w.u16();
                break;
            }
            case biff::kPalette:
                palette = parsePalette(r.body);
                break;
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
            case biff::kSupBook:
                readSupBook(r.body, names);
                break;
            case biff::kExternSheet:
                readExternSheet(withContinues(r), names);
                break;
            case biff::kName: {
                const std::vector<std::uint8_t> body = withContinues(r);
                if (auto name = readName(body)) {
                    names.printNames.push_back(*name);
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
    applyPrintNames(names, worksheetOfBoundSheet, wb);
    // The selected tab counts every sheet, chart and macro sheets too; one that is not kept leaves the first
    // worksheet active.
    const std::optional<std::size_t> active =
        activeTab < worksheetOfBoundSheet.size() ? worksheetOfBoundSheet[activeTab] : std::nullopt;
    wb.setActiveSheet(active.value_or(0));
    return wb;
}

// Each sheet must begin at a place of its own, after the globals and inside the stream; a sheet's
// records may run only up to the next sheet's start. So no byte of the stream is read twice, and the
// time to read a file grows with its size.
void BookReader::placeSheets(std::vector<SheetData>& sheets, std::vector<std::size_t> starts,
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
void BookReader::spend(std::size_t bytes) {
    spent_ += bytes;
    if (spent_ > budget_) {
        throw Failure(
            "The workbook cannot be opened: its sheets, rows and merged areas would need more "
            "memory than a file of this size can hold (over " +
            std::to_string(budget_ / (1024 * 1024)) + " MB)");
    }
}

// A record's body and the bodies of the CONTINUE records that follow it, each apart.
std::vector<std::span<const std::uint8_t>> BookReader::withContinueSegments(const Record& r) {
    std::vector<std::span<const std::uint8_t>> segments{r.body};
    while (records_.peekId() == biff::kContinue) {
        segments.push_back(records_.next().body);
    }
    return segments;
}

// A record's body joined with the CONTINUE records that follow it.
std::vector<std::uint8_t> BookReader::withContinues(const Record& r) {
    std::vector<std::uint8_t> body(r.body.begin(), r.body.end());
    while (records_.peekId() == biff::kContinue) {
        const Record c = records_.next();
        body.insert(body.end(), c.body.begin(), c.body.end());
    }
    return body;
}

void BookReader::checkBof(const Record& r, std::uint16_t type, const char* message) {
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

void BookReader::readSheet(Workbook& wb, const SheetData& sd) {
    spend(kSheetBytes);
    records_.seek(sd.pos);
    records_.limit(sd.end);
    checkBof(records_.next(), 0x0010, "The file is damaged: a sheet does not start where the workbook says");
    SheetInProgress sheet{wb.addSheet(sd.name), 0, std::nullopt, {}};
    ++sheetNumber_;
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
        if (const Handler handle = handlerFor(rec.id)) {
            bytes::Reader r(rec.body, "a sheet record");
            (this->*handle)(sheet, rec, r);
        }
    }
    records_.limit(streamSize_);
    placeMerges(sheet.ws, sheet.merges);
}

// A chart or other sub-stream inside a sheet, skipped up to its EOF.
void BookReader::skipSubstream() {
    for (int depth = 1; depth > 0;) {
        if (records_.atEnd()) {
            damaged("a sheet has no end");
        }
        const std::uint16_t id = records_.next().id;
        depth += id == biff::kBof ? 1 : id == biff::kEof ? -1 : 0;
    }
}

BookReader::Handler BookReader::handlerFor(std::uint16_t id) {
    // The sheet records the reader keeps, by group; all others are skipped.
    static constexpr SheetRecordHandler kSheetRecords[] = {
        // Cells.
        {biff::kLabelSst, &BookReader::readLabelSst},
        {biff::kLabel, &BookReader::readLabel},
        {biff::kNumber, &BookReader::readNumber},
        {biff::kRk, &BookReader::readRk},
        {biff::kMulRk, &BookReader::readMulRk},
        {biff::kBlank, &BookReader::readBlank},
        {biff::kMulBlank, &BookReader::readMulBlank},
        {biff::kBoolErr, &BookReader::readBoolErr},
        {biff::kFormula, &BookReader::readFormula},
        {biff::kString, &BookReader::readFormulaString},
        // Sheet structure.
        {biff::kDefaultRowHeight, &BookReader::readDefaultRowHeight},
        {biff::kDefColWidth, &BookReader::readDefColWidth},
        {biff::kColInfo, &BookReader::readColInfo},
        {biff::kRow, &BookReader::readRow},
        {biff::kMergeCells, &BookReader::readMergeCells},
        // Print set-up.
        {biff::kHeader, &BookReader::readHeaderFooter},
        {biff::kFooter, &BookReader::readHeaderFooter},
        {biff::kHCenter, &BookReader::readCentering},
        {biff::kVCenter, &BookReader::readCentering},
        {biff::kLeftMargin, &BookReader::readMargin},
        {biff::kRightMargin, &BookReader::readMargin},
        {biff::kTopMargin, &BookReader::readMargin},
        {biff::kBottomMargin, &BookReader::readMargin},
        {biff::kWsBool, &BookReader::readWsBool},
        {biff::kSetup, &BookReader::readSetup},
    };
    // Looked up by record number in a table as long as the largest number kept, as quick as a switch.
    static constexpr std::size_t kIdLimit = biff::kRk + 1;
    static constexpr auto kById = [] {
        std::array<Handler, kIdLimit> byId{};
        for (const SheetRecordHandler& h : kSheetRecords) {
            byId[h.id] = h.handle;  // a number past kIdLimit does not compile
        }
        return byId;
    }();
    return id < kIdLimit ? kById[id] : nullptr;
}

}  // namespace xls

using xls::BookReader;

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
    return decodeWorkbook(readFileBytes(path, kMaxFileSize));
}

}  // namespace rw::sheet
