#pragma once

#include <QGroupBox>
#include <QLineEdit>
#include <QMimeData>
#include <QString>
#include <QWidget>
#include <memory>

#include "app/person_picker.h"
#include "app/skin.h"
#include "app/template_run.h"
#include "chart/chart_fill.h"
#include "platform/seams.h"
#include "widgets/mouse_pointer.h"
#include "widgets/push_button.h"

namespace rw {

class FamilyOpen;

// Twips to pixels: 15 twips make one pixel at 96 dots per inch.
constexpr int twips(int value) {
    return value / 15;
}

// The main window: the two inputs of a generation run, remembered in the settings store, sample data, help,
// and the button that starts the run. Controls and handlers carry the names the rest of the program uses.
// The window hands every click of "Start Creating Template" to `run`, which must outlive it.
class Form1 : public QWidget {
    Q_OBJECT
  public:
    Form1(const Platform& platform, TemplateRun& run, QWidget* parent = nullptr);
    ~Form1() override;

    // Controls.
    PushButton* PushButton1 = nullptr;  // "Start Creating Template"
    PushButton* PushButton6 = nullptr;  // "Help"
    PushButton* PushButton7 = nullptr;  // "Load Sample/Example Data"
    QGroupBox* Frame1 = nullptr;        // "Family Tree For"
    QLineEdit* Text1 = nullptr;
    QGroupBox* Frame2 = nullptr;  // "Number Of Generations (Including Youself)"
    QLineEdit* Text2 = nullptr;
    std::unique_ptr<SkinFramework> SkinFramework1;

    // The window's mouse pointer: default (0), hourglass (11) or custom (99).
    MousePointerControl& mousePointer() { return mousePointer_; }

    // Number raised to the power exponent. Overflow and undefined results are failures.
    double MyPower(double number, double exponent);

    const Platform& platform() const { return platform_; }

    // The family file. Ctrl+O (or a family file dropped anywhere on the window) reads one in the
    // background, then the person picker fixes whose ancestors fill the chart; Ctrl+Shift+O or "Load
    // Sample/Example Data" go back to blank charts.
    void OpenFamilyFile();                     // Ctrl+O: the Open dialog, then the read
    void ReadFamilyFile(const QString& path);  // a dropped file: read directly
    void CloseFamilyFile();                    // Ctrl+Shift+O
    bool familyBusy() const;                   // a read (or the picker after it) is under way
    bool familyLoaded() const { return family_ != nullptr; }
    // What "Start Creating Template" fills the chart with: blank without a family file.
    chart::ChartFill chartFill() const;
    // The picker the window asks (the dialog unless a test hands another one).
    void setPersonPicker(PersonPicker& picker) { picker_ = &picker; }

    // Handlers. All but PushButton1_Click and PushButton6_Click run untrapped: a failure shows the run-time
    // error and ends the program.
    void Form_Load();
    void Form_Unload();
    void Form_MouseMove();
    void Text1_Change();
    void Text2_Change();
    void Text1_GotFocus();
    void Text2_GotFocus();
    void PushButton1_Click();  // hands the click to the run
    void PushButton6_Click();  // help, under the error report
    void PushButton7_Click();  // sample data
    void PushButton1_MouseMove();
    void PushButton6_MouseMove();
    void PushButton7_MouseMove();

  signals:
    // A family file read (and the picker answered) or failed: the window is ready again.
    void familyDone();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    template <typename Body>
    void untrapped(Body&& body);
    void buildControls();
    // Shows what the settings store has to tell the user, once; held back while the start-up fills the boxes.
    void showSettingsWarning();
    void familyRead(const QString& path, std::shared_ptr<const family::FamilyFile> file);
    void pickPerson();
    void showFamilyTitle();
    void familyFinished();
    // The local file a drag brings, if it brings exactly one.
    static QString droppedFile(const QMimeData* data);

    Platform platform_;
    MousePointerControl mousePointer_;
    TemplateRun& run_;
    bool holdSettingsWarning_ = false;

    std::unique_ptr<FamilyOpen> familyOpen_;
    DialogPersonPicker dialogPicker_;
    PersonPicker* picker_ = &dialogPicker_;
    bool picking_ = false;
    bool startPending_ = false;  // "Start Creating Template" pressed during a read
    std::shared_ptr<const family::FamilyFile> family_;
    QString familyPath_;
    family::PersonIndex person_ = family::kNoPerson;
    bool hideLiving_ = false;
};

}  // namespace rw
