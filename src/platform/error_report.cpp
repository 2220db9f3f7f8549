#include "platform/error_report.h"

#include "platform/program_names.h"

namespace rw {

QString errorReportText(const QString& reportName, const QString& description, int line) {
    return description + QStringLiteral("\r\n") + QStringLiteral("in ") + reportName + QStringLiteral(" ") +
           QStringLiteral("at line ") + QString::number(line) + QStringLiteral("\r\r") +
           QStringLiteral("Please email screenshot of this message to ") +
           QString::fromLatin1(addresses::kSupportEmail);
}

void showErrorReport(MessageBoxes& boxes, const QString& reportName, const QString& description, int line) {
    boxes.show(errorReportText(reportName, description, line), QStringLiteral("Application Error"),
               MsgIcon::Exclamation, MsgButtons::Ok, kAnswerOk);
}

QString describeFailure(std::exception_ptr failure) {
    try {
        std::rethrow_exception(failure);
    } catch (const std::bad_alloc&) {
        return QStringLiteral("Out of memory");
    } catch (const std::exception& e) {
        return QString::fromUtf8(e.what());
    } catch (...) {
        return QStringLiteral("Unknown failure");
    }
}

void ErrorTrap::report(int line, std::exception_ptr failure) {
    ++reportsShown_;
    showErrorReport(boxes_, reportName_, describeFailure(failure), line);
}

void showRuntimeErrorAndEnd(MessageBoxes& boxes, ProgramEnd& end, const QString& description) {
    boxes.show(QStringLiteral("Run-time error:\r\n\r\n") + description, kAppTitle, MsgIcon::Exclamation,
               MsgButtons::Ok, kAnswerOk);
    end.endProgram(1);
}

}  // namespace rw
