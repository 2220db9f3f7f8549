#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QMouseEvent>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/main_window.h"
#include "chart/excel_binding.h"
#include "chart/picture_clipboard.h"
#include "chart/print_setup.h"
#include "platform/qt_seams.h"
#include "preview/preview_window.h"
#include "support/ordinary_user.h"
#include "support/recording_automation.h"
#include "support/scripted_seams.h"

// "Start Creating Template" end to end: the real engine behind a watching proxy, scripted dialogs, files in
// folders of the test's own.
namespace rw::test {
namespace {

using automation::Args;
using automation::ObjectRef;
using automation::Variant;

const QString kRunReport = QStringLiteral("Rootweave7/29/2014.Form1.PushButton1_Click");
const QString kSnapshotReport = QStringLiteral("Rootweave7/29/2014.Excel1.saveCellsActivesheet");
const QRegularExpression kWorkbookName(QStringLiteral("^qarlow[1-9]{8}\\.xls$"));

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
        form = std::make_unique<Form1>(platform);
        form->Text1->setText(name);
        form->Text2->setText(generations);
        form->show();
        form->setGenerationRun(factory, userExcel, [this, platform]() -> Form2& {
            if (!preview) {
                preview = std::make_unique<Form2>(platform, form.get());
                ++previewLoads;
            }
            return *preview;
        });
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
    std::unique_ptr<Form1> form;
    std::unique_ptr<Form2> preview;
    int previewLoads = 0;
    std::unique_ptr<PointerLog> pointers;
};

// The independent reader's verdict on a chart workbook.
QString xlrdCheck(const QString& path, int columns, const QString& name, const QString& generations) {
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

TEST_F(GenerationRun, SampleInputsEndInThePreviewWithACheckedWorkbookAndNoPictureLeft) {
    Form1& f = makeForm("Jonas Wexley", "5");
    f.PushButton1_Click();

    EXPECT_TRUE(seams.messages.shown.empty()) << seams.messages.shown.front().text.toStdString();
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->isVisible());
    EXPECT_FALSE(f.isVisible());
    EXPECT_NE(preview->Zoom_Ori->picture(), nullptr);
    EXPECT_GT(preview->mOrigWidth, 100);
    EXPECT_GT(preview->mOrigHeight, 100);

    const QString path = preview->excelFile();
    const QFileInfo workbook(path);
    EXPECT_EQ(workbook.absolutePath(), QFileInfo(tempFolder.path()).absoluteFilePath());
    EXPECT_TRUE(kWorkbookName.match(workbook.fileName()).hasMatch()) << path.toStdString();
    ASSERT_TRUE(workbook.isFile());
    EXPECT_GT(workbook.size(), 1000);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u) << "the workbook is for its owner only";
    EXPECT_EQ(xlrdCheck(path, 5, "Jonas Wexley", "5"), "OK\n");

    // The picture and its folder are gone; the workbook is all the run leaves behind.
    EXPECT_EQ(tempEntries(), QStringList{workbook.fileName()});

    EXPECT_EQ(pointers->values,
              (std::vector<int>{kPointerHourglass, kPointerDefault, kPointerHourglass, kPointerDefault}));
    EXPECT_EQ(factory.created, 2);
    EXPECT_TRUE(watch.has("Excel1: Visible = False"));
    EXPECT_TRUE(watch.has("Excel1: SaveAs(\"" + path.toStdString() + "\")()"));
    EXPECT_TRUE(watch.has("Excel1: Quit()"));
    EXPECT_TRUE(watch.has("Excel2: Open(\"" + path.toStdString() + "\")()"));
    EXPECT_TRUE(watch.has("Excel2: CopyPicture()"));
    EXPECT_TRUE(watch.has("Excel2: Quit()"));
    EXPECT_TRUE(watch.allReleased());
    EXPECT_EQ(previewLoads, 1);
}

TEST_F(GenerationRun, RefusedGenerationsAskAgainAndStartNothing) {
    struct Case {
        const char* text;
        QString message;
    };
    const Case cases[] = {{"", "Number of generations must be numeric."},
                          {"  ", "Number of generations must be numeric."},
                          {"five", "Number of generations must be numeric."},
                          {"5x", "Number of generations must be numeric."},
                          {"16", "Number of generations must be 15 or fewer."}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        seams.messages.shown.clear();
        Form1& f = makeForm("Jonas Wexley", c.text);
        f.PushButton1_Click();
        ASSERT_EQ(seams.messages.shown.size(), 1u);
        const ShownBox& box = seams.messages.shown[0];
        EXPECT_EQ(box.text, c.message);
        EXPECT_EQ(box.title, "Numerical Value");
        EXPECT_EQ(box.icon, MsgIcon::Exclamation);
        EXPECT_EQ(box.buttons, MsgButtons::Ok);
        EXPECT_EQ(f.focusWidget(), f.Text2);
        EXPECT_TRUE(pointers->values.empty());
        EXPECT_EQ(f.mousePointer().get(), kPointerDefault);
        EXPECT_TRUE(f.isVisible());
    }
    EXPECT_EQ(factory.created, 0);
    EXPECT_EQ(preview, nullptr);
    EXPECT_TRUE(tempEntries().isEmpty());
}

