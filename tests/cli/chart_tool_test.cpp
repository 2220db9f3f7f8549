#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QSvgRenderer>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cerrno>
#include <string>
#include <vector>

#include "cli/all_formats.h"
#include "cli/chart_tool.h"
#include "cli/picture_file.h"
#include "platform/safe_file.h"
#include "spreadsheet/picture_sheets.h"
#include "support/recording_automation.h"

// rootweave-chart against the recording double: its command line, its refusals (none of which starts an
// application), and how reports and failures reach the exit status and the output file.
namespace rw::cli {
namespace {

// The picture of a small chart, drawn by the engine's renderer.
sheet::RangePicture smallChartPicture() {
    sheet::Workbook book;
    sheet::Worksheet& ws = book.activeSheet();
    test::buildChart(ws, "Ann", 3);
    return sheet::renderRangePicture(ws, ws.usedRange());
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Tool {
    test::RecordingAutomation world;
    test::RecordingFactory factory{world};
    PictureCatcher pictures;
    WorkbookCatcher workbooks;
    AllFormats allFormats;
    const Formats* formats = &allFormats;
    // What CopyPicture leaves in `pictures`; the recording double draws nothing itself.
    std::optional<sheet::RangePicture> copied = smallChartPicture();
    QString out;
    QString err;
    std::vector<std::string> savedTo;

    Tool() {
        // SaveAs leaves a small stand-in workbook for the tool to write.
        world.answer = [this](const test::RecordedCall& call) -> std::optional<automation::Variant> {
            static const automation::Variant kNothing;
            if (call.kind == test::CallKind::Call && call.member == "CopyPicture") {
                if (copied) {
                    pictures.keep(*copied);
                }
                return kNothing;
            }
            if (call.kind == test::CallKind::Call && call.member == "SaveAs") {
                const std::string path = std::get<std::string>(call.args.at(0));
                savedTo.push_back(path);
                workbooks.keep({'c', 'h', 'a', 'r', 't'});
                return kNothing;
            }
            return std::nullopt;
        };
    }

    int run(QStringList args) {
        args.prepend(QStringLiteral("rootweave-chart"));
        QTextStream outStream(&out);
        QTextStream errStream(&err);
        return runChartTool(args, factory, pictures, workbooks, formats, outStream, errStream, 2026);
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
        {{"--generations", "3", "--name", "x", "--output", out, "--picture", ""},
         "--picture needs a file name"},
        {{"--generations", "3", "--name", "x", "--output", out, "--picture", out},
         "--picture and --output name the same file"},
        {{"--generations", "3", "--name", "x", "--output", out, "--picture", dir.filePath("sub/../a.xls")},
         "--picture and --output name the same file"},
        {{"--generations", "3", "--name", "x", "--output", out, "--picture", "a.svg", "--picture", "b.svg"},
         "--picture is given more than once"},
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

    // Written in one step: only the output is in the folder.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"ada.xls"});
    QFile file(out);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "chart");
}

TEST(CliTool, AFullDiskOrFileSizeLimitKeepsTheEarlierFilesAndSaysWhy) {
    QTemporaryDir dir;
    const QString out = dir.filePath("keep.xls");
    const QString picture = dir.filePath("keep.svg");
    for (const QString& path : {out, picture}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("earlier");
    }
    struct Case {
        int error;
        QString reason;
    };
    for (const Case& c : {Case{ENOSPC, "No space left on device"}, Case{EFBIG, "File too large"}}) {
        // The picture, written first, fails: neither file changes.
        Tool tool;
        safefile::failNthWriteForTesting(1, c.error);
        EXPECT_EQ(tool.run({"--generations", "2", "--name", "x", "--output", out, "--picture", picture}),
                  kExitFailed);
        safefile::failNthWriteForTesting(0, 0);
        EXPECT_EQ(tool.err, "rootweave-chart: cannot write the picture file " + picture + ": " + c.reason +
                                "; " + out + " was not written\n");
        // The workbook fails after the picture: the message says the picture was written.
        Tool second;
        safefile::failNthWriteForTesting(2, c.error);
        EXPECT_EQ(second.run({"--generations", "2", "--name", "x", "--output", out, "--picture", picture}),
                  kExitFailed);
        safefile::failNthWriteForTesting(0, 0);
        EXPECT_EQ(second.err, "rootweave-chart: cannot write " + out + ": " + c.reason + " (the picture " +
                                  picture + " was written)\n");
        EXPECT_EQ(readFile(out), "earlier");
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System),
                  (QStringList{"keep.svg", "keep.xls"}));
        QFile restore(picture);
        ASSERT_TRUE(restore.open(QIODevice::WriteOnly));
        restore.write("earlier");
    }
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

TEST(CliPicture, TakesTheUsedRangeAfterSavingAndWritesItsSvg) {
    QTemporaryDir dir;
    const QString out = dir.filePath("ada.xls");
    const QString picture = dir.filePath("ada.svg");
    Tool tool;
    ASSERT_EQ(tool.run({"--generations", "3", "--name", "Ada", "--output", out, "--picture", picture}),
              kExitOk)
        << tool.err.toStdString();
    EXPECT_EQ(tool.out, "Wrote " + out + "\nWrote " + picture + "\n");
    EXPECT_TRUE(tool.err.isEmpty());

    const std::vector<std::string> effects = tool.world.effects();
    const auto saved = std::find_if(effects.begin(), effects.end(), [](const std::string& e) {
        return e.starts_with("Workbooks.Add.SaveAs(");
    });
    ASSERT_NE(saved, effects.end());
    ASSERT_NE(saved + 1, effects.end());
    EXPECT_EQ(*(saved + 1), "Workbooks.Add.ActiveSheet.UsedRange.CopyPicture()");
    EXPECT_EQ(std::count_if(effects.begin(), effects.end(),
                            [](const std::string& e) { return e.ends_with("CopyPicture()"); }),
              1);
    EXPECT_EQ(readFile(picture), QByteArray::fromStdString(tool.copied->svg));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"ada.svg", "ada.xls"}));
}

