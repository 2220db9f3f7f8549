#include <sys/stat.h>

#include <QApplication>

#include "app/skin.h"
#include "app_fixture.h"
#include "platform/failure.h"
#include "widgets/main_routines.h"

namespace rw::test {
namespace {

using Skin = MainWindowTest;

const QByteArray kSheet = "QLineEdit { border: 2px solid #2f6b4f; }";

void expectDesignColours(Form1& f) {
    EXPECT_EQ(f.palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(f.Frame1->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_EQ(f.Frame2->palette().color(QPalette::Window), QColor(Qt::white));
    EXPECT_TRUE(f.SkinFramework1->accessLog().isEmpty());
    EXPECT_TRUE(f.styleSheet().isEmpty());
}

TEST_F(Skin, ARegularSkinFileTurnsWindowAndFramesToButtonFaceThenAppliesTheSkinInOrder) {
    ASSERT_NE(Main::ButtonFaceColor(), QColor(Qt::white));  // otherwise the test proves nothing
    writeFile("x/o.cjs", kSheet);
    Form1& f = loadForm();
    const QColor face = Main::ButtonFaceColor();
    EXPECT_EQ(f.palette().color(QPalette::Window), face);
    EXPECT_EQ(f.Frame1->palette().color(QPalette::Window), face);
    EXPECT_EQ(f.Frame2->palette().color(QPalette::Window), face);

    SkinFramework& skin = *f.SkinFramework1;
    EXPECT_EQ(skin.accessLog(), QStringList({"call 2", "get 1", "let 1", "let 5", "let 10", "call 3"}));
    EXPECT_EQ(skin.loadedSheet(), QString::fromUtf8(kSheet));
    EXPECT_EQ(f.styleSheet(), QString::fromUtf8(kSheet));
    EXPECT_EQ(skin.getProperty(1).toInt() & 1, 1);
    EXPECT_TRUE(skin.getProperty(5).toBool());
    EXPECT_TRUE(skin.getProperty(10).toBool());
    EXPECT_TRUE(seams.messages.shown.empty());
}

TEST_F(Skin, NoSkinFileLeavesTheDesignColours) {
    expectDesignColours(loadForm());
}

TEST_F(Skin, AFolderOfThatNameIsNoSkinFile) {
    ASSERT_TRUE(QDir().mkpath(folder.filePath("x/o.cjs")));
    expectDesignColours(loadForm());
}

TEST_F(Skin, AFifoOfThatNameIsNoSkinFile) {
    ASSERT_TRUE(QDir().mkpath(folder.filePath("x")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(folder.filePath("x/o.cjs")).constData(), 0600), 0);
    expectDesignColours(loadForm());  // and nothing blocks on opening it
}

TEST_F(Skin, DotFilesAreNotFound) {
    writeFile("x/.o.cjs", kSheet);
    EXPECT_FALSE(Main::SkinFilePresent(folder.filePath("x/.o.cjs")));
    EXPECT_FALSE(Main::SkinFilePresent(Main::SkinFilePath(folder.path())));
    writeFile("x/o.cjs", kSheet);
    EXPECT_TRUE(Main::SkinFilePresent(Main::SkinFilePath(folder.path())));
}

TEST(SkinFramework, KeepsOtherOptionBitsAndRejectsUnknownMembers) {
    SkinFramework skin;
    skin.letProperty(SkinFramework::kOptions, 6);
    QWidget window;
    window.resize(50, 50);
    Main::ApplySkin(window, skin, QStringLiteral("/nonexistent-folder"));
    EXPECT_EQ(skin.getProperty(1).toInt(), 6);  // no skin file: untouched

    EXPECT_THROW(skin.callMember(7, {}), Failure);
    EXPECT_THROW(skin.getProperty(4), Failure);
    EXPECT_THROW(skin.letProperty(11, true), Failure);
    EXPECT_EQ(skin.callMember(SkinFramework::kLoadSkin, {"/nonexistent-folder/x/o.cjs", ""}),
              QVariant(false));
    // A handle that belongs to no window applies nothing.
    EXPECT_EQ(skin.callMember(SkinFramework::kApplyWindow, {-12345}), QVariant(false));
}

}  // namespace
}  // namespace rw::test