TEST_F(GenerationRun, ARunningExcelAnsweredNoEndsSilentlyAndYesRunsWithoutTouchingIt) {
    userExcel.running = true;
    seams.messages.answers = {kAnswerNo};
    Form1& f = makeForm("Jonas Wexley", "3");
    f.PushButton1_Click();
    ASSERT_EQ(seams.messages.shown.size(), 1u);
    EXPECT_EQ(seams.messages.shown[0].buttons, MsgButtons::YesNo);
    EXPECT_EQ(factory.created, 0);
    EXPECT_EQ(preview, nullptr);
    EXPECT_TRUE(pointers->values.empty());
    EXPECT_TRUE(f.isVisible());
    EXPECT_TRUE(tempEntries().isEmpty());

    seams.messages.shown.clear();
    userExcel.calls.clear();
    seams.messages.answers = {kAnswerYes};
    f.PushButton1_Click();
    ASSERT_EQ(seams.messages.shown.size(), 1u);
    EXPECT_EQ(factory.created, 2);
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->isVisible());
    EXPECT_FALSE(f.isVisible());
    // The user's Excel was only asked for its name, and let go.
    EXPECT_EQ(userExcel.calls, std::vector<std::string>{"get "});
    EXPECT_TRUE(userExcel.handedOut.expired());
}

TEST_F(GenerationRun, RunsInARowSaveUnderDifferentNamesAndReuseThePreview) {
    // The program's own clock and generator: the digits of one name vary, and consecutive names differ.
    QtClock clock;
    Mt64Random random;
    Platform platform = seams.platform();
    Platform real{platform.messages,
                  platform.browser,
                  clock,
                  random,
                  platform.settings,
                  platform.clipboard,
                  platform.processes,
                  platform.saveDialog,
                  platform.programEnd,
                  platform.printDialog,
                  platform.programFolder};
    Form1& f = makeForm(real, "Ada", "2");
    QSet<QString> names;
    bool digitsVary = false;
    for (int run = 0; run < 3; ++run) {
        f.PushButton1_Click();
        ASSERT_NE(preview, nullptr);
        const QString name = QFileInfo(preview->excelFile()).fileName();
        EXPECT_TRUE(kWorkbookName.match(name).hasMatch()) << name.toStdString();
        names.insert(name);
        const QString digits = name.mid(6, 8);
        digitsVary = digitsVary || digits.count(digits.front()) != digits.size();
        preview->hide();  // back to the main window, the workbook kept
        f.show();
    }
    EXPECT_EQ(names.size(), 3);
    EXPECT_TRUE(digitsVary);
    EXPECT_EQ(previewLoads, 1);
    EXPECT_EQ(tempEntries().size(), 3);
    EXPECT_TRUE(seams.messages.shown.empty());
}

TEST_F(GenerationRun, ATakenNameIsDrawnAgainAndAPlantedLinkIsNeverFollowed) {
    // The first name drawn is qarlow11111111.xls: a link to a file of the user's sits there, and the
    // second name qarlow22222222.xls is taken by a plain file.
    for (int i = 0; i < 8; ++i) {
        seams.random.draws.push_back(0.0);
    }
    for (int i = 0; i < 8; ++i) {
        seams.random.draws.push_back(0.15);
    }
    QTemporaryDir elsewhere;
    const QString victim = elsewhere.filePath("precious.txt");
    {
        QFile v(victim);
        ASSERT_TRUE(v.open(QIODevice::WriteOnly));
        v.write("keep me");
    }
    ASSERT_TRUE(QFile::link(victim, QDir(tempFolder.path()).filePath("qarlow11111111.xls")));
    QFile taken(QDir(tempFolder.path()).filePath("qarlow22222222.xls"));
    ASSERT_TRUE(taken.open(QIODevice::WriteOnly));
    taken.close();

    makeForm("Ada", "2").PushButton1_Click();
    ASSERT_NE(preview, nullptr);
    const QString name = QFileInfo(preview->excelFile()).fileName();
    EXPECT_TRUE(kWorkbookName.match(name).hasMatch());
    EXPECT_NE(name, "qarlow11111111.xls");
    EXPECT_NE(name, "qarlow22222222.xls");
    QFile v(victim);
    ASSERT_TRUE(v.open(QIODevice::ReadOnly));
    EXPECT_EQ(v.readAll(), "keep me");
    EXPECT_EQ(QFileInfo(taken.fileName()).size(), 0);
    EXPECT_TRUE(seams.messages.shown.empty());
    EXPECT_EQ(seams.random.seeds.size(), 24u) << "reseeded before every digit of three names";
}