TEST(CliPicture, WithoutPictureNothingIsPictured) {
    QTemporaryDir dir;
    Tool tool;
    ASSERT_EQ(tool.run({"--generations", "2", "--name", "x", "--output", dir.filePath("a.xls")}), kExitOk);
    for (const std::string& effect : tool.world.effects()) {
        EXPECT_FALSE(effect.ends_with("CopyPicture()")) << effect;
    }
}

// The program loads its formats module for these runs; called without it all the same, the tool refuses
// them before making anything.
TEST(CliPicture, WithoutTheFormatsXlsxPicturesAndPagesAreRefused) {
    const std::vector<QStringList> runs{{"--output", "a.XLSX"},
                                        {"--output", "a.xls", "--picture", "a.svg"},
                                        {"--output", "a.xls", "--print", "a.pdf"}};
    for (const QStringList& files : runs) {
        QTemporaryDir dir;
        Tool tool;
        tool.formats = nullptr;
        QStringList args{"--generations", "2", "--name", "x"};
        for (const QString& part : files) {
            args << (part.startsWith("--") ? part : dir.filePath(part));
        }
        EXPECT_EQ(tool.run(args), kExitFailed) << files.join(' ').toStdString();
        EXPECT_TRUE(tool.err.contains("this program makes .xls workbooks only")) << tool.err.toStdString();
        EXPECT_TRUE(tool.world.effects().empty());
        EXPECT_TRUE(QDir(dir.path()).isEmpty());
    }
}

