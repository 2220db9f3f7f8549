#pragma once

#include <QString>
#include <exception>
#include <string>
#include <utility>

#include "platform/failure.h"
#include "platform/seams.h"

namespace rw {

// The report text: description, CR LF, "in <name> at line <n>", CR CR, the support request.
QString errorReportText(const QString& reportName, const QString& description, int line);

// Shows the uniform error report for a failed statement of a trapped routine; returns when it is closed.
void showErrorReport(MessageBoxes& boxes, const QString& reportName, const QString& description, int line);

// Description of whatever was thrown.
QString describeFailure(std::exception_ptr failure);

// The error trap of a reporting routine. Each numbered statement runs through it; a statement that fails
// shows the report with its number, and the routine goes on with the next statement. Statements assign
// their results themselves, so a statement that fails before assigning leaves the earlier value in place.
class ErrorTrap {
  public:
    ErrorTrap(MessageBoxes& boxes, QString reportName) : boxes_(boxes), reportName_(std::move(reportName)) {}

    // Runs one statement. Returns false when it failed (and was reported).
    template <typename Statement>
    bool run(int line, Statement&& statement) {
        try {
            std::forward<Statement>(statement)();
            return true;
        } catch (...) {
            report(line, std::current_exception());
            return false;
        }
    }

    // The test of an If: its value, or true when evaluating it failed, since execution then goes on with the
    // first statement inside the If.
    template <typename Condition>
    bool test(int line, Condition&& condition) {
        try {
            return static_cast<bool>(std::forward<Condition>(condition)());
        } catch (...) {
            report(line, std::current_exception());
            return true;
        }
    }

    const QString& reportName() const { return reportName_; }
    int reportsShown() const { return reportsShown_; }

  private:
    void report(int line, std::exception_ptr failure);

    MessageBoxes& boxes_;
    QString reportName_;
    int reportsShown_ = 0;
};

// The platform's standard run-time error: a handler without a trap failed. Shows a modal error naming the
// failure, then ends the program with a non-zero status.
void showRuntimeErrorAndEnd(MessageBoxes& boxes, ProgramEnd& end, const QString& description);

// Runs the body of an untrapped handler: a failure ends the program as above.
template <typename Body>
void runUntrapped(MessageBoxes& boxes, ProgramEnd& end, Body&& body) {
    try {
        std::forward<Body>(body)();
    } catch (...) {
        showRuntimeErrorAndEnd(boxes, end, describeFailure(std::current_exception()));
    }
}

}  // namespace rw
