// The spreadsheet engine: building the 15-generation ancestor chart through the automation interface
// (the same calls the chart layout makes) and saving it as an .xls file.
//   cmake --build <dir> --target bench_engine && <dir>/bench/bench_engine
// Peak memory of one build + save: <dir>/bench/bench_engine --once  (prints it; or use /usr/bin/time -v).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "chart/chart_replay.h"  // tests/chart
#include "chart/excel_binding.h"
#include "platform/program_names.h"

namespace {

using rw::automation::Dispatch;

std::string outputPath() {
    return (std::filesystem::temp_directory_path() / "rw_bench_engine.xls").string();
}

void buildAndSave(int generations, bool save) {
    rw::chart::EngineFactory factory;
    Dispatch app(factory.createObject(rw::names::kExcelClassName));
    app.let("Visible", false);
    Dispatch book(rw::automation::toObject(app.get("Workbooks").call("Add")));
    rw::test::replayChart(book.get("ActiveSheet"), generations, "Ann");
    if (save) {
        book.call("SaveAs", {outputPath()});
    }
    book.call("Close");
    app.call("Quit");
}

void BM_BuildChart(benchmark::State& state) {
    for (auto _ : state) {
        buildAndSave(static_cast<int>(state.range(0)), false);
    }
}
BENCHMARK(BM_BuildChart)->Arg(10)->Arg(15)->Unit(benchmark::kMillisecond);

void BM_BuildAndSaveChart(benchmark::State& state) {
    for (auto _ : state) {
        buildAndSave(static_cast<int>(state.range(0)), true);
    }
    std::filesystem::remove(outputPath());
}
BENCHMARK(BM_BuildAndSaveChart)->Arg(15)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--once") == 0) {
        const auto start = std::chrono::steady_clock::now();
        buildAndSave(15, true);
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        rusage usage{};
        getrusage(RUSAGE_SELF, &usage);
        std::printf("15 generations, build + SaveAs: %.1f ms, peak RSS %.1f MB, file %.2f MB\n", ms,
                    usage.ru_maxrss / 1024.0,
                    static_cast<double>(std::filesystem::file_size(outputPath())) / (1024.0 * 1024.0));
        std::filesystem::remove(outputPath());
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
