#pragma once

#include <QString>
#include <string>

#include "chart/automation.h"
#include "platform/seams.h"

// Finding a Microsoft Excel that the user already runs. Here Excel can only run under a Windows
// compatibility layer, where it shows as a process named EXCEL.EXE; the lookup answers for such a process
// of the current user with a stand-in object whose default value is Excel's name. It never starts anything,
// and the stand-in reaches nothing in the running program.
namespace rw::chart {

// True for the program name of a running Excel: "EXCEL.EXE" in any case.
bool isExcelProcessName(const QString& name);

// True for Excel's class name, "Excel.Application" (class names ignore case), also with a version suffix
// such as "Excel.Application.12".
bool isExcelClassName(const std::string& className);

class RunningExcelLookup : public automation::ActiveObjectLookup {
  public:
    explicit RunningExcelLookup(ProcessLookup& processes) : processes_(processes) {}

    // Fails with "ActiveX component can't create object" for other class names and when no Excel of the
    // current user runs.
    automation::ObjectRef getActiveObject(const std::string& className) override;

  private:
    ProcessLookup& processes_;
};

}  // namespace rw::chart
