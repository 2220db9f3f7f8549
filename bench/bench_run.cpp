// "Start Creating Template", from the click to the preview shown and painted, headless, with the real engine
// and the Qt clipboard. Peak memory is the process's high-water mark after the benchmark.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <memory>

#include "app/main_window.h"
#include "chart/excel_binding.h"
#include "chart/picture_clipboard.h"
#include "chart/print_setup.h"
#include "platform/qt_seams.h"
#include "preview/preview_window.h"
#include "support/scripted_seams.h"

namespace {

// No Excel of the user's runs.
class NoRunningExcel : public rw::automation::ActiveObjectLookup {
  public:
    rw::automation::ObjectRef getActiveObject(const std::string&) override {
        throw rw::Failure("ActiveX component can't create object");
    }
};

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_ClickToPreview(benchmark::State& state) {
    QTemporaryDir temp;
    qputenv("temp", QFile::encodeName(temp.path()));
    rw::test::ScriptedPlatform seams;
    rw::QtClipboard clipboard;
    rw::Platform platform{seams.messages, seams.browser,   seams.clock,      seams.random,     seams.settings,
                          clipboard,      seams.processes, seams.saveDialog, seams.programEnd, temp.path()};
    rw::chart::registerPictureFonts();
    rw::chart::PictureClipboard pictures(clipboard);
    rw::chart::EngineFactory factory(pictures.sink());
    factory.setNewSheetPageSetup(rw::chart::chartPageSetup());
    NoRunningExcel lookup;

    rw::Form1 form(platform);
    std::unique_ptr<rw::Form2> preview;
    form.setGenerationRun(factory, lookup, [&]() -> rw::Form2& {
        if (!preview) {
            preview = std::make_unique<rw::Form2>(platform, &form);
        }
        return *preview;
    });
    form.Text1->setText(QStringLiteral("Jonas Wexley"));
    form.Text2->setText(QString::number(state.range(0)));
    form.show();
    QApplication::processEvents();

    for (auto _ : state) {
        form.PushButton1_Click();
        QApplication::processEvents();  // the preview's first paint
        state.PauseTiming();
        if (!seams.messages.shown.empty() || !preview || !preview->isVisible()) {
            state.SkipWithError("the run did not end in the preview");
            break;
        }
        // "< Back", by hand: the next run shows the preview anew.
        QFile::remove(preview->excelFile());
        preview->hide();
        form.show();
        QApplication::processEvents();
        state.ResumeTiming();
    }
    state.counters["peak_MB"] = peakMegabytes();
    qunsetenv("temp");
}
BENCHMARK(BM_ClickToPreview)->Arg(5)->Arg(10)->Arg(15)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
