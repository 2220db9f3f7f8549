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

// The same two people in every character set: the names must come out the same as from the UTF-8 file.
struct EncodingCase {
    const char* label;
    std::string bytes;
    const char* encoding;
    bool warns;
};

std::string utf16(std::u16string_view text, bool bigEndian, bool mark) {
    std::string out;
    if (mark)
        out += bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t u : text) {
        const char hi = static_cast<char>(u >> 8);
        const char lo = static_cast<char>(u & 0xFF);
        out.push_back(bigEndian ? hi : lo);
        out.push_back(bigEndian ? lo : hi);
    }
    return out;
}

// "Zoë Müller" and "Frédéric Çelik" with each set's bytes for ë, ü, é, Ç.
std::string twoPeople(const char* e_uml, const char* u_uml, const char* e_acute, const char* c_cedil) {
    return std::string("0 @I1@ INDI\n1 NAME Zo") + e_uml + " /M" + u_uml + "ller/\n0 @I2@ INDI\n1 NAME Fr" +
           e_acute + "d" + e_acute + "ric /" + c_cedil + "elik/\n";
}

TEST(FamilyReader, EveryCharacterSetGivesTheSameNames) {
    const std::string utf8Body = twoPeople("ë", "ü", "é", "Ç");
    const std::u16string wide =
        u"0 HEAD\r\n1 CHAR UNICODE\r\n0 @I1@ INDI\r\n1 NAME Zoë /Müller/\r\n"
        u"0 @I2@ INDI\r\n1 NAME Frédéric /Çelik/\r\n0 TRLR\r\n";
    const std::vector<EncodingCase> cases = {
        {"utf8", gedcom(utf8Body, "UTF-8", "\n"), "UTF-8", false},
        {"utf8-mark", "\xEF\xBB\xBF" + gedcom(utf8Body, "UTF-8", "\r\n"), "UTF-8", false},
        {"utf16le-bare", utf16(wide, false, false), "UTF-16LE", false},
        {"utf16be-bare", utf16(wide, true, false), "UTF-16BE", false},
        {"utf16le-mark", utf16(wide, false, true), "UTF-16LE", false},
        // ANSEL puts the combining mark before its letter: E8 diaeresis, E2 acute, F0 cedilla.
        {"ansel",
         gedcom(twoPeople("\xE8"
                          "e",
                          "\xE8"
                          "u",
                          "\xE2"
                          "e",
                          "\xF0"
                          "C"),
                "ANSEL", "\r"),
         "ANSEL", false},
        {"ansel-default",
         gedcom(twoPeople("\xE8"
                          "e",
                          "\xE8"
                          "u",
                          "\xE2"
                          "e",
                          "\xF0"
                          "C"),
                "", "\r\n"),
         "ANSEL", false},
        {"ansi", gedcom(twoPeople("\xEB", "\xFC", "\xE9", "\xC7"), "ANSI", "\r\n"), "Windows-1252", false},
        {"ibmpc", gedcom(twoPeople("\x89", "\x81", "\x82", "\x80"), "IBMPC", "\n"), "IBM PC (code page 437)",
         false},
        {"mac", gedcom(twoPeople("\x91", "\x9F", "\x8E", "\x82"), "MACINTOSH", "\r"), "Mac Roman", false},
        {"utf8-false", gedcom(twoPeople("\xEB", "\xFC", "\xE9", "\xC7"), "UTF-8", "\n"), "Windows-1252",
         true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const FamilyFile file = readFamilyFile(writeFile(std::string(c.label) + ".ged", c.bytes));
        EXPECT_EQ(file.encoding, c.encoding);
        EXPECT_EQ(displayName(person(file, "I1")), "Zoë Müller");
        EXPECT_EQ(displayName(person(file, "I2")), "Frédéric Çelik");
        EXPECT_EQ(person(file, "I2").givenNames, std::vector<std::string>{"Frédéric"});  // composed (NFC)
        EXPECT_EQ(!file.warnings.empty(), c.warns);
    }
}

// Line ends, leading blanks, CONC / CONT, "@@", GIVN / SURN where NAME has no surname part.
TEST(FamilyReader, ReadsNamesEventsAndSexAsWritten) {
    const std::string body =
        "0 @I1@ INDI\n"
        "  1 NAME John William /Smith/ Jr.\n"
        "1 NAME Johnny /Smythe/\n"
        "1 SEX M\n"
        "1 BIRT\n2 PLAC Bath\n"
        "1 CHR\n2 DATE 3 MAR 1820\n2 PLAC St Mary, B\n3 CONC ath\n"
        "1 BIRT\n2 DATE ABT 1819\n"
        "1 BURI\n2 DATE 1890\n"
        "0 @I2@ INDI\n1 NAME Mary\n2 GIVN Mary Ann\n2 SURN Jones\n1 SEX F\n1 DEAT Y\n"
        "0 @I3@ INDI\n1 NAME Anne /O'Neil@@home/\n";
    for (const char* eol : {"\n", "\r", "\r\n"}) {
        const FamilyFile file = readFamilyBytes(gedcom(body, "UTF-8", eol));
        const Person& john = person(file, "@I1@");
        EXPECT_EQ(john.givenNames, (std::vector<std::string>{"John", "William"}));
        EXPECT_EQ(john.surname, "Smith");
        EXPECT_EQ(john.suffix, "Jr.");
        EXPECT_EQ(john.sex, Sex::Male);
        ASSERT_TRUE(john.birth && john.birth->date);
        EXPECT_EQ(john.birth->kind, Event::Kind::Birth);  // the dated birth wins over the christening
        EXPECT_EQ(john.birth->date->text, "ABT 1819");
        ASSERT_TRUE(john.death && john.death->date);
        EXPECT_EQ(john.death->kind, Event::Kind::Burial);
        const Person& mary = person(file, "I2");
        EXPECT_EQ(displayName(mary), "Mary Ann Jones");
        EXPECT_TRUE(mary.hasDeathRecord);
        EXPECT_EQ(mary.sex, Sex::Female);
        EXPECT_EQ(person(file, "I3").surname, "O'Neil@home");
        EXPECT_TRUE(file.warnings.empty());
    }
}

// Father and mother each from the first family whose link to the child is by birth.
TEST(FamilyReader, ParentsComeFromBirthLinksOnly) {
    struct Case {
        const char* label;
        const char* childLinks;  // the child's FAMC lines
        const char* stepChil;    // what follows "1 CHIL @C@" in the step family
        const char* father;
        const char* mother;
    };
    const std::vector<Case> cases = {
        {"birth family alone", "1 FAMC @FB@\n", "", "HB", "WB"},
        {"step family first, PEDI step", "1 FAMC @FS@\n2 PEDI step\n1 FAMC @FB@\n", "", "HB", "WB"},
        {"step family first, PEDI adopted", "1 FAMC @FS@\n2 PEDI Adopted\n1 FAMC @FB@\n", "", "HB", "WB"},
        {"step family first, no PEDI", "1 FAMC @FS@\n1 FAMC @FB@\n", "", "HS", "WS"},
        {"step family first, PEDI birth", "1 FAMC @FS@\n2 PEDI birth\n1 FAMC @FB@\n", "", "HS", "WS"},
        {"step father by _FREL", "1 FAMC @FS@\n1 FAMC @FB@\n", "2 _FREL Step\n2 _MREL Natural\n", "HB", "WS"},
        {"foster mother by _MREL", "1 FAMC @FS@\n1 FAMC @FB@\n", "2 _MREL Foster\n", "HS", "WB"},
        {"listed only by the family", "", "", "HB", "WB"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const std::string body = std::string("0 @C@ INDI\n1 NAME Child\n") + c.childLinks +
                                 "0 @HB@ INDI\n0 @WB@ INDI\n0 @HS@ INDI\n0 @WS@ INDI\n" +
                                 "0 @FS@ FAM\n1 HUSB @HS@\n1 WIFE @WS@\n1 CHIL @C@\n" + c.stepChil +
                                 "0 @FB@ FAM\n1 WIFE @WB@\n1 HUSB @HB@\n1 CHIL @C@\n";
        std::string text = gedcom(body);
        if (std::string(c.label) == "listed only by the family") {
            // The step family does not list the child at all here: only the birth family does.
            text = gedcom(std::string("0 @C@ INDI\n0 @HB@ INDI\n0 @WB@ INDI\n") +
                          "0 @FB@ FAM\n1 HUSB @HB@\n1 WIFE @WB@\n1 CHIL @C@\n");
        }
        const FamilyFile file = readFamilyBytes(text);
        const Person& child = person(file, "C");
        ASSERT_NE(child.father, kNoPerson);
        ASSERT_NE(child.mother, kNoPerson);
        EXPECT_EQ(file.people[static_cast<std::size_t>(child.father)].id, c.father);
        EXPECT_EQ(file.people[static_cast<std::size_t>(child.mother)].id, c.mother);
    }
}

}  // namespace
}  // namespace rw::family

