#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "family/family.h"
#include "family_files.h"

namespace rw::family {
namespace {

using test::gedcom;
using test::person;
using test::writeFile;

// Each DATE as a birth, read through the file and shown as the chart shows it.
TEST(FamilyDates, GenealogistsFormsAreShownShort) {
    struct Case {
        const char* value;
        const char* shown;
        int year;  // 0: unreadable
    };
    const std::vector<Case> cases = {
        {"1820", "b. 1820", 1820},
        {"12 MAR 1820", "b. 1820", 1820},
        {"mar 1820", "b. 1820", 1820},
        {"ABT 1820", "b. c. 1820", 1820},
        {"CAL 1820", "b. c. 1820", 1820},
        {"EST 1820", "b. c. 1820", 1820},
        {"BEF 1890", "b. bef. 1890", 1890},
        {"AFT 1890", "b. aft. 1890", 1890},
        {"BET 1820 AND 1822", "b. 1820–22", 1820},
        {"BET 1798 AND 1802", "b. 1798–1802", 1798},
        {"FROM 1820 TO 1822", "b. 1820–22", 1820},
        {"BET 1 JAN 1820 AND 5 MAR 1820", "b. 1820", 1820},
        {"11 FEB 1750/51", "b. 1750/51", 1750},
        {"1699/00", "b. 1699/00", 1699},
        {"@#DJULIAN@ 11 FEB 1750", "b. 1750", 1750},
        {"ABT @#DGREGORIAN@ 1820", "b. c. 1820", 1820},
        {"JULIAN 1700", "b. 1700", 1700},
        {"INT 1820 (about the time of the flood)", "b. 1820", 1820},
        {"(the year of the great frost)", "b. (the year of the great frost)", 0},
        {"@#DHEBREW@ 5600", "b. @#DHEBREW@ 5600", 0},
        {"@#DFRENCH R@ 1 VEND 10", "b. @#DFRENCH R@ 1 VEND 10", 0},
        {"BET 1822 AND 1820", "b. BET 1822 AND 1820", 0},
        {"32 MAR 1820", "b. 32 MAR 1820", 0},
        {"1820-03-12", "b. 1820-03-12", 0},
        {"500 B.C.", "b. 500 B.C.", 0},
    };
    std::string body;
    for (std::size_t i = 0; i < cases.size(); ++i)
        body += "0 @I" + std::to_string(i) + "@ INDI\n1 BIRT\n2 DATE " + cases[i].value + "\n";
    const FamilyFile file = readFamilyBytes(gedcom(body));
    for (std::size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(cases[i].value);
        const Person& p = person(file, "I" + std::to_string(i));
        EXPECT_EQ(yearsText(p), cases[i].shown);
        EXPECT_EQ(p.birth->date->readable, cases[i].year != 0);
        if (cases[i].year != 0) {
            EXPECT_EQ(p.birth->date->year, cases[i].year);
        }
    }
}

// Damaged files: the chart is made from the rest, each fault a warning with its line.
TEST(FamilyFaults, DamageBecomesWarningsWithLineNumbers) {
    struct Case {
        const char* label;
        const char* body;
        std::size_t line;  // of the warning, the 4 lines of the header counted
        const char* says;
    };
    const std::vector<Case> cases = {
        {"junk line", "0 @I1@ INDI\nthis is no line\n1 NAME A /B/\n", 6, "not a family-file line"},
        {"level jump", "0 @I1@ INDI\n1 BIRT\n3 DATE 1820\n", 7, "level jumps"},
        {"pointer to nothing", "0 @I1@ INDI\n1 FAMC @F9@\n", 6, "points to no family"},
        {"husband who is nobody", "0 @I1@ INDI\n0 @F1@ FAM\n1 HUSB @I7@\n1 CHIL @I1@\n", 7,
         "points to no person"},
        {"twice the same id", "0 @I1@ INDI\n0 @I1@ INDI\n", 6, "defined twice"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const FamilyFile file = readFamilyBytes(gedcom(c.body));
        ASSERT_FALSE(file.warnings.empty());
        EXPECT_EQ(file.warnings[0].line, c.line);
        EXPECT_NE(file.warnings[0].message.find(c.says), std::string::npos) << file.warnings[0].message;
        EXPECT_TRUE(file.find("I1"));
    }
}

TEST(FamilyFaults, OnlyAnUnreadableOrEmptyFileFails) {
    const std::vector<std::string> failing = {"", "0 HEAD\n0 TRLR\n", "\xFF\xFE", "garbage\x01\x02\n",
                                              gedcom("0 @F1@ FAM\n1 HUSB @I1@\n")};
    for (const auto& bytes : failing)
        EXPECT_THROW(readFamilyFile(writeFile("empty.ged", bytes)), ReadError);
    EXPECT_THROW(readFamilyFile(writeFile("x.ged", "").parent_path() / "missing.ged"), ReadError);
    EXPECT_THROW(readFamilyFile(writeFile("x.ged", "").parent_path()), ReadError);
}

TEST(FamilyFaults, ProgressCanCancel) {
    std::string body;
    for (int i = 0; i < 40000; ++i)
        body += "0 @I" + std::to_string(i) + "@ INDI\n1 NAME Some /Body/\n";
    int calls = 0;
    EXPECT_THROW(readFamilyBytes(gedcom(body), [&](std::uint64_t, std::uint64_t) { return ++calls < 1; }),
                 Cancelled);
    EXPECT_EQ(calls, 1);
}

// GEDCOM 7: no CHAR (UTF-8), calendar words, @VOID@ for a parent the family does not know.
TEST(FamilyReader, ReadsSevenPointZero) {
    const std::string text =
        "0 HEAD\n1 GEDC\n2 VERS 7.0\n"
        "0 @I1@ INDI\n1 NAME Åsa /Lindqvist/\n1 BIRT\n2 DATE JULIAN 1700\n1 FAMC @F1@\n2 PEDI BIRTH\n"
        "0 @I2@ INDI\n1 NAME Erik /Lindqvist/\n1 DEAT\n2 DATE BET 1760 AND 1765\n"
        "0 @F1@ FAM\n1 HUSB @I2@\n1 WIFE @VOID@\n1 CHIL @I1@\n"
        "0 TRLR\n";
    const FamilyFile file = readFamilyFile(writeFile("seven.ged", text));
    EXPECT_EQ(file.version, "7.0");
    EXPECT_EQ(file.encoding, "UTF-8");
    EXPECT_TRUE(file.warnings.empty());
    const Person& asa = person(file, "I1");
    EXPECT_EQ(boxText(asa, {}), "Åsa Lindqvist (b. 1700)");
    EXPECT_EQ(asa.mother, kNoPerson);
    ASSERT_NE(asa.father, kNoPerson);
    EXPECT_EQ(boxText(file.people[static_cast<std::size_t>(asa.father)], {}), "Erik Lindqvist (d. 1760–65)");
}

}  // namespace
}  // namespace rw::family
