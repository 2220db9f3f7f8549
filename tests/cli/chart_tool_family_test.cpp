#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <vector>

#include "support/run_process.h"

// rootweave-chart --gedcom FILE --person REF through the real tool: who the reference finds, what is listed
// when it finds no one or several, the defaults the person gives, and the family file's warnings.
namespace {

using rw::test::runProcess;

const QString kTool = QStringLiteral(ROOTWEAVE_CHART_TOOL);

// Two people named alike, an accented name, and a line of ancestors three generations deep.
const char* const kFamily =
    "0 HEAD\n1 GEDC\n2 VERS 5.5.1\n1 CHAR UTF-8\n"
    "0 @I1@ INDI\n1 NAME Ada /King/\n1 BIRT\n2 DATE 10 DEC 1815\n1 DEAT\n2 DATE 1852\n1 FAMC @F1@\n"
    "0 @I2@ INDI\n1 NAME George Gordon /Byron/\n1 BIRT\n2 DATE 1788\n1 DEAT\n2 DATE 1824\n1 FAMC @F2@\n"
    "0 @I3@ INDI\n1 NAME Anne Isabella /Milbanke/\n1 BIRT\n2 DATE 1792\n1 DEAT\n2 DATE 1860\n"
    "0 @I4@ INDI\n1 NAME John /Byron/\n1 BIRT\n2 DATE 1756\n1 DEAT\n2 DATE 1791\n"
    "0 @I5@ INDI\n1 NAME Ada /King/\n1 BIRT\n2 DATE 1901\n1 DEAT\n2 DATE 1970\n"
    "0 @I6@ INDI\n1 NAME Zo\xC3\xAB /N\xC3\xBA\xC3\xB1\x65z/\n1 BIRT\n2 DATE 2001\n1 FAMC @F3@\n"
    "0 @F1@ FAM\n1 HUSB @I2@\n1 WIFE @I3@\n1 CHIL @I1@\n"
    "0 @F2@ FAM\n1 HUSB @I4@\n1 CHIL @I2@\n"
    "0 @F3@ FAM\n1 HUSB @I5@\n1 CHIL @I6@\n"
    "0 TRLR\n";

struct FamilyCase {
    QStringList args;  // after --gedcom family.ged --output chart.xls --picture chart.svg
    int exitCode;
    QString err;     // standard error exactly
    QString shown;   // texts the picture shows when written, '|' between them
    QString absent;  // a text it must not show
};

TEST(ChartToolFamily, ThePersonIsFoundByIdOrWholeNameOrTheCandidatesAreListed) {
    const QString listed = QStringLiteral(
        "rootweave-chart: 2 people in family.ged are named \"ada king\"; give the id of one with "
        "--person:\n"
        "  Ada King (1815\u20131852)  @I1@\n"
        "  Ada King (1901\u20131970)  @I5@\n");
    const std::vector<FamilyCase> cases = {
        {{"--person", "@I1@"},
         0,
         "",
         "Family Tree for Ada King|3 Generations|Ada King (1815\u20131852)|Milbanke "
         "(1792\u20131860)|John Byron (1756\u20131791)",
         ""},
        // The living are hidden when asked, and only then.
        {{"--person", "I6", "--hide-living"}, 0, "", "Living|Ada King (1901\u20131970)", "2001"},
        {{"--person", "I6"}, 0, "", "b. 2001", "Living"},
        {{"--person", "I2"}, 0, "", "Family Tree for George Gordon Byron|2 Generations", ""},
        {{"--person", "  ZOE   nunez "},
         0,
         "",
         QString::fromUtf8("Family Tree for Zo\xC3\xAB N\xC3\xBA\xC3\xB1\x65z|2 Generations"),
         ""},
        {{"--person", "I2", "--name", "Lord Byron", "--generations", "4"},
         0,
         "",
         "Family Tree for Lord Byron|4 Generations",
         ""},
        {{"--person", "ada king"}, 2, listed, "", ""},
        {{"--person", "BYRON"},
         2,
         "rootweave-chart: no one in family.ged is named \"BYRON\"; these names contain it (give the id or "
         "the whole name with --person):\n"
         "  George Gordon Byron (1788\u20131824)  @I2@\n"
         "  John Byron (1756\u20131791)  @I4@\n",
         "",
         ""},
        {{"--person", "@I99@"},
         2,
         "rootweave-chart: no one in family.ged is named \"@I99@\" or has that id\n",
         "",
         ""},
        {{"--person", "I1", "--generations", "16"},
         2,
         "rootweave-chart: Number of generations must be 15 or fewer.\nTry 'rootweave-chart --help'.\n",
         "",
         ""},
    };
    for (const FamilyCase& c : cases) {
        QTemporaryDir dir;
        QFile family(dir.filePath("family.ged"));
        ASSERT_TRUE(family.open(QIODevice::WriteOnly));
        family.write(kFamily);
        family.close();
        QStringList args{"--gedcom",  dir.filePath("family.ged"), "--output", dir.filePath("chart.xls"),
                         "--picture", dir.filePath("chart.svg")};
        const auto run = runProcess(kTool, args + c.args);
        const QString err = QString(run.err).replace(dir.path() + "/", QString());
        EXPECT_EQ(run.exitCode, c.exitCode) << c.args.join(' ').toStdString() << "\n" << err.toStdString();
        EXPECT_EQ(err, c.err) << c.args.join(' ').toStdString();
        EXPECT_EQ(QFileInfo::exists(dir.filePath("chart.xls")), c.exitCode == 0);
        if (!c.shown.isEmpty()) {
            QFile svg(dir.filePath("chart.svg"));
            ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
            const QString picture = QString::fromUtf8(svg.readAll());
            for (const QString& text : c.shown.split(u'|')) {
                EXPECT_TRUE(picture.contains(text)) << text.toStdString();
            }
            if (!c.absent.isEmpty()) {
                EXPECT_FALSE(picture.contains(c.absent)) << c.absent.toStdString();
            }
        }
    }
}

TEST(ChartToolFamily, AFileThatCannotBeReadOrHoldsNoOneFailsAndManyWarningsAreCounted) {
    QTemporaryDir dir;
    const auto make = [&](const char* name, const QByteArray& bytes) {
        QFile file(dir.filePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    };
    const QString output = dir.filePath("chart.xls");
    for (const QString& gedcom :
         {dir.filePath("missing.ged"), make("empty.ged", "0 HEAD\n0 TRLR\n"), dir.path()}) {
        const auto run = runProcess(kTool, {"--gedcom", gedcom, "--person", "I1", "--output", output});
        EXPECT_EQ(run.exitCode, 1) << gedcom.toStdString();
        EXPECT_TRUE(run.err.startsWith("rootweave-chart: ") && run.err.contains(QFileInfo(gedcom).fileName()))
            << run.err.toStdString();
        EXPECT_EQ(run.err.count('\n'), 1) << run.err.toStdString();
    }

    // Lines the reader cannot make sense of, each a warning: the first 20 shown, the rest counted.
    QByteArray noisy = kFamily;
    for (int i = 0; i < 25; ++i) {
        noisy.insert(noisy.indexOf("0 TRLR"), "this is no GEDCOM line\n");
    }
    const QString gedcom = make("noisy.ged", noisy);
    const auto run = runProcess(kTool, {"--gedcom", gedcom, "--person", "I1", "--output", output});
    EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QStringList lines = run.err.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 21) << run.err.toStdString();
    EXPECT_TRUE(lines.first().startsWith("rootweave-chart: warning: " + gedcom + ", line "));
    EXPECT_EQ(lines.last(), "rootweave-chart: warning: " + gedcom + ": 5 more warning(s) not shown");
    EXPECT_TRUE(QFileInfo::exists(output));
}

TEST(ChartToolFamily, FamilyOptionsWithoutAFamilyFileAreAUsageError) {
    QTemporaryDir dir;
    const QString output = dir.filePath("chart.xls");
    struct Case {
        QStringList args;
        QString message;
    };
    const std::vector<Case> cases = {
        {{"--generations", "3", "--name", "x", "--person", "I1"}, "--person goes with --gedcom"},
        {{"--generations", "3", "--name", "x", "--hide-living"}, "--hide-living goes with --gedcom"},
        {{"--gedcom", dir.filePath("a.ged")}, "missing --person"},
        {{"--gedcom", "", "--person", "I1"}, "--gedcom needs a file name"},
        {{"--gedcom", dir.filePath("a.ged"), "--person", " "}, "--person needs a record id or a name"},
        {{"--gedcom", output, "--person", "I1"}, output + " is the family file; it is never written over"},
    };
    for (const Case& c : cases) {
        const auto run = runProcess(kTool, c.args + QStringList{"--output", output});
        EXPECT_EQ(run.exitCode, 2) << c.args.join(' ').toStdString();
        EXPECT_EQ(run.err, "rootweave-chart: " + c.message + "\nTry 'rootweave-chart --help'.\n");
    }
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

}  // namespace
