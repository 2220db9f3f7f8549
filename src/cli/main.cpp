#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "cli/chart_tool.h"
#include "cli/tool_main.h"

// rootweave-chart. The runs that only write a workbook, the most common and the ones scripts make by the
// thousand, run here without Qt's GUI library. A run that draws a picture or printed pages is handed whole,
// with its command line, environment and process, to rootweave-chart-draw, installed at
// ROOTWEAVE_DRAWING_TOOL relative to this program's folder.
namespace {

int handToDrawingTool(char** argv) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::filesystem::path tool = (self.parent_path() / ROOTWEAVE_DRAWING_TOOL).lexically_normal();
    if (!error) {
        ::execv(tool.c_str(), argv);
    }
    const int cause = error ? error.value() : errno;
    std::fprintf(stderr, "rootweave-chart: cannot start %s, which draws pictures and printed pages: %s\n",
                 error ? "rootweave-chart-draw" : tool.c_str(), std::strerror(cause));
    return rw::cli::kExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
    if (rw::cli::drawsPictures(argc, argv)) {
        return handToDrawingTool(argv);
    }
    return rw::cli::runToolMain(argc, argv, nullptr);
}
