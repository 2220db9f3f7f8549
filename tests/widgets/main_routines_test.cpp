#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QTemporaryDir>
#include <cmath>

#include "platform/program_names.h"
#include "platform/qt_seams.h"
#include "support/scripted_seams.h"
#include "widgets/main_routines.h"

namespace rw::test {
namespace {

TEST(CenterForm, CentresOnTheWholeScreenAndGoesNegativeForAnOversizedWindow) {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QWidget small;
    small.resize(101, 51);
    Main::CenterForm(small);
    EXPECT_EQ(small.pos(), QPoint(screen.left() + static_cast<int>(std::floor((screen.width() - 101) / 2.0)),
                                  screen.top() + static_cast<int>(std::floor((screen.height() - 51) / 2.0))));

    QWidget large;
    large.resize(screen.width() + 400, screen.height() + 300);
    Main::CenterForm(large);
    EXPECT_EQ(large.pos(), QPoint(screen.left() - 200, screen.top() - 150));
    // Its centre is the screen's centre.
    EXPECT_EQ(large.pos() + QPoint(large.width() / 2, large.height() / 2), screen.center() + QPoint(1, 1));
}

TEST(FileExists, IsTrueOnlyForAPathThatIsThere) {
    QTemporaryDir dir;
    const QString path = dir.filePath("a file.xls");
    EXPECT_FALSE(Main::FileExists(""));
    EXPECT_FALSE(Main::FileExists(path));
    EXPECT_FALSE(Main::FileExists(QString::fromLatin1("bad\0name", 8)));
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_TRUE(Main::FileExists(path));
    Main::KillFile(path);
    EXPECT_FALSE(Main::FileExists(path));
}

TEST(KillFile, MissingOrUndeletablePathsAreSilent) {
    QTemporaryDir dir;
    Main::KillFile(dir.filePath("never-was.xls"));
    Main::KillFile("");
    Main::KillFile(dir.path());  // a folder is not a file and stays
    EXPECT_TRUE(QFileInfo(dir.path()).isDir());
}

TEST(OpenHomePageAtRandom, OpensThePageExactlyWhenTheDrawIsSeven) {
    for (int n = 1; n <= 100; ++n) {
        ScriptedClock clock;
        clock.seconds = 86399.9;
        ScriptedRandom random;
        random.draws = {(n - 1) / 100.0 + 0.005};
        ScriptedBrowser browser;
        Main::OpenHomePageAtRandom(clock, random, browser);
        EXPECT_EQ(random.seeds, std::vector<std::uint64_t>{86399});
        if (n == 7) {
            EXPECT_EQ(browser.opened, QStringList{QString::fromLatin1(addresses::kHomePage)});
        } else {
            EXPECT_TRUE(browser.opened.isEmpty()) << n;
        }
    }
}

TEST(OpenHomePageAtRandom, AboutOneStartInAHundredOpensIt) {
    ScriptedClock clock;
    Mt64Random random;
    ScriptedBrowser browser;
    const int starts = 86400;
    for (int s = 0; s < starts; ++s) {
        clock.seconds = s + 0.5;
        Main::OpenHomePageAtRandom(clock, random, browser);
    }
    EXPECT_GT(browser.opened.size(), starts / 100 * 8 / 10);
    EXPECT_LT(browser.opened.size(), starts / 100 * 12 / 10);
}

TEST(SetFormColors, FramesAndLabelsTakeTheButtonFaceOthersKeepTheirColours) {
    QWidget window;
    Main::SetBackground(window, Qt::white);
    auto* frame = new QGroupBox("Frame", &window);
    auto* label = new QLabel("Label", &window);
    auto* other = new QWidget(&window);
    Main::SetBackground(*frame, Qt::white);
    Main::SetBackground(*other, Qt::darkBlue);
    Main::SetFormColors(window);
    const QColor face = Main::ButtonFaceColor();
    EXPECT_EQ(window.palette().color(QPalette::Window), face);
    EXPECT_EQ(frame->palette().color(QPalette::Window), face);
    EXPECT_EQ(label->palette().color(QPalette::Window), face);
    EXPECT_EQ(other->palette().color(QPalette::Window), QColor(Qt::darkBlue));
}

}  // namespace
}  // namespace rw::test