TEST(CliPicture, PngAndPdfByTheNamesEndingInAnyCase) {
    QTemporaryDir dir;
    {
        Tool tool;
        const QString png = dir.filePath("chart.PnG");
        ASSERT_EQ(tool.run({"--generations", "3", "--name", "x", "--output", dir.filePath("a.xls"),
                            "--picture", png}),
                  kExitOk)
            << tool.err.toStdString();
        QImage image;
        ASSERT_TRUE(image.loadFromData(readFile(png), "PNG"));
        EXPECT_EQ(image.size(), QSize(tool.copied->width, tool.copied->height));
        // Drawn, not blank: the boxes' lime and the white around them.
        int lime = 0;
        int white = 0;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const QRgb pixel = image.pixel(x, y) & 0xFFFFFF;
                lime += pixel == 0x99CC00 ? 1 : 0;
                white += pixel == 0xFFFFFF ? 1 : 0;
            }
        }
        EXPECT_GT(lime, 1000);
        EXPECT_GT(white, 1000);
    }
    {
        Tool tool;
        const QString pdf = dir.filePath("chart.PDF");
        ASSERT_EQ(tool.run({"--generations", "3", "--name", "x", "--output", dir.filePath("b.xls"),
                            "--picture", pdf}),
                  kExitOk)
            << tool.err.toStdString();
        const QByteArray bytes = readFile(pdf);
        EXPECT_TRUE(bytes.startsWith("%PDF-"));
        EXPECT_TRUE(bytes.trimmed().endsWith("%%EOF"));
    }
}

TEST(CliPicture, PictureFormatsAndPdfPages) {
    EXPECT_EQ(pictureFormatOf("a.svg"), PictureFormat::Svg);
    EXPECT_EQ(pictureFormatOf("a"), PictureFormat::Svg);
    EXPECT_EQ(pictureFormatOf("png"), PictureFormat::Svg);
    EXPECT_EQ(pictureFormatOf("a.png.svg"), PictureFormat::Svg);
    EXPECT_EQ(pictureFormatOf("/x.pdf/a.jpg"), PictureFormat::Svg);
    EXPECT_EQ(pictureFormatOf("a.PNG"), PictureFormat::Png);
    EXPECT_EQ(pictureFormatOf("a.svg.pdf"), PictureFormat::Pdf);

    // At screen size (96 pixels an inch) while it fits on a 200-inch page, scaled down evenly beyond.
    EXPECT_EQ(pdfPageSize(96, 48), QSizeF(72, 36));
    EXPECT_EQ(pdfPageSize(19200, 100), QSizeF(14400, 75));
    EXPECT_EQ(pdfPageSize(1506, 557110), QSizeF(39, 14400));
    EXPECT_EQ(pdfPageSize(40000, 20000), QSizeF(14400, 7200));
    EXPECT_EQ(pdfPageSize(1, 1'000'000), QSizeF(1, 14400));  // never thinner than a point
}

TEST(CliPicture, TooLargeForPngIsRefusedAndNothingIsWritten) {
    struct Case {
        int width;
        int height;
    };
    // A side over 16384 pixels, or over 64 million pixels in all, although each side fits.
    for (const Case c : {Case{16385, 10}, Case{10, 557110}, Case{10000, 6401}}) {
        QTemporaryDir dir;
        Tool tool;
        tool.copied->width = c.width;
        tool.copied->height = c.height;
        const QString out = dir.filePath("big.xls");
        const QString png = dir.filePath("big.png");
        EXPECT_EQ(tool.run({"--generations", "3", "--name", "x", "--output", out, "--picture", png}),
                  kExitFailed);
        EXPECT_EQ(tool.err,
                  QStringLiteral("rootweave-chart: cannot make the picture %1: the picture is %2 x %3 "
                                 "pixels, too large for PNG (at most 16384 pixels a side and 64 "
                                 "million pixels); write it as .svg or .pdf instead; %4 was not "
                                 "written\n")
                      .arg(png)
                      .arg(c.width)
                      .arg(c.height)
                      .arg(out));
        EXPECT_TRUE(tool.out.isEmpty());
        EXPECT_TRUE(QDir(dir.path()).isEmpty())
            << QDir(dir.path()).entryList(QDir::Hidden | QDir::Files).join(' ').toStdString();
    }
}

