#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTest>
#include <functional>

#include "app_fixture.h"
#include "platform/settings_store.h"
#include "support/ordinary_user.h"

// Start-up with the settings file as a broken world leaves it: the window always comes up, with one warning
// naming the file and the reason, and the inputs it could read or the defaults.
namespace rw::test {
namespace {

using BrokenSettings = MainWindowTest;

TEST_F(BrokenSettings, EachCaseStartsTheWindowWithOneWarningAndTheInputs) {
    struct Case {
        const char* name;
        std::function<void(const QString& folder, const QString& file)> breakIt;
        const char* reason;  // in the warning
        QString text1;       // what the window starts with
    };
    const auto put = [](const QString& file, const QByteArray& bytes) {
        QFile f(file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    const auto mode = [](const QString& path, mode_t m) {
        ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), m), 0);
    };
    const Case cases[] = {
        {"corrupt", [&](const QString&, const QString& file) { put(file, "\x01\x02 junk\n[[\n"); },
         "moved aside", "Jonas Wexley"},
        {"a folder", [&](const QString&, const QString& file) { ASSERT_TRUE(QDir().mkpath(file)); },
         "is a folder", "Jonas Wexley"},
        {"a named pipe",
         [&](const QString&, const QString& file) {
             ASSERT_EQ(::mkfifo(QFile::encodeName(file).constData(), 0666), 0);
         },
         "is a named pipe", "Jonas Wexley"},
        {"a read-only folder", [&](const QString& folder, const QString&) { mode(folder, 0555); },
         "Permission denied", "Jonas Wexley"},
        {"an unwritable file",
         [&](const QString&, const QString& file) {
             put(file, "[Rootweave]\nText1=Ada\n");
             mode(file, 0444);
         },
         "Permission denied", "Ada"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir home;
        const QString folder = home.filePath("Tolvane");
        const QString file = folder + "/Rootweave.conf";
        ASSERT_TRUE(QDir().mkpath(folder));
        OrdinaryUser::share(home.path());
        OrdinaryUser::share(folder);
        c.breakIt(folder, file);

        ScriptedPlatform seams;
        {
            OrdinaryUser user;
            ASSERT_TRUE(user.active());
            QtSettingsStore store(file);
            Platform p = seams.platform();
            Form1 f(Platform{p.messages, p.browser, p.clock, p.random, store, p.clipboard, p.processes,
                             p.saveDialog, p.programEnd, p.printDialog, p.openDialog, folder},
                    seams.run);
            f.Form_Load();
            ASSERT_EQ(seams.messages.shown.size(), 1u);
            const ShownBox& box = seams.messages.shown[0];
            EXPECT_TRUE(box.text.contains('"' + file + '"')) << box.text.toStdString();
            EXPECT_TRUE(box.text.contains(c.reason)) << box.text.toStdString();
            EXPECT_EQ(box.icon, MsgIcon::Exclamation);
            EXPECT_EQ(f.Text1->text(), c.text1);
            EXPECT_EQ(f.Text2->text(), "5");
            QTest::keyClicks(f.Text2, "7");  // typing goes on without another word
            EXPECT_EQ(seams.messages.shown.size(), 1u);
            EXPECT_EQ(store.read("Text2", ""), "57");
        }
        EXPECT_TRUE(seams.programEnd.statuses.empty());
        mode(folder, 0700);  // let the folder be cleaned up
    }
}

}  // namespace
}  // namespace rw::test
