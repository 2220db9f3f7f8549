#pragma once

#include <functional>
#include <string>

#include "chart/automation.h"
#include "spreadsheet/workbook.h"

// The engine's only door: automation objects (Application, Workbooks, Workbook, Worksheet, Range, Font,
// Interior, Border) that answer get, let and call by member name and drive the in-process spreadsheet
// engine in src/spreadsheet.
namespace rw::chart {

// Creates engine applications for the class name "Excel.Application": each call a new, separate instance.
class EngineFactory : public automation::ObjectFactory {
  public:
    // Called by Range.CopyPicture with the range's sheet and rectangle; unset -> CopyPicture fails with a
    // clear description ("CopyPicture is not available").
    using PictureSink = std::function<void(const sheet::Worksheet&, const sheet::CellRange&)>;
    explicit EngineFactory(PictureSink copyPicture = {});
    // The print set-up every sheet of a workbook made by Workbooks.Add starts with (Excel's defaults
    // unless set). Applications already created keep the set-up they were made with; opened workbooks
    // keep their own.
    void setNewSheetPageSetup(const sheet::PageSetup& pageSetup) { newSheetPageSetup_ = pageSetup; }
    const sheet::PageSetup& newSheetPageSetup() const { return newSheetPageSetup_; }
    // When set, every sheet of a workbook made by Workbooks.Add prints exactly its used range: SaveAs sets
    // the sheet's print area to it. Like the page set-up, it is taken when an application is created.
    void setPrintAreaOverUsedRange(bool on) { printAreaOverUsedRange_ = on; }
    // Where Workbook.SaveAs puts the workbook. Unset, it writes the named file (in one step, through
    // safefile::replace); a caller that must write several files in an order of its own (rootweave-chart:
    // the picture first) takes the workbook here, with the name it was given, and writes it itself.
    using SaveSink = std::function<void(const sheet::Workbook&, const std::string& path)>;
    void setSaveAs(SaveSink saveAs) { saveAs_ = std::move(saveAs); }
    // Fails with "Cannot create object" for any other class name.
    automation::ObjectRef createObject(const std::string& className) override;

  private:
    PictureSink copyPicture_;
    SaveSink saveAs_;
    sheet::PageSetup newSheetPageSetup_;
    bool printAreaOverUsedRange_ = false;
};

}  // namespace rw::chart
