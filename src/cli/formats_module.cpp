#include "cli/all_formats.h"

// The one name rootweave-chart looks up in this module once it has loaded it.
extern "C" __attribute__((visibility("default"))) const rw::cli::Formats* rootweaveChartFormats() {
    static const rw::cli::AllFormats formats;
    return &formats;
}
