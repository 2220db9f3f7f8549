#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "cli/chart_tool.h"
#include "cli/tool_main.h"

// rootweave-chart. The runs that only write a workbook, the most common and the ones scripts make by the
// thousand, run without Qt's GUI library. A run that draws a picture or printed pages first loads the
// drawing module, which brings the GUI library with it; the module is installed at
// ROOTWEAVE_DRAWING_MODULE relative to this program's folder.
namespace {

using DrawingEntry = const rw::cli::Drawing* (*)();

const rw::cli::Drawing* loadDrawing() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        std::fprintf(stderr,
                     "rootweave-chart: cannot find the module that draws pictures and printed pages: %s\n",
                     error.message().c_str());
        return nullptr;
    }
    const std::filesystem::path module = (self.parent_path() / ROOTWEAVE_DRAWING_MODULE).lexically_normal();
    void* handle = ::dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    const auto entry = handle != nullptr
                           ? reinterpret_cast<DrawingEntry>(::dlsym(handle, "rootweaveChartDrawing"))
                           : nullptr;
    if (entry == nullptr) {
        std::fprintf(stderr,
                     "rootweave-chart: cannot load the module that draws pictures and printed pages: %s\n",
                     ::dlerror());
        return nullptr;
    }
    return entry();  // the module stays loaded until the program ends
}

}  // namespace

int main(int argc, char** argv) {
    if (!rw::cli::drawsPictures(argc, argv)) {
        return rw::cli::runToolMain(argc, argv, nullptr);
    }
    const rw::cli::Drawing* drawing = loadDrawing();
    return drawing != nullptr ? rw::cli::runToolMain(argc, argv, drawing) : rw::cli::kExitFailed;
}