TEST_F(GenerationRun, PieChartTemplateBesideTheProgramIsRemoved) {
    const QString pie = QDir(programFolder.path()).filePath("Pie Chart.xlt");
    QFile file(pie);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    Form1& f = makeForm("Ada", "2");
    f.PushButton1_Click();
    EXPECT_FALSE(QFileInfo::exists(pie));
    EXPECT_TRUE(seams.messages.shown.empty());

    // Without one, nothing changes.
    preview->hide();
    f.show();
    f.PushButton1_Click();
    EXPECT_TRUE(seams.messages.shown.empty());
    EXPECT_FALSE(f.isVisible());
}

TEST_F(GenerationRun, WithoutTheSystemVariableTheWorkbookGoesToTheSystemTemporaryFolder) {
    qunsetenv("temp");
    QTemporaryDir systemTemp;
    const QByteArray savedTmpdir = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(systemTemp.path()));
    makeForm("Ada", "2").PushButton1_Click();
    qputenv("TMPDIR", savedTmpdir);
    ASSERT_NE(preview, nullptr);
    const QFileInfo workbook(preview->excelFile());
    EXPECT_EQ(workbook.absolutePath(), QFileInfo(systemTemp.path()).absoluteFilePath());
    EXPECT_TRUE(workbook.isFile());
    EXPECT_TRUE(seams.messages.shown.empty());
}

TEST_F(GenerationRun, ExcelThatCannotBeStartedIsReportedStepByStepAndThePreviewStillOpens) {
    factory.failCreate = true;
    Form1& f = makeForm("Jonas Wexley", "2");
    f.PushButton1_Click();

    // Every step outside the tree's boxes, in order, each once; the boxes' steps in between.
    std::vector<int> outside;
    for (int line : runReportLines()) {
        if (line < 150 || line > 196) {
            outside.push_back(line);
        } else {
            EXPECT_TRUE(line >= 170 && line <= 186) << line;
        }
    }
    std::vector<int> expected{110, 112, 114};
    for (int line = 116; line <= 148; line += 2) {
        expected.push_back(line);
    }
    for (int line : {216, 218, 220, 222, 230, 234, 238, 240, 242, 246, 254}) {
        expected.push_back(line);
    }
    EXPECT_EQ(outside, expected);
    EXPECT_GT(runReportLines().size(), expected.size());  // the boxes' steps too
    // The snapshot reports its own failures, between 234 and 238.
    std::vector<int> snapshot;
    for (const Report& r : reports()) {
        if (r.routine == kSnapshotReport) {
            snapshot.push_back(r.line);
        }
    }
    EXPECT_EQ(snapshot, (std::vector<int>{100, 102, 104}));

    EXPECT_EQ(factory.created, 2);
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->isVisible());
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(f.mousePointer().get(), kPointerDefault);
    EXPECT_TRUE(watch.allReleased());
}

TEST_F(GenerationRun, AnUnwritablePictureIsReportedAtItsThreeStepsAndThePreviewStillOpens) {
    // While the second instance opens the workbook, something that cannot be written over takes the
    // picture's place.
    watch.onCall = [this](const std::string& member, const Args&) {
        if (member != "Open") {
            return;
        }
        for (const QFileInfo& entry :
             QDir(tempFolder.path()).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            const QString name = entry.fileName().section('.', 0, 0);
            ASSERT_TRUE(QDir(entry.absoluteFilePath()).mkdir(name + ".bmp"));
        }
    };
    Form1& f = makeForm("Jonas Wexley", "5");
    f.PushButton1_Click();
    std::vector<std::pair<QString, int>> got;
    for (const Report& r : reports()) {
        got.emplace_back(r.routine, r.line);
    }
    EXPECT_EQ(got, (std::vector<std::pair<QString, int>>{
                       {kSnapshotReport, 112}, {kRunReport, 246}, {kRunReport, 254}}));
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->isVisible());
    EXPECT_FALSE(f.isVisible());
    EXPECT_EQ(preview->Zoom_Ori->picture(), nullptr);
    EXPECT_TRUE(QFileInfo(preview->excelFile()).isFile());
    EXPECT_TRUE(watch.has("Excel1: Quit()"));
    EXPECT_TRUE(watch.has("Excel2: Quit()"));
    EXPECT_TRUE(watch.allReleased());
}

