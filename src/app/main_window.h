#pragma once

#include <QGroupBox>
#include <QLineEdit>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>

#include "app/skin.h"
#include "platform/seams.h"
#include "widgets/mouse_pointer.h"
#include "widgets/push_button.h"

namespace rw {

namespace automation {
class ObjectFactory;
class ActiveObjectLookup;
}  // namespace automation

class Form2;

// Twips to pixels: 15 twips make one pixel at 96 dots per inch.
constexpr int twips(int value) {
    return value / 15;
}

// The main window: the two inputs of a generation run, remembered in the settings store, sample data, help,
// and the button that starts the run. Controls and handlers carry the names the rest of the program uses.
class Form1 : public QWidget {
    Q_OBJECT
  public:
    explicit Form1(const Platform& platform, QWidget* parent = nullptr);
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

    // What the generation run works with: the factory that starts Excel instances, the lookup that finds an
    // Excel the user already runs, and the preview window. `previewWindow` makes the window on its first
    // call (which loads it) and returns the same one afterwards. Until this is called, the button does
    // nothing.
    void setGenerationRun(automation::ObjectFactory& factory, automation::ActiveObjectLookup& lookup,
                          std::function<Form2&()> previewWindow);

    // Handlers. All but PushButton1_Click and PushButton6_Click run untrapped: a failure shows the run-time
    // error and ends the program.
    void Form_Load();
    void Form_Unload();
    void Form_MouseMove();
    void Text1_Change();
    void Text2_Change();
    void Text1_GotFocus();
    void Text2_GotFocus();
    void PushButton1_Click();  // the generation run, one at a time
    void PushButton6_Click();  // help, under the error report
    void PushButton7_Click();  // sample data
    void PushButton1_MouseMove();
    void PushButton6_MouseMove();
    void PushButton7_MouseMove();

  protected:
    void closeEvent(QCloseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    template <typename Body>
    void untrapped(Body&& body);
    void buildControls();
    // Shows what the settings store has to tell the user, once; held back while the start-up fills the boxes.
    void showSettingsWarning();
    // Says why the temporary folder cannot take the chart's workbook, in one message; false when it can.
    bool temporaryFolderRefused();
    void runGeneration();

    Platform platform_;
    MousePointerControl mousePointer_;
    automation::ObjectFactory* excelFactory_ = nullptr;
    automation::ActiveObjectLookup* excelLookup_ = nullptr;
    std::function<Form2&()> previewWindow_;
    bool holdSettingsWarning_ = false;
    bool runActive_ = false;
    QPointer<QWidget> preview_;  // the preview window once a run has reached it
};

}  // namespace rw
