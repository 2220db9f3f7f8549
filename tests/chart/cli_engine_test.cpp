#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <string>

// The rootweave-chart executable with the real engine: each saved workbook is read back by xlrd, an
// independent reader, through chart_xls_check.py.
namespace {

struct Result {
    int exitCode = -1;
    QString out;
    QString err;
};

Result runProcess(const QString& program, const QStringList& args) {
    QProcess process;
    process.start(program, args);
    Result result;
    if (!process.waitForFinished(180'000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        process.waitForFinished();
        result.err = QStringLiteral("did not finish normally: ") + process.errorString();
        return result;
    }
    result.exitCode = process.exitCode();
    result.out = QString::fromUtf8(process.readAllStandardOutput());
    result.err = QString::fromUtf8(process.readAllStandardError());
    return result;
}

Result chartTool(const QStringList& args) {
    return runProcess(QStringLiteral(ROOTWEAVE_CHART_TOOL), args);
}

bool engineMissing(const Result& r) {
    return r.err.contains(QStringLiteral("The spreadsheet engine is not available yet"));
}

struct ChartCase {
    const char* generations;
    const char* name;
    int columns;  // generation columns drawn
};

class ChartToolWithEngine : public ::testing::TestWithParam<ChartCase> {};

TEST_P(ChartToolWithEngine, SavesExactlyTheChart) {
    const ChartCase& c = GetParam();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("chart.xls"));
    const Result made =
        chartTool({"--generations", c.generations, "--name", QString::fromUtf8(c.name), "--output", path});
    if (engineMissing(made)) {
        GTEST_SKIP() << "the spreadsheet engine is not built yet";
    }
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();
    EXPECT_TRUE(made.err.isEmpty()) << made.err.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"chart.xls"});

    const Result checked =
        runProcess(QStringLiteral("/usr/bin/python3"),
                   {QStringLiteral(CHART_XLS_CHECK), path, "--columns", QString::number(c.columns), "--title",
                    "Family Tree for " + QString::fromUtf8(c.name), "--subtitle",
                    QString::fromUtf8(c.generations) + " Generations"});
    EXPECT_EQ(checked.exitCode, 0) << checked.out.toStdString() << checked.err.toStdString();
    EXPECT_EQ(checked.out, "OK\n");
}

INSTANTIATE_TEST_SUITE_P(Generations, ChartToolWithEngine,
                         ::testing::Values(ChartCase{"1", "", 1}, ChartCase{"2", "Ada", 2},
                                           ChartCase{"3", "Ada Lovelace", 3}, ChartCase{"6", "Zo\xC3\xAB", 6},
                                           ChartCase{"10", "Ten", 10}, ChartCase{"15", "Fifteen", 15},
                                           ChartCase{"2.5", "Half", 3}, ChartCase{"0", "Nobody", 0}),
                         [](const ::testing::TestParamInfo<ChartCase>& info) {
                             std::string name = std::string("Text") + info.param.generations;
                             std::replace(name.begin(), name.end(), '.', '_');
                             return name;
                         });

TEST(ChartToolProcess, BadInputExitsNonZeroWithAMessage) {
    QTemporaryDir dir;
    const Result tooMany =
        chartTool({"--generations", "16", "--name", "x", "--output", dir.filePath("a.xls")});
    EXPECT_EQ(tooMany.exitCode, 2);
    EXPECT_EQ(tooMany.err,
              "rootweave-chart: Number of generations must be 15 or fewer.\n"
              "Try 'rootweave-chart --help'.\n");
    const Result missing = chartTool({"--generations", "3"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_TRUE(missing.err.startsWith("rootweave-chart: missing --name, --output\n"));
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST(ChartToolProcess, AnOutputTheEngineCannotWriteExitsNonZero) {
    // /proc takes no new files, not even from root.
    const Result r =
        chartTool({"--generations", "2", "--name", "x", "--output", "/proc/rootweave-chart-test.xls"});
    EXPECT_EQ(r.exitCode, 1) << r.err.toStdString();
    EXPECT_TRUE(r.err.contains("rootweave-chart: ")) << r.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists("/proc/rootweave-chart-test.xls"));
}

}  // namespace
