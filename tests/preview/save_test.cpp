#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <csignal>
#include <functional>
#include <vector>

#include "platform/safe_file.h"
#include "preview/preview_window.h"
#include "spreadsheet/picture_sheets.h"
#include "spreadsheet/xls_codec.h"
#include "support/ordinary_user.h"
#include "support/run_process.h"
#include "support/scripted_seams.h"

namespace rw {
namespace {

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class SaveTest : public ::testing::Test {
  protected:
    SaveTest() {
        // A workbook with every byte value, so any translation on the way would show.
        for (int i = 0; i < 70'000; ++i) {
            bytes.append(static_cast<char>((i * 7 + i / 256) & 0xff));
        }
        writeFile(workbook, bytes);
        form.setExcelFile(workbook);
    }

    // Chooses `name` in the dialog and clicks "Save Results To Excel File".
    void saveAs(const QString& name) {
        seams.saveDialog.answers.push_back(name);
        form.PushButton6->click();
    }
    QStringList texts() const {
        QStringList t;
        for (const auto& box : seams.messages.shown) {
            t.push_back(box.text);
        }
        return t;
    }
    QString path(const char* name) const { return dir.filePath(QString::fromUtf8(name)); }

    QTemporaryDir dir;
    QString workbook = dir.filePath(QStringLiteral("qarlow87654321.xls"));
    QByteArray bytes;
    test::ScriptedPlatform seams;
    QWidget mainWindow;
    Form2 form{seams.platform(), &mainWindow};
};

TEST_F(SaveTest, CancelWritesNothingAndSaysDone) {
    saveAs(QString());
    ASSERT_EQ(seams.saveDialog.asked.size(), 1U);
    EXPECT_EQ(seams.saveDialog.asked[0].title, QStringLiteral("Save File"));
    EXPECT_EQ(seams.saveDialog.asked[0].filter,
              QStringLiteral("Excel Files (*.xls);;Excel Workbook (*.xlsx)"));
    EXPECT_EQ(seams.saveDialog.asked[0].fileName, QString());
    EXPECT_EQ(texts(), QStringList{QStringLiteral("Done.")});
    EXPECT_EQ(seams.messages.shown[0].title, QStringLiteral("Rootweave"));
    EXPECT_EQ(seams.messages.shown[0].icon, MsgIcon::None);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("qarlow87654321.xls")});
}

TEST_F(SaveTest, NewNamesGetExactCopiesAndNoQuestion) {
    saveAs(path("chart.xls"));
    saveAs(path("chart two"));  // no extension is added
    EXPECT_EQ(readAll(path("chart.xls")), bytes);
    EXPECT_EQ(readAll(path("chart two")), bytes);
    EXPECT_FALSE(QFile::exists(path("chart two.xls")));
    EXPECT_EQ(texts(), (QStringList{QStringLiteral("Done."), QStringLiteral("Done.")}));
    EXPECT_EQ(seams.saveDialog.asked[1].fileName, QString());  // the name is cleared before each showing
    EXPECT_EQ(readAll(workbook), bytes);
}

TEST_F(SaveTest, ExistingNameIsReplacedOnlyAfterYes) {
    const QString target = path("old.xls");
    writeFile(target, "old contents");
    seams.messages.answers = {kAnswerNo};
    saveAs(target);
    EXPECT_EQ(readAll(target), QByteArray("old contents"));
    ASSERT_EQ(seams.messages.shown.size(), 2U);
    const test::ShownBox& question = seams.messages.shown[0];
    EXPECT_EQ(question.text,
              QStringLiteral("Are you sure you wish to overwrite ") + target + QStringLiteral(" ?"));
    EXPECT_EQ(question.buttons, MsgButtons::YesNo);
    EXPECT_EQ(question.defaultAnswer, kAnswerYes);
    EXPECT_EQ(question.icon, MsgIcon::None);
    EXPECT_EQ(question.title, QStringLiteral("Rootweave"));
    EXPECT_EQ(seams.messages.shown[1].text, QStringLiteral("Done."));

    seams.messages.answers = {kAnswerYes};
    saveAs(target);
    EXPECT_EQ(readAll(target), bytes);
    EXPECT_EQ(texts().back(), QStringLiteral("Done."));
    EXPECT_EQ(seams.messages.shown.size(), 4U);
}

TEST_F(SaveTest, TheTemporaryWorkbookAsTargetSurvives) {
    ASSERT_TRUE(QFile::link(workbook, path("link.xls")));
    for (const QString& name :
         {workbook, dir.path() + QStringLiteral("/./") + QFileInfo(workbook).fileName(), path("link.xls")}) {
        seams.messages.answers = {kAnswerYes};
        saveAs(name);
        EXPECT_EQ(readAll(workbook), bytes) << name.toStdString();
        EXPECT_EQ(texts().back(), QStringLiteral("Done."));
    }
    EXPECT_EQ(seams.messages.shown.size(), 6U);  // question and "Done." each time, no error report
}

