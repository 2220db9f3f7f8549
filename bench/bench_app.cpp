// The main window's costs a user can feel: start-up, and the settings write behind every keystroke.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include "app/main_window.h"
#include "platform/qt_seams.h"
#include "support/scripted_seams.h"

namespace {

// One keystroke in "Family Tree For", stored through the real per-user settings file.
void BM_KeystrokeStored(benchmark::State& state) {
    QTemporaryDir dir;
    rw::test::ScriptedPlatform seams;
    rw::QtSettingsStore store(dir.filePath("Tolvane/Rootweave.conf"));
    rw::Platform platform{
        seams.messages,  seams.browser,    seams.clock,      seams.random,      store,     seams.clipboard,
        seams.processes, seams.saveDialog, seams.programEnd, seams.printDialog, dir.path()};
    rw::Form1 form(platform, seams.run);
    form.Form_Load();
    form.Text1->clear();
    int i = 0;
    for (auto _ : state) {
        QTest::keyClick(form.Text1, (i++ % 20 == 19) ? Qt::Key_Backspace : Qt::Key_A);
    }
}
BENCHMARK(BM_KeystrokeStored)->Unit(benchmark::kMicrosecond);

// Creating the main window and running its start-up sequence (skin and hand cursor present).
void BM_StartUp(benchmark::State& state) {
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("x"));
    QFile sheet(dir.filePath("x/o.cjs"));
    sheet.open(QIODevice::WriteOnly);
    sheet.write("QLineEdit { border: 1px solid #2f6b4f; }");
    sheet.close();
    QFile::copy(QStringLiteral(ROOTWEAVE_SOURCE_DIR "/resources/HAND-M.CUR"), dir.filePath("HAND-M.CUR"));
    for (auto _ : state) {
        rw::test::ScriptedPlatform seams;
        seams.programFolder = dir.path();
        rw::Form1 form(seams.platform(), seams.run);
        form.Form_Load();
        form.show();
        QApplication::processEvents();
    }
}
BENCHMARK(BM_StartUp)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
