#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "spreadsheet/workbook.h"
#include "spreadsheet/xls_records.h"

// The reader's state across the record groups: the workbook globals, then one sheet after another, each
// sheet record handed to the handler of its group.
namespace rw::sheet::xls {

struct SheetData {
    std::string name;
    std::size_t pos;
    std::size_t end;  // where the next sheet (or the stream) begins: the sheet's records must end by then
};

// What the records of one sheet have brought so far. Cells go into the worksheet as they come; once the
// merged areas are known (they follow the cells), the cells they hide are dropped.
struct SheetInProgress {
    Worksheet& ws;
    std::int32_t rowsPaid = 0;  // rows of the worksheet already counted against the budget
    std::optional<std::pair<std::int32_t, std::int32_t>> formulaString;  // the cell a STRING record fills
    std::vector<CellRange> merges;
};

// What the engine needs to hold a sheet (and to save it again), estimated from what the reader found, so
// that a small file cannot make it hold a huge one (the costs follow how the worksheet stores rows and
// merged areas, and how the writer writes merged areas).
inline constexpr std::size_t kSheetBytes = 16 * 1024;
inline constexpr std::size_t kRowBytes = 32;
inline constexpr std::size_t kMergeIndexBytes = 2 * 1024 * 1024;
inline constexpr std::size_t kMergeTileBytes = 48;
inline constexpr std::size_t kMergeTileCells = 16;
// Saving a merged area writes each of its hidden cells with the area's format: two bytes a cell at least.
inline constexpr std::size_t kMergeCellBytes = 2;
// Beyond 40 bytes per byte of file, a workbook may need this much.
inline constexpr std::size_t kMemoryAllowance = 64u * 1024 * 1024;

class BookReader {
  public:
    BookReader(std::span<const std::uint8_t> stream, std::size_t fileSize)
        : records_(stream), streamSize_(stream.size()), budget_(kMemoryAllowance + 40 * fileSize) {}
    BookReader(const BookReader&) = delete;
    BookReader& operator=(const BookReader&) = delete;

    Workbook read();

  private:
    using Handler = void (BookReader::*)(SheetInProgress&, const Record&, bytes::Reader&);
    struct SheetRecordHandler {
        std::uint16_t id;
        Handler handle;
    };
    static Handler handlerFor(std::uint16_t id);

    void placeSheets(std::vector<SheetData>& sheets, std::vector<std::size_t> starts, std::size_t globalsEnd);
    void spend(std::size_t bytes);
    std::vector<std::uint8_t> withContinues(const Record& r);
    std::vector<std::span<const std::uint8_t>> withContinueSegments(const Record& r);
    static void checkBof(const Record& r, std::uint16_t type, const char* message);
    void readSst(const std::vector<std::span<const std::uint8_t>>& segments);
    StyleId styleOfXf(std::uint16_t xf) const {
        if (xf >= xfStyle_.size()) {
            damaged("a cell refers to a cell format that does not exist");
        }
        return xfStyle_[xf];
    }
    void readSheet(Workbook& wb, const SheetData& sd);
    void skipSubstream();

    // Cell records.
    struct CellHead {
        std::int32_t row, column;
        StyleId style;
    };
    CellHead cell(SheetInProgress& sheet, bytes::Reader& r);
    void payRows(SheetInProgress& sheet, std::int32_t row);
    void putSharedText(SheetInProgress& sheet, const CellHead& c, std::uint32_t sst);
    void readBlank(SheetInProgress& sheet, const Record& rec, bytes::Reader& r);
    void readMulBlank(SheetInProgress& sheet, const Record& rec, bytes::Reader& r);
    void readLabelSst(SheetInProgress& sheet, const Record& rec, bytes::Reader& r);
    void readLabel(SheetInProgress& sheet, const Record& rec, bytes::Reader& r);
    void readNumber(SheetInProgress& sheet, const Record& rec, bytes::Reader& r);
    void readBoolErr(SheetInProgress& sheet, const Record& rec, bytes::Reader& r);
    void readFormula(SheetInProgress& sheet, const Record& rec, bytes::Reader& r);
    void readFormulaString(SheetInProgress& sheet, const Record& rec, bytes::Reader& r);
    void readRk(SheetInProgress& sheet, const Record& rec, bytes::Reader& r);
    void readMulRk(SheetInProgress& sheet, const Record& rec, bytes::Reader& r);

    // Sheet structure.
    void readDefaultRowHeight(SheetInProgress& sheet, const Record& rec, bytes::Reader& r);
    void readDefColWidth(SheetInProgress& sheet, const Record& rec, bytes::Reader& r);
    void readColInfo(SheetInProgress& sheet, const Record& rec, bytes::Reader& r);
    void readRow(SheetInProgress& sheet, const Record& rec, bytes::Reader& r);
    void readMergeCells(SheetInProgress& sheet, const Record& rec, bytes::Reader& r);
    static std::size_t mergeCost(const CellRange& m, bool first);
    static void placeMerges(Worksheet& ws, const std::vector<CellRange>& merges);

    // Print set-up.
    void readHeaderFooter(SheetInProgress& sheet, const Record& rec, bytes::Reader& r);
    void readCentering(SheetInProgress& sheet, const Record& rec, bytes::Reader& r);
    void readMargin(SheetInProgress& sheet, const Record& rec, bytes::Reader& r);
    void readWsBool(SheetInProgress& sheet, const Record& rec, bytes::Reader& r);
    void readSetup(SheetInProgress& sheet, const Record& rec, bytes::Reader& r);

    RecordStream records_;
    std::size_t streamSize_;
    std::size_t budget_;
    std::size_t spent_ = 0;
    std::vector<StyleId> xfStyle_;
    std::vector<std::string> strings_;
    // Per shared string: the sheet (counted from 1) that last used it, and its text in that sheet, so a
    // string used by many cells of a sheet is held there once.
    struct SharedUse {
        std::uint32_t sheet = 0;
        std::uint32_t text = 0;
    };
    std::vector<SharedUse> sharedUse_;
    std::uint32_t sheetNumber_ = 0;
};

}  // namespace rw::sheet::xls
