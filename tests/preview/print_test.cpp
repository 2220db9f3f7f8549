#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QPageLayout>
#include <QPaintEngine>
#include <QPrintEngine>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTest>

#include "platform/safe_file.h"
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

TEST_F(PreviewPrintTest, PrintToFileReplacesTheFileWholeOrNotAtAll) {
    // A full disk while the file is written leaves the earlier file as it was and says why.
    QFile earlier(pdf);
    ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
    earlier.write("an earlier print");
    earlier.close();
    seams.printDialog.accept = true;
    safefile::failNthWriteForTesting(1, ENOSPC);
    form.printChart();
    safefile::failNthWriteForTesting(0, 0);
    ASSERT_EQ(seams.messages.shown.size(), 1u);
    EXPECT_EQ(seams.messages.shown[0].text,
              QStringLiteral("The chart could not be printed: Path/File access error: ") + pdf +
                  QStringLiteral(" cannot be written (No space left on device)"));
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_EQ(earlier.readAll(), QByteArray("an earlier print"));
    earlier.close();
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);  // workbook and earlier

    // The next print replaces it.
    form.printChart();
    ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
    EXPECT_TRUE(earlier.readAll().startsWith("%PDF"));
}

// A printer that takes `pages` pages and refuses the next one; it knows whether the job was taken back or
// sent when printing ended.
class RefusingPrinterEngine : public QPaintEngine, public QPrintEngine {
  public:
    explicit RefusingPrinterEngine(int pages) : QPaintEngine(QPaintEngine::AllFeatures), pages_(pages) {}
    bool begin(QPaintDevice*) override {
        state_ = QPrinter::Active;
        return true;
    }
    bool end() override {
        sent = state_ == QPrinter::Active;
        state_ = QPrinter::Idle;
        return true;
    }
    void updateState(const QPaintEngineState&) override {}
    void drawPath(const QPainterPath&) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawTextItem(const QPointF&, const QTextItem&) override {}
    Type type() const override { return QPaintEngine::User; }

    bool abort() override {
        aborted = true;
        state_ = QPrinter::Aborted;
        return true;
    }
    bool newPage() override { return --pages_ > 0; }
    QPrinter::PrinterState printerState() const override { return state_; }
    int metric(QPaintDevice::PaintDeviceMetric m) const override {
        const QRect paper = property(PPK_QPageLayout).value<QPageLayout>().fullRectPixels(72);
        switch (m) {
            case QPaintDevice::PdmWidth:
                return paper.width();
            case QPaintDevice::PdmHeight:
                return paper.height();
            case QPaintDevice::PdmDevicePixelRatioScaled:
                return static_cast<int>(QPaintDevice::devicePixelRatioFScale());
            case QPaintDevice::PdmDepth:
                return 32;
            case QPaintDevice::PdmWidthMM:
            case QPaintDevice::PdmHeightMM:
            case QPaintDevice::PdmNumColors:
                return 1000;
            default:
                return m == QPaintDevice::PdmDevicePixelRatio ? 1 : 72;
        }
    }
    QVariant property(PrintEnginePropertyKey key) const override { return properties_.value(key); }
    void setProperty(PrintEnginePropertyKey key, const QVariant& value) override { properties_[key] = value; }

    bool aborted = false;
    bool sent = false;

  private:
    int pages_;
    QPrinter::PrinterState state_ = QPrinter::Idle;
    QMap<PrintEnginePropertyKey, QVariant> properties_;
};

class RefusingPrinter : public QPrinter {
  public:
    explicit RefusingPrinter(RefusingPrinterEngine& engine) { setEngines(&engine, &engine); }
};

TEST_F(PreviewPrintTest, APageThePrinterRefusesTakesTheJobBack) {
    RefusingPrinterEngine engine(2);
    RefusingPrinter printer(engine);
    seams.printDialog.accept = true;
    seams.printDialog.onShow = nullptr;
    form.printChart(printer);
    EXPECT_TRUE(engine.aborted);
    EXPECT_FALSE(engine.sent) << "the pages before the refused one went out as a job";
    ASSERT_EQ(seams.messages.shown.size(), 1u);
    EXPECT_TRUE(seams.messages.shown[0].text.startsWith(QStringLiteral("The chart could not be printed: ")));

    RefusingPrinterEngine willing(1000);
    RefusingPrinter good(willing);
    form.printChart(good);
    EXPECT_FALSE(willing.aborted);
    EXPECT_TRUE(willing.sent);
}

}  // namespace
}  // namespace rw