TEST_F(GenerationRun, AnUnusableTemporaryFolderGivesOneMessageAndStartsNothing) {
    struct Case {
        const char* name;
        QString folder;
        const char* reason;
    };
    const QString file = QDir(tempFolder.path()).filePath("a-file");
    QFile(file).open(QIODevice::WriteOnly);
    const QString readOnly = QDir(tempFolder.path()).filePath("read-only");
    ASSERT_TRUE(QDir().mkdir(readOnly));
    ASSERT_EQ(::chmod(QFile::encodeName(readOnly).constData(), 0555), 0);
    OrdinaryUser::share(tempFolder.path());
    const Case cases[] = {
        {"missing", QDir(tempFolder.path()).filePath("missing"), "does not exist"},
        {"missing, with a separator", QDir(tempFolder.path()).filePath("missing") + "/", "does not exist"},
        {"a file", file, "is not a folder"},
        {"read-only", readOnly, "cannot be written: Permission denied"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        seams.messages.shown.clear();
        qputenv("temp", QFile::encodeName(c.folder));
        Form1& f = makeForm("Ada", "2");
        {
            OrdinaryUser user;
            ASSERT_TRUE(user.active());
            f.PushButton1_Click();
        }
        ASSERT_EQ(seams.messages.shown.size(), 1u);
        const ShownBox& box = seams.messages.shown[0];
        QString named = c.folder;
        if (named.endsWith('/')) {
            named.chop(1);
        }
        EXPECT_TRUE(box.text.contains("\"" + named + "\" " + c.reason)) << box.text.toStdString();
        EXPECT_EQ(box.icon, MsgIcon::Exclamation);
        EXPECT_TRUE(f.isVisible());
        EXPECT_TRUE(pointers->values.empty());
    }
    EXPECT_EQ(factory.created, 0);
    EXPECT_EQ(preview, nullptr);
    EXPECT_EQ(tempEntries(), (QStringList{"a-file", "read-only"}));
}

// Presses and releases the left button on a widget through the event queue, as the window system delivers
// clicks the program has not yet taken.
void queueClick(QWidget* widget) {
    const QPointF at(5, 5);
    for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QCoreApplication::postEvent(
            widget, new QMouseEvent(type, at, widget->mapToGlobal(at), Qt::LeftButton,
                                    type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                                    Qt::NoModifier));
    }
}

TEST_F(GenerationRun, ABurstOfClicksMakesOneRunAndLeavesNoWorkbookBehind) {
    Form1& f = makeForm("Ada", "3");
    for (int i = 0; i < 10; ++i) {
        queueClick(f.PushButton1);
    }
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(factory.created, 2);
    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->isVisible());
    EXPECT_EQ(tempEntries(), QStringList{QFileInfo(preview->excelFile()).fileName()});

    preview->PushButton8_Click();  // "< Back" removes the one workbook
    EXPECT_TRUE(tempEntries().isEmpty());
    EXPECT_TRUE(f.isVisible());
    queueClick(f.PushButton1);  // and the button works again
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(factory.created, 4);
    EXPECT_EQ(tempEntries().size(), 1);
    EXPECT_TRUE(seams.messages.shown.empty());
}

TEST_F(GenerationRun, ClicksThatArriveWhileARunWaitsForAnAnswerAreDropped) {
    // The question about a running Excel waits for the user; clicks reach the button meanwhile.
    userExcel.running = true;
    seams.messages.answers = std::deque<int>(11, kAnswerYes);
    Form1& f = makeForm("Ada", "2");
    bool clicked = false;
    seams.messages.onShow = [&f, &clicked](const ShownBox&) {
        if (std::exchange(clicked, true)) {
            return;
        }
        for (int i = 0; i < 10; ++i) {
            f.PushButton1->click();
        }
    };
    f.PushButton1->click();
    EXPECT_EQ(seams.messages.shown.size(), 1u);
    EXPECT_EQ(factory.created, 2);
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(tempEntries(), QStringList{QFileInfo(preview->excelFile()).fileName()});
}

}  // namespace
}  // namespace rw::test
