#include "app/main_window.h"

#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEvent>
#include <QFileInfo>
#include <QFont>
#include <QIcon>
#include <QKeySequence>
#include <QMouseEvent>
#include <QShortcut>
#include <QUrl>
#include <algorithm>
#include <cmath>
#include <utility>

#include "app/family_open.h"

#include "chart/layout.h"
#include "platform/error_report.h"
#include "platform/failure.h"
#include "platform/program_names.h"
#include "widgets/main_routines.h"

namespace rw {

namespace {

const QString kKeyText1 = QStringLiteral("Text1");
const QString kKeyText2 = QStringLiteral("Text2");
const QString kSampleName = QStringLiteral("Jonas Wexley");
const QString kSampleGenerations = QStringLiteral("5");
const QString kKeyFamilyFolder = QStringLiteral("FamilyFolder");
const QString kFamilyFilter = QStringLiteral("Family Files (*.ged *.GED)");
const QString kOpenFamilyTitle = QStringLiteral("Open Family File");
constexpr int kMaxGenerations = 15;

QFont inputFont() {
    QFont font(QStringLiteral("Arial"));
    font.setPointSizeF(9);
    font.setBold(true);
    return font;
}

QRect twipRect(int left, int top, int width, int height) {
    return QRect(twips(left), twips(top), twips(width), twips(height));
}

}  // namespace

Form1::Form1(const Platform& platform, TemplateRun& run, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      SkinFramework1(std::make_unique<SkinFramework>()),
      platform_(platform),
      mousePointer_(*this),
      run_(run),
      familyOpen_(std::make_unique<FamilyOpen>(*this)) {
    setObjectName(QStringLiteral("Form1"));
    buildControls();
}

Form1::~Form1() = default;

void Form1::buildControls() {
    setFixedSize(twips(8040), twips(3015));
    Main::SetBackground(*this, Qt::white);
    setMouseTracking(true);

    PushButton1 = new PushButton(QStringLiteral("Start Creating Template"), this);
    PushButton1->setGeometry(twipRect(120, 120, 7800, 405));
    PushButton6 = new PushButton(QStringLiteral("Help"), this);
    PushButton6->setGeometry(twipRect(120, 630, 3840, 405));
    PushButton7 = new PushButton(QStringLiteral("Load Sample/Example Data"), this);
    PushButton7->setGeometry(twipRect(4080, 630, 3840, 405));

    const auto makeFrame = [this](const QString& caption, int top) {
        auto* frame = new QGroupBox(caption, this);
        frame->setGeometry(twipRect(120, top, 7815, 855));
        frame->setFont(inputFont());
        Main::SetBackground(*frame, Qt::white);
        auto* text = new QLineEdit(frame);
        text->setGeometry(twipRect(240, 300, 7335, 375));
        text->setFont(inputFont());
        text->installEventFilter(this);
        return std::make_pair(frame, text);
    };
    std::tie(Frame1, Text1) = makeFrame(QStringLiteral("Family Tree For"), 1110);
    std::tie(Frame2, Text2) = makeFrame(QStringLiteral("Number Of Generations (Including Youself)"), 2040);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Text1->setObjectName(QStringLiteral("Text1"));
    Text2->setObjectName(QStringLiteral("Text2"));
    PushButton1->setObjectName(QStringLiteral("PushButton1"));
    PushButton6->setObjectName(QStringLiteral("PushButton6"));
    PushButton7->setObjectName(QStringLiteral("PushButton7"));
    // Screen readers name each box by its frame's caption.
    Text1->setAccessibleName(Frame1->title());
    Text2->setAccessibleName(Frame2->title());
    // The hand is for the buttons only; the frames keep the arrow (and show the hourglass with the window).
    mousePointer_.keepArrowOver(Frame1);
    mousePointer_.keepArrowOver(Frame2);

    // Tab order: the two inputs, then the buttons; the frames take no focus.
    setTabOrder(Text1, Text2);
    setTabOrder(Text2, PushButton1);
    setTabOrder(PushButton1, PushButton6);
    setTabOrder(PushButton6, PushButton7);
    Text1->setFocus();

    connect(Text1, &QLineEdit::textChanged, this, [this] { Text1_Change(); });
    connect(Text2, &QLineEdit::textChanged, this, [this] { Text2_Change(); });
    connect(PushButton1, &QPushButton::clicked, this, [this] { PushButton1_Click(); });
    connect(PushButton6, &QPushButton::clicked, this, [this] { PushButton6_Click(); });
    connect(PushButton7, &QPushButton::clicked, this, [this] { PushButton7_Click(); });
    connect(PushButton1, &PushButton::mouseMoved, this, [this] { PushButton1_MouseMove(); });
    connect(PushButton6, &PushButton::mouseMoved, this, [this] { PushButton6_MouseMove(); });
    connect(PushButton7, &PushButton::mouseMoved, this, [this] { PushButton7_MouseMove(); });

    // The family file: no control of its own, only keys and drops.
    setAcceptDrops(true);
    auto* open = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_O), this);
    connect(open, &QShortcut::activated, this, [this] { OpenFamilyFile(); });
    auto* close = new QShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_O), this);
    connect(close, &QShortcut::activated, this, [this] { CloseFamilyFile(); });
}

