#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "spreadsheet/xls_records.h"

// The shared string table: SST with its CONTINUE records, and EXTSST. The reader's side is
// BookReader::readSst.
namespace rw::sheet::xls {

// A record and its CONTINUE records, read as one sequence of segments; strings in it follow the rule of
// the shared string table and the STRING record: where a string's characters go on in the next segment,
// that segment starts with the option byte of the characters it holds.
class ContinuedReader {
  public:
    explicit ContinuedReader(std::vector<std::span<const std::uint8_t>> segments);

    std::uint32_t u32();
    std::uint16_t u16();
    std::string string();  // XLUnicodeString, rich-text and phonetic parts skipped

  private:
    std::uint8_t byte();
    void skip(std::size_t n);
    void nextSegment();

    std::vector<std::span<const std::uint8_t>> segs_;
    std::size_t seg_ = 0;
    std::size_t off_ = 0;
};

// `total` counts the cells that refer to the strings.
void writeSst(RecordSink& s, const std::vector<std::string_view>& strings, std::uint32_t total);

}  // namespace rw::sheet::xls
