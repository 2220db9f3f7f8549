#pragma once

#include <QString>
#include <vector>

#include "chart/automation.h"
#include "chart/chart_fill.h"
#include "chart/layout.h"
#include "platform/error_report.h"

// The chart job both "Start Creating Template" and rootweave-chart run: an invisible instance of its own,
// Workbooks.Add, the layout with the checked MyPower, SaveAs, then closing the workbook and quitting. Each
// step is a numbered statement of the caller's trap, with the labels of the click handler.
//
// The caller decides what a report means. The window goes on after every report (each statement runs and
// each failure is shown); the tool stops as soon as a failure means no usable chart can come of it (no
// instance, no workbook, no sheet, a failed layout step), still closing what it opened.
namespace rw::chart {

class ChartJob {
  public:
    enum class AfterReport { GoOn, Stop };

    ChartJob(ErrorTrap& trap, automation::ObjectFactory& factory, AfterReport afterReport);

    // Lines 110 to 114 (and 116, the sheet, when stopping): the instance, its workbook, hidden. False when
    // the job stops here.
    bool start();
    // The layout onto the workbook's active sheet (lines 116 to 196). False when the job stops after it.
    bool layOut(const QString& name, const QString& generations, const PowerFunction& power = MyPower);
    // The same, with the boxes filled from `fill` (a blank fill draws the blank template). Warnings of the
    // ancestry (a loop in the family file) are kept in warnings().
    bool layOut(const QString& name, const QString& generations, const ChartFill& fill,
                const PowerFunction& power = MyPower);
    const std::vector<family::Warning>& warnings() const { return warnings_; }
    // Line 216. Skipped, and false, when the job has stopped.
    bool saveAs(const QString& path);
    // The active sheet (asked for anew on each use when going on after reports).
    const automation::Dispatch& sheet() const { return sheet_; }
    // Whether the job has stopped after a report (never when going on).
    bool stopped() const { return stopped_; }
    // Lines 218 to 224: alerts off, the workbook closed, the instance quit and let go. A job that never got
    // its instance (stopping) has nothing to close.
    void finish();

  private:
    ErrorTrap& trap_;
    automation::ObjectFactory& factory_;
    AfterReport afterReport_;
    automation::Dispatch excel_;
    automation::Dispatch workbook_;
    automation::Dispatch sheet_;
    std::vector<family::Warning> warnings_;
    bool started_ = false;
    bool stopped_ = false;
};

}  // namespace rw::chart
