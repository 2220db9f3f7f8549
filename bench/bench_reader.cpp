// The .xls reader: reading speed (MB of file per second) and memory (peak heap bytes per byte of file) for
// the 15-generation chart, a workbook of many small sheets, and a small sheet merged whole.
//   cmake --build <dir> --target bench_reader && <dir>/bench/bench_reader
// Memory of one read of each file, each in a fresh process: <dir>/bench/bench_reader --memory
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <new>
#include <string>

#include "spreadsheet/book_shapes.h"    // tests/spreadsheet
#include "spreadsheet/codec_support.h"  // tests/spreadsheet
#include "spreadsheet/xls_codec.h"

// Live and peak heap bytes, counted by the global allocation functions.
namespace {
std::atomic<std::size_t> liveBytes{0};
std::atomic<std::size_t> peakBytes{0};

void* counted(std::size_t n) {
    void* p = std::malloc(n == 0 ? 1 : n);
    if (p == nullptr) {
        throw std::bad_alloc();
    }
    const std::size_t now = liveBytes += malloc_usable_size(p);
    std::size_t peak = peakBytes.load();
    while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
    }
    return p;
}
void uncounted(void* p) {
    if (p != nullptr) {
        liveBytes -= malloc_usable_size(p);
        std::free(p);
    }
}
}  // namespace

void* operator new(std::size_t n) {
    return counted(n);
}
void* operator new[](std::size_t n) {
    return counted(n);
}
void operator delete(void* p) noexcept {
    uncounted(p);
}
void operator delete[](void* p) noexcept {
    uncounted(p);
}
void operator delete(void* p, std::size_t) noexcept {
    uncounted(p);
}
void operator delete[](void* p, std::size_t) noexcept {
    uncounted(p);
}

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

const Shape kShapes[] = {
    {"chart15", chart15},
    {"small_sheets_255", smallSheets},
    {"whole_sheet_merge", wholeMerges},
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
BENCHMARK(BM_Read)->DenseRange(0, 2)->Unit(benchmark::kMillisecond);

// One read of one file: the heap it needs at its peak, per byte of file.
int measure(const Shape& shape) {
    const fs::path path = fileOf(shape);
    const double size = static_cast<double>(fs::file_size(path));
    const std::size_t before = liveBytes.load();
    peakBytes = before;
    const auto start = std::chrono::steady_clock::now();
    {
        const Workbook wb = loadWorkbook(path);
        benchmark::DoNotOptimize(&wb);
    }
    fs::remove(path);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    const double peak = static_cast<double>(peakBytes.load() - before);
    std::printf(
        "%-22s file %9.0f bytes  read %7.2f ms  %7.1f MB/s  peak heap %6.1f MB  %6.1f bytes per byte\n",
        shape.name, size, seconds * 1000, size / seconds / 1e6, peak / (1024 * 1024), peak / size);
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
