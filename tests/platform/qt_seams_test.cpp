#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <set>

#include "platform/error_report.h"
#include "platform/failure.h"
#include "platform/qt_seams.h"

namespace rw {
namespace {

TEST(MessageBoxText, LineBreaksShowAsBreaksAndCrCrAsAnEmptyLine) {
    EXPECT_EQ(messageDisplayText("a\r\nb\r\rc\rd\ne\r"), "a\nb\n\nc\nd\ne\n");
    EXPECT_EQ(messageDisplayText("\r\nin X at line 100\r\rPlease"), "\nin X at line 100\n\nPlease");
    EXPECT_EQ(messageDisplayText(""), "");
}

TEST(MessageBoxSetUp, ReportBoxIsAWarningWithOkAndItsOwnTitle) {
    const QString text = errorReportText("R.F.p", "Overflow", 104);
    auto box =
        buildMessageBox(text, "Application Error", MsgIcon::Exclamation, MsgButtons::Ok, kAnswerOk, nullptr);
    EXPECT_EQ(box->windowTitle(), "Application Error");
    EXPECT_EQ(box->icon(), QMessageBox::Warning);
    EXPECT_EQ(box->text(), messageDisplayText(text));
    EXPECT_EQ(box->text().count('\n'), 3);
    EXPECT_EQ(box->textFormat(), Qt::PlainText);  // an address or a name with '<' shows as typed
    EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
    EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
}

TEST(MessageBoxSetUp, UntitledYesNoBoxUsesTheAppTitleAndTheGivenDefault) {
    auto box = buildMessageBox("Go on?", "", MsgIcon::None, MsgButtons::YesNo, kAnswerNo, nullptr);
    EXPECT_EQ(box->windowTitle(), "Rootweave");
    EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
    EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box->defaultButton(), box->button(QMessageBox::No));
    EXPECT_EQ(box->escapeButton(), box->button(QMessageBox::No));
    auto yes = buildMessageBox("Go on?", "", MsgIcon::None, MsgButtons::YesNo, kAnswerYes, nullptr);
    EXPECT_EQ(yes->defaultButton(), yes->button(QMessageBox::Yes));
}

TEST(MessageBoxSetUp, LongTextsWrapButNeverInsideAWebAddress) {
    const QString texts[] = {
        QStringLiteral("Questions? Please contact Team Tolvane at https://rootweave.example.org/support"),
        QStringLiteral(
            "Read https://rootweave.example.org/support/printing/tall-charts for how a chart of "
            "fifteen generations prints, and write to support@rootweave.example.org when a page is "
            "missing."),
    };
    static const QRegularExpression address(QStringLiteral(R"(https?://\S+)"));
    for (const QString& text : texts) {
        auto box = buildMessageBox(text, "", MsgIcon::None, MsgButtons::Ok, kAnswerOk, nullptr);
        box->show();
        const auto* label = box->findChild<QLabel*>(QStringLiteral("qt_msgbox_label"));
        ASSERT_NE(label, nullptr);
        const QFontMetrics metrics(label->font());
        const QStringList lines = label->text().split('\n');
        for (auto it = address.globalMatch(text); it.hasNext();) {
            const QString found = it.next().captured();
            // The address lies whole on one line of the text, and that line fits the box unwrapped.
            const auto line =
                std::find_if(lines.begin(), lines.end(), [&](const QString& l) { return l.contains(found); });
            ASSERT_NE(line, lines.end()) << found.toStdString();
            EXPECT_LE(metrics.horizontalAdvance(*line), label->contentsRect().width()) << line->toStdString();
        }
        EXPECT_EQ(QString(label->text()).replace('\n', ' '), text);  // nothing lost or added
    }
}

TEST(Random, SameSeedSameDrawsAllInsideTheUnitInterval) {
    Mt64Random a;
    Mt64Random b;
    a.seed(3723);
    b.seed(3723);
    std::set<double> seen;
    for (int i = 0; i < 10000; ++i) {
        const double x = a.next();
        ASSERT_EQ(x, b.next());
        ASSERT_GE(x, 0.0);
        ASSERT_LT(x, 1.0);
        seen.insert(x);
    }
    EXPECT_GT(seen.size(), 9990u);
    b.seed(3724);
    a.seed(3723);
    EXPECT_NE(a.next(), b.next());
}

TEST(Clock, TimeOfDayAndASteadyCount) {
    QtClock clock;
    const double s = clock.secondsSinceMidnight();
    EXPECT_GE(s, 0.0);
    EXPECT_LT(s, 86400.0);
    const std::uint64_t first = clock.nanoseconds();
    EXPECT_LE(first, clock.nanoseconds());
}

class Settings : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QTemporaryDir dir;
    const QString file = dir.filePath("Tolvane/Rootweave.conf");
};

