#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <string>
#include <vector>

#include "cli/chart_tool.h"
#include "support/recording_automation.h"

// rootweave-chart against the recording double: its command line, its refusals (none of which starts an
// application), and how reports and failures reach the exit status and the output file.
namespace rw::cli {
namespace {

struct Tool {
    test::RecordingAutomation world;
    test::RecordingFactory factory{world};
    QString out;
    QString err;
    std::vector<std::string> savedTo;

    Tool() {
        // SaveAs writes a small stand-in file where it is told.
        world.answer = [this](const test::RecordedCall& call) -> std::optional<automation::Variant> {
            if (call.kind == test::CallKind::Call && call.member == "SaveAs") {
                const std::string path = std::get<std::string>(call.args.at(0));
                savedTo.push_back(path);
                QFile file(QString::fromStdString(path));
                EXPECT_TRUE(file.open(QIODevice::WriteOnly));
                file.write("chart");
                static const automation::Variant kNothing;
                return kNothing;
            }
            return std::nullopt;
        };
    }

    int run(QStringList args) {
        args.prepend(QStringLiteral("rootweave-chart"));
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        return runChartTool(args, factory, outStream, errStream);
    }
};

TEST(CliTool, RefusesBadCommandLinesWithoutStartingAnything) {
    struct Case {
        QStringList args;
        QString message;
    };
    QTemporaryDir dir;
    const QString out = dir.filePath("a.xls");
    const std::vector<Case> cases = {
        {{}, "missing --generations, --name, --output"},
        {{"--name", "x", "--output", out}, "missing --generations"},
        {{"--generations", "3", "--output", out}, "missing --name"},
        {{"--generations", "3", "--name", "x"}, "missing --output"},
        {{"--generations"}, "Missing value after '--generations'."},
        {{"--generations", "3", "--name", "x", "--output", out, "--colour", "red"},
         "Unknown option 'colour'."},
        {{"--generations", "3", "--name", "x", "--output", out, "extra"}, "unexpected argument 'extra'"},
        {{"--generations", "3", "--generations", "4", "--name", "x", "--output", out},
         "--generations is given more than once"},
        {{"--generations", "three", "--name", "x", "--output", out},
         "Number of generations must be numeric."},
        {{"--generations", "", "--name", "x", "--output", out}, "Number of generations must be numeric."},
        {{"--generations", "16", "--name", "x", "--output", out},
         "Number of generations must be 15 or fewer."},
        {{"--generations", "1e12", "--name", "x", "--output", out},
         "Number of generations must be 15 or fewer."},
        {{"--generations", "3", "--name", "x", "--output", ""}, "--output needs a file name"},
        {{"--generations", "3", "--name", "x", "--output", out, "--picture", dir.filePath("a.svg")},
         "--picture is not available yet"},
    };
    for (const Case& c : cases) {
        Tool tool;
        EXPECT_EQ(tool.run(c.args), kExitUsage) << c.args.join(' ').toStdString();
        EXPECT_EQ(tool.err, "rootweave-chart: " + c.message + "\nTry 'rootweave-chart --help'.\n")
            << tool.err.toStdString();
        EXPECT_TRUE(tool.factory.created.empty());
        EXPECT_TRUE(tool.out.isEmpty());
    }
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST(CliTool, HelpGoesToStandardOutput) {
    Tool tool;
    EXPECT_EQ(tool.run({"--help"}), kExitOk);
    EXPECT_TRUE(tool.out.startsWith("Usage: rootweave-chart --generations N --name TEXT --output FILE.xls"));
    EXPECT_TRUE(tool.err.isEmpty());
}

TEST(CliTool, RefusesOutputsThatCannotBeWritten) {
    QTemporaryDir dir;
    for (const QString& out : {dir.filePath("missing/a.xls"), dir.path()}) {
        Tool tool;
        EXPECT_EQ(tool.run({"--generations", "3", "--name", "x", "--output", out}), kExitFailed);
        EXPECT_TRUE(tool.err.startsWith("rootweave-chart: cannot write " + out + ": "))
            << tool.err.toStdString();
        EXPECT_TRUE(tool.factory.created.empty());
    }
}

TEST(CliTool, MakesTheChartAsTheWindowDoesAndSavesIt) {
    QTemporaryDir dir;
    const QString out = dir.filePath("ada.xls");
    Tool tool;
    ASSERT_EQ(tool.run({"--generations", "2", "--name", "Ada", "--output", out}), kExitOk)
        << tool.err.toStdString();
    EXPECT_EQ(tool.out, "Wrote " + out + "\n");
    EXPECT_TRUE(tool.err.isEmpty());
    EXPECT_EQ(tool.factory.created, (std::vector<std::string>{"Excel.Application"}));

    const std::vector<std::string> effects = tool.world.effects();
    ASSERT_GE(effects.size(), 6u);
    EXPECT_EQ(effects[0], "Workbooks.Add()");
    EXPECT_EQ(effects[1], "Visible = False");
    EXPECT_EQ(effects[2], "Workbooks.Add.ActiveSheet.Cells.Font.Name = \"Tahoma\"");
    ASSERT_EQ(tool.savedTo.size(), 1u);
    EXPECT_EQ(effects[effects.size() - 4], "Workbooks.Add.SaveAs(\"" + tool.savedTo[0] + "\")()");
    EXPECT_EQ(effects[effects.size() - 3], "DisplayAlerts = False");
    EXPECT_EQ(effects[effects.size() - 2], "Workbooks.Add.Close()");
    EXPECT_EQ(effects[effects.size() - 1], "Quit()");
    EXPECT_EQ(std::count(effects.begin(), effects.end(),
                         "Workbooks.Add.ActiveSheet.Cells(6&,3&).Borders(10%).LineStyle = 1%"),
              1);

    // Saved under a draft name beside the output, then moved into place: only the output remains.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"ada.xls"});
    QFile file(out);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "chart");
}

TEST(CliTool, AcceptsNegativeAndInlineValuesAndAnEmptyName) {
    QTemporaryDir dir;
    Tool tool;
    EXPECT_EQ(tool.run({"--generations", "-1", "--name", "", "--output", dir.filePath("a.xls")}), kExitOk)
        << tool.err.toStdString();
    const std::vector<std::string> effects = tool.world.effects();
    EXPECT_NE(std::find(effects.begin(), effects.end(),
                        "Workbooks.Add.ActiveSheet.Cells(2%,2%).Value = \"Family Tree for \""),
              effects.end());
    EXPECT_NE(std::find(effects.begin(), effects.end(),
                        "Workbooks.Add.ActiveSheet.Cells(3%,2%).Value = \"-1 Generations\""),
              effects.end());

    Tool inlineValues;
    EXPECT_EQ(inlineValues.run({"--generations=2.5", "--name=Ada", "--output=" + dir.filePath("b.xls")}),
              kExitOk);
}

TEST(CliTool, AFailedStatementIsReportedAndLeavesTheOutputAlone) {
    QTemporaryDir dir;
    const QString out = dir.filePath("keep.xls");
    {
        QFile existing(out);
        ASSERT_TRUE(existing.open(QIODevice::WriteOnly));
        existing.write("earlier chart");
    }
    Tool tool;
    tool.world.failWith = [](const test::RecordedCall& call) -> std::optional<std::string> {
        if (call.text() == "Workbooks.Add.ActiveSheet.Cells(7&,2&).Interior.ColorIndex = 43%") {
            return "Unable to set the ColorIndex property of the Interior class";
        }
        return std::nullopt;
    };
    EXPECT_EQ(tool.run({"--generations", "3", "--name", "x", "--output", out}), kExitFailed);
    EXPECT_TRUE(tool.err.startsWith(
        "Application Error:\nUnable to set the ColorIndex property of the Interior class\n"
        "in Rootweave7/29/2014.Form1.PushButton1_Click at line 170\n\n"))
        << tool.err.toStdString();
    EXPECT_TRUE(tool.err.endsWith("rootweave-chart: the chart could not be made (1 error report(s) above); " +
                                  out + " was not written\n"))
        << tool.err.toStdString();
    EXPECT_TRUE(tool.savedTo.empty());
    const std::vector<std::string> effects = tool.world.effects();
    EXPECT_EQ(effects.back(), "Quit()");  // the application is still closed down
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"keep.xls"});
    QFile kept(out);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "earlier chart");
}

TEST(CliTool, NoApplicationMeansOneReportAndNothingElse) {
    QTemporaryDir dir;
    Tool tool;
    tool.factory.failCreate = "ActiveX component can't create object";
    EXPECT_EQ(tool.run({"--generations", "3", "--name", "x", "--output", dir.filePath("a.xls")}),
              kExitFailed);
    EXPECT_EQ(tool.err.count("Application Error:"), 1);
    EXPECT_TRUE(tool.err.contains("at line 110\n"));
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST(CliTool, AFailedSaveLeavesNoDraftBehind) {
    QTemporaryDir dir;
    Tool tool;
    tool.world.failWith = [](const test::RecordedCall& call) -> std::optional<std::string> {
        if (call.member == "SaveAs") {
            return "Cannot access the file";
        }
        return std::nullopt;
    };
    EXPECT_EQ(tool.run({"--generations", "1", "--name", "x", "--output", dir.filePath("a.xls")}),
              kExitFailed);
    EXPECT_TRUE(tool.err.contains(
        "Cannot access the file\nin Rootweave7/29/2014.Form1.PushButton1_Click at line 216"));
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

}  // namespace
}  // namespace rw::cli