TEST_F(SaveTest, UnwritableTargetReportsTheCopyThenDone) {
    // An existing file in a folder no one may change, root included.
    const QString target = QStringLiteral("/proc/version");
    const QByteArray before = readAll(target);
    seams.messages.answers = {kAnswerYes};
    saveAs(target);
    const QStringList shown = texts();
    ASSERT_EQ(shown.size(), 3);
    EXPECT_TRUE(
        shown[1].contains(QStringLiteral("in Rootweave7/29/2014.Form2.PushButton6_Click at line 124")));
    EXPECT_EQ(shown[2], QStringLiteral("Done."));
    EXPECT_EQ(readAll(target), before);
}

TEST_F(SaveTest, AFailedCopyOverAnExistingFileLeavesItAsItWas) {
    // After Yes, the copy fails: the workbook removed behind the program's back, the disk full on the
    // second write, or a target that is no plain file. Each is reported at line 124 before "Done.", and the
    // user's file keeps its bytes, with nothing left beside it.
    struct Fault {
        const char* name;
        std::function<void()> arm;
        const char* reason;
    };
    const std::vector<Fault> faults = {
        {"workbook gone", [&] { QFile::remove(workbook); }, "File not found"},
        {"disk full", [] { safefile::failNthWriteForTesting(2, ENOSPC); }, "No space left on device"},
    };
    const QString target = path("family.xls");
    for (const Fault& fault : faults) {
        writeFile(workbook, bytes);
        writeFile(target, "the user's chart");
        seams.messages.shown.clear();
        seams.messages.answers = {kAnswerYes};
        fault.arm();
        saveAs(target);
        safefile::failNthWriteForTesting(0, 0);
        const QStringList shown = texts();
        ASSERT_EQ(shown.size(), 3) << fault.name;
        EXPECT_TRUE(shown[1].startsWith(QString::fromUtf8(fault.reason)) ||
                    shown[1].contains(QStringLiteral("(") + fault.reason + QStringLiteral(")")))
            << shown[1].toStdString();
        EXPECT_TRUE(shown[1].contains(QStringLiteral("at line 124"))) << fault.name;
        EXPECT_EQ(shown[2], QStringLiteral("Done."));
        EXPECT_EQ(readAll(target), QByteArray("the user's chart")) << fault.name;
        QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
        left.removeAll(QStringLiteral("qarlow87654321.xls"));
        EXPECT_EQ(left, QStringList{QStringLiteral("family.xls")}) << fault.name;
    }

    // A FIFO under the chosen name is refused and stays a FIFO (opening it would have hung the save).
    writeFile(workbook, bytes);
    const QString fifo = path("pipe.xls");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    seams.messages.shown.clear();
    seams.messages.answers = {kAnswerYes};
    saveAs(fifo);
    const QStringList shown = texts();
    ASSERT_EQ(shown.size(), 3);
    EXPECT_TRUE(shown[1].contains(QStringLiteral("not a regular file"))) << shown[1].toStdString();
    EXPECT_EQ(shown[2], QStringLiteral("Done."));
    struct stat st {};
    ASSERT_EQ(::lstat(QFile::encodeName(fifo).constData(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST_F(SaveTest, MissingWorkbookIsNamedInTheReport) {
    QFile::remove(workbook);
    for (const char* name : {"chart.xls", "chart.xlsx"}) {
        seams.messages.shown.clear();
        saveAs(path(name));
        const QStringList shown = texts();
        ASSERT_EQ(shown.size(), 2) << name;
        EXPECT_TRUE(
            shown[0].startsWith(QStringLiteral("File not found: ") + workbook + QStringLiteral("\r\nin ")))
            << shown[0].toStdString();
        EXPECT_TRUE(shown[0].contains(QStringLiteral("at line 124")));
        EXPECT_FALSE(QFile::exists(path(name)));
    }
}

TEST_F(SaveTest, AFileTheUserMayNotWriteIsLeftAsItWas) {
    // The folder lets the user replace the file, the file itself is read-only to them.
    test::OrdinaryUser::share(dir.path());
    for (const char* name : {"locked.xls", "locked.xlsx"}) {
        const QString target = path(name);
        writeFile(target, "the user's chart");
        ASSERT_EQ(::chmod(QFile::encodeName(target).constData(), 0444), 0);
        seams.messages.shown.clear();
        seams.messages.answers = {kAnswerYes};
        {
            test::OrdinaryUser user;
            ASSERT_TRUE(user.active());
            saveAs(target);
        }
        const QStringList shown = texts();
        ASSERT_EQ(shown.size(), 3) << name;
        EXPECT_TRUE(shown[0].startsWith(QStringLiteral("Are you sure you wish to overwrite ")));
        EXPECT_TRUE(shown[1].startsWith(QStringLiteral("Path/File access error: ") + target +
                                        QStringLiteral(" cannot be written (the file is read-only)")))
            << shown[1].toStdString();
        EXPECT_TRUE(shown[1].contains(QStringLiteral("at line 124")));
        EXPECT_EQ(shown[2], QStringLiteral("Done."));
        EXPECT_EQ(readAll(target), QByteArray("the user's chart")) << name;
    }
}

TEST_F(SaveTest, FailedCopyLeavesNoPartialFile) {
    // Files may grow to 16 KiB only, as on a disk that fills up during the copy.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = 16 * 1024;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    saveAs(path("chart.xls"));
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    const QStringList shown = texts();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_TRUE(shown[0].contains(QStringLiteral("at line 124")));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("qarlow87654321.xls")});
}

// The temporary workbook holding a real chart, as the generation run leaves it.
void writeChartWorkbook(const QString& path, int generations) {
    sheet::Workbook book;
    test::buildChart(book.activeSheet(), "Ann", generations);
    sheet::saveWorkbook(book, QFile::encodeName(path).toStdString());
}

TEST_F(SaveTest, XlsxNamesGetTheWorkbookAsXlsx) {
    writeChartWorkbook(workbook, 3);
    saveAs(path("tree.XLSX"));
    saveAs(path("tree.xls"));
    EXPECT_EQ(texts(), (QStringList{QStringLiteral("Done."), QStringLiteral("Done.")}));
    EXPECT_EQ(readAll(path("tree.xls")), readAll(workbook));

    // Read back by openpyxl: the heading, its merged areas and a box.
    const test::ProcessResult read = test::runProcess(
        QStringLiteral("/usr/bin/python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import openpyxl, sys\n"
                        "ws = openpyxl.load_workbook(sys.argv[1]).active\n"
                        "print(ws['B2'].value, sorted(str(r) for r in ws.merged_cells.ranges),\n"
                        "      ws['B5'].fill.fgColor.rgb, ws['B5'].border.left.style)\n"),
         path("tree.XLSX")});
    EXPECT_EQ(read.out, QStringLiteral("Family Tree for Ann ['B2:F2', 'B3:F3'] FF99CC00 thin\n"))
        << read.err.toStdString();
}

TEST_F(SaveTest, TheNameOrElseThePickedEntryDecidesTheFormat) {
    writeChartWorkbook(workbook, 3);
    struct Case {
        const char* name;
        int pickedEntry;  // 0: "Excel Files (*.xls)", 1: "Excel Workbook (*.xlsx)"
        bool xlsx;
    };
    const Case cases[] = {
        {"typed bare", 1, true}, {"typed bare too", 0, false}, {"old.XLS", 1, false},
        {"new.Xlsx", 0, true},   {"tree.v2", 1, true},         {"tree.v3", 0, false},
    };
    for (const Case& c : cases) {
        seams.saveDialog.pickedEntries.push_back(c.pickedEntry);
        saveAs(path(c.name));
        const QByteArray saved = readAll(path(c.name));  // exactly the typed name, nothing added
        EXPECT_EQ(saved.startsWith("PK\x03\x04"), c.xlsx) << c.name;
        if (!c.xlsx) {
            EXPECT_EQ(saved, readAll(workbook)) << c.name;
        }
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 7);
    EXPECT_EQ(texts(), QStringList(6, QStringLiteral("Done.")));
}

TEST_F(SaveTest, TheSameFailureReadsTheSameInBothFormats) {
    writeChartWorkbook(workbook, 3);
    for (const char* name : {"full.xls", "full.xlsx"}) {
        seams.messages.shown.clear();
        safefile::failNthWriteForTesting(1, ENOSPC);
        saveAs(path(name));
        safefile::failNthWriteForTesting(0, 0);
        const QStringList shown = texts();
        ASSERT_EQ(shown.size(), 2) << name;
        EXPECT_TRUE(
            shown[0].startsWith(QStringLiteral("Path/File access error: ") + path(name) +
                                QStringLiteral(" cannot be written (No space left on device)\r\nin ")))
            << shown[0].toStdString();
    }
}

TEST_F(SaveTest, AnXlsxThatCannotBeMadeIsReportedAndLeavesNothing) {
    struct Case {
        const char* what;
        int chartGenerations;  // 0: the temporary workbook is no workbook at all
        rlim_t fileSizeLimit;  // 0: none
    };
    for (const Case& c : {Case{"unreadable workbook", 0, 0}, Case{"disk full", 10, 16 * 1024}}) {
        SCOPED_TRACE(c.what);
        seams.messages.shown.clear();
        if (c.chartGenerations > 0) {
            writeChartWorkbook(workbook, c.chartGenerations);
        }
        rlimit old{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
        auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        if (c.fileSizeLimit > 0) {
            rlimit small = old;
            small.rlim_cur = c.fileSizeLimit;
            ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        }
        saveAs(path("chart.xlsx"));
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);

        const QStringList shown = texts();
        ASSERT_EQ(shown.size(), 2);
        EXPECT_TRUE(shown[0].contains(QStringLiteral("at line 124"))) << shown[0].toStdString();
        EXPECT_EQ(shown[1], QStringLiteral("Done."));
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
                  QStringList{QStringLiteral("qarlow87654321.xls")});
    }
}

}  // namespace
}  // namespace rw
