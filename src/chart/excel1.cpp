#include "chart/excel1.h"

#include <cstdint>
#include <string>
#include <variant>

#include "chart/picture_clipboard.h"
#include "platform/error_report.h"
#include "platform/failure.h"
#include "platform/safe_file.h"
#include "spreadsheet/xls_codec.h"

namespace rw::chart::Excel1 {

using automation::Dispatch;
using automation::ObjectRef;
using automation::Variant;

QString excelOpenQuestion() {
    return QStringLiteral("Excel may be open. It is recommended that you close Excel first.") +
           QStringLiteral("\r") +
           QStringLiteral("Use Ctrl+Alt+Del > Task Manager > EXCEL.EXE if necessary.") +
           QStringLiteral("\r\n\r\n") + QStringLiteral("Would you like to proceed anyway?");
}

bool isExcelRunning(automation::ActiveObjectLookup& lookup) {
    bool running = false;
    try {
        Dispatch excel(lookup.getActiveObject(names::kExcelClassName));
        const Variant name = excel.value(automation::kDefaultMember);
        const auto* text = std::get_if<std::string>(&name);
        running = text != nullptr && *text == names::kExcelName;
    } catch (...) {
        running = false;  // above all: no Excel runs
    }
    return running;
}

bool checkExcelOpen(automation::ActiveObjectLookup& lookup, MessageBoxes& boxes) {
    if (!isExcelRunning(lookup)) {
        return false;
    }
    const int answer =
        boxes.show(excelOpenQuestion(), kAppTitle, MsgIcon::None, MsgButtons::YesNo, kAnswerYes);
    return answer != kAnswerYes;
}

Dispatch openExcelWorkbook(automation::ObjectFactory& factory, const QString& path) {
    Dispatch excel(factory.createObject(names::kExcelClassName));
    excel.get("Workbooks").call("Open", {path.toStdString()});
    return excel;
}

void saveCellsActivesheet(Dispatch workbook, QString path, MessageBoxes& boxes, Clipboard& clipboard) {
    ErrorTrap trap(boxes, kSaveCellsReportName);
    Dispatch sheet;
    std::int32_t lastRow = 0;
    std::int32_t lastColumn = 0;

    trap.run(100, [&] { sheet = workbook.get("ActiveSheet"); });
    trap.run(102, [&] {
        const Variant count = sheet.get("UsedRange").get("Rows").value("count");
        lastRow = automation::toInt32(sheet.get("UsedRange").get("Rows", {count}).value("Row"));
    });
    trap.run(104, [&] {
        const Variant count = sheet.get("UsedRange").get("Columns").value("count");
        lastColumn = automation::toInt32(sheet.get("UsedRange").get("Columns", {count}).value("Column"));
    });
    if (!trap.test(106, [&] { return lastRow > 1 && lastColumn > 1; })) {
        return;
    }
    trap.run(110, [&] { sheet.get("UsedRange").call("CopyPicture"); });
    trap.run(112, [&] {
        const QByteArray picture = clipboard.picture();
        if (picture.isEmpty()) {
            throw Failure("Invalid picture");
        }
        writePictureFile(path, picture, safefile::Flush::NotNeeded);
    });
}

void saveScratchWorkbook(const sheet::Workbook& workbook, const std::string& path) {
    safefile::replace(path, sheet::encodeWorkbook(workbook), safefile::Flush::NotNeeded);
}

}  // namespace rw::chart::Excel1
