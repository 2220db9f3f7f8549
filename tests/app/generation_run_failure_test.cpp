#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFileInfo>
#include <functional>

#include "generation_run_fixture.h"
#include "support/ordinary_user.h"

// Runs that stop early or meet a failure: refused inputs, the user's own Excel, an engine or a picture that
// fails, an unusable temporary folder.
namespace rw::test {
namespace {

TEST_F(GenerationRun, RefusedGenerationsAskAgainAndStartNothing) {
    struct Case {
        const char* text;
        QString message;
    };
    const Case cases[] = {{"", "Number of generations must be numeric."},
                          {"  ", "Number of generations must be numeric."},
                          {"five", "Number of generations must be numeric."},
                          {"5x", "Number of generations must be numeric."},
                          {"16", "Number of generations must be 15 or fewer."}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        seams.messages.shown.clear();
        Form1& f = makeForm("Jonas Wexley", c.text);
        f.PushButton1_Click();
        ASSERT_EQ(seams.messages.shown.size(), 1u);
        const ShownBox& box = seams.messages.shown[0];
        EXPECT_EQ(box.text, c.message);
        EXPECT_EQ(box.title, "Numerical Value");
        EXPECT_EQ(box.icon, MsgIcon::Exclamation);
        EXPECT_EQ(box.buttons, MsgButtons::Ok);
        EXPECT_EQ(f.focusWidget(), f.Text2);
        EXPECT_TRUE(pointers->values.empty());
        EXPECT_EQ(f.mousePointer().get(), kPointerDefault);
        EXPECT_TRUE(f.isVisible());
    }
    EXPECT_EQ(factory.created, 0);
    EXPECT_EQ(preview, nullptr);
    EXPECT_TRUE(tempEntries().isEmpty());
}

TEST_F(GenerationRun, ARunningExcelAnsweredNoEndsSilentlyAndYesRunsWithoutTouchingIt) {
    userExcel.running = true;
    seams.messages.answers = {kAnswerNo};
    Form1& f = makeForm("Jonas Wexley", "3");
    f.PushButton1_Click();
    ASSERT_EQ(seams.messages.shown.size(), 1u);
    EXPECT_EQ(seams.messages.shown[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(factory.created, 0);
    EXPECT_EQ(preview, nullptr);
    EXPECT_TRUE(pointers->values.empty());
    EXPECT_TRUE(f.isVisible());
    EXPECT_TRUE(tempEntries().isEmpty());

    seams.messages.shown.clear();
    userExcel.calls.clear();
    seams.messages.answers = {kAnswerYes};
    f.PushButton1_Click();
    ASSERT_EQ(seams.messages.shown.size(), 1u);
    EXPECT_EQ(factory.created, 2);
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->isVisible());
    EXPECT_FALSE(f.isVisible());
    // The user's Excel was only asked for its name, and let go.
    EXPECT_EQ(userExcel.calls, std::vector<std::string>{"get "});
    EXPECT_TRUE(userExcel.handedOut.expired());
}

TEST_F(GenerationRun, ExcelThatCannotBeStartedIsReportedStepByStepAndThePreviewStillOpens) {
    factory.failCreate = true;
    Form1& f = makeForm("Jonas Wexley", "2");
    f.PushButton1_Click();

    // Every step outside the tree's boxes, in order, each once; the boxes' steps in between.
    std::vector<int> outside;
    for (int line : runReportLines()) {
        if (line < 150 || line > 196) {
            outside.push_back(line);
        } else {
            EXPECT_TRUE(line >= 170 && line <= 186) << line;
        }
    }
    std::vector<int> expected{110, 112, 114};
    for (int line = 116; line <= 148; line += 2) {
        expected.push_back(line);
    }
    for (int line : {216, 218, 220, 222, 230, 234, 238, 240, 242, 246, 254}) {
        expected.push_back(line);
    }
    EXPECT_EQ(outside, expected);
    EXPECT_GT(runReportLines().size(), expected.size());  // the boxes' steps too
    // The snapshot reports its own failures, between 234 and 238.
    std::vector<int> snapshot;
    for (const Report& r : reports()) {
        if (r.routine == kSnapshotReport) {
            snapshot.push_back(r.line);
        }
    }
    EXPECT_EQ(snapshot, (std::vector<int>{100, 102, 104}));

    EXPECT_EQ(factory.created, 2);
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->isVisible());
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(f.mousePointer().get(), kPointerDefault);
    EXPECT_TRUE(watch.allReleased());
}

TEST_F(GenerationRun, AnUnwritablePictureIsReportedAtItsThreeStepsAndThePreviewStillOpens) {
    // While the second instance opens the workbook, something that cannot be written over takes the
    // picture's place.
    watch.onCall = [this](const std::string& member, const Args&) {
        if (member != "Open") {
            return;
        }
        for (const QFileInfo& entry :
             QDir(tempFolder.path()).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QString name = entry.fileName().section('.', 0, 0);
            ASSERT_TRUE(QDir(entry.absoluteFilePath()).mkdir(name + ".bmp"));
        }
    };
    Form1& f = makeForm("Jonas Wexley", "5");
    f.PushButton1_Click();
    std::vector<std::pair<QString, int>> got;
    for (const Report& r : reports()) {
        got.emplace_back(r.routine, r.line);
    }
    EXPECT_EQ(got, (std::vector<std::pair<QString, int>>{
                       {kSnapshotReport, 112}, {kRunReport, 246}, {kRunReport, 254}}));
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->isVisible());
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(preview->Zoom_Ori->picture(), nullptr);
    EXPECT_TRUE(QFileInfo(preview->excelFile()).isFile());
    EXPECT_TRUE(watch.has("Excel1: Quit()"));
    EXPECT_TRUE(watch.has("Excel2: Quit()"));
    EXPECT_TRUE(watch.allReleased());
}

TEST_F(GenerationRun, APictureFileChangedBehindTheRunsBackIsWhatThePreviewGets) {
    // Between the snapshot and the hand-over, someone else removes, spoils or replaces the picture file.
    struct Case {
        const char* name;
        std::function<void(const QString& picture)> change;
        std::vector<int> reported;
        QSize shown;  // empty: no picture
    };
    const Case cases[] = {
        {"removed", [](const QString& p) { ASSERT_TRUE(QFile::remove(p)); }, {246, 254}, {}},
        {"spoiled",
         [](const QString& p) {
             QFile file(p);
             ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
             file.write("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\"");
         },
         {246},
         {}},
        {"replaced",
         [](const QString& p) {
             QFile file(p);
             ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
             file.write("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"40\" height=\"30\"/>");
         },
         {},
         QSize(40, 30)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        seams.messages.shown.clear();
        watch.onCall = [this, &c](const std::string& member, const Args&) {
            if (member != "Quit") {
                return;
            }
            for (const QFileInfo& folder :
                 QDir(tempFolder.path()).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
                const QString picture =
                    folder.absoluteFilePath() + "/" + folder.fileName().section('.', 0, 0) + ".bmp";
                if (QFileInfo(picture).isFile()) {
                    c.change(picture);
                }
            }
        };
        Form1& f = makeForm("Jonas Wexley", "4");
        f.PushButton1_Click();
        std::vector<int> lines;
        for (const Report& r : reports()) {
            EXPECT_EQ(r.routine, kRunReport);
            lines.push_back(r.line);
        }
        EXPECT_EQ(lines, c.reported);
        ASSERT_NE(preview, nullptr);
        EXPECT_TRUE(preview->isVisible());
        const auto& shown = preview->Zoom_Ori->picture();
        EXPECT_EQ(shown ? shown->size() : QSize(), c.shown);
        preview->hide();
        QFile::remove(preview->excelFile());
    }
}

TEST_F(GenerationRun, AnUnusableTemporaryFolderGivesOneMessageAndStartsNothing) {
    struct Case {
        const char* name;
        QString folder;
        const char* reason;
    };
    const QString file = QDir(tempFolder.path()).filePath("a-file");
    QFile(file).open(QIODevice::WriteOnly);
    const QString readOnly = QDir(tempFolder.path()).filePath("read-only");
    ASSERT_TRUE(QDir().mkdir(readOnly));
    ASSERT_EQ(::chmod(QFile::encodeName(readOnly).constData(), 0555), 0);
    OrdinaryUser::share(tempFolder.path());
    const Case cases[] = {
        {"missing", QDir(tempFolder.path()).filePath("missing"), "does not exist"},
        {"missing, with a separator", QDir(tempFolder.path()).filePath("missing") + "/", "does not exist"},
        {"a file", file, "is not a folder"},
        {"read-only", readOnly, "cannot be written: Permission denied"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        seams.messages.shown.clear();
        qputenv("temp", QFile::encodeName(c.folder));
        Form1& f = makeForm("Ada", "2");
        {
            OrdinaryUser user;
            ASSERT_TRUE(user.active());
            f.PushButton1_Click();
        }
        ASSERT_EQ(seams.messages.shown.size(), 1u);
        const ShownBox& box = seams.messages.shown[0];
        QString named = c.folder;
        if (named.endsWith('/')) {
            named.chop(1);
        }
        EXPECT_TRUE(box.text.contains("\"" + named + "\" " + c.reason)) << box.text.toStdString();
        EXPECT_EQ(box.icon, MsgIcon::Exclamation);
        EXPECT_TRUE(f.isVisible());
        EXPECT_TRUE(pointers->values.empty());
    }
    EXPECT_EQ(factory.created, 0);
    EXPECT_EQ(preview, nullptr);
    EXPECT_EQ(tempEntries(), (QStringList{"a-file", "read-only"}));
}

// With temp set but empty, the folder is the system's (TMPDIR here): a missing one is named with its
// variable, and nothing is written at the root of the file system.
TEST_F(GenerationRun, AnEmptyTempFallsBackToTmpdirAndNamesItWhenMissing) {
    const QByteArray savedTmpdir = qgetenv("TMPDIR");
    const QString missing = QDir(tempFolder.path()).filePath("missing");
    qputenv("temp", "");
    qputenv("TMPDIR", QFile::encodeName(missing));
    Form1& f = makeForm("Ada", "2");
    f.PushButton1_Click();
    qputenv("TMPDIR", savedTmpdir);
    ASSERT_EQ(seams.messages.shown.size(), 1u);
    EXPECT_EQ(
        seams.messages.shown[0].text,
        "Cannot make the chart: the temporary folder \"" + missing +
            "\" does not exist.\r\nIt comes from the environment variable TMPDIR, as temp is unset or empty. "
            "Set TMPDIR or temp to a folder you can write to.");
    EXPECT_EQ(factory.created, 0);
    EXPECT_TRUE(QDir(QStringLiteral("/")).entryList({QStringLiteral("qarlow*")}, QDir::Files).isEmpty());
}
}  // namespace
}  // namespace rw::test
