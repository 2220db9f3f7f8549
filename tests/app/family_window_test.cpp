#include <QApplication>
#include <QCheckBox>
#include <QDropEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QSignalSpy>
#include <QTest>
#include <QTreeView>
#include <QUrl>
#include <optional>

#include "app/person_picker.h"
#include "app_fixture.h"

// The family file in the main window: Ctrl+O and drops read it off the window's thread, the person picker
// fixes whose ancestors fill the chart, and the window's inputs, title and start follow.
namespace rw::test {
namespace {

// Ann Smith (I1), child of John William Smith (I2) and Émilie Dubois (I3); John's father Peter (I4).
const QByteArray kFamily = R"(0 HEAD
1 GEDC
2 VERS 5.5.1
1 CHAR UTF-8
0 @I1@ INDI
1 NAME Ann /Smith/
1 BIRT
2 DATE 1950
1 FAMC @F1@
0 @I2@ INDI
1 NAME John William /Smith/
1 BIRT
2 DATE 1920
1 DEAT
2 DATE 1990
1 FAMS @F1@
1 FAMC @F2@
0 @I3@ INDI
1 NAME Émilie /Dubois/
1 FAMS @F1@
0 @I4@ INDI
1 NAME Peter /Smith/
1 FAMS @F2@
0 @I5@ INDI
1 NAME Zoe
0 @F1@ FAM
1 HUSB @I2@
1 WIFE @I3@
1 CHIL @I1@
0 @F2@ FAM
1 HUSB @I4@
1 CHIL @I2@
0 TRLR
)";

class ScriptedPicker : public PersonPicker {
  public:
    std::optional<PersonChoice> pick(QWidget&, const family::FamilyFile& file,
                                     family::PersonIndex preselected, bool hideLiving) override {
        asked.push_back(file.people[static_cast<std::size_t>(preselected)].id);
        askedHideLiving = hideLiving;
        if (!answerId) {
            return std::nullopt;
        }
        return PersonChoice{*file.find(*answerId), answerHideLiving};
    }
    std::vector<std::string> asked;  // the record id preselected, per question
    bool askedHideLiving = false;
    std::optional<std::string> answerId = "I1";
    bool answerHideLiving = true;
};

class FamilyWindow : public MainWindowTest {
  protected:
    Form1& openForm() {
        writeFile(QStringLiteral("tree/family.ged"), kFamily);
        Form1& f = loadForm();
        f.setPersonPicker(picker);
        return f;
    }
    QString familyPath() { return folder.filePath(QStringLiteral("tree/family.ged")); }
    void waitUntilDone(Form1& f, QSignalSpy& done) {
        if (f.familyBusy()) {
            ASSERT_TRUE(done.wait(10000));
        }
    }
    static void drop(QWidget& target, const QString& path) {
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(path)});
        QDragEnterEvent enter(QPoint(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&target, &enter);
        QDropEvent dropped(QPointF(5, 5), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(&target, &dropped);
    }

    ScriptedPicker picker;
};

TEST_F(FamilyWindow, CtrlOReadsPicksAndFillsTheInputsAsIfTyped) {
    Form1& f = openForm();
    f.Text1->setText(QStringLiteral("john william smith"));  // preselects by whole name, any case
    seams.openDialog.answers = {familyPath()};
    QSignalSpy done(&f, &Form1::familyDone);
    f.show();
    f.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    QTest::keyClick(&f, Qt::Key_O, Qt::ControlModifier);
    waitUntilDone(f, done);

    ASSERT_EQ(seams.openDialog.asked.size(), 1u);
    EXPECT_EQ(seams.openDialog.asked[0].filter, QStringLiteral("Family Files (*.ged *.GED)"));
    EXPECT_EQ(picker.asked, std::vector<std::string>{"I2"});
    EXPECT_EQ(f.Text1->text(), QStringLiteral("Ann Smith"));
    EXPECT_EQ(f.Text2->text(), QStringLiteral("3"));  // Ann, her parents, John's father
    EXPECT_EQ(seams.settings.values["Text1"], QStringLiteral("Ann Smith"));
    EXPECT_EQ(seams.settings.values["Text2"], QStringLiteral("3"));
    EXPECT_EQ(seams.settings.values["FamilyFolder"], folder.filePath(QStringLiteral("tree")));
    EXPECT_TRUE(f.windowTitle().contains(QStringLiteral("family.ged")));
    EXPECT_TRUE(f.windowTitle().contains(QStringLiteral("Ann Smith")));
    EXPECT_TRUE(f.windowTitle().contains(QStringLiteral("Ctrl+Shift+O")));
    const chart::ChartFill fill = f.chartFill();
    ASSERT_FALSE(fill.blank());
    EXPECT_EQ(fill.file->people[static_cast<std::size_t>(fill.person)].id, "I1");
    EXPECT_TRUE(fill.hideLiving);
    EXPECT_EQ(fill.todayYear, seams.clock.year);

    // The next Open starts in the folder of the last one; Ctrl+Shift+O goes back to blank charts.
    f.OpenFamilyFile();
    EXPECT_EQ(seams.openDialog.asked.back().folder, folder.filePath(QStringLiteral("tree")));
    QTest::keyClick(&f, Qt::Key_O, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(f.chartFill().blank());
    EXPECT_EQ(f.windowTitle(), QStringLiteral("Rootweave"));
    EXPECT_EQ(f.Text1->text(), QStringLiteral("Ann Smith"));  // the inputs stay as they are
}

TEST_F(FamilyWindow, ADropAnywhereOpensTheFileAndNeverPastesItsAddress) {
    Form1& f = openForm();
    QWidget* const targets[] = {f.Text1, f.Text2, &f};
    for (QWidget* target : targets) {
        f.CloseFamilyFile();
        f.Text2->setText(QStringLiteral("5"));
        QSignalSpy done(&f, &Form1::familyDone);
        drop(*target, familyPath());
        waitUntilDone(f, done);
        EXPECT_FALSE(f.chartFill().blank()) << target->objectName().toStdString();
        EXPECT_FALSE(f.Text1->text().contains(QStringLiteral("family.ged")));
        EXPECT_EQ(f.Text2->text(), QStringLiteral("3"));
    }
    EXPECT_TRUE(seams.openDialog.asked.empty());  // a drop is read directly
}

TEST_F(FamilyWindow, StartWaitsForTheReadAndThePicker) {
    Form1& f = openForm();
    QSignalSpy done(&f, &Form1::familyDone);
    f.ReadFamilyFile(familyPath());
    f.PushButton1_Click();
    if (f.familyBusy()) {
        EXPECT_EQ(seams.run.clicks, 0);
    }
    waitUntilDone(f, done);
    EXPECT_EQ(seams.run.clicks, 1);
    EXPECT_EQ(f.Text1->text(), QStringLiteral("Ann Smith"));
}

TEST_F(FamilyWindow, FilesThatCannotBeUsedChangeNothingAndSaySo) {
    Form1& f = openForm();
    writeFile(QStringLiteral("tree/archive.gdz"), QByteArray("PK\x03\x04", 4));
    writeFile(QStringLiteral("tree/empty.ged"), QByteArray("0 HEAD\n0 TRLR\n"));
    const struct {
        QString file;
        QString said;
    } cases[] = {
        {QStringLiteral("tree/archive.gdz"), QStringLiteral(".gdz")},
        {QStringLiteral("tree/empty.ged"), QStringLiteral("empty.ged")},
        {QStringLiteral("tree/missing.ged"), QStringLiteral("missing.ged")},
    };
    for (const auto& c : cases) {
        seams.messages.shown.clear();
        QSignalSpy done(&f, &Form1::familyDone);
        f.ReadFamilyFile(folder.filePath(c.file));
        waitUntilDone(f, done);
        ASSERT_EQ(seams.messages.shown.size(), 1u) << c.file.toStdString();
        EXPECT_TRUE(seams.messages.shown[0].text.contains(c.said))
            << seams.messages.shown[0].text.toStdString();
        EXPECT_TRUE(f.chartFill().blank());
        EXPECT_EQ(f.windowTitle(), QStringLiteral("Rootweave"));
    }
    EXPECT_TRUE(picker.asked.empty());
}

TEST_F(FamilyWindow, SampleDataReturnsToBlankChartsAndACancelledPickKeepsWhatWasThere) {
    Form1& f = openForm();
    QSignalSpy done(&f, &Form1::familyDone);
    f.ReadFamilyFile(familyPath());
    waitUntilDone(f, done);
    ASSERT_FALSE(f.chartFill().blank());
    picker.answerId.reset();
    f.ReadFamilyFile(familyPath());
    waitUntilDone(f, done);
    EXPECT_FALSE(f.chartFill().blank());
    f.PushButton7_Click();
    EXPECT_TRUE(f.chartFill().blank());
    EXPECT_EQ(f.Text1->text(), QStringLiteral("Jonas Wexley"));
}

// The picker itself: search without regard to case and accents over names and record ids, surname order
// with people lacking one last, Enter picks, and the known generations of the selected person.
TEST(PersonPickerDialogTest, SearchesSortsAndPicksFromTheKeyboard) {
    const family::FamilyFile file = family::readFamilyBytes(std::string_view(kFamily.data(), kFamily.size()));
    PersonPickerDialog dialog(file, *file.find("I2"), false);
    const auto shown = [&] {
        std::vector<std::string> ids;
        for (int row = 0; row < dialog.model->rowCount(); ++row) {
            ids.push_back(file.people[static_cast<std::size_t>(dialog.model->personAt(row))].id);
        }
        return ids;
    };
    EXPECT_EQ(shown(), (std::vector<std::string>{"I3", "I1", "I2", "I4", "I5"}));  // Dubois, Smith.., Zoe
    EXPECT_EQ(dialog.choice().person, *file.find("I2"));
    EXPECT_EQ(dialog.generations->text(), QStringLiteral("Generations known: 2"));

    const struct {
        const char* typed;
        std::vector<std::string> found;
    } searches[] = {
        {"emilie", {"I3"}}, {"SMITH", {"I1", "I2", "I4"}}, {"i4", {"I4"}}, {"liam sm", {"I2"}},
        {"nobody", {}},
    };
    for (const auto& s : searches) {
        dialog.filter->setText(QString::fromUtf8(s.typed));
        EXPECT_EQ(shown(), s.found) << s.typed;
    }
    dialog.filter->setText(QStringLiteral("smith"));
    QTest::keyClick(dialog.filter, Qt::Key_Down);
    QTest::keyClick(dialog.filter, Qt::Key_Down);
    dialog.hideLiving->setChecked(true);
    QTest::keyClick(dialog.filter, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.choice().person, *file.find("I4"));
    EXPECT_TRUE(dialog.choice().hideLiving);
    EXPECT_EQ(dialog.generations->text(), QStringLiteral("Generations known: 1"));
}

}  // namespace
}  // namespace rw::test
