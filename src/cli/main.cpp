#include <dlfcn.h>

#include <QDate>
#include <QStringList>
#include <QTextStream>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string_view>
#include <system_error>

#include "chart/excel_binding.h"
#include "chart/print_setup.h"
#include "cli/chart_tool.h"
#include "cli/formats.h"
#include "cli/native_names.h"
#include "platform/safe_file.h"
#include "spreadsheet/xlsx_writer.h"

// rootweave-chart. The runs that write an .xls workbook alone, the most common and the ones scripts make by
// the thousand, run with Qt Core only. A run that writes .xlsx, a picture or printed pages first loads the
// formats module, which brings libxlsxwriter and Qt's GUI library with it; the module is installed at
// ROOTWEAVE_FORMATS_MODULE relative to this program's folder.
namespace {

// Qt's note that the desktop session lacks a runtime folder (XDG_RUNTIME_DIR) means nothing to a tool
// without windows and would land among the tool's own messages; it is dropped while the application
// starts. Every other message goes through as usual.
QtMessageHandler usualHandler = nullptr;

void dropSessionNotes(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && message.startsWith(QStringLiteral("QStandardPaths: "))) {
        return;
    }
    if (usualHandler != nullptr) {
        usualHandler(type, context, message);
    } else {
        std::fprintf(stderr, "%s\n", qPrintable(message));
    }
}

// Pictures and printed pages are drawn with Qt's text and painting, which need a GUI application. When in
// doubt (an argument that only looks like --picture or --print), the run draws.
bool drawsPictures(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument.starts_with("--picture") || argument.starts_with("--print")) {
            return true;
        }
    }
    return false;
}

// Whether the run needs more formats than .xls: it draws, or an argument (the output, as far as anyone can
// tell before the command line is read) ends in .xlsx.
bool needsFormats(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (rw::sheet::hasXlsxEnding(argv[i])) {
            return true;
        }
    }
    return drawsPictures(argc, argv);
}

// The whole run; without `formats`, a run that asks for .xlsx, a picture or pages is refused.
int runTool(int argc, char** argv, const rw::cli::Formats* formats) {
    // Stopped by Ctrl+C, kill or a closed terminal, the tool leaves no file behind; a file-size limit makes
    // the write fail with "File too large", which is reported, instead of ending the tool unannounced.
    rw::safefile::removeDraftsOnSignals();
    std::signal(SIGXFSZ, SIG_IGN);
    // The tool never shows a window, so a GUI application runs on the offscreen platform unless told
    // otherwise.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // A run that draws starts the GUI application; any other starts the core application alone, without
    // loading a platform and its fonts.
    usualHandler = qInstallMessageHandler(dropSessionNotes);
    const std::unique_ptr<QCoreApplication> app = formats != nullptr && drawsPictures(argc, argv)
                                                      ? formats->application(argc, argv)
                                                      : std::make_unique<QCoreApplication>(argc, argv);
    qInstallMessageHandler(usualHandler);
    QCoreApplication::setApplicationName(QStringLiteral("rootweave-chart"));
    // The chart's face is registered when a picture or the printed pages are drawn, not for every run.
    QTextStream out(stdout);
    QTextStream err(stderr);
    rw::cli::PictureCatcher pictures;
    rw::cli::WorkbookCatcher workbooks;
    rw::chart::EngineFactory factory(pictures.sink());
    factory.setSaveAs(workbooks.sink());
    factory.setNewSheetPageSetup(rw::chart::chartPageSetup());
    factory.setPrintAreaOverUsedRange(true);
    // The arguments as bytes: a file name that is not UTF-8 keeps its every byte.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << rw::cli::argumentFromBytes(argv[i]);
    }
    return rw::cli::runChartTool(arguments, factory, pictures, workbooks, formats, out, err,
                                 QDate::currentDate().year());
}

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
    if (!needsFormats(argc, argv)) {
        return runTool(argc, argv, nullptr);
    }
    const rw::cli::Formats* formats = loadFormats();
    return formats != nullptr ? runTool(argc, argv, formats) : rw::cli::kExitFailed;
}
