#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "spreadsheet/xls_records.h"

// The shared string table: SST with its CONTINUE records, and EXTSST. The reader's side is
// BookReader::readSst.
namespace rw::sheet::xls {

// `total` counts the cells that refer to the strings.
void writeSst(RecordSink& s, const std::vector<std::string_view>& strings, std::uint32_t total);

}  // namespace rw::sheet::xls