TEST(CliPicture, UnwritablePicturePathsAreRefused) {
    QTemporaryDir dir;
    // Seen before anything starts: a missing folder, a folder in the file's place.
    for (const QString& picture : {dir.filePath("missing/a.svg"), dir.path()}) {
        Tool tool;
        EXPECT_EQ(tool.run({"--generations", "3", "--name", "x", "--output", dir.filePath("a.xls"),
                            "--picture", picture}),
                  kExitFailed);
        EXPECT_TRUE(tool.err.startsWith("rootweave-chart: cannot write " + picture + ": "))
            << tool.err.toStdString();
        EXPECT_TRUE(tool.factory.created.empty());
    }
    // Seen only when writing (/proc takes no new files, not even from root): the workbook is not written
    // either, and no draft is left behind.
    Tool tool;
    const QString out = dir.filePath("a.xls");
    EXPECT_EQ(
        tool.run({"--generations", "3", "--name", "x", "--output", out, "--picture", "/proc/rw-chart.svg"}),
        kExitFailed);
    EXPECT_TRUE(tool.err.startsWith("rootweave-chart: cannot write the picture file /proc/rw-chart.svg: "))
        << tool.err.toStdString();
    EXPECT_TRUE(tool.err.endsWith("; " + out + " was not written\n")) << tool.err.toStdString();
    EXPECT_EQ(tool.savedTo.size(), 1u);
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST(CliPicture, AFailedPictureKeepsTheEarlierFilesAndAGoodOneReplacesThem) {
    QTemporaryDir dir;
    const QString out = dir.filePath("keep.xls");
    const QString picture = dir.filePath("keep.svg");
    for (const QString& path : {out, picture}) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("earlier");
    }
    {
        // CopyPicture fails: reported at the snapshot step.
        Tool tool;
        tool.world.failWith = [](const test::RecordedCall& call) -> std::optional<std::string> {
            if (call.member == "CopyPicture") {
                return "CopyPicture method of Range class failed";
            }
            return std::nullopt;
        };
        EXPECT_EQ(tool.run({"--generations", "2", "--name", "x", "--output", out, "--picture", picture}),
                  kExitFailed);
        EXPECT_TRUE(
            tool.err.startsWith("Application Error:\nCopyPicture method of Range class failed\n"
                                "in Rootweave7/29/2014.Form1.PushButton1_Click at line 236\n"))
            << tool.err.toStdString();
        EXPECT_EQ(tool.world.effects().back(), "Quit()");
    }
    {
        // CopyPicture leaves nothing.
        Tool tool;
        tool.copied.reset();
        EXPECT_EQ(tool.run({"--generations", "2", "--name", "x", "--output", out, "--picture", picture}),
                  kExitFailed);
        EXPECT_TRUE(tool.err.contains("cannot make the picture " + picture + ": no picture was taken"))
            << tool.err.toStdString();
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), (QStringList{"keep.svg", "keep.xls"}));
    EXPECT_EQ(readFile(out), "earlier");
    EXPECT_EQ(readFile(picture), "earlier");

    Tool tool;
    ASSERT_EQ(tool.run({"--generations", "2", "--name", "x", "--output", out, "--picture", picture}),
              kExitOk);
    EXPECT_EQ(readFile(out), "chart");
    EXPECT_EQ(readFile(picture), QByteArray::fromStdString(tool.copied->svg));
}

TEST(CliPicture, AFailedLayoutTakesNoPicture) {
    QTemporaryDir dir;
    Tool tool;
    tool.world.failWith = [](const test::RecordedCall& call) -> std::optional<std::string> {
        if (call.member == "SaveAs") {
            return "Cannot access the file";
        }
        return std::nullopt;
    };
    EXPECT_EQ(tool.run({"--generations", "1", "--name", "x", "--output", dir.filePath("a.xls"), "--picture",
                        dir.filePath("a.svg")}),
              kExitFailed);
    EXPECT_EQ(tool.err.count("Application Error:"), 1);
    for (const std::string& effect : tool.world.effects()) {
        EXPECT_FALSE(effect.ends_with("CopyPicture()")) << effect;
    }
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

}  // namespace
}  // namespace rw::cli
