#pragma once

#include <gtest/gtest.h>

#include <QDir>
#include <QEvent>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <algorithm>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/generation_run.h"
#include "app/main_window.h"
#include "chart/excel1.h"
#include "chart/excel_binding.h"
#include "chart/picture_clipboard.h"
#include "chart/print_setup.h"
#include "platform/qt_seams.h"
#include "preview/preview_window.h"
#include "support/recording_automation.h"
#include "support/scripted_seams.h"

// "Start Creating Template" end to end: the real engine behind a watching proxy, scripted dialogs, files in
// folders of the test's own.
namespace rw::test {

using automation::Args;
using automation::ObjectRef;
using automation::Variant;

inline const QString kRunReport = QStringLiteral("Rootweave7/29/2014.Form1.PushButton1_Click");
inline const QString kSnapshotReport = QStringLiteral("Rootweave7/29/2014.Excel1.saveCellsActivesheet");
inline const QRegularExpression kWorkbookName(QStringLiteral("^qarlow[1-9]{8}\\.xls$"));

// What the run did through automation: every let and call, tagged with the instance it reached ("Excel1",
// "Excel2"), and every object handed out, to tell whether all were released.
struct Watch {
    std::vector<std::string> effects;  // "Excel1: Quit()", "Excel2: Workbooks.Open(...)" ...
    std::vector<std::weak_ptr<automation::Object>> handedOut;
    std::function<void(const std::string& member, const Args& args)> onCall;

    bool allReleased() const {
        for (const auto& w : handedOut) {
            if (!w.expired()) {
                return false;
            }
        }
        return true;
    }
    bool has(const std::string& effect) const {
        return std::find(effects.begin(), effects.end(), effect) != effects.end();
    }
};

class WatchedObject : public automation::Object {
  public:
    WatchedObject(ObjectRef inner, Watch& watch, std::string tag)
        : inner_(std::move(inner)), watch_(watch), tag_(std::move(tag)) {}

    static ObjectRef wrap(ObjectRef inner, Watch& watch, const std::string& tag) {
        auto w = std::make_shared<WatchedObject>(std::move(inner), watch, tag);
        watch.handedOut.push_back(w);
        return w;
    }

    Variant get(std::string_view member, const Args& args) override {
        return wrapped(inner_->get(member, args));
    }
    void let(std::string_view member, const Args& args, const Variant& value) override {
        watch_.effects.push_back(tag_ + ": " + std::string(member) + " = " + variantText(value));
        inner_->let(member, args, value);
    }
    Variant call(std::string_view member, const Args& args) override {
        watch_.effects.push_back(tag_ + ": " + std::string(member) + argsText(args) + "()");
        if (watch_.onCall) {
            watch_.onCall(std::string(member), args);
        }
        return wrapped(inner_->call(member, args));
    }

  private:
    Variant wrapped(Variant v) {
        if (auto* o = std::get_if<ObjectRef>(&v); o != nullptr && *o) {
            return wrap(*o, watch_, tag_);
        }
        return v;
    }

    ObjectRef inner_;
    Watch& watch_;
    std::string tag_;
};

class WatchedFactory : public automation::ObjectFactory {
  public:
    WatchedFactory(automation::ObjectFactory& engine, Watch& watch) : engine_(engine), watch_(watch) {}
    ObjectRef createObject(const std::string& className) override {
        ++created;
        if (failCreate) {
            throw Failure("ActiveX component can't create object");
        }
        return WatchedObject::wrap(engine_.createObject(className), watch_,
                                   "Excel" + std::to_string(created));
    }
    int created = 0;
    bool failCreate = false;

  private:
    automation::ObjectFactory& engine_;
    Watch& watch_;
};

// The user's own Excel, when the test says one runs: a recorded object that answers with Excel's name.
class UserExcel : public automation::ActiveObjectLookup {
  public:
    UserExcel() {
        world.keepLog = false;  // a log would hold on to the object
        world.observer = [this](const RecordedCall& c) { calls.push_back(c.text()); };
        world.answer = [](const RecordedCall& c) -> std::optional<Variant> {
            if (c.kind == CallKind::Get && c.member.empty()) {
                return Variant(std::string("Microsoft Excel"));
            }
            return std::nullopt;
        };
    }
    ObjectRef getActiveObject(const std::string& className) override {
        if (!running) {
            throw Failure("ActiveX component can't create object");
        }
        ObjectRef excel = world.root(className);
        handedOut = excel;
        return excel;
    }
    bool running = false;
    RecordingAutomation world;
    std::vector<std::string> calls;
    std::weak_ptr<automation::Object> handedOut;
};

// Records the main window's pointer at each change.
class PointerLog : public QObject {
  public:
    explicit PointerLog(Form1& form) : form_(form) { form.installEventFilter(this); }
    bool eventFilter(QObject* watched, QEvent* event) override {
        // Setting the cursor may notify more than once; a change is what counts.
        if (watched == &form_ && event->type() == QEvent::CursorChange &&
            (values.empty() || values.back() != form_.mousePointer().get())) {
            values.push_back(form_.mousePointer().get());
        }
        return false;
    }
    std::vector<int> values;

