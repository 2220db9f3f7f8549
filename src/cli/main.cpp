#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "cli/chart_tool.h"
#include "cli/tool_main.h"

// rootweave-chart. The runs that write an .xls workbook alone, the most common and the ones scripts make by
// the thousand, run with Qt Core only. A run that writes .xlsx, a picture or printed pages first loads the
// formats module, which brings libxlsxwriter and Qt's GUI library with it; the module is installed at
// ROOTWEAVE_FORMATS_MODULE relative to this program's folder.
namespace {

using FormatsEntry = const rw::cli::Formats* (*)();

void cannotLoad(const char* why) {
    std::fprintf(
        stderr,
        "rootweave-chart: cannot load the module for .xlsx workbooks, pictures and printed pages: %s\n", why);
}

const rw::cli::Formats* loadFormats() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        cannotLoad(error.message().c_str());
        return nullptr;
    }
    const std::filesystem::path module = (self.parent_path() / ROOTWEAVE_FORMATS_MODULE).lexically_normal();
    void* handle = ::dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    const auto entry = handle != nullptr
                           ? reinterpret_cast<FormatsEntry>(::dlsym(handle, "rootweaveChartFormats"))
                           : nullptr;
    if (entry == nullptr) {
        cannotLoad(::dlerror());
        return nullptr;
    }
    return entry();  // the module stays loaded until the program ends
}

}  // namespace

int main(int argc, char** argv) {
    if (!rw::cli::needsFormats(argc, argv)) {
        return rw::cli::runToolMain(argc, argv, nullptr);
    }
    const rw::cli::Formats* formats = loadFormats();
    return formats != nullptr ? rw::cli::runToolMain(argc, argv, formats) : rw::cli::kExitFailed;
}
