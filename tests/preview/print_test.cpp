#include <gtest/gtest.h>

#include <QFile>
#include <QFileInfo>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>

#include "preview/preview_window.h"
#include "preview/print_document.h"
#include "spreadsheet/xls_codec.h"
#include "support/scripted_seams.h"

// Ctrl+P in the preview: the print dialog (scripted here to print into a PDF file), then the workbook's
// pages.
namespace rw {
namespace {

int pdfPages(const QByteArray& pdf) {
    return static_cast<int>(pdf.count("/Type /Page\n") + pdf.count("/Type /Page\r") +
                            pdf.count("/Type /Page "));
}

class PreviewPrintTest : public ::testing::Test {
  protected:
    PreviewPrintTest() {
        // A tall sheet printed like a chart: two title rows, then 400 framed boxes.
        sheet::Worksheet& ws = book.activeSheet();
        ws.setText(sheet::CellRange::cell(2, 2), "Family Tree for Ann");
        for (int row = 4; row < 404; ++row) {
            ws.setText(sheet::CellRange::cell(row, 2), "box");
        }
        ws.pageSetup().landscape = true;
        ws.pageSetup().titleRows = std::pair{2, 3};
        ws.pageSetup().printArea = ws.usedRange();
        ws.pageSetup().footer = "&CPage &P of &N";
        sheet::saveWorkbook(book, workbook.toStdString());
        form.setExcelFile(workbook);
        seams.printDialog.onShow = [this](QPrinter& printer) {
            printer.setOutputFormat(QPrinter::PdfFormat);
            printer.setOutputFileName(pdf);
        };
    }
    void pressCtrlP() {
        form.show();
        form.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&form));
        QTest::keyClick(&form, Qt::Key_P, Qt::ControlModifier);
    }

    QTemporaryDir dir;
    QString workbook = dir.filePath(QStringLiteral("qarlow12345678.xls"));
    QString pdf = dir.filePath(QStringLiteral("printed.pdf"));
    sheet::Workbook book;
    test::ScriptedPlatform seams;
    QWidget mainWindow;
    Form2 form{seams.platform(), &mainWindow};
};

TEST_F(PreviewPrintTest, CtrlPPrintsTheWorkbooksPages) {
    seams.printDialog.accept = true;
    pressCtrlP();
    ASSERT_EQ(seams.printDialog.shown, 1);
    EXPECT_TRUE(seams.messages.shown.empty());
    QFile printed(pdf);
    ASSERT_TRUE(printed.open(QIODevice::ReadOnly));
    const QByteArray bytes = printed.readAll();
    const int expected = pdfPages(preview::sheetPdf(book.sheet(0), QPageSize(QPageSize::A4), "x"));
    EXPECT_GT(expected, 1);
    EXPECT_EQ(pdfPages(bytes), expected) << "the same pages as rootweave-chart --print";
}

TEST_F(PreviewPrintTest, CancelPrintsNothingAndAnUnreadableWorkbookSaysSo) {
    pressCtrlP();
    EXPECT_EQ(seams.printDialog.shown, 1);
    EXPECT_FALSE(QFileInfo::exists(pdf));
    EXPECT_TRUE(seams.messages.shown.empty());

    QFile::remove(workbook);
    seams.printDialog.accept = true;
    form.printChart();
    EXPECT_EQ(seams.printDialog.shown, 1) << "no dialog for a chart that cannot be read";
    ASSERT_EQ(seams.messages.shown.size(), 1u);
    EXPECT_TRUE(seams.messages.shown[0].text.startsWith(QStringLiteral("The chart could not be printed: ")));
}

}  // namespace
}  // namespace rw
