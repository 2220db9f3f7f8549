// One measured step of the performance table, in a fresh process so that its peak memory is its own:
//   perf_table save    N WORKBOOK   lay out N generations in a new engine instance and save them to WORKBOOK
//                                   as the run saves its temporary workbook (not flushed to disk); a third
//                                   number is the time a flush of that file then takes
//   perf_table render  N WORKBOOK   reopen WORKBOOK in a new instance and write the picture of its used range
//   perf_table preview N            "Start Creating Template", from the click to the preview shown and
//   painted
//   perf_table filled  N FAMILY     the same for the chart filled from FAMILY (a family file) with the
//                                   ancestors of record I1, read before the click as a dropped file is
//   perf_table soak    N RUNS       RUNS clicks in one window, each to the preview and "< Back" again;
//                                   one line per run: "<seconds> <resident MB>"
// Prints "<seconds> <peak MB>". bench/perf_table.sh runs the steps and prints the README's table. The steps
// run headless unless QT_QPA_PLATFORM names a platform (xcb under Xvfb, say).
#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QList>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "chart/excel1.h"
#include "chart/excel_binding.h"
#include "chart/layout.h"
#include "chart/picture_clipboard.h"
#include "chart/print_setup.h"
#include "click_to_preview.h"
#include "platform/error_report.h"
#include "platform/program_names.h"
#include "support/scripted_seams.h"

namespace {

using rw::automation::Dispatch;
using Clock = std::chrono::steady_clock;

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

// The layout and the save, as the run makes them (lines 110 to 222).
void layOutAndSave(int generations, const QString& workbook, rw::MessageBoxes& boxes) {
    rw::chart::EngineFactory factory;
    factory.setSaveAs(rw::chart::Excel1::saveScratchWorkbook);
    factory.setNewSheetPageSetup(rw::chart::chartPageSetup());
    factory.setPrintAreaOverUsedRange(true);
    Dispatch excel(factory.createObject(rw::names::kExcelClassName));
    Dispatch book(rw::automation::toObject(excel.get("Workbooks").call("Add")));
    excel.let("Visible", false);
    rw::ErrorTrap trap(boxes, rw::chart::kCreateTemplateReportName);
    rw::chart::layoutFamilyTree(trap, book.get("ActiveSheet"), QStringLiteral("Jonas Wexley"),
                                QString::number(generations));
    book.call("SaveAs", {workbook.toStdString()});
    excel.let("DisplayAlerts", false);
    book.call("Close");
    excel.call("Quit");
}

// The reopening and the picture (lines 230 to 242).
void reopenAndRender(const QString& workbook, const QString& picture, rw::MessageBoxes& boxes,
                     rw::Clipboard& clipboard) {
    rw::chart::PictureClipboard pictures(clipboard);
    rw::chart::EngineFactory factory(pictures.sink());
    Dispatch excel = rw::chart::Excel1::openExcelWorkbook(factory, workbook);
    Dispatch book = excel.get("Workbooks", {excel.get("Workbooks").value("Count")});
    rw::chart::Excel1::saveCellsActivesheet(book, picture, boxes, clipboard);
    excel.let("DisplayAlerts", false);
    book.call("Close");
    excel.call("Quit");
}

double clickToPreview(int generations, const QString& family = QString()) {
    rw::bench::ClickToPreview run(generations);
    if (!family.isEmpty() && !run.loadFamily(family, "I1")) {
        std::fprintf(stderr, "perf_table: the family file could not be read or has no record I1\n");
        std::exit(1);
    }
    const auto start = Clock::now();
    const bool shown = run.click();
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (!shown) {
        std::fprintf(stderr, "perf_table: the run did not end in the preview\n");
        std::exit(1);
    }
    return seconds;
}

// How long making the saved file durable takes (what a save the user keeps adds to the run's save).
double flushSeconds(const QString& workbook) {
    const int fd = ::open(QFile::encodeName(workbook).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    const auto start = Clock::now();
    ::fsync(fd);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    ::close(fd);
    return seconds;
}

double residentMegabytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) {
        return 0;
    }
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toDouble() * 4096.0 / (1024.0 * 1024.0) : 0;
}

void soak(int generations, int runs) {
    rw::bench::ClickToPreview run(generations);
    for (int i = 0; i < runs; ++i) {
        const auto start = Clock::now();
        const bool shown = run.click();
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        if (!shown) {
            std::fprintf(stderr, "perf_table: run %d did not end in the preview\n", i + 1);
            std::exit(1);
        }
        std::printf("%.3f %.1f\n", seconds, residentMegabytes());
        std::fflush(stdout);
        run.back();
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(
            stderr, "usage: perf_table save|render|preview|filled|soak GENERATIONS [WORKBOOK|FAMILY|RUNS]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const QString step = QString::fromLocal8Bit(argv[1]);
    const int generations = std::atoi(argv[2]);
    const QString workbook = argc > 3 ? QString::fromLocal8Bit(argv[3]) : QString();
    rw::test::ScriptedMessageBoxes boxes;
    rw::test::MemoryClipboard clipboard;

    double seconds = 0;
    double flush = -1;
    if (step == QLatin1String("soak")) {
        soak(generations, argc > 3 ? std::atoi(argv[3]) : 20);
        std::printf("peak %.1f MB\n", peakMegabytes());
        return 0;
    }
    if (step == QLatin1String("preview")) {
        seconds = clickToPreview(generations);
    } else if (step == QLatin1String("filled") && !workbook.isEmpty()) {
        seconds = clickToPreview(generations, workbook);
    } else if (step == QLatin1String("save") && !workbook.isEmpty()) {
        const auto start = Clock::now();
        layOutAndSave(generations, workbook, boxes);
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
        flush = flushSeconds(workbook);
    } else if (step == QLatin1String("render") && !workbook.isEmpty()) {
        const QString picture = workbook + QStringLiteral(".svg");
        const auto start = Clock::now();
        reopenAndRender(workbook, picture, boxes, clipboard);
        seconds = std::chrono::duration<double>(Clock::now() - start).count();
        QFile::remove(picture);
    } else {
        std::fprintf(stderr, "perf_table: unknown step or missing workbook\n");
        return 2;
    }
    if (!boxes.shown.empty()) {
        std::fprintf(stderr, "perf_table: %s\n", qPrintable(boxes.shown.front().text));
        return 1;
    }
    if (flush >= 0) {
        std::printf("%.3f %.1f %.3f\n", seconds, peakMegabytes(), flush);
    } else {
        std::printf("%.3f %.1f\n", seconds, peakMegabytes());
    }
    return 0;
}
