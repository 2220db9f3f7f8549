#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "platform/failure.h"
#include "platform/file_names.h"

namespace rw {
namespace {

// The two same-file questions differ only for names with no file behind them yet: rootweave-chart must
// refuse `--picture x.svg --output ./x.svg` before either exists, while the preview's save only cares about
// a file that is there to be copied over.
TEST(FileNames, SameFileQuestionsForExistingAndNotYetWrittenNames) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile file(dir.filePath(QStringLiteral("chart.xls")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    const QString there = dir.filePath(QStringLiteral("chart.xls"));
    const QString thereAgain = dir.path() + QStringLiteral("/sub/../chart.xls");
    QDir(dir.path()).mkdir(QStringLiteral("sub"));
    const QString notYet = dir.filePath(QStringLiteral("new.xls"));
    const QString notYetAgain = dir.path() + QStringLiteral("/./new.xls");

    struct Case {
        const char* what;
        QString a, b;
        bool sameExisting, sameTarget;
    } cases[] = {
        {"an existing file, spelt two ways", there, thereAgain, true, true},
        {"a file not written yet, spelt two ways", notYet, notYetAgain, false, true},
        {"two different names", there, notYet, false, false},
        {"an empty name", QString(), there, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(files::sameExistingFile(c.a, c.b), c.sameExisting) << c.what;
        EXPECT_EQ(files::sameTargetName(c.a, c.b), c.sameTarget) << c.what;
    }

    EXPECT_TRUE(files::isNormalFile(there));
    EXPECT_FALSE(files::isNormalFile(dir.path()));  // a folder is no file to delete or copy
    try {
        files::deleteFile(notYet);
        ADD_FAILURE() << "a missing file was deleted";
    } catch (const Failure& failure) {
        EXPECT_STREQ(failure.what(), "File not found");
    }
    EXPECT_THROW(files::deleteFile(dir.path()), Failure);
    files::deleteFile(there);
    EXPECT_FALSE(QFile::exists(there));
}

}  // namespace
}  // namespace rw