template <typename Body>
void Form1::untrapped(Body&& body) {
    runUntrapped(platform_.messages, platform_.programEnd, std::forward<Body>(body));
}

double Form1::MyPower(double number, double exponent) {
    return chart::MyPower(number, exponent);
}

void Form1::Form_Load() {
    untrapped([this] {
        Main::CenterForm(*this);
        Main::ApplySkin(*this, *SkinFramework1, platform_.programFolder);
        setWindowTitle(kAppTitle);
        setWindowIcon(QIcon(QStringLiteral(":/rootweave/rootweave.svg")));
        mousePointer_.loadHoverCursor(platform_.programFolder);
        Main::OpenHomePageAtRandom(platform_.clock, platform_.random, platform_.browser);
        // Each assignment that changes a box's text is stored back at once, so a first start creates both
        // keys. A store that cannot be used warns once, after both boxes are filled.
        holdSettingsWarning_ = true;
        Text1->setText(platform_.settings.read(kKeyText1, kSampleName));
        Text2->setText(platform_.settings.read(kKeyText2, kSampleGenerations));
        holdSettingsWarning_ = false;
        showSettingsWarning();
    });
}

void Form1::showSettingsWarning() {
    if (holdSettingsWarning_) {
        return;
    }
    const QString warning = platform_.settings.takeWarning();
    if (!warning.isEmpty()) {
        platform_.messages.show(warning, kAppTitle, MsgIcon::Exclamation, MsgButtons::Ok, kAnswerOk);
    }
}

void Form1::Form_Unload() {
    platform_.programEnd.endProgram(0);
}

void Form1::closeEvent(QCloseEvent* event) {
    event->accept();
    Form_Unload();
}

void Form1::Form_MouseMove() {
    untrapped([this] { mousePointer_.onBackgroundHover(); });
}