TEST(SettingsFile, IsThePerUserFileOfTolvaneRootweave) {
    EXPECT_TRUE(defaultSettingsFile().endsWith("/Tolvane/Rootweave.conf"));
    EXPECT_TRUE(QFileInfo(defaultSettingsFile()).isAbsolute());
}

TEST_F(Settings, ValuesSurviveAStoreAndLiveInTheRootweaveGroup) {
    const std::vector<QString> values = {"Jonas Wexley",
                                         "",
                                         " leading and trailing ",
                                         "a, b",
                                         "semi;colon",
                                         "@Variant(x)",
                                         "quote \" and back\\slash",
                                         QString::fromUtf8("Åse Øvrebø"),
                                         "3.5",
                                         "true"};
    {
        QtSettingsStore store(file);
        for (size_t i = 0; i < values.size(); ++i) {
            store.write(QString("K%1").arg(i), values[i]);
        }
        store.write("Text1", "Ada");
    }
    QtSettingsStore again(file);
    for (size_t i = 0; i < values.size(); ++i) {
        EXPECT_EQ(again.read(QString("K%1").arg(i), "absent"), values[i]) << i;
    }
    EXPECT_EQ(again.read("Text2", "5"), "5");
    EXPECT_EQ(again.fileName(), dir.filePath("Tolvane/Rootweave.conf"));
    QSettings raw(again.fileName(), QSettings::IniFormat);
    EXPECT_EQ(raw.value("Rootweave/Text1").toString(), "Ada");
}

TEST_F(Settings, EachWriteReachesTheDiskAtOnce) {
    QtSettingsStore store(file);
    store.write("Text2", "7");
    QFile onDisk(store.fileName());  // the bytes on disk, not QSettings' in-process cache
    ASSERT_TRUE(onDisk.open(QIODevice::ReadOnly));
    EXPECT_EQ(onDisk.readAll(), "[Rootweave]\nText2=7\n");
}

TEST_F(Settings, AFolderInThePlaceOfTheFileIsLeftAloneAndValuesStayInMemory) {
    ASSERT_TRUE(QDir().mkpath(file));
    QtSettingsStore store(file);
    EXPECT_FALSE(store.usesFile());
    store.write("Text1", "x");
    EXPECT_EQ(store.read("Text1", "absent"), "x");
    EXPECT_TRUE(store.takeWarning().contains("is a folder"));
    EXPECT_TRUE(QFileInfo(file).isDir());
}

TEST(Clipboard, HoldsTheVectorPictureAndTheRasterCopyWhenGiven) {
    QtClipboard clipboard;
    const QByteArray svg = "<svg xmlns=\"http://www.w3.org/2000/svg\"/>";
    clipboard.setPicture(svg, QByteArray("\x89PNG fake", 9));
    EXPECT_EQ(clipboard.picture(), svg);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    EXPECT_TRUE(data->hasFormat("image/png"));

    clipboard.setPicture(svg, {});
    EXPECT_FALSE(QGuiApplication::clipboard()->mimeData()->hasFormat("image/png"));

    QGuiApplication::clipboard()->setText("just text");
    EXPECT_TRUE(clipboard.picture().isEmpty());
}

