#include "cli/qt_drawing.h"

// The one name rootweave-chart looks up in this module once it has loaded it.
extern "C" __attribute__((visibility("default"))) const rw::cli::Drawing* rootweaveChartDrawing() {
    static const rw::cli::QtDrawing drawing;
    return &drawing;
}
