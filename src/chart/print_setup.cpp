#include "chart/print_setup.h"

namespace rw::chart {

sheet::PageSetup chartPageSetup() {
    sheet::PageSetup ps;
    ps.landscape = true;
    ps.fitToPage = true;
    ps.fitWidth = 1;
    ps.fitHeight = 0;  // as many pages tall as needed
    ps.titleRows = std::pair{2, 3};
    ps.centerHorizontally = true;
    ps.footer = "&CPage &P of &N";
    return ps;
}

}  // namespace rw::chart
