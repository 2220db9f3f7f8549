#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "spreadsheet/workbook.h"
#include "spreadsheet/xls_cells.h"
#include "spreadsheet/xls_records.h"
#include "spreadsheet/xls_styles.h"

// Writes one worksheet's records. prepare() runs for every sheet before the globals are written, since
// the globals list the formats and strings the sheets' cells use.
namespace rw::sheet::xls {

class SheetWriter {
  public:
    SheetWriter(const Worksheet& ws, bool active, Layout& layout,
                std::unordered_map<std::string, std::uint32_t>& sst, std::vector<std::string_view>& sstList,
                std::uint32_t& sstTotal)
        : ws_(ws), active_(active), layout_(layout), sst_(sst), sstList_(sstList), sstTotal_(sstTotal) {}

    // Assigns XFs and strings in a fixed order (columns, then cells by row) so equal content always
    // gives equal files.
    void prepare();
    void write(RecordSink& s);
    // About how many bytes write() will add (known once prepared).
    std::size_t expectedBytes() const { return expectedBytes_; }

  private:
    void collectRow(std::int32_t row, std::vector<OutCell>& out);
    void restartMergeSweep();
    const std::vector<std::uint32_t>& mergesOnRow(std::int32_t row);

    // Sheet structure.
    void writeColumns(RecordSink& s);
    void writeDimensions(RecordSink& s);
    void writeCells(RecordSink& s);
    void writeWindow2(RecordSink& s);
    void writeMergedCells(RecordSink& s);

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
    std::vector<std::uint32_t> textSst_;       // each text cell's shared string, in the order of the cells
    std::size_t nextText_ = 0;
    bool preparing_ = false;
    bool anyCell_ = false;
    std::size_t expectedBytes_ = 0;
    std::uint32_t firstRow_ = 0, lastRow_ = 0;
    std::uint16_t firstCol_ = 0xFFFF, lastCol_ = 0;
};

}  // namespace rw::sheet::xls
