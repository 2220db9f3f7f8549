// "Start Creating Template", from the click to the preview shown and painted, headless, with the real engine
// and the Qt clipboard. Peak memory is the process's high-water mark after the benchmark.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <QApplication>

#include "click_to_preview.h"

namespace {

double peakMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_maxrss) / 1024.0;
}

void BM_ClickToPreview(benchmark::State& state) {
    rw::bench::ClickToPreview run(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        const bool shown = run.click();
        state.PauseTiming();
        if (!shown) {
            state.SkipWithError("the run did not end in the preview");
            break;
        }
        run.back();
        state.ResumeTiming();
    }
    state.counters["peak_MB"] = peakMegabytes();
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
