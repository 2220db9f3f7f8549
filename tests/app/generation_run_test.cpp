#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>

#include <QFileInfo>
#include <QSet>

#include "generation_run_fixture.h"
#include "platform/safe_file.h"

// Runs that end in the preview: the checked workbook, its name and folder, the files around it.
namespace rw::test {
namespace {

TEST_F(GenerationRun, SampleInputsEndInThePreviewWithACheckedWorkbookAndNoPictureLeft) {
    Form1& f = makeForm("Jonas Wexley", "5");
    f.PushButton1_Click();

    EXPECT_TRUE(seams.messages.shown.empty()) << seams.messages.shown.front().text.toStdString();
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->isVisible());
    EXPECT_FALSE(f.isVisible());
    EXPECT_NE(preview->Zoom_Ori->picture(), nullptr);
    EXPECT_GT(preview->mOrigWidth, 100);
    EXPECT_GT(preview->mOrigHeight, 100);

    const QString path = preview->excelFile();
    const QFileInfo workbook(path);
    EXPECT_EQ(workbook.absolutePath(), QFileInfo(tempFolder.path()).absoluteFilePath());
    EXPECT_TRUE(kWorkbookName.match(workbook.fileName()).hasMatch()) << path.toStdString();
    ASSERT_TRUE(workbook.isFile());
    EXPECT_GT(workbook.size(), 1000);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "the workbook is for its owner only";
    EXPECT_EQ(xlrdCheck(path, 5, "Jonas Wexley", "5"), "OK\n");

    // The picture and its folder are gone; the workbook is all the run leaves behind.
    EXPECT_EQ(tempEntries(), QStringList{workbook.fileName()});