TEST(ProcessNames, BaseNameOfTheFirstArgumentAndTheKernelName) {
    EXPECT_EQ(processNamesFrom("bash\n", QByteArray("/usr/bin/bash\0-c\0x\0", 19)), QStringList({"bash"}));
    EXPECT_EQ(processNamesFrom("EXCEL.EXE\n",
                               QByteArray("C:\\Program Files\\Microsoft Office\\Office16\\EXCEL.EXE\0", 53)),
              QStringList({"EXCEL.EXE"}));
    EXPECT_EQ(processNamesFrom("wine64-preload\n", QByteArray("/opt/wine/bin/wine64-preloader\0", 31)),
              QStringList({"wine64-preloader", "wine64-preload"}));
    EXPECT_EQ(processNamesFrom("kworker/0:1\n", QByteArray()), QStringList({"kworker/0:1"}));
    EXPECT_TRUE(processNamesFrom("", QByteArray()).isEmpty());
}

TEST(ProcessLookup, FindsThisTestAmongTheUsersProcesses) {
    ProcProcessLookup lookup;
    const QString self = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    EXPECT_TRUE(lookup.runningProcessNames().contains(self)) << self.toStdString();
}

TEST(ProcessLookup, SkipsOtherUsersAndNonProcessEntries) {
    QTemporaryDir root;
    const auto makeProcess = [&root](const QString& pid, const QByteArray& comm, const QByteArray& cmdline) {
        QDir().mkpath(root.filePath(pid));
        QFile c(root.filePath(pid + "/comm"));
        EXPECT_TRUE(c.open(QIODevice::WriteOnly));
        c.write(comm);
        QFile l(root.filePath(pid + "/cmdline"));
        EXPECT_TRUE(l.open(QIODevice::WriteOnly));
        l.write(cmdline);
    };
    makeProcess("101", "EXCEL.EXE\n", QByteArray("C:\\Office\\EXCEL.EXE\0", 20));
    makeProcess("self", "shadow\n", QByteArray("/x/shadow\0", 10));
    makeProcess("202", "other\n", QByteArray("/x/other\0", 9));
    const bool otherOwner =
        ::chown(QFile::encodeName(root.filePath("202")).constData(), getuid() + 1, -1) == 0;
    const QStringList names = ProcProcessLookup(root.path()).runningProcessNames();
    EXPECT_TRUE(names.contains("EXCEL.EXE"));
    EXPECT_FALSE(names.contains("shadow"));
    if (otherOwner) {
        EXPECT_FALSE(names.contains("other"));
    }
}

TEST(SaveDialogSetUp, SaveModeNoReplaceQuestionNoSuffixAndTheFilters) {
    QFileDialog dialog;
    configureSaveDialog(dialog, "Save Results", "Excel Files (*.xls);;All Files (*)", "/tmp/Tree.xls");
    EXPECT_EQ(dialog.windowTitle(), "Save Results");
    EXPECT_EQ(dialog.acceptMode(), QFileDialog::AcceptSave);
    EXPECT_TRUE(dialog.testOption(QFileDialog::DontConfirmOverwrite));
    EXPECT_TRUE(dialog.defaultSuffix().isEmpty());
    EXPECT_EQ(dialog.nameFilters(), QStringList({"Excel Files (*.xls)", "All Files (*)"}));
    EXPECT_EQ(pickedFilterIndex(dialog), 0);

    // The entry shown first, and the one the user picks, reported back counted from 0.
    QFileDialog second;
    configureSaveDialog(second, "Save", "Excel Files (*.xls);;Excel Workbook (*.xlsx)", QString(), 1);
    EXPECT_EQ(pickedFilterIndex(second), 1);
    second.selectNameFilter("Excel Files (*.xls)");
    EXPECT_EQ(pickedFilterIndex(second), 0);
}

TEST(ProgramEndDeathTest, EndsTheProcessWithTheStatus) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(QtProgramEnd().endProgram(3), ::testing::ExitedWithCode(3), "");
    EXPECT_EXIT(QtProgramEnd().endProgram(0), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace rw
