#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QSignalSpy>
#include <QUrl>
#include <fstream>
#include <iterator>

#include "app/person_picker.h"
#include "generation_run_fixture.h"
#include "spreadsheet/xls_codec.h"

// From a dropped family file to the filled chart in the preview, through the real run and engine.
namespace rw::test {
namespace {

class PickFirst : public PersonPicker {
  public:
    std::optional<PersonChoice> pick(QWidget&, const family::FamilyFile&, family::PersonIndex preselected,
                                     bool) override {
        return PersonChoice{preselected, false};
    }
};

TEST_F(GenerationRun, ADroppedFamilyFileFillsTheChartAndALoopIsReportedOnce) {
    // Ann's father Bob is, by a slip in the file, also Ann's son.
    const QString path = programFolder.filePath(QStringLiteral("loop.ged"));
    QFile ged(path);
    ASSERT_TRUE(ged.open(QIODevice::WriteOnly));
    ged.write(
        "0 HEAD\n1 CHAR UTF-8\n0 @I1@ INDI\n1 NAME Ann /Smith/\n0 @I2@ INDI\n1 NAME Bob /Smith/\n"
        "0 @F1@ FAM\n1 HUSB @I2@\n1 CHIL @I1@\n0 @F2@ FAM\n1 HUSB @I1@\n1 CHIL @I2@\n0 TRLR\n");
    ged.close();
    Form1& f = makeForm("Ann Smith", "5");
    PickFirst picker;
    f.setPersonPicker(picker);

    QSignalSpy done(&f, &Form1::familyDone);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f.Text2, &enter);  // a drop always follows an accepted drag
    QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(f.Text2, &drop);
    if (f.familyBusy()) {
        ASSERT_TRUE(done.wait(10000));
    }
    EXPECT_EQ(f.Text2->text(), QStringLiteral("2"));  // the known depth: the loop ends Bob's line
    f.Text2->setText(QStringLiteral("3"));
    f.PushButton1_Click();

    ASSERT_NE(preview, nullptr);
    EXPECT_TRUE(preview->isVisible());
    ASSERT_EQ(seams.messages.shown.size(), 1u);
    EXPECT_TRUE(seams.messages.shown[0].text.contains(QStringLiteral("Ann Smith (I1) is their own ancestor")))
        << seams.messages.shown[0].text.toStdString();
    std::ifstream in(QFile::encodeName(preview->excelFile()).toStdString(), std::ios::binary);
    const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    const sheet::Workbook book = sheet::decodeWorkbook(bytes);
    const sheet::Worksheet& ws = book.sheet(0);
    EXPECT_EQ(ws.cell(8, 4)->text, "Ann Smith");  // the person, D8
    EXPECT_EQ(ws.cell(6, 3)->text, "Bob Smith");  // the father, C6
    EXPECT_FALSE(ws.cell(10, 3)->text.size() > 0);
    EXPECT_FALSE(ws.cell(5, 2)->text.size() > 0);  // Bob's father would be Ann again: the line stops
}

}  // namespace
}  // namespace rw::test
