#pragma once

#include "spreadsheet/worksheet.h"

// How a chart prints: the page set-up every chart workbook is saved with.
namespace rw::chart {

// Landscape; scaled to one page wide and as many pages tall as the tree needs; the heading rows (2 and 3)
// repeated at the top of every page; centred across the page; "Page N of M" centred in the footer.
sheet::PageSetup chartPageSetup();

}  // namespace rw::chart