    EXPECT_EQ(pointers->values,
              (std::vector<int>{kPointerHourglass, kPointerDefault, kPointerHourglass, kPointerDefault}));
    EXPECT_EQ(factory.created, 2);
    EXPECT_TRUE(watch.has("Excel1: Visible = False"));
    EXPECT_TRUE(watch.has("Excel1: SaveAs(\"" + path.toStdString() + "\")()"));
    EXPECT_TRUE(watch.has("Excel1: Quit()"));
    EXPECT_TRUE(watch.has("Excel2: Open(\"" + path.toStdString() + "\")()"));
    EXPECT_TRUE(watch.has("Excel2: CopyPicture()"));
    EXPECT_TRUE(watch.has("Excel2: Quit()"));
    EXPECT_TRUE(watch.allReleased());
    EXPECT_EQ(previewLoads, 1);
}

TEST_F(GenerationRun, RunsInARowSaveUnderDifferentNamesAndReuseThePreview) {
    // The program's own clock and generator: the digits of one name vary, and consecutive names differ.
    QtClock clock;
    Mt64Random random;
    Platform platform = seams.platform();
    Platform real{platform.messages,
                  platform.browser,
                  clock,
                  random,
                  platform.settings,
                  platform.clipboard,
                  platform.processes,
                  platform.saveDialog,
                  platform.programEnd,
                  platform.printDialog,
                  platform.openDialog,
                  platform.programFolder};
    Form1& f = makeForm(real, "Ada", "2");
    QSet<QString> names;
    bool digitsVary = false;
    for (int run = 0; run < 3; ++run) {
        f.PushButton1_Click();
        ASSERT_NE(preview, nullptr);
        const QString name = QFileInfo(preview->excelFile()).fileName();
        EXPECT_TRUE(kWorkbookName.match(name).hasMatch()) << name.toStdString();
        names.insert(name);
        const QString digits = name.mid(6, 8);
        digitsVary = digitsVary || digits.count(digits.front()) != digits.size();
        preview->hide();  // back to the main window, the workbook kept
        f.show();
    }
    EXPECT_EQ(names.size(), 3);
    EXPECT_TRUE(digitsVary);
    EXPECT_EQ(previewLoads, 1);
    EXPECT_EQ(tempEntries().size(), 3);
    EXPECT_TRUE(seams.messages.shown.empty());
}

TEST_F(GenerationRun, ATakenNameIsDrawnAgainAndAPlantedLinkIsNeverFollowed) {
    // The first name drawn is qarlow11111111.xls: a link to a file of the user's sits there, and the
    // second name qarlow22222222.xls is taken by a plain file.
    for (int i = 0; i < 8; ++i) {
        seams.random.draws.push_back(0.0);
    }
    for (int i = 0; i < 8; ++i) {
        seams.random.draws.push_back(0.15);
    }
    QTemporaryDir elsewhere;
    const QString victim = elsewhere.filePath("precious.txt");
    {
        QFile v(victim);
        ASSERT_TRUE(v.open(QIODevice::WriteOnly));
        v.write("keep me");
    }
    ASSERT_TRUE(QFile::link(victim, QDir(tempFolder.path()).filePath("qarlow11111111.xls")));
    QFile taken(QDir(tempFolder.path()).filePath("qarlow22222222.xls"));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    taken.close();

    makeForm("Ada", "2").PushButton1_Click();
    ASSERT_NE(preview, nullptr);
    const QString name = QFileInfo(preview->excelFile()).fileName();
    EXPECT_TRUE(kWorkbookName.match(name).hasMatch());
    EXPECT_NE(name, "qarlow11111111.xls");
    EXPECT_NE(name, "qarlow22222222.xls");
    QFile v(victim);
    ASSERT_TRUE(v.open(QIODevice::ReadOnly));
    EXPECT_EQ(v.readAll(), "keep me");
    EXPECT_EQ(QFileInfo(taken.fileName()).size(), 0);
    EXPECT_TRUE(seams.messages.shown.empty());
    EXPECT_EQ(seams.random.seeds.size(), 24u) << "reseeded before every digit of three names";
}

TEST_F(GenerationRun, PieChartTemplateBesideTheProgramIsRemoved) {
    const QString pie = QDir(programFolder.path()).filePath("Pie Chart.xlt");
    QFile file(pie);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    Form1& f = makeForm("Ada", "2");
    f.PushButton1_Click();
    EXPECT_FALSE(QFileInfo::exists(pie));
    EXPECT_TRUE(seams.messages.shown.empty());

    // Without one, nothing changes.
    preview->hide();
    f.show();
    f.PushButton1_Click();
    EXPECT_TRUE(seams.messages.shown.empty());
    EXPECT_FALSE(f.isVisible());
}

TEST_F(GenerationRun, WithoutTheSystemVariableTheWorkbookGoesToTheSystemTemporaryFolder) {
    qunsetenv("temp");
    QTemporaryDir systemTemp;
    const QByteArray savedTmpdir = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(systemTemp.path()));
    makeForm("Ada", "2").PushButton1_Click();
    qputenv("TMPDIR", savedTmpdir);
    ASSERT_NE(preview, nullptr);
    const QFileInfo workbook(preview->excelFile());
    EXPECT_EQ(workbook.absolutePath(), QFileInfo(systemTemp.path()).absoluteFilePath());
    EXPECT_TRUE(workbook.isFile());
    EXPECT_TRUE(seams.messages.shown.empty());
}

// A closed terminal (SIGHUP) with the preview up ends the program without leaving its temporary workbook;
// the signal goes to a child process that carries the run's state, as the window program would.
TEST_F(GenerationRun, AStopSignalWithThePreviewUpRemovesTheTemporaryWorkbook) {
    makeForm("Ada", "2").PushButton1_Click();
    ASSERT_NE(preview, nullptr);
    ASSERT_TRUE(QFileInfo(preview->excelFile()).isFile());
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        safefile::removeDraftsOnSignals();
        ::raise(SIGHUP);
        std::_Exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGHUP) << status;
    EXPECT_TRUE(tempEntries().isEmpty()) << tempEntries().join(' ').toStdString();
}
}  // namespace
}  // namespace rw::test
