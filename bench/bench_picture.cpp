// The picture of the 15-generation chart: rendering its used range to SVG (goal: under 100 ms and under
// 5 MB), the copy to the clipboard, and the PNG of a small chart.
//   cmake --build <dir> --target bench_picture && <dir>/bench/bench_picture
#include <benchmark/benchmark.h>

#include <QGuiApplication>

#include "chart/excel_binding.h"
#include "chart/layout.h"
#include "chart/picture_clipboard.h"
#include "platform/error_report.h"
#include "platform/program_names.h"
#include "spreadsheet/range_picture.h"
#include "support/scripted_seams.h"

namespace {

using rw::automation::Dispatch;

// A chart laid out by the real layout in the real engine; the sheet is caught at CopyPicture.
struct EngineChart {
    const rw::sheet::Worksheet* sheet = nullptr;
    rw::sheet::CellRange range;
    rw::chart::EngineFactory factory{[this](const rw::sheet::Worksheet& s, const rw::sheet::CellRange& r) {
        sheet = &s;
        range = r;
    }};
    Dispatch excel;

    explicit EngineChart(int generations) {
        excel = Dispatch(factory.createObject(rw::names::kExcelClassName));
        const Dispatch book(rw::automation::toObject(excel.get("Workbooks").call("Add")));
        rw::test::ScriptedMessageBoxes boxes;  // 14 and 15 generations report their overflows here
        rw::ErrorTrap trap(boxes, rw::chart::kCreateTemplateReportName);
        rw::chart::layoutFamilyTree(trap, book.get("ActiveSheet"), "Ann", QString::number(generations));
        book.get("ActiveSheet").get("UsedRange").call("CopyPicture");
    }
};

EngineChart& chart(int generations) {
    static EngineChart fifteen(15);
    static EngineChart six(6);
    return generations == 15 ? fifteen : six;
}

void BM_RenderFifteenGenerations(benchmark::State& state) {
    const EngineChart& c = chart(15);
    std::size_t bytes = 0;
    rw::sheet::RangePicture p;
    for (auto _ : state) {
        p = rw::sheet::renderRangePicture(*c.sheet, c.range);
        bytes = p.svg.size();
        benchmark::DoNotOptimize(p.svg.data());
    }
    state.counters["svg_MB"] = static_cast<double>(bytes) / 1e6;
    state.counters["width_px"] = p.width;
    state.counters["height_px"] = p.height;
}
BENCHMARK(BM_RenderFifteenGenerations)->Unit(benchmark::kMillisecond);

// The two halves of the above: the shapes, and their SVG text.
void BM_ShapesFifteenGenerations(benchmark::State& state) {
    const EngineChart& c = chart(15);
    for (auto _ : state) {
        const rw::sheet::picture::Shapes shapes = rw::sheet::rangeShapes(*c.sheet, c.range);
        benchmark::DoNotOptimize(shapes.fills.data());
    }
}
BENCHMARK(BM_ShapesFifteenGenerations)->Unit(benchmark::kMillisecond);

void BM_SvgFromShapesFifteenGenerations(benchmark::State& state) {
    const EngineChart& c = chart(15);
    const rw::sheet::picture::Shapes shapes = rw::sheet::rangeShapes(*c.sheet, c.range);
    for (auto _ : state) {
        const std::string svg = rw::sheet::pictureSvg(shapes);
        benchmark::DoNotOptimize(svg.data());
    }
}
BENCHMARK(BM_SvgFromShapesFifteenGenerations)->Unit(benchmark::kMillisecond);

void BM_CopyPictureFifteenGenerations(benchmark::State& state) {
    const EngineChart& c = chart(15);
    rw::test::MemoryClipboard clipboard;
    rw::chart::PictureClipboard pictures(clipboard);
    for (auto _ : state) {
        pictures.copy(*c.sheet, c.range);
        benchmark::DoNotOptimize(clipboard.svg.data());
    }
}
BENCHMARK(BM_CopyPictureFifteenGenerations)->Unit(benchmark::kMillisecond);

void BM_CopyPictureSixGenerationsWithPng(benchmark::State& state) {
    const EngineChart& c = chart(6);
    rw::test::MemoryClipboard clipboard;
    rw::chart::PictureClipboard pictures(clipboard);
    for (auto _ : state) {
        pictures.copy(*c.sheet, c.range);
        benchmark::DoNotOptimize(clipboard.png.data());
    }
    state.counters["png_kB"] = static_cast<double>(clipboard.png.size()) / 1e3;
}
BENCHMARK(BM_CopyPictureSixGenerationsWithPng)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
