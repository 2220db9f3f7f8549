#include "cli/chart_tool.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "chart/chart_fill.h"
#include "chart/chart_job.h"
#include "chart/layout.h"
#include "chart/number_parse.h"
#include "chart/picture_clipboard.h"
#include "cli/family_options.h"
#include "cli/native_names.h"
#include "cli/output_check.h"
#include "family/family.h"
#include "platform/error_report.h"
#include "platform/failure.h"
#include "platform/safe_file.h"
#include "spreadsheet/xls_codec.h"
#include "spreadsheet/xlsx_writer.h"

namespace rw::cli {

namespace {

using automation::Dispatch;

const QString kTool = QStringLiteral("rootweave-chart");

const QString kUsage = QStringLiteral(
    "Usage: rootweave-chart --generations N --name TEXT --output FILE.xls|.xlsx\n"
    "                       [--picture FILE.svg|.png|.pdf] [--print FILE.pdf [--paper a4|letter]]\n"
    "       rootweave-chart --gedcom FILE.ged --person REF [--hide-living] [--generations N] [--name TEXT]\n"
    "                       --output FILE.xls|.xlsx [--picture ...] [--print ...]\n"
    "\n"
    "Makes a blank ancestor chart as an Excel 97-2003 workbook (.xls), or as an Excel workbook (.xlsx); "
    "with\n"
    "a family file, the boxes hold the ancestors of one person in it.\n"
    "\n"
    "  --generations N   generations to show, the person included; up to 15 (an .xls sheet holds no more).\n"
    "                    Fractions round half to even; below 0.5 only the heading is written.\n"
    "  --name TEXT       the person whose tree it is, shown in the title; may be empty (--name \"\").\n"
    "  --output FILE     the workbook to write: .xlsx when FILE ends in .xlsx (any case), else .xls;\n"
    "                    an existing file is replaced.\n"
    "  --picture FILE    also write a picture of the chart, as the preview shows it: SVG, or PNG or PDF "
    "when\n"
    "                    FILE ends in .png or .pdf. A PNG picture may be at most 16384 pixels a side and\n"
    "                    64 million pixels (charts of up to 9 generations); a PDF page is at most 200 "
    "inches\n"
    "                    a side, a larger chart is scaled down to fit. An existing file is replaced.\n"
    "  --print FILE.pdf  also print the chart into a PDF file, page by page as the workbook's page set-up\n"
    "                    prints it: landscape, one page wide, the heading on every page, \"Page N of M\".\n"
    "  --paper NAME      the paper --print prints on: a4 (the default) or letter.\n"
    "  --gedcom FILE     fill the chart from this family file (GEDCOM). Its warnings go to standard error,\n"
    "                    the first 20 one by one, then how many more there were.\n"
    "  --person REF      the person whose ancestors fill the chart: a record id (@I12@ or I12) or the whole\n"
    "                    name, in any case, with or without accents. When no one or several people match,\n"
    "                    those who might be meant are listed (name, years, id) and nothing is written.\n"
    "                    --name defaults to the person's name, --generations to the generations known\n"
    "                    (at most 15).\n"
    "  --hide-living     show the living (no death, born in the last 110 years) as \"Living\", without "
    "dates.\n"
    "  -h, --help        show this help.\n"
    "\n"
    "Every file is checked before any is replaced (a link is checked at the file it leads to), and each is\n"
    "replaced in one step, the picture and the printed pages before the workbook: a stopped or failed run\n"
    "leaves no half-written file, and an earlier file is kept unless the message says it was replaced.\n"
    "\n"
    "Exit status: 0 when the workbook (and the picture and print) was written, 1 when any could not be made\n"
    "or written or the family file could not be read, 2 for a bad command line, a refused number of\n"
    "generations, an unknown paper, or a person not found or not found once.\n");

int usageError(QTextStream& err, const QString& message) {
    err << kTool << ": " << message << "\n"
        << "Try 'rootweave-chart --help'.\n";
    err.flush();
    return kExitUsage;
}

int failed(QTextStream& err, const QString& message) {
    err << kTool << ": " << message << "\n";
    err.flush();
    return kExitFailed;
}

// Why a tool without its formats module refuses an .xlsx workbook, a picture or printed pages.
const QString kXlsOnly = QStringLiteral("this program makes .xls workbooks only");

// The paper named on the command line ("a4" or "letter", in any case); nothing for any other name.
std::optional<Paper> paperNamed(const QString& name) {
    if (name.compare(QStringLiteral("a4"), Qt::CaseInsensitive) == 0) {
        return Paper::A4;
    }
    if (name.compare(QStringLiteral("letter"), Qt::CaseInsensitive) == 0) {
        return Paper::Letter;
    }
    return std::nullopt;
}

// The most generations a chart made from a family file shows by default: as many as an .xls sheet holds.
constexpr int kMaxFamilyGenerations = 15;

// The chart made as "Start Creating Template" makes it, each step a statement of `trap` with that
// routine's line labels. Unlike the window, the tool stops as soon as a failure means no usable chart can
// come of it (no application, no workbook, no sheet, a failed layout step), closing what it opened. With
// `takePicture`, the saved chart's used range is then pictured through CopyPicture, as the window's
// snapshot does (the run's snapshot step, line 236). A `fill` from a family file puts the person's ancestors
// in the boxes; its warnings join the file's.
void makeWorkbook(ErrorTrap& trap, automation::ObjectFactory& factory, const QString& name,
                  const QString& generations, const QString& savePath, bool takePicture,
                  const chart::ChartFill& fill, WarningWriter& warnings) {
    chart::ChartJob job(trap, factory, chart::ChartJob::AfterReport::Stop);
    const bool laidOut = job.start() && job.layOut(name, generations, fill);
    warnings.write(job.warnings());  // a loop in the family file stops that line of the tree
    if (laidOut && job.saveAs(savePath) && takePicture) {
        trap.run(236, [&] { job.sheet().get("UsedRange").call("CopyPicture"); });
    }
    job.finish();
}

}  // namespace

int StreamMessageBoxes::show(const QString& text, const QString& title, MsgIcon /*icon*/, MsgButtons buttons,
                             int defaultAnswer) {
    QString plain = text;
    plain.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(u'\r', u'\n');
    stream_ << (title.isEmpty() ? kAppTitle : title) << ":\n" << plain << "\n";
    stream_.flush();
    return buttons == MsgButtons::Ok ? kAnswerOk : defaultAnswer;
}

std::optional<sheet::RangePicture> PictureCatcher::take() {
    std::optional<sheet::RangePicture> picture = std::move(picture_);
    picture_.reset();
    return picture;
}

std::optional<WorkbookCatcher::Caught> WorkbookCatcher::take() {
    std::optional<Caught> caught = std::move(caught_);
    caught_.reset();
    return caught;
}

chart::EngineFactory::SaveSink WorkbookCatcher::sink() {
    return [this](const sheet::Workbook& workbook, const std::string& path) {
        Caught caught;
        try {
            if (!sheet::hasXlsxEnding(path)) {
                caught.image = sheet::encodeWorkbook(workbook);
            } else if (formats_ != nullptr) {
                caught.image = formats_->xlsx(workbook);
            } else {
                throw Failure(kXlsOnly.toStdString());
            }
        } catch (const std::exception& e) {
            caught.problem = QString::fromUtf8(e.what());
        }
        if (paper_) {
            try {
                if (formats_ == nullptr) {
                    throw Failure(kXlsOnly.toStdString());
                }
                caught.pages = formats_->pages(workbook, *paper_);
            } catch (const std::exception& e) {
                caught.printProblem = QString::fromUtf8(e.what());
            }
        }
        caught_ = std::move(caught);
    };
}

chart::EngineFactory::PictureSink PictureCatcher::sink() {
    return [this](const sheet::Worksheet& sheet, const sheet::CellRange& range) {
        keep(sheet::renderRangePicture(sheet, range));
    };
}

int runChartTool(const QStringList& arguments, automation::ObjectFactory& factory, PictureCatcher& pictures,
                 WorkbookCatcher& workbooks, const Formats* formats, QTextStream& out, QTextStream& err,
                 int todayYear) {
    QCommandLineParser parser;
    const QCommandLineOption generationsOption(QStringLiteral("generations"), QString(), QStringLiteral("N"));
    const QCommandLineOption nameOption(QStringLiteral("name"), QString(), QStringLiteral("TEXT"));
    const QCommandLineOption outputOption(QStringLiteral("output"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption pictureOption(QStringLiteral("picture"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption printOption(QStringLiteral("print"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption paperOption(QStringLiteral("paper"), QString(), QStringLiteral("NAME"));
    const QCommandLineOption gedcomOption(QStringLiteral("gedcom"), QString(), QStringLiteral("FILE"));
    const QCommandLineOption personOption(QStringLiteral("person"), QString(), QStringLiteral("REF"));
    const QCommandLineOption hideLivingOption(QStringLiteral("hide-living"));
    const QCommandLineOption helpOption(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    parser.addOptions({generationsOption, nameOption, outputOption, pictureOption, printOption, paperOption,
                       gedcomOption, personOption, hideLivingOption, helpOption});
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);

    if (!parser.parse(arguments)) {
        return usageError(err, parser.errorText());
    }
    if (parser.isSet(helpOption)) {
        out << kUsage;
        out.flush();
        return kExitOk;
    }
    if (!parser.positionalArguments().isEmpty()) {
        return usageError(
            err, QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    }
    for (const QCommandLineOption* option : {&generationsOption, &nameOption, &outputOption, &pictureOption,
                                             &printOption, &paperOption, &gedcomOption, &personOption}) {
        if (parser.values(*option).size() > 1) {
            return usageError(err,
                              QStringLiteral("--%1 is given more than once").arg(option->names().first()));
        }
    }
    // With a family file, the person is named in it and the name and the generations follow from them.
    const bool fromFamily = parser.isSet(gedcomOption);
    if (!fromFamily) {
        for (const QCommandLineOption* option : {&personOption, &hideLivingOption}) {
            if (parser.isSet(*option)) {
                return usageError(err,
                                  QStringLiteral("--%1 goes with --gedcom").arg(option->names().first()));
            }
        }
    }
    QStringList missing;
    const auto required =
        fromFamily ? std::vector<const QCommandLineOption*>{&personOption, &outputOption}
                   : std::vector<const QCommandLineOption*>{&generationsOption, &nameOption, &outputOption};
    for (const QCommandLineOption* option : required) {
        if (!parser.isSet(*option)) {
            missing << QStringLiteral("--") + option->names().first();
        }
    }
    if (!missing.isEmpty()) {
        return usageError(err, QStringLiteral("missing %1").arg(missing.join(QStringLiteral(", "))));
    }

    QString generations = parser.value(generationsOption);
    QString name = parser.value(nameOption);
    const QString output = parser.value(outputOption);
    const QString gedcom = parser.value(gedcomOption);

    if (parser.isSet(generationsOption)) {
        switch (chart::checkGenerations(generations)) {
            case chart::GenerationsCheck::NotNumeric:
                return usageError(err, chart::kGenerationsNotNumeric);
            case chart::GenerationsCheck::TooMany:
                return usageError(err, chart::kGenerationsTooMany);
            case chart::GenerationsCheck::Ok:
                break;
        }
    }
    if (fromFamily && gedcom.isEmpty()) {
        return usageError(err, QStringLiteral("--gedcom needs a file name"));
    }
    if (fromFamily && parser.value(personOption).trimmed().isEmpty()) {
        return usageError(err, QStringLiteral("--person needs a record id or a name"));
    }
    if (output.isEmpty()) {
        return usageError(err, QStringLiteral("--output needs a file name"));
    }
    const bool wantPicture = parser.isSet(pictureOption);
    const QString picture = parser.value(pictureOption);
    if (wantPicture) {
        if (picture.isEmpty()) {
            return usageError(err, QStringLiteral("--picture needs a file name"));
        }
        if (sameTarget(bytesFromArgument(picture), bytesFromArgument(output))) {
            return usageError(err, QStringLiteral("--picture and --output name the same file"));
        }
    }
    const bool wantPrint = parser.isSet(printOption);
    const QString print = parser.value(printOption);
    const std::optional<Paper> paper =
        paperNamed(parser.isSet(paperOption) ? parser.value(paperOption) : QStringLiteral("a4"));
    if (!paper) {
        return usageError(
            err, QStringLiteral("unknown paper '%1': use a4 or letter").arg(parser.value(paperOption)));
    }
    if (parser.isSet(paperOption) && !wantPrint) {
        return usageError(err, QStringLiteral("--paper goes with --print"));
    }
    if (wantPrint) {
        if (print.isEmpty()) {
            return usageError(err, QStringLiteral("--print needs a file name"));
        }
        if (sameTarget(bytesFromArgument(print), bytesFromArgument(output)) ||
            (wantPicture && sameTarget(bytesFromArgument(print), bytesFromArgument(picture)))) {
            return usageError(err, QStringLiteral("--print names the same file as --output or --picture"));
        }
    }

    if (formats == nullptr && (wantPicture || wantPrint || sheet::hasXlsxEnding(bytesFromArgument(output)))) {
        return failed(err, kXlsOnly);
    }

    // Every file is checked, by the bytes of its name, before the chart is made; none is replaced until all
    // of them are made.
    QStringList targets{output};
    if (wantPicture) {
        targets << picture;
    }
    if (wantPrint) {
        targets << print;
    }
    if (fromFamily) {
        for (const QString& target : targets) {
            if (sameTarget(bytesFromArgument(target), bytesFromArgument(gedcom))) {
                return usageError(
                    err, QStringLiteral("%1 is the family file; it is never written over").arg(target));
            }
        }
    }
    for (const QString& target : targets) {
        if (std::optional<QString> problem = outputProblem(bytesFromArgument(target))) {
            return failed(err, QStringLiteral("cannot write %1: %2").arg(target, *problem));
        }
    }

    std::optional<family::FamilyFile> familyFile;
    family::PersonIndex person = family::kNoPerson;
    WarningWriter warnings(err, gedcom);
    if (fromFamily) {
        try {
            familyFile = family::readFamilyFile(bytesFromArgument(gedcom));
        } catch (const family::ReadError& e) {
            return failed(err, QString::fromUtf8(e.what()));  // names the file itself
        } catch (const std::exception& e) {
            return failed(err, QStringLiteral("cannot read the family file %1: %2")
                                   .arg(gedcom, QString::fromUtf8(e.what())));
        }
        warnings.write(familyFile->warnings);
        QString notFound;  // the list of candidates comes after the count of warnings not shown
        QTextStream notFoundStream(&notFound);
        const std::optional<family::PersonIndex> chosen =
            choosePerson(*familyFile, gedcom, bytesFromArgument(parser.value(personOption)), notFoundStream);
        if (!chosen) {
            warnings.finish();
            err << notFound;
            err.flush();
            return kExitUsage;
        }
        person = *chosen;
        if (!parser.isSet(nameOption)) {
            name = QString::fromStdString(
                family::displayName(familyFile->people.at(static_cast<std::size_t>(person))));
        }
        if (!parser.isSet(generationsOption)) {
            generations = QString::number(family::knownDepth(*familyFile, person, kMaxFamilyGenerations));
        }
    }

    // The engine's SaveAs leaves the workbook with the tool, which writes it only when the chart was made
    // without a single report: a failed run never leaves a partial chart at the output, nor replaces a good
    // one.
    StreamMessageBoxes reports(err);
    ErrorTrap trap(reports, chart::kCreateTemplateReportName);
    pictures.take();
    workbooks.take();
    workbooks.useFormats(formats, wantPrint ? paper : std::nullopt);
    const chart::ChartFill fill{familyFile ? &*familyFile : nullptr, person, parser.isSet(hideLivingOption),
                                todayYear};
    makeWorkbook(trap, factory, name, generations, output, wantPicture, fill, warnings);
    warnings.finish();

    if (trap.reportsShown() > 0) {
        return failed(err,
                      QStringLiteral("the chart could not be made (%1 error report(s) above); %2 was not "
                                     "written")
                          .arg(trap.reportsShown())
                          .arg(output));
    }
    const std::optional<WorkbookCatcher::Caught> caught = workbooks.take();
    if (!caught) {
        return failed(err, QStringLiteral("%1 was not written").arg(output));
    }
    if (!caught->problem.isEmpty()) {
        return failed(err, QStringLiteral("cannot write %1: %2").arg(output, caught->problem));
    }
    // Everything is made before anything is written: a picture that cannot be made (too large for PNG,
    // say) or pages that cannot be printed leave every file as it was.
    QByteArray pictureBytes;
    if (wantPicture) {
        try {
            const std::optional<sheet::RangePicture> taken = pictures.take();
            if (!taken) {
                throw Failure("no picture was taken");
            }
            pictureBytes = formats->picture(*taken, picture);
        } catch (const std::exception& e) {
            return failed(err, QStringLiteral("cannot make the picture %1: %2; %3 was not written")
                                   .arg(picture, QString::fromUtf8(e.what()), output));
        }
    }
    if (wantPrint && (!caught->printProblem.isEmpty() || caught->pages.isEmpty())) {
        const QString problem =
            caught->printProblem.isEmpty() ? QStringLiteral("no pages were printed") : caught->printProblem;
        return failed(err,
                      QStringLiteral("cannot print %1: %2; %3 was not written").arg(print, problem, output));
    }

    // The picture and the pages are written before the workbook. A write that still fails says which files
    // were already replaced.
    QStringList written;
    const auto writtenNote = [&]() -> QString {
        if (written.isEmpty()) {
            return {};
        }
        return QStringLiteral(" (%1 %2 written)")
            .arg(written.join(QStringLiteral(" and ")),
                 written.size() == 1 && !written.first().startsWith(QStringLiteral("the printed"))
                     ? QStringLiteral("was")
                     : QStringLiteral("were"));
    };
    const auto write = [&](const QString& target,
                           std::span<const std::uint8_t> bytes) -> std::optional<QString> {
        try {
            safefile::replace(bytesFromArgument(target), bytes);
        } catch (const safefile::Error& e) {
            return QString::fromStdString(e.reason());
        }
        return std::nullopt;
    };
    const auto asBytes = [](const QByteArray& bytes) {
        return std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                         static_cast<std::size_t>(bytes.size()));
    };
    if (wantPicture) {
        if (std::optional<QString> reason = write(picture, asBytes(pictureBytes))) {
            return failed(err, QStringLiteral("cannot write the picture file %1: %2; %3 was not written")
                                   .arg(picture, *reason, output));
        }
        written << QStringLiteral("the picture %1").arg(picture);
    }
    if (wantPrint) {
        if (std::optional<QString> reason = write(print, asBytes(caught->pages))) {
            return failed(err, QStringLiteral("cannot write the print file %1: %2%3; %4 was not written")
                                   .arg(print, *reason, writtenNote(), output));
        }
        written << QStringLiteral("the printed pages %1").arg(print);
    }
    if (std::optional<QString> reason = write(output, caught->image)) {
        return failed(err, QStringLiteral("cannot write %1: %2%3").arg(output, *reason, writtenNote()));
    }
    out << "Wrote " << output << "\n";
    if (wantPicture) {
        out << "Wrote " << picture << "\n";
    }
    if (wantPrint) {
        out << "Wrote " << print << "\n";
    }
    out.flush();
    return kExitOk;
}

}  // namespace rw::cli
