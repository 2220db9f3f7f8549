#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <cstdint>
#include <optional>
#include <vector>

#include "chart/automation.h"
#include "chart/excel_binding.h"
#include "cli/formats.h"
#include "platform/seams.h"
#include "spreadsheet/range_picture.h"

// rootweave-chart: the chart without the windows. The same checks, layout and engine as "Start Creating
// Template", driven from the command line:
//   rootweave-chart --generations N --name TEXT --output FILE.xls [--picture FILE.svg|.png|.pdf]
//   rootweave-chart --gedcom FILE --person REF [--hide-living] --output FILE.xls [...]
namespace rw::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the workbook or its picture could not be made or written
inline constexpr int kExitUsage = 2;   // bad command line or refused input; nothing was started

// Message boxes for a program without windows: each box is written to `stream` (its title, then its text
// with the line breaks of the platform) and answered with its default button.
class StreamMessageBoxes : public MessageBoxes {
  public:
    explicit StreamMessageBoxes(QTextStream& stream) : stream_(stream) {}
    int show(const QString& text, const QString& title, MsgIcon icon, MsgButtons buttons,
             int defaultAnswer) override;

  private:
    QTextStream& stream_;
};

// Where the engine's CopyPicture leaves the picture of a range in this tool, until the tool writes it to the
// --picture file. The engine factory gets sink(); the last picture taken is kept.
class PictureCatcher {
  public:
    void keep(sheet::RangePicture picture) { picture_ = std::move(picture); }
    // Hands over the kept picture and forgets it.
    std::optional<sheet::RangePicture> take();
    // The hook for EngineFactory: draws the range and keeps the picture. Refers to this object, which must
    // outlive the factory.
    chart::EngineFactory::PictureSink sink();

  private:
    std::optional<sheet::RangePicture> picture_;
};

// Where the engine's SaveAs leaves the workbook in this tool, so that the tool writes every file at the end,
// the picture and the printed pages before the workbook, each in one step. At SaveAs the workbook is encoded
// as .xlsx when the name SaveAs was given ends in .xlsx (any case), else as .xls, and, when pages are asked
// for, printed from the workbook itself. A failure of either is kept as a description for the tool's own
// message: SaveAs never fails here. The engine factory gets sink() as its SaveAs.
class WorkbookCatcher {
  public:
    struct Caught {
        std::vector<std::uint8_t> image;  // the file's bytes, unless `problem` says why there are none
        QString problem;
        QByteArray pages;  // the printed pages as PDF, when asked for, unless `printProblem` says why not
        QString printProblem;
    };

    // From the next SaveAs on, an .xlsx workbook is encoded by `formats` (without them, an .xlsx SaveAs
    // leaves a problem), and when there is a `paper`, the workbook is also printed on it by `formats`.
    void useFormats(const Formats* formats, std::optional<Paper> paper) {
        formats_ = formats;
        paper_ = paper;
    }
    void keep(std::vector<std::uint8_t> image) { caught_ = Caught{std::move(image), {}, {}, {}}; }
    // Hands over what the last SaveAs left and forgets it.
    std::optional<Caught> take();
    // The SaveAs for EngineFactory. Refers to this object, which must outlive the factory.
    chart::EngineFactory::SaveSink sink();

  private:
    const Formats* formats_ = nullptr;
    std::optional<Paper> paper_;
    std::optional<Caught> caught_;
};

// Runs the tool. `arguments` is the whole command line, the program name first (file names in it as
// argumentFromBytes() gives them). Applications are created through `factory`, whose CopyPicture leaves its
// pictures in `pictures` and whose SaveAs leaves the workbook in `workbooks`. An .xlsx workbook, the
// --picture and the --print files are made by `formats`; without them, the tool makes .xls alone. Results go
// to `out`, every complaint, warning and error report to `err`; `todayYear` is the year --hide-living judges
// the living by. Returns the exit status.
int runChartTool(const QStringList& arguments, automation::ObjectFactory& factory, PictureCatcher& pictures,
                 WorkbookCatcher& workbooks, const Formats* formats, QTextStream& out, QTextStream& err,
                 int todayYear);

}  // namespace rw::cli
