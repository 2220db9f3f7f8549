#include <QApplication>
#include <QIcon>
#include <csignal>
#include <memory>

#include "app/generation_run.h"
#include "app/main_window.h"
#include "chart/active_object.h"
#include "chart/excel1.h"
#include "chart/excel_binding.h"
#include "chart/picture_clipboard.h"
#include "chart/print_setup.h"
#include "platform/qt_seams.h"
#include "platform/safe_file.h"
#include "preview/preview_window.h"

// Rootweave takes no command line and no configuration file: it loads the main window and runs.
int main(int argc, char** argv) {
    // A file-size limit makes a save fail with "File too large", reported like any failed save, instead of
    // ending the program in the middle of it.
    std::signal(SIGXFSZ, SIG_IGN);
    // Ctrl+C, kill or a closed terminal remove the file being written and the run's temporary workbook
    // before the program ends as the signal would have ended it.
    rw::safefile::removeDraftsOnSignals();
    QApplication app(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Tolvane"));
    QCoreApplication::setApplicationName(QStringLiteral("Rootweave"));
    QGuiApplication::setDesktopFileName(QStringLiteral("rootweave"));  // matches the installed desktop entry
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/rootweave/rootweave.svg")));

    rw::QtPlatform platform;
    rw::chart::registerPictureFonts();

    // The spreadsheet engine stands in for Excel: each instance the run starts is a separate engine
    // application, whose pictures of cell ranges go to the clipboard. The pictures object outlives the
    // factory.
    rw::chart::PictureClipboard pictures(platform.clipboard);
    rw::chart::EngineFactory factory(pictures.sink());
    factory.setNewSheetPageSetup(rw::chart::chartPageSetup());
    factory.setPrintAreaOverUsedRange(true);
    factory.setSaveAs(rw::chart::Excel1::saveScratchWorkbook);  // it saves the run's temporary workbook only
    rw::chart::RunningExcelLookup lookup(platform.processes);

    std::unique_ptr<rw::Form2> preview;  // loaded by the first run that reaches it, then reused
    rw::GenerationRun run(factory, lookup, [&](QWidget& parent) -> rw::Form2& {
        if (!preview) {
            preview = std::make_unique<rw::Form2>(platform.platform(), &parent);
        }
        return *preview;
    });
    run.setPictures(pictures);
    rw::Form1 form(platform.platform(), run);
    form.Form_Load();
    form.show();
    const int status = QApplication::exec();
    preview.reset();  // before the main window, which would otherwise delete its child first
    return status;
}
