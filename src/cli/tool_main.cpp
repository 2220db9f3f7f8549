#include "cli/tool_main.h"

#include <QDate>
#include <QStringList>
#include <QTextStream>
#include <csignal>
#include <cstdio>
#include <string_view>

#include "chart/excel_binding.h"
#include "chart/print_setup.h"
#include "cli/chart_tool.h"
#include "cli/native_names.h"
#include "platform/safe_file.h"
#include "spreadsheet/xlsx_writer.h"

namespace rw::cli {

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

}  // namespace

bool drawsPictures(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument.starts_with("--picture") || argument.starts_with("--print")) {
            return true;
        }
    }
    return false;
}

bool needsFormats(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (sheet::hasXlsxEnding(argv[i])) {
            return true;
        }
    }
    return drawsPictures(argc, argv);
}

int runToolMain(int argc, char** argv, const Formats* formats) {
    // Stopped by Ctrl+C, kill or a closed terminal, the tool leaves no file behind; a file-size limit makes
    // the write fail with "File too large", which is reported, instead of ending the tool unannounced.
    safefile::removeDraftsOnSignals();
    std::signal(SIGXFSZ, SIG_IGN);
    // The tool never shows a window, so a GUI application runs on the offscreen platform unless told
    // otherwise.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    // Pictures and printed pages are drawn with Qt's text and painting, which need a GUI application. A run
    // without them starts the core application alone, without loading a platform and its fonts.
    usualHandler = qInstallMessageHandler(dropSessionNotes);
    const std::unique_ptr<QCoreApplication> app = formats != nullptr && drawsPictures(argc, argv)
                                                      ? formats->application(argc, argv)
                                                      : std::make_unique<QCoreApplication>(argc, argv);
    qInstallMessageHandler(usualHandler);
    QCoreApplication::setApplicationName(QStringLiteral("rootweave-chart"));
    // The chart's face is registered when a picture or the printed pages are drawn, not for every run.
    QTextStream out(stdout);
    QTextStream err(stderr);
    PictureCatcher pictures;
    WorkbookCatcher workbooks;
    chart::EngineFactory factory(pictures.sink());
    factory.setSaveAs(workbooks.sink());
    factory.setNewSheetPageSetup(chart::chartPageSetup());
    factory.setPrintAreaOverUsedRange(true);
    // The arguments as bytes: a file name that is not UTF-8 keeps its every byte.
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        arguments << argumentFromBytes(argv[i]);
    }
    return runChartTool(arguments, factory, pictures, workbooks, formats, out, err,
                        QDate::currentDate().year());
}

}  // namespace rw::cli