namespace rw::family {
namespace {

// Files of several megabytes are read from disk piece by piece: records cut by a piece's end, a UTF-16 file
// and bytes that turn out not to be UTF-8 far into the file must give what the same bytes give in memory.
TEST(FamilyReader, ABigFileFromDiskReadsAsTheSameBytesInMemory) {
    std::string body;
    for (int i = 0; i < 30000; ++i) {
        const std::string n = std::to_string(i);
        body += "0 @I" + n + "@ INDI\n1 NAME Zoe" + n + " /Muller/\n1 BIRT\n2 DATE ABT 18" + n.substr(0, 2) +
                "\n1 FAMC @F" + n + "@\n0 @F" + n + "@ FAM\n1 HUSB @I" + std::to_string(2 * i + 1) +
                "@\n1 CHIL @I" + n + "@\n";
    }
    std::u16string wide;
    for (const char c : gedcom(body, "UNICODE", "\r\n"))
        wide.push_back(static_cast<char16_t>(c));
    std::string late = gedcom(body + "0 @X@ INDI\n1 NAME Andr\xE9 /Late/\n", "UTF-8", "\r\n");
    struct Case {
        const char* label;
        std::string bytes;
        const char* encoding;
    };
    const std::vector<Case> cases = {
        {"utf8-crlf", gedcom(body, "UTF-8", "\r\n"), "UTF-8"},
        {"ansel-cr", gedcom(body, "ANSEL", "\r"), "ANSEL"},
        {"utf16", utf16(wide, false, false), "UTF-16LE"},
        {"not-utf8-at-the-end", late, "Windows-1252"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        ASSERT_GT(c.bytes.size(), 2u << 20);
        const FamilyFile fromDisk = readFamilyFile(writeFile(std::string(c.label) + ".ged", c.bytes));
        const FamilyFile inMemory = readFamilyBytes(c.bytes);
        EXPECT_EQ(fromDisk.encoding, c.encoding);
        ASSERT_EQ(fromDisk.people.size(), inMemory.people.size());
        for (std::size_t i = 0; i < fromDisk.people.size(); ++i) {
            ASSERT_EQ(boxText(fromDisk.people[i], {}), boxText(inMemory.people[i], {}));
            ASSERT_EQ(fromDisk.people[i].father, inMemory.people[i].father);
            ASSERT_EQ(fromDisk.people[i].line, inMemory.people[i].line);
        }
        EXPECT_EQ(fromDisk.warnings.size(), inMemory.warnings.size());
    }
}

}  // namespace
}  // namespace rw::family
