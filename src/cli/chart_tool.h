#pragma once

#include <QString>
#include <QStringList>
#include <QTextStream>

#include "chart/automation.h"
#include "platform/seams.h"

// rootweave-chart: the chart without the windows. The same checks, layout and engine as "Start Creating
// Template", driven from the command line:
//   rootweave-chart --generations N --name TEXT --output FILE.xls [--picture FILE.svg]
namespace rw::cli {

inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the workbook could not be made or written
inline constexpr int kExitUsage = 2;   // bad command line or refused input; nothing was started

// Message boxes for a program without windows: each box is written to `stream` (its title, then its text
// with the line breaks of the platform) and answered with its default button.
class StreamMessageBoxes : public MessageBoxes {
  public:
    explicit StreamMessageBoxes(QTextStream& stream) : stream_(stream) {}
    int show(const QString& text, const QString& title, MsgIcon icon, MsgButtons buttons,
             int defaultAnswer) override;

  private:
    QTextStream& stream_;
};

// Runs the tool. `arguments` is the whole command line, the program name first. Applications are created
// through `factory`. Results go to `out`, every complaint and error report to `err`; returns the exit status.
int runChartTool(const QStringList& arguments, automation::ObjectFactory& factory, QTextStream& out,
                 QTextStream& err);

}  // namespace rw::cli
