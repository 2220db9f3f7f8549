#pragma once

#include <QPointer>
#include <QWidget>
#include <functional>

#include "app/template_run.h"

namespace rw {

namespace automation {
class ObjectFactory;
class ActiveObjectLookup;
}  // namespace automation

namespace chart {
class PictureClipboard;
}  // namespace chart

class Form2;

// The generation run: from the window's two inputs to the chart in the preview window, one run at a time.
// It works with the factory that starts Excel instances, the lookup that finds an Excel the user already
// runs, and the preview window: `previewWindow` makes the window (with the main window as its parent) on
// its first call, which loads it, and returns the same one afterwards.
class GenerationRun : public TemplateRun {
  public:
    GenerationRun(automation::ObjectFactory& factory, automation::ActiveObjectLookup& lookup,
                  std::function<Form2&(QWidget& parent)> previewWindow);

    void start(Form1& window) override;

    // The pictures object that the factory's CopyPicture goes through. With it, the preview draws the
    // snapshot from the shapes it was made of whenever the picture file holds exactly that snapshot, rather
    // than reading the file's SVG back; without it (or when the file differs) the file is read.
    void setPictures(chart::PictureClipboard& pictures) { pictures_ = &pictures; }

  private:
    // Says why the temporary folder cannot take the chart's workbook, in one message; false when it can.
    bool temporaryFolderRefused(Form1& window);
    void runGeneration(Form1& window);
    // Line 246: the picture from the file into the preview's canvas.
    void loadPicture(Form2& preview, const QString& picturePath);

    automation::ObjectFactory& excelFactory_;
    automation::ActiveObjectLookup& excelLookup_;
    std::function<Form2&(QWidget&)> previewWindow_;
    bool runActive_ = false;
    QPointer<QWidget> preview_;  // the preview window once a run has reached it
    chart::PictureClipboard* pictures_ = nullptr;
};

}  // namespace rw
