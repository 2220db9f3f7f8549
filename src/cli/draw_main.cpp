#include "cli/qt_drawing.h"
#include "cli/tool_main.h"

// rootweave-chart with Qt's painting: the program rootweave-chart hands the runs that draw a picture or
// printed pages to.
int main(int argc, char** argv) {
    const rw::cli::QtDrawing drawing;
    return rw::cli::runToolMain(argc, argv, &drawing);
}