  private:
    Form1& form_;
};

struct Report {
    QString routine;
    int line;
};

class GenerationRun : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(programFolder.isValid());
        ASSERT_TRUE(tempFolder.isValid());
        savedTemp = qgetenv("temp");
        hadTemp = qEnvironmentVariableIsSet("temp");
        qputenv("temp", QFile::encodeName(tempFolder.path()));
        seams.programFolder = programFolder.path();
        engine.setNewSheetPageSetup(chart::chartPageSetup());
        engine.setSaveAs(chart::Excel1::saveScratchWorkbook);
    }
    void TearDown() override {
        if (hadTemp) {
            qputenv("temp", savedTemp);
        } else {
            qunsetenv("temp");
        }
    }

    Form1& makeForm(const QString& name, const QString& generations) {
        return makeForm(seams.platform(), name, generations);
    }
    Form1& makeForm(const Platform& platform, const QString& name, const QString& generations) {
        generationRun = std::make_unique<rw::GenerationRun>(
            factory, userExcel, [this, platform](QWidget& parent) -> Form2& {
                if (!preview) {
                    preview = std::make_unique<Form2>(platform, &parent);
                    ++previewLoads;
                }
                return *preview;
            });
        generationRun->setPictures(pictures);
        form = std::make_unique<Form1>(platform, *generationRun);
        form->Text1->setText(name);
        form->Text2->setText(generations);
        form->show();
        pointers = std::make_unique<PointerLog>(*form);
        return *form;
    }

    // The error reports shown, in order, by routine and line.
    std::vector<Report> reports() const {
        static const QRegularExpression where(QStringLiteral("in (\\S+) at line (\\d+)\r\r"));
        std::vector<Report> out;
        for (const ShownBox& box : seams.messages.shown) {
            const QRegularExpressionMatch m = where.match(box.text);
            if (box.title == "Application Error" && m.hasMatch()) {
                out.push_back({m.captured(1), m.captured(2).toInt()});
            }
        }
        return out;
    }
    std::vector<int> runReportLines() const {
        std::vector<int> lines;
        for (const Report& r : reports()) {
            if (r.routine == kRunReport) {
                lines.push_back(r.line);
            }
        }
        return lines;
    }

    QStringList tempEntries() const {
        return QDir(tempFolder.path())
            .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    }

    QTemporaryDir programFolder;
    QTemporaryDir tempFolder;
    QByteArray savedTemp;
    bool hadTemp = false;
    ScriptedPlatform seams;
    chart::PictureClipboard pictures{seams.clipboard};
    chart::EngineFactory engine{pictures.sink()};
    Watch watch;
    WatchedFactory factory{engine, watch};
    UserExcel userExcel;
    std::unique_ptr<rw::GenerationRun> generationRun;
    std::unique_ptr<Form1> form;
    std::unique_ptr<Form2> preview;
    int previewLoads = 0;
    std::unique_ptr<PointerLog> pointers;
};

// The independent reader's verdict on a chart workbook.
inline QString xlrdCheck(const QString& path, int columns, const QString& name, const QString& generations) {
    QProcess process;
    process.start(QStringLiteral("/usr/bin/python3"),
                  {QStringLiteral(ROOTWEAVE_SOURCE_DIR "/tests/chart/chart_xls_check.py"), path, "--columns",
                   QString::number(columns), "--title", "Family Tree for " + name, "--subtitle",
                   generations + " Generations"});
    if (!process.waitForFinished(120'000)) {
        process.kill();
        process.waitForFinished();
        return QStringLiteral("xlrd check did not finish");
    }
    return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError());
}

}  // namespace rw::test
