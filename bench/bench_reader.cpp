// The .xls reader: reading speed (MB of file per second) and memory (peak heap bytes per byte of file) for
// the 15-generation chart, a workbook of many small sheets, a small sheet merged whole, one long shared
// string shown by 20,000 cells, 65,536 rows of 256 blank cells, and a million two-cell merged areas.
//   cmake --build <dir> --target bench_reader && <dir>/bench/bench_reader
// Memory of one read (and one save of it) of each file, each in a fresh process:
//   <dir>/bench/bench_reader --memory
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <string>

#include "counted_heap.h"
#include "spreadsheet/book_shapes.h"    // tests/spreadsheet
#include "spreadsheet/codec_support.h"  // tests/spreadsheet
#include "spreadsheet/xls_codec.h"

namespace {

namespace fs = std::filesystem;
using namespace rw::sheet;

struct Shape {
    const char* name;
    std::vector<std::uint8_t> (*make)();
};

std::vector<std::uint8_t> chart15() {
    Workbook wb;
    rw::test::drawChart(wb.activeSheet(), 15);
    return encodeWorkbook(wb);
}
std::vector<std::uint8_t> smallSheets() {
    return rw::test::shapes::manySmallSheets(255);
}
std::vector<std::uint8_t> wholeMerges() {
    return rw::test::shapes::wholeSheetMerges(1);
}

std::vector<std::uint8_t> longSharedString() {
    return rw::test::shapes::oneLongStringInManyCells(65535, 20000);
}
std::vector<std::uint8_t> denseBlanks() {
    return rw::test::shapes::denseBlanks(65536);
}
std::vector<std::uint8_t> twoCellMerges() {
    return rw::test::shapes::twoCellMerges(1 << 20);
}

const Shape kShapes[] = {
    {"chart15", chart15},
    {"small_sheets_255", smallSheets},
    {"whole_sheet_merge", wholeMerges},
    {"long_shared_string", longSharedString},
    {"mulblank_65536x256", denseBlanks},
    {"two_cell_merges_1M", twoCellMerges},
};

fs::path fileOf(const Shape& s) {
    const fs::path path = fs::temp_directory_path() / (std::string("rw_bench_reader_") + s.name + ".xls");
    const auto bytes = s.make();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
}

void BM_Read(benchmark::State& state) {
    const Shape& shape = kShapes[state.range(0)];
    const fs::path path = fileOf(shape);
    state.SetLabel(shape.name);
    for (auto _ : state) {
        benchmark::DoNotOptimize(loadWorkbook(path));
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * fs::file_size(path)));
    fs::remove(path);
}
BENCHMARK(BM_Read)->DenseRange(0, static_cast<int>(std::size(kShapes)) - 1)->Unit(benchmark::kMillisecond);

// One read of one file, then one save of what was read: the heap each needs at its peak, per byte of file.
int measure(const Shape& shape) {
    const fs::path path = fileOf(shape);
    const double size = static_cast<double>(fs::file_size(path));
    const std::size_t before = rw::bench::restartHeapPeak();
    // Wall time, and the process's CPU time (which a busy machine does not stretch).
    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    double readSeconds = 0, readCpu = 0, readPeak = 0;
    {
        const Workbook wb = loadWorkbook(path);
        readSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        readCpu = static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
        readPeak = static_cast<double>(rw::bench::peakHeapBytes.load() - before);
        benchmark::DoNotOptimize(encodeWorkbook(wb));
    }
    fs::remove(path);
    const double savePeak = static_cast<double>(rw::bench::peakHeapBytes.load() - before);
    std::printf(
        "%-20s file %9.0f bytes  read %7.1f ms wall, %7.1f ms CPU, %6.1f MB/s of CPU  peak heap: read %6.1f "
        "MB "
        "(%5.1f per byte), read+save %6.1f MB (%5.1f per byte)\n",
        shape.name, size, readSeconds * 1000, readCpu * 1000, size / readCpu / 1e6, readPeak / (1024 * 1024),
        readPeak / size, savePeak / (1024 * 1024), savePeak / size);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--memory") == 0) {
        if (argc > 2) {
            return measure(kShapes[std::atoi(argv[2])]);
        }
        // Each shape in a fresh process, so one read's leftovers do not count against the next.
        for (std::size_t i = 0; i < std::size(kShapes); ++i) {
            const std::string command = std::string("'") + argv[0] + "' --memory " + std::to_string(i);
            if (std::system(command.c_str()) != 0) {
                return 1;
            }
        }
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
