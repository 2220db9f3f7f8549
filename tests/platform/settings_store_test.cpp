#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cerrno>
#include <functional>
#include <optional>
#include <vector>

#include "platform/settings_store.h"
#include "support/ordinary_user.h"

// The settings file as the world may leave it: what can be read is kept, nothing is overwritten, and the
// user hears about it once.
namespace rw {
namespace {

class SettingsStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(QDir().mkpath(folder));
        test::OrdinaryUser::share(dir.path());
        test::OrdinaryUser::share(folder);
    }
    void put(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    QByteArray contents(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }
    QTemporaryDir dir;
    const QString folder = dir.filePath("Tolvane");
    const QString file = folder + "/Rootweave.conf";
};

TEST_F(SettingsStoreTest, ACorruptFileIsMovedAsideAndWhatCouldBeReadGoesOn) {
    struct Case {
        const char* name;
        QByteArray bytes;
        QString text1;  // as read back
        const char* reason;
    };
    const Case cases[] = {
        {"a bad line", "[Rootweave]\nText1=Ada\nthis line has no equals sign\nText2=7\n", "Ada",
         "not a valid"},
        {"an unclosed section", "[Rootweave\nText1=Ada\n=\n", "Ada", "not a valid"},
        {"random bytes", QByteArray("\x89\x01\xfe\n\x7f\x00[\x13", 9).repeated(50), "absent", "not a valid"},
        {"far too large", "[Rootweave]\nText1=Ada\n" + QByteArray(kMaxSettingsFileSize, ';'), "absent",
         "larger than 1 MB"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        put(file, c.bytes);
        QtSettingsStore store(file);
        EXPECT_EQ(store.read("Text1", "absent"), c.text1);
        const QString warning = store.takeWarning();
        EXPECT_TRUE(warning.contains(file)) << warning.toStdString();
        EXPECT_TRUE(warning.contains(c.reason)) << warning.toStdString();
        EXPECT_TRUE(warning.contains(file + ".bad")) << warning.toStdString();
        EXPECT_EQ(contents(file + ".bad"), c.bytes);  // kept whole, never rewritten
        store.write("Text2", "9");
        EXPECT_TRUE(store.takeWarning().isEmpty());
        QtSettingsStore again(file);  // the fresh file holds what was read and what was written
        EXPECT_TRUE(again.takeWarning().isEmpty());
        EXPECT_EQ(again.read("Text1", "absent"), c.text1);
        EXPECT_EQ(again.read("Text2", "absent"), "9");
        ASSERT_TRUE(QFile::remove(file + ".bad"));
        ASSERT_TRUE(QFile::remove(file));
    }
}

TEST_F(SettingsStoreTest, AnEarlierCorruptCopyIsNotReplaced) {
    put(file + ".bad", "the first one");
    put(file, "the second one\x01");
    QtSettingsStore store(file);
    EXPECT_TRUE(store.takeWarning().contains(file + ".1.bad"));
    EXPECT_EQ(contents(file + ".bad"), "the first one");
    EXPECT_EQ(contents(file + ".1.bad"), "the second one\x01");
}

TEST_F(SettingsStoreTest, MovingAsideNeverReplacesWhatTookTheNameMeanwhile) {
    // Another copy of the program may have moved its file to the ".bad" name a moment ago: whatever holds
    // the name stays as it is, and the file to move stays where it was.
    const QString taken = folder + "/Rootweave.conf.bad";
    const std::vector<std::function<void()>> holders = {
        [&] { put(taken, "the user's old settings"); },
        [&] { ASSERT_TRUE(QFile::link(folder + "/nowhere", taken)); },
        [&] { ASSERT_TRUE(QDir().mkdir(taken)); },
    };
    for (const auto& hold : holders) {
        put(file, "corrupt\x01");
        hold();
        const QFileInfo before(taken);
        EXPECT_EQ(moveWithoutReplacing(file, taken), EEXIST);
        EXPECT_EQ(contents(file), "corrupt\x01");
        EXPECT_EQ(QFileInfo(taken).isSymLink(), before.isSymLink());
        EXPECT_EQ(QFileInfo(taken).isDir(), before.isDir());
        if (before.isFile()) {
            EXPECT_EQ(contents(taken), "the user's old settings");
        }
        if (!QFile::remove(taken)) {
            ASSERT_TRUE(QDir().rmdir(taken));
        }
    }
    EXPECT_EQ(moveWithoutReplacing(file, taken), 0);
    EXPECT_EQ(contents(taken), "corrupt\x01");
    EXPECT_FALSE(QFileInfo::exists(file));
}

TEST_F(SettingsStoreTest, AFailedWriteWarnsOnceKeepsTheValuesAndCatchesUpWhenTheDiskTakesWritesAgain) {
    put(file, "[Rootweave]\nText1=Ada\n");
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0444), 0);
    std::optional<test::OrdinaryUser> user(std::in_place);
    ASSERT_TRUE(user->active());
    QtSettingsStore store(file);
    EXPECT_TRUE(store.takeWarning().isEmpty());  // read fine; writing is what fails
    store.write("Text1", "Grace");
    const QString warning = store.takeWarning();
    EXPECT_TRUE(warning.startsWith("Cannot save the settings to \"" + file + "\": Permission denied"))
        << warning.toStdString();
    store.write("Text2", "12");
    EXPECT_TRUE(store.takeWarning().isEmpty());
    EXPECT_EQ(store.read("Text1", ""), "Grace");
    EXPECT_EQ(contents(file), "[Rootweave]\nText1=Ada\n");

    user.reset();  // the owner makes folder and file writable again
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0777), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(file).constData(), 0666), 0);
    user.emplace();
    store.write("Text2", "13");
    EXPECT_TRUE(store.takeWarning().isEmpty());
    user.reset();
    QtSettingsStore again(file);
    EXPECT_EQ(again.read("Text1", ""), "Grace");
    EXPECT_EQ(again.read("Text2", ""), "13");
}

}  // namespace
}  // namespace rw