void Form1::mouseMoveEvent(QMouseEvent* event) {
    // Only the window's own background counts; moves over a frame that reach the window do not.
    if (childAt(event->position().toPoint()) == nullptr) {
        Form_MouseMove();
    }
    QWidget::mouseMoveEvent(event);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    // A file dropped on a text box opens it; its address is never pasted. Other drops stay the box's own.
    if ((watched == Text1 || watched == Text2) &&
        (event->type() == QEvent::DragEnter || event->type() == QEvent::DragMove ||
         event->type() == QEvent::Drop)) {
        auto* drop = static_cast<QDropEvent*>(event);
        if (drop->mimeData() != nullptr && drop->mimeData()->hasUrls()) {
            const QString file = droppedFile(drop->mimeData());
            if (file.isEmpty()) {
                drop->ignore();
                return true;
            }
            drop->acceptProposedAction();
            if (event->type() == QEvent::Drop) {
                ReadFamilyFile(file);
            }
            return true;
        }
    }
    if (event->type() == QEvent::FocusIn) {
        if (watched == Text1) {
            Text1_GotFocus();
        } else if (watched == Text2) {
            Text2_GotFocus();
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::Text1_Change() {
    untrapped([this] {
        platform_.settings.write(kKeyText1, Text1->text());
        showSettingsWarning();
    });
}

void Form1::Text2_Change() {
    untrapped([this] {
        platform_.settings.write(kKeyText2, Text2->text());
        showSettingsWarning();
    });
}

void Form1::Text1_GotFocus() {
    untrapped([this] { Text1->setSelection(0, static_cast<int>(Text1->text().length())); });
}

void Form1::Text2_GotFocus() {
    untrapped([this] { Text2->setSelection(0, static_cast<int>(Text2->text().length())); });
}

void Form1::PushButton1_Click() {
    if (familyBusy()) {
        startPending_ = true;  // the chart is made once the family file is in
        return;
    }
    run_.start(*this);
}

void Form1::PushButton6_Click() {
    ErrorTrap trap(platform_.messages,
                   QString::fromLatin1(names::kReportPrefix) + QStringLiteral(".Form1.PushButton6_Click"));
    trap.run(100, [this] {
        platform_.messages.show(QStringLiteral("Questions? Please contact Team Tolvane at ") +
                                    QString::fromLatin1(addresses::kSupportPage),
                                kAppTitle, MsgIcon::None, MsgButtons::Ok, kAnswerOk);
    });
}

void Form1::PushButton7_Click() {
    untrapped([this] {
        CloseFamilyFile();
        Text1->setText(kSampleName);
        Text2->setText(kSampleGenerations);
    });
}

void Form1::PushButton1_MouseMove() {
    untrapped([this] { mousePointer_.onButtonHover(); });
}

void Form1::PushButton6_MouseMove() {
    untrapped([this] { mousePointer_.onButtonHover(); });
}

void Form1::PushButton7_MouseMove() {
    untrapped([this] { mousePointer_.onButtonHover(); });
}

QString Form1::droppedFile(const QMimeData* data) {
    if (data == nullptr || data->urls().size() != 1 || !data->urls().front().isLocalFile()) {
        return {};
    }
    return data->urls().front().toLocalFile();
}

void Form1::dragEnterEvent(QDragEnterEvent* event) {
    if (!droppedFile(event->mimeData()).isEmpty()) {
        event->acceptProposedAction();
    }
}

void Form1::dropEvent(QDropEvent* event) {
    const QString file = droppedFile(event->mimeData());
    if (!file.isEmpty()) {
        event->acceptProposedAction();
        ReadFamilyFile(file);
    }
}

void Form1::OpenFamilyFile() {
    if (familyBusy()) {
        return;
    }
    const QString path = platform_.openDialog.showOpen(kOpenFamilyTitle, kFamilyFilter,
                                                       platform_.settings.read(kKeyFamilyFolder, {}));
    if (path.isEmpty()) {
        return;
    }
    platform_.settings.write(kKeyFamilyFolder, QFileInfo(path).absolutePath());
    showSettingsWarning();
    ReadFamilyFile(path);
}

void Form1::ReadFamilyFile(const QString& path) {
    if (familyBusy()) {
        return;
    }
    if (const QString refused = refusedFamilyFile(path); !refused.isEmpty()) {
        platform_.messages.show(refused, kAppTitle, MsgIcon::Exclamation, MsgButtons::Ok, kAnswerOk);
        familyFinished();
        return;
    }
    familyOpen_->start(path, [this, path](FamilyOpen::Result result) {
        if (result.file) {
            familyRead(path, std::move(result.file));
            return;
        }
        if (!result.cancelled) {
            platform_.messages.show(QStringLiteral("The family file \"%1\" cannot be read.\r\n%2")
                                        .arg(QFileInfo(path).fileName(), result.error),
                                    kAppTitle, MsgIcon::Exclamation, MsgButtons::Ok, kAnswerOk);
        }
        familyFinished();
    });
}

void Form1::familyRead(const QString& path, std::shared_ptr<const family::FamilyFile> file) {
    picking_ = true;
    const std::optional<PersonChoice> choice =
        picker_->pick(*this, *file, preselectedPerson(*file, Text1->text()), hideLiving_);
    if (choice && choice->person >= 0 && static_cast<std::size_t>(choice->person) < file->people.size()) {
        // The person is fixed by record; the inputs take the name and the known depth as if typed.
        family_ = std::move(file);
        familyPath_ = path;
        person_ = choice->person;
        hideLiving_ = choice->hideLiving;
        const family::Person& person = family_->people[static_cast<std::size_t>(person_)];
        Text1->setText(QString::fromStdString(family::displayName(person)));
        Text2->setText(QString::number(
            std::min(family::knownDepth(*family_, person_, kMaxGenerations), kMaxGenerations)));
        showFamilyTitle();
    }
    familyFinished();
}

void Form1::familyFinished() {
    picking_ = false;
    emit familyDone();
    if (startPending_) {
        startPending_ = false;
        run_.start(*this);
    }
}

void Form1::showFamilyTitle() {
    if (!family_) {
        setWindowTitle(kAppTitle);
        return;
    }
    const family::Person& person = family_->people[static_cast<std::size_t>(person_)];
    setWindowTitle(QStringLiteral("%1 - %2 - %3 (Ctrl+Shift+O for blank charts)")
                       .arg(kAppTitle, QFileInfo(familyPath_).fileName(),
                            QString::fromStdString(family::displayName(person))));
}

void Form1::CloseFamilyFile() {
    if (familyBusy()) {
        return;
    }
    family_.reset();
    familyPath_.clear();
    person_ = family::kNoPerson;
    showFamilyTitle();
}

bool Form1::familyBusy() const {
    return familyOpen_->busy() || picking_;
}

chart::ChartFill Form1::chartFill() const {
    if (!family_) {
        return {};
    }
    return {family_.get(), person_, hideLiving_, platform_.clock.currentYear()};
}

}  // namespace rw
