#include <QGuiApplication>
#include <QTextStream>
#include <cstdio>

#include "chart/excel_binding.h"
#include "chart/picture_clipboard.h"
#include "chart/print_setup.h"
#include "cli/chart_tool.h"

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

int main(int argc, char** argv) {
    // Pictures are drawn with Qt's text and painting, which need a GUI application; the tool never shows a
    // window, so it runs on the offscreen platform unless told otherwise.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    usualHandler = qInstallMessageHandler(dropSessionNotes);
    QGuiApplication app(argc, argv);
    qInstallMessageHandler(usualHandler);
    QCoreApplication::setApplicationName(QStringLiteral("rootweave-chart"));
    rw::chart::registerPictureFonts();
    QTextStream out(stdout);
    QTextStream err(stderr);
    rw::cli::PictureCatcher pictures;
    rw::chart::EngineFactory factory(pictures.sink());
    factory.setNewSheetPageSetup(rw::chart::chartPageSetup());
    factory.setPrintAreaOverUsedRange(true);
    return rw::cli::runChartTool(QCoreApplication::arguments(), factory, pictures, out, err);
}
