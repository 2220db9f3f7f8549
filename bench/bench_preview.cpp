// The preview's repaint of one viewport of a very tall chart, a wheel notch over it, and reading the chart
// picture.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QWheelEvent>
#include <map>
#include <memory>

#include "preview/chart_picture.h"
#include "preview/preview_window.h"
#include "preview/test_pictures.h"
#include "spreadsheet/picture_sheets.h"
#include "spreadsheet/range_picture.h"
#include "support/scripted_seams.h"

namespace {

std::shared_ptr<const rw::preview::ChartPicture> chart(int generations) {
    static std::map<int, std::shared_ptr<const rw::preview::ChartPicture>> cache;
    auto& slot = cache[generations];
    if (!slot) {
        slot = rw::preview::ChartPicture::fromSvg(rw::test::ancestorChartPicture(generations));
    }
    return slot;
}

void BM_ReadChartPicture(benchmark::State& state) {
    const QByteArray svg = rw::test::ancestorChartPicture(static_cast<int>(state.range(0)));
    std::size_t elements = 0;
    for (auto _ : state) {
        elements = rw::preview::ChartPicture::fromSvg(svg)->elementCount();
    }
    state.counters["elements"] = static_cast<double>(elements);
    state.counters["MB"] = svg.size() / 1e6;
}
BENCHMARK(BM_ReadChartPicture)->Arg(10)->Arg(15)->Unit(benchmark::kMillisecond);

// The display list of the real chart: made from the sheet's shapes, against reading their SVG back.
void pictureOfSheet(benchmark::State& state, bool throughSvg) {
    rw::sheet::Workbook book;
    rw::sheet::Worksheet& ws = book.sheet(0);
    rw::test::buildChart(ws, "Ann", static_cast<int>(state.range(0)));
    const rw::sheet::picture::Shapes shapes = rw::sheet::rangeShapes(ws, ws.usedRange());
    const QByteArray svg = QByteArray::fromStdString(rw::sheet::pictureSvg(shapes));
    std::size_t elements = 0;
    for (auto _ : state) {
        elements = (throughSvg ? rw::preview::ChartPicture::fromSvg(svg)
                               : rw::preview::ChartPicture::fromShapes(shapes))
                       ->elementCount();
    }
    state.counters["elements"] = static_cast<double>(elements);
}
void BM_DisplayListFromShapes(benchmark::State& state) {
    pictureOfSheet(state, false);
}
void BM_DisplayListFromSvg(benchmark::State& state) {
    pictureOfSheet(state, true);
}
BENCHMARK(BM_DisplayListFromShapes)->Arg(10)->Arg(15)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DisplayListFromSvg)->Arg(10)->Arg(15)->Unit(benchmark::kMillisecond);

// A prepared preview at `zoom`, scrolled to the middle; each iteration repaints the whole viewport.
void repaintViewport(benchmark::State& state, int generations, float zoom) {
    rw::test::ScriptedPlatform seams;
    QWidget mainWindow;
    rw::Form2 form(seams.platform(), &mainWindow);
    form.setCanvasPicture(chart(generations));
    form.setExcelFile(QStringLiteral("/nonexistent.xls"));
    form.Form_Activate();
    if (zoom != 1.0F) {
        form.SetZoom(zoom);
    }
    if (form.mZoom != zoom) {
        state.SkipWithError("zoom factor not reached");
        return;
    }
    form.VScroll1->setValue(form.VScroll1->maximum() / 2);
    QImage image(form.Picture2->size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        form.Picture2->render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["canvas_h"] = form.Picture1->height();
    state.counters["top"] = form.Picture1->top();
}

void BM_RepaintViewport15GenerationsAt1(benchmark::State& state) {
    repaintViewport(state, 15, 1.0F);
}
BENCHMARK(BM_RepaintViewport15GenerationsAt1)->Unit(benchmark::kMillisecond);

void BM_RepaintViewport10GenerationsAtQuarter(benchmark::State& state) {
    repaintViewport(state, 10, 0.25F);
}
BENCHMARK(BM_RepaintViewport10GenerationsAtQuarter)->Unit(benchmark::kMillisecond);

// 1,000 wheel notches down a prepared 15-generation chart at 1.0, from the top; each notch is the wheel event
// over the canvas (the scroll bar moves, the canvas follows) and the repaint of the viewport.
void BM_WheelNotch15GenerationsAt1(benchmark::State& state) {
    rw::test::ScriptedPlatform seams;
    QWidget mainWindow;
    rw::Form2 form(seams.platform(), &mainWindow);
    form.setCanvasPicture(chart(15));
    form.setExcelFile(QStringLiteral("/nonexistent.xls"));
    form.Form_Activate();
    QImage image(form.Picture2->size(), QImage::Format_ARGB32_Premultiplied);
    const QPointF at(100, 100);
    for (auto _ : state) {
        QWheelEvent notch(at, form.Picture1->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(form.Picture1, &notch);
        form.Picture2->render(&image);
        benchmark::DoNotOptimize(image.constBits());
    }
    if (form.VScroll1->value() == 0 || form.VScroll1->value() == form.VScroll1->maximum()) {
        state.SkipWithError("the wheel did not move the chart, or ran out of chart");
    }
    state.counters["top"] = form.Picture1->top();
}
BENCHMARK(BM_WheelNotch15GenerationsAt1)->Iterations(1000)->Repetitions(5)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
