// Form2's printing: Ctrl+P prints the chart's workbook through the desktop's print dialog, page by page as
// the workbook's page set-up prints it (the same pages as rootweave-chart --print).
#include <QKeySequence>
#include <QPageLayout>
#include <QPrinter>
#include <QShortcut>
#include <exception>

#include "preview/preview_window.h"
#include "preview/print_document.h"
#include "spreadsheet/xls_codec.h"

namespace rw {

void Form2::installPrinting() {
    auto* shortcut = new QShortcut(QKeySequence::Print, this);
    connect(shortcut, &QShortcut::activated, this, [this] { printChart(); });
}

void Form2::printChart() {
    if (mExcelFile.isEmpty()) {
        return;
    }
    QString problem;
    try {
        const sheet::Workbook workbook = sheet::loadWorkbook(mExcelFile.toStdString());
        const sheet::Worksheet& sheet = workbook.sheet(0);
        QPrinter printer(QPrinter::HighResolution);
        printer.setDocName(QStringLiteral("Ancestor chart"));
        printer.setFullPage(true);
        printer.setPageLayout(QPageLayout(
            QPageSize(QPageSize::A4),
            sheet.pageSetup().landscape ? QPageLayout::Landscape : QPageLayout::Portrait, QMarginsF()));
        if (!platform_.printDialog.choosePrinter(printer)) {
            return;
        }
        // The paper is the one chosen in the dialog; orientation, scaling and margins are the workbook's.
        const QPageSize paper = printer.pageLayout().pageSize();
        const bool someOnly = printer.printRange() == QPrinter::PageRange && printer.fromPage() > 0;
        preview::printSheet(sheet, printer, paper.isValid() ? paper : QPageSize(QPageSize::A4),
                            someOnly ? printer.fromPage() : 1, someOnly ? printer.toPage() : 0);
    } catch (const std::exception& e) {
        problem = QString::fromUtf8(e.what());
    }
    if (!problem.isEmpty()) {
        platform_.messages.show(QStringLiteral("The chart could not be printed: ") + problem, QString(),
                                MsgIcon::Exclamation, MsgButtons::Ok, kAnswerOk);
    }
}

}  // namespace rw
