// The main window's costs a user can feel: start-up, and the settings write behind every keystroke.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include "app/main_window.h"
#include "app/person_picker.h"
#include "platform/qt_seams.h"
#include "support/scripted_seams.h"

namespace {

// One keystroke in "Family Tree For", stored through the real per-user settings file.
void BM_KeystrokeStored(benchmark::State& state) {
    QTemporaryDir dir;
    rw::test::ScriptedPlatform seams;
    rw::QtSettingsStore store(dir.filePath("Tolvane/Rootweave.conf"));
    rw::Platform platform{
        seams.messages,   seams.browser,   seams.clock,      seams.random,     store,
        seams.clipboard,  seams.processes, seams.saveDialog, seams.programEnd, seams.printDialog,
        seams.openDialog, dir.path()};
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

// The person picker's filter over 100,000 people, one keystroke: the list is shown again for each text.
void BM_PickerFilter(benchmark::State& state) {
    rw::family::FamilyFile file;
    const char* const given[] = {"Anna", "Émile", "Johann", "Maria", "Pierre", "Sigríður", "Wilhelm", "Zoë"};
    const char* const surnames[] = {"Müller", "Dubois", "Smith", "Ólafsdóttir", "Nowak", "García", ""};
    file.people.resize(100000);
    for (std::size_t i = 0; i < file.people.size(); ++i) {
        rw::family::Person& p = file.people[i];
        p.id = "I" + std::to_string(i + 1);
        p.givenNames = {given[i % 8], given[(i / 8) % 8]};
        p.surname = std::string(surnames[i % 7]) + (i % 7 == 6 ? "" : std::to_string(i % 997));
    }
    rw::PeopleModel model(file);
    const QString texts[] = {QStringLiteral("m"), QStringLiteral("mul"), QStringLiteral("muller 4"),
                             QStringLiteral("emile"), QStringLiteral("")};
    std::size_t i = 0;
    for (auto _ : state) {
        model.setFilter(texts[i++ % 5]);
        benchmark::DoNotOptimize(model.rowCount());
    }
}
BENCHMARK(BM_PickerFilter)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
