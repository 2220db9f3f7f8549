// "Start Creating Template": from the two inputs to the chart in the preview window.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>

#include "app/generation_run.h"

#include "app/family_open.h"
#include "app/main_window.h"
#include "app/temporary_folder.h"
#include "chart/chart_job.h"
#include "chart/excel1.h"
#include "chart/layout.h"
#include "chart/number_parse.h"
#include "chart/picture_clipboard.h"
#include "platform/checked.h"
#include "platform/error_report.h"
#include "platform/failure.h"
#include "platform/file_names.h"
#include "platform/safe_file.h"
#include "preview/chart_picture.h"
#include "preview/preview_window.h"
#include "widgets/main_routines.h"

namespace rw {

namespace {

using automation::Dispatch;

// How often a freshly drawn name may turn out to be taken before the run gives up on saving. With eight
// digits from 1 to 9 this only happens when the clock or the generator is broken.
constexpr int kMaxNameDraws = 1000;

// The folder of the temporary workbook (the program's one rule for temporary files), with the separator
// that the file name follows.
QString workbookFolder() {
    const QString folder = temporaryFolder().folder;
    return folder.endsWith(QLatin1Char('/')) ? folder : folder + QLatin1Char('/');
}

[[noreturn]] void failWithErrno(const char* what, const QString& path, int error) {
    throw Failure(std::string(what) + " \"" + path.toStdString() + "\": " + std::strerror(error));
}

// A folder of this run's own beside the temporary workbook (owner-only, under an unpredictable name), for
// the preview picture: the picture file is written by replacing whatever is at its path, which in a shared
// folder could be a link planted by someone else.
QString makePictureFolder(const QString& folder, const QString& name) {
    QByteArray pattern = QFile::encodeName(folder + name + QStringLiteral(".XXXXXX"));
    if (::mkdtemp(pattern.data()) == nullptr) {
        failWithErrno("Cannot create a folder for the preview picture in", folder, errno);
    }
    return QFile::decodeName(pattern);
}

}  // namespace

GenerationRun::GenerationRun(automation::ObjectFactory& factory, automation::ActiveObjectLookup& lookup,
                             std::function<Form2&(QWidget& parent)> previewWindow)
    : excelFactory_(factory), excelLookup_(lookup), previewWindow_(std::move(previewWindow)) {}

void GenerationRun::start(Form1& window) {
    // One run at a time: a click that reaches the button while a run is under way (through a message box's
    // event loop) or while its chart is in the preview was queued behind it, and is dropped. Starting again
    // there would hand the preview a second workbook and leave the first one behind.
    if (runActive_ || (preview_ && preview_->isVisible())) {
        return;
    }
    runActive_ = true;
    struct RunEnd {
        bool& active;
        ~RunEnd() { active = false; }
    } runEnd{runActive_};
    runGeneration(window);
}

bool GenerationRun::temporaryFolderRefused(Form1& window) {
    const TemporaryFolder folder = temporaryFolder();
    const QString problem = temporaryFolderProblem(folder.folder);
    if (problem.isEmpty()) {
        return false;
    }
    window.platform().messages.show(temporaryFolderMessage(folder, problem), kAppTitle, MsgIcon::Exclamation,
                                    MsgButtons::Ok, kAnswerOk);
    return true;
}

void GenerationRun::runGeneration(Form1& window) {
    const Platform& platform = window.platform();
    ErrorTrap trap(platform.messages, chart::kCreateTemplateReportName);
    automation::ObjectFactory& factory = excelFactory_;
    automation::ActiveObjectLookup& lookup = excelLookup_;
    const auto preview = [this, &window]() -> Form2& {
        Form2& form2 = previewWindow_(window);
        preview_ = &form2;
        return form2;
    };

    // Every reference the run takes lives here and is released when it returns, whatever failed.
    chart::ChartJob job(trap, factory, chart::ChartJob::AfterReport::GoOn);  // the layout and the save
    Dispatch excel2;     // the second instance: the picture
    Dispatch workbook2;  // the workbook it opened
    QString name;
    QString path;
    QString pictureFolder;
    QString picturePath;
    std::int16_t digit = 0;

    chart::GenerationsCheck verdict = chart::GenerationsCheck::Ok;
    if (trap.test(100, [&] {
            verdict = chart::checkGenerations(window.Text2->text());
            return verdict != chart::GenerationsCheck::Ok;
        })) {
        trap.run(102, [&] {
            platform.messages.show(verdict == chart::GenerationsCheck::TooMany
                                       ? chart::kGenerationsTooMany
                                       : chart::kGenerationsNotNumeric,
                                   chart::kGenerationsTitle, MsgIcon::Exclamation, MsgButtons::Ok, kAnswerOk);
        });
        trap.run(104, [&] { window.Text2->setFocus(); });
        return;
    }
    // The workbook's folder is checked before any work: without it every later step would fail in turn.
    if (temporaryFolderRefused(window)) {
        return;
    }
    if (trap.test(106, [&] { return chart::Excel1::checkExcelOpen(lookup, platform.messages); })) {
        return;
    }

    // The chart, in an invisible instance of our own.
    trap.run(108, [&] { window.mousePointer().set(kPointerHourglass); });
    job.start();
    job.layOut(window.Text1->text(), window.Text2->text(), window.chartFill(),
               [&window](double number, double exponent) { return window.MyPower(number, exponent); });
    if (!job.warnings().empty()) {
        platform.messages.show(familyWarningsMessage(job.warnings()), kAppTitle, MsgIcon::Exclamation,
                               MsgButtons::Ok, kAnswerOk);
    }
    trap.run(198, [&] { window.mousePointer().set(kPointerDefault); });

    // A fresh name in the temporary folder, where the file is made for this run alone (owner-only, never
    // through a link); a name that is taken is thrown away whole and drawn again.
    const auto drawName = [&] {
        trap.run(200, [&] { name = QStringLiteral("qarlow"); });
        for (std::int32_t counter = 1; counter <= 8; counter = add32(counter, 1)) {  // 202, 210
            trap.run(204, [&] { platform.random.seed(platform.clock.nanoseconds()); });
            trap.run(206, [&] {
                digit = add16(round16(std::floor(platform.random.next() * 9.0)), std::int16_t{1});
            });
            trap.run(208, [&] { name += QString::number(digit); });
        }
        trap.run(212, [&] { path = workbookFolder() + name + QStringLiteral(".xls"); });
        return QFile::encodeName(name + QStringLiteral(".xls")).toStdString();
    };
    trap.run(214, [&] {
        try {
            safefile::createExclusive(QFile::encodeName(workbookFolder()).toStdString(), drawName,
                                      kMaxNameDraws);
        } catch (const safefile::Error& e) {
            if (e.error() == EEXIST) {
                path.clear();  // never save over a file that is not ours
                throw Failure("File already exists");
            }
            throw;
        }
        // A stop signal from here on removes the workbook (until the preview window deletes it) and the
        // picture with its folder.
        safefile::removeOnStopSignal(QFile::encodeName(path).toStdString());
        pictureFolder = makePictureFolder(workbookFolder(), name);
        // The picture is SVG, but the file keeps the name of a bitmap snapshot.
        picturePath = pictureFolder + QLatin1Char('/') + name + QStringLiteral(".bmp");
        safefile::removeOnStopSignal(QFile::encodeName(pictureFolder).toStdString());
        safefile::removeOnStopSignal(QFile::encodeName(picturePath).toStdString());
    });

    job.saveAs(path);
    job.finish();

    const QString pieChart = platform.programFolder + QStringLiteral("/Pie Chart.xlt");
    if (trap.test(226, [&] { return files::isNormalFile(pieChart); })) {
        trap.run(228, [&] { Main::KillFile(pieChart); });
    }

    // The picture, from the saved file reopened in a second instance.
    trap.run(230, [&] { excel2 = chart::Excel1::openExcelWorkbook(factory, path); });
    trap.run(232, [&] { window.mousePointer().set(kPointerHourglass); });
    trap.run(234, [&] { workbook2 = excel2.get("Workbooks", {excel2.get("Workbooks").value("Count")}); });
    if (pictures_ != nullptr) {
        pictures_->forget();  // only a picture this run takes may stand in for its file
    }
    trap.run(236, [&] {
        chart::Excel1::saveCellsActivesheet(workbook2, picturePath, platform.messages, platform.clipboard);
    });
    trap.run(238, [&] { excel2.let("DisplayAlerts", false); });
    trap.run(240, [&] { workbook2.call("Close"); });
    trap.run(242, [&] { excel2.call("Quit"); });
    trap.run(244, [&] { window.mousePointer().set(kPointerDefault); });

    // The hand-over: the preview window takes the picture and the workbook, and replaces this window.
    trap.run(246, [&] { loadPicture(preview(), picturePath); });
    trap.run(248, [&] { preview().setExcelFile(path); });
    trap.run(250, [&] { preview().show(); });
    trap.run(252, [&] { window.hide(); });
    trap.run(254, [&] { files::deleteFile(picturePath); });
    if (!pictureFolder.isEmpty()) {
        QDir().rmdir(pictureFolder);  // only when empty: whatever else is there stays
        safefile::keepOnStopSignal(QFile::encodeName(picturePath).toStdString());
        safefile::keepOnStopSignal(QFile::encodeName(pictureFolder).toStdString());
    }
}

void GenerationRun::loadPicture(Form2& preview, const QString& picturePath) {
    if (pictures_ == nullptr || !pictures_->lastCopied().shapes) {
        preview.loadCanvasPicture(picturePath);
        return;
    }
    // The snapshot's shapes are let go with the hand-over (the clipboard keeps its own copy of the SVG).
    const chart::PictureClipboard::Copied copied = pictures_->lastCopied();
    pictures_->forget();
    std::shared_ptr<const preview::ChartPicture> picture;
    try {
        picture = preview::ChartPicture::fromFile(picturePath, copied.svg, *copied.shapes);
    } catch (...) {
        preview.setCanvasPicture(nullptr);
        throw;
    }
    preview.setCanvasPicture(std::move(picture));
}

}  // namespace rw
