#pragma once

// "Start Creating Template" as the benchmarks drive it: the main window with the real engine, the Qt
// clipboard and a lazily loaded preview, headless, with no Excel of the user's running and the temporary
// folder a fresh one of its own.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <memory>
#include <optional>

#include "app/generation_run.h"
#include "app/main_window.h"
#include "app/person_picker.h"
#include "chart/excel1.h"
#include "chart/excel_binding.h"
#include "chart/picture_clipboard.h"
#include "chart/print_setup.h"
#include "platform/qt_seams.h"
#include "preview/preview_window.h"
#include "support/scripted_seams.h"

namespace rw::bench {

class NoRunningExcel : public automation::ActiveObjectLookup {
  public:
    automation::ObjectRef getActiveObject(const std::string&) override {
        throw Failure("ActiveX component can't create object");
    }
};

// The picker's answer: the person with the given record id.
class PickById : public PersonPicker {
  public:
    explicit PickById(std::string id) : id_(std::move(id)) {}
    std::optional<PersonChoice> pick(QWidget&, const family::FamilyFile& file, family::PersonIndex,
                                     bool) override {
        for (std::size_t i = 0; i < file.people.size(); ++i) {
            if (file.people[i].id == id_) {
                return PersonChoice{static_cast<family::PersonIndex>(i), false};
            }
        }
        return std::nullopt;
    }

  private:
    std::string id_;
};

class ClickToPreview {
  public:
    explicit ClickToPreview(int generations) {
        qputenv("temp", QFile::encodeName(temp_.path()));
        chart::registerPictureFonts();
        factory_.setNewSheetPageSetup(chart::chartPageSetup());
        factory_.setPrintAreaOverUsedRange(true);
        factory_.setSaveAs(chart::Excel1::saveScratchWorkbook);
        run_.setPictures(pictures_);
        form_.Text1->setText(QStringLiteral("Jonas Wexley"));
        form_.Text2->setText(QString::number(generations));
        form_.show();
        QApplication::processEvents();
    }
    ~ClickToPreview() { qunsetenv("temp"); }

    // Reads a family file as a dropped one is read, and picks the person with record id `id`; the inputs then
    // hold that person's name and known depth. False when the read or the pick did not succeed.
    bool loadFamily(const QString& path, const std::string& id) {
        picker_.emplace(id);
        form_.setPersonPicker(*picker_);
        form_.ReadFamilyFile(path);
        QElapsedTimer waited;
        waited.start();
        while (form_.familyBusy() && waited.elapsed() < 600000) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
        }
        return form_.familyLoaded() && seams_.messages.shown.empty();
    }

    // One click, until the preview has painted. False when the run did not end in the preview.
    bool click() {
        form_.PushButton1_Click();
        QApplication::processEvents();
        return seams_.messages.shown.empty() && preview_ && preview_->isVisible();
    }

    // "< Back", by hand, so that the next click shows the preview anew.
    void back() {
        QFile::remove(preview_->excelFile());
        preview_->hide();
        form_.show();
        QApplication::processEvents();
    }

  private:
    QTemporaryDir temp_;
    test::ScriptedPlatform seams_;
    QtClipboard clipboard_;
    Platform platform_{seams_.messages,   seams_.browser,     seams_.clock,      seams_.random,
                       seams_.settings,   clipboard_,         seams_.processes,  seams_.saveDialog,
                       seams_.programEnd, seams_.printDialog, seams_.openDialog, temp_.path()};
    chart::PictureClipboard pictures_{clipboard_};
    chart::EngineFactory factory_{pictures_.sink()};
    NoRunningExcel lookup_;
    GenerationRun run_{factory_, lookup_, [this](QWidget& parent) -> Form2& {
                           if (!preview_) {
                               preview_ = std::make_unique<Form2>(platform_, &parent);
                           }
                           return *preview_;
                       }};
    Form1 form_{platform_, run_};
    std::unique_ptr<Form2> preview_;
    std::optional<PickById> picker_;
};

}  // namespace rw::bench
