// Form2's printing: Ctrl+P prints the chart's workbook through the desktop's print dialog, page by page as
// the workbook's page set-up prints it (the same pages as rootweave-chart --print).
#include <QFile>
#include <QKeySequence>
#include <QPageLayout>
#include <QPrinter>
#include <QShortcut>
#include <cstdint>
#include <exception>
#include <span>

#include "platform/safe_file.h"
#include "preview/file_copy.h"
#include "preview/preview_window.h"
#include "preview/print_document.h"
#include "spreadsheet/xls_codec.h"

namespace rw {

void Form2::installPrinting() {
    auto* shortcut = new QShortcut(QKeySequence::Print, this);
    connect(shortcut, &QShortcut::activated, this, [this] { printChart(); });
}

void Form2::printChart() {
    QPrinter printer(QPrinter::HighResolution);
    printChart(printer);
}

void Form2::printChart(QPrinter& printer) {
    if (mExcelFile.isEmpty()) {
        return;
    }
    QString problem;
    try {
        const sheet::Workbook workbook = sheet::loadWorkbook(mExcelFile.toStdString());
        const sheet::Worksheet& sheet = workbook.sheet(0);
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
        const QPageSize size = paper.isValid() ? paper : QPageSize(QPageSize::A4);
        const int first = someOnly ? printer.fromPage() : 1;
        const int last = someOnly ? printer.toPage() : 0;
        const QString file =
            printer.outputFormat() == QPrinter::PdfFormat ? printer.outputFileName() : QString();
        if (!file.isEmpty()) {
            // Print to File: the pages are made in memory and replace the file in one step, like every file
            // the program writes, so a failure leaves the file as it was.
            const QByteArray pdf = preview::sheetPdf(sheet, size, printer.docName(), first, last);
            try {
                safefile::replace(QFile::encodeName(file).toStdString(),
                                  std::span(reinterpret_cast<const std::uint8_t*>(pdf.constData()),
                                            static_cast<std::size_t>(pdf.size())));
            } catch (const safefile::Error& e) {
                throw preview::cannotWrite(file, e.reason());
            }
        } else {
            preview::printSheet(sheet, printer, size, first, last, [&] { printer.abort(); });
        }
    } catch (const std::exception& e) {
        problem = QString::fromUtf8(e.what());
    }
    if (!problem.isEmpty()) {
        platform_.messages.show(QStringLiteral("The chart could not be printed: ") + problem, QString(),
                                MsgIcon::Exclamation, MsgButtons::Ok, kAnswerOk);
    }
}

}  // namespace rw
