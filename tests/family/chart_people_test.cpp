#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "family/family.h"
#include "family_files.h"

namespace rw::family {
namespace {

using test::gedcom;
using test::person;

// A full pedigree of `generations`: the person at Ahnentafel number n has the id "P<n>" and the name "N<n>".
// Numbers listed in `missing` (and so their ancestry) are left out.
FamilyFile pedigree(int generations, const std::vector<std::uint32_t>& missing = {}) {
    const std::uint32_t count = (1u << generations) - 1;
    auto absent = [&](std::uint32_t n) {
        for (; n >= 1; n /= 2)
            for (const auto m : missing)
                if (m == n)
                    return true;
        return false;
    };
    std::string body;
    for (std::uint32_t n = 1; n <= count; ++n) {
        if (absent(n))
            continue;
        body += "0 @P" + std::to_string(n) + "@ INDI\n1 NAME N" + std::to_string(n) + " /X/\n";
        if (2 * n <= count)
            body += "1 FAMC @F" + std::to_string(n) + "@\n";
    }
    for (std::uint32_t n = 1; 2 * n <= count; ++n) {
        if (absent(n))
            continue;
        body += "0 @F" + std::to_string(n) + "@ FAM\n";
        if (!absent(2 * n))
            body += "1 HUSB @P" + std::to_string(2 * n) + "@\n";
        if (!absent(2 * n + 1))
            body += "1 WIFE @P" + std::to_string(2 * n + 1) + "@\n";
        body += "1 CHIL @P" + std::to_string(n) + "@\n";
    }
    return readFamilyBytes(gedcom(body));
}

TEST(Ancestors, EveryKnownAncestorSitsAtItsNumber) {
    const FamilyFile file = pedigree(15);
    const PersonIndex root = *file.find("P1");
    EXPECT_EQ(knownDepth(file, root), 15);
    for (int generations = 1; generations <= 15; ++generations) {
        SCOPED_TRACE(generations);
        const auto list = ancestors(file, root, generations);
        ASSERT_EQ(list.size(), (1u << generations) - 1);
        for (const Appearance& a : list) {
            ASSERT_EQ(file.people[static_cast<std::size_t>(a.person)].id, "P" + std::to_string(a.number));
            ASSERT_FALSE(a.repeated);
        }
    }
}

TEST(Ancestors, MissingParentsAreNotListed) {
    const FamilyFile file = pedigree(4, {3, 9});  // the mother and the father's mother's father
    std::vector<std::uint32_t> numbers;
    for (const Appearance& a : ancestors(file, *file.find("P1"), 4))
        numbers.push_back(a.number);
    EXPECT_EQ(numbers, (std::vector<std::uint32_t>{1, 2, 4, 5, 8, 10, 11}));
    EXPECT_EQ(knownDepth(file, *file.find("P1")), 4);
}

TEST(Ancestors, CousinsWhoMarriedListTheirGrandparentsTwice) {
    // C's parents F and M are first cousins: both have G1 and G2 as grandparents.
    const FamilyFile file = readFamilyBytes(
        gedcom("0 @C@ INDI\n0 @F@ INDI\n0 @M@ INDI\n0 @A@ INDI\n0 @B@ INDI\n0 @G1@ INDI\n0 @G2@ INDI\n"
               "0 @X1@ FAM\n1 HUSB @F@\n1 WIFE @M@\n1 CHIL @C@\n"
               "0 @X2@ FAM\n1 HUSB @A@\n1 CHIL @F@\n"
               "0 @X3@ FAM\n1 WIFE @B@\n1 CHIL @M@\n"
               "0 @X4@ FAM\n1 HUSB @G1@\n1 WIFE @G2@\n1 CHIL @A@\n1 CHIL @B@\n"));
    std::vector<std::string> seen;
    for (const Appearance& a : ancestors(file, *file.find("C"), 5))
        seen.push_back(std::to_string(a.number) + ":" + file.people[static_cast<std::size_t>(a.person)].id +
                       (a.repeated ? "*" : ""));
    EXPECT_EQ(seen, (std::vector<std::string>{"1:C", "2:F", "3:M", "4:A", "7:B", "8:G1", "9:G2", "14:G1*",
                                              "15:G2*"}));
}

TEST(Ancestors, ALoopStopsThatLineWithAWarning) {
    // A is the father of B, who is the father of A.
    const FamilyFile file =
        readFamilyBytes(gedcom("0 @R@ INDI\n0 @A@ INDI\n1 NAME Adam /Loop/\n0 @B@ INDI\n0 @M@ INDI\n"
                               "0 @F1@ FAM\n1 HUSB @A@\n1 WIFE @M@\n1 CHIL @R@\n"
                               "0 @F2@ FAM\n1 HUSB @B@\n1 CHIL @A@\n"
                               "0 @F3@ FAM\n1 HUSB @A@\n1 CHIL @B@\n"));
    std::vector<Warning> warnings;
    const auto list = ancestors(file, *file.find("R"), 15, &warnings);
    ASSERT_EQ(list.size(), 4u);  // R, A, M, B: the line stops before A comes again
    EXPECT_EQ(list[3].number, 4u);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].message.find("Adam Loop"), std::string::npos);
    EXPECT_EQ(warnings[0].line, person(file, "A").line);
    EXPECT_EQ(knownDepth(file, *file.find("R")), 3);
}

Person somebody(std::vector<std::string> given, std::string surname, std::string suffix, const char* birth,
                Event::Kind birthKind, const char* death, Event::Kind deathKind) {
    Person p;
    p.givenNames = std::move(given);
    p.surname = std::move(surname);
    p.suffix = std::move(suffix);
    if (birth != nullptr) {
        const FamilyFile f =
            readFamilyBytes(gedcom(std::string("0 @I@ INDI\n1 BIRT\n2 DATE ") + birth + "\n"));
        p.birth = Event{birthKind, f.people[0].birth->date, {}};
    }
    if (death != nullptr) {
        const FamilyFile f =
            readFamilyBytes(gedcom(std::string("0 @I@ INDI\n1 DEAT\n2 DATE ") + death + "\n"));
        p.death = Event{deathKind, f.people[0].death->date, {}};
        p.hasDeathRecord = true;
    }
    return p;
}

TEST(BoxText, NamesAndYearsAsTheChartShowsThem) {
    using K = Event::Kind;
    struct Case {
        Person person;
        const char* expected;
    };
    const std::vector<Case> cases = {
        {somebody({"John", "William"}, "Smith", "", "1820", K::Birth, "1890", K::Death),
         "John William Smith (1820–1890)"},
        {somebody({"John"}, "Smith", "", "12 MAR 1820", K::Birth, nullptr, K::Death), "John Smith (b. 1820)"},
        {somebody({"John"}, "Smith", "", nullptr, K::Birth, "1890", K::Death), "John Smith (d. 1890)"},
        {somebody({"John"}, "Smith", "", "1820", K::Christening, nullptr, K::Death),
         "John Smith (chr. 1820)"},
        {somebody({"John"}, "Smith", "", nullptr, K::Birth, "1890", K::Burial), "John Smith (bur. 1890)"},
        {somebody({"John"}, "Smith", "", "ABT 1820", K::Birth, nullptr, K::Death), "John Smith (b. c. 1820)"},
        {somebody({"John"}, "Smith", "", nullptr, K::Birth, "BEF 1890", K::Death),
         "John Smith (d. bef. 1890)"},
        {somebody({"John"}, "Smith", "", nullptr, K::Birth, "AFT 1890", K::Death),
         "John Smith (d. aft. 1890)"},
        {somebody({"John"}, "Smith", "", "BET 1820 AND 1822", K::Birth, nullptr, K::Death),
         "John Smith (b. 1820–22)"},
        {somebody({"John"}, "Smith", "", "1750/51", K::Birth, nullptr, K::Death), "John Smith (b. 1750/51)"},
        {somebody({"John"}, "Smith", "", "Spring, ages ago", K::Birth, nullptr, K::Death),
         "John Smith (b. Spring, ages ago)"},
        {somebody({}, "Smith", "", nullptr, K::Birth, nullptr, K::Death), "Smith"},
        {somebody({"John"}, "", "", nullptr, K::Birth, "1890", K::Death), "John (d. 1890)"},
        {somebody({"John"}, "Smith", "III", "1820", K::Birth, "1890", K::Death),
         "John Smith III (1820–1890)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(boxText(c.person, {}), c.expected);
}

TEST(BoxText, DropsMiddleNamesThenTheSuffixToFit) {
    using K = Event::Kind;
    const Person p =
        somebody({"John", "William", "Henry"}, "Smith", "Jr.", "1820", K::Birth, "1890", K::Death);
    struct Case {
        std::size_t width;  // in bytes: every text here is ASCII but for the dash
        const char* expected;
    };
    const std::vector<Case> cases = {
        {100, "John William Henry Smith Jr. (1820–1890)"},
        {38, "John William Smith Jr. (1820–1890)"},
        {28, "John Smith Jr. (1820–1890)"},
        {24, "John Smith (1820–1890)"},
        {5, "John Smith (1820–1890)"},  // never shorter: the cell shrinks the text
    };
    for (const auto& c : cases) {
        BoxTextOptions options;
        options.fits = [&](std::string_view text) { return text.size() <= c.width; };
        EXPECT_EQ(boxText(p, options), c.expected);
    }
}

TEST(BoxText, HidesTheLiving) {
    using K = Event::Kind;
    struct Case {
        Person person;
        bool living;
    };
    const std::vector<Case> cases = {
        {somebody({"Ann"}, "Lee", "", "1950", K::Birth, nullptr, K::Death), true},
        {somebody({"Ann"}, "Lee", "", "1916", K::Birth, nullptr, K::Death), false},  // 110 years ago
        {somebody({"Ann"}, "Lee", "", "1917", K::Birth, nullptr, K::Death), true},
        {somebody({"Ann"}, "Lee", "", "1950", K::Birth, "2001", K::Death), false},
        {somebody({"Ann"}, "Lee", "", nullptr, K::Birth, nullptr, K::Death), true},  // no dates at all
    };
    Person buried = somebody({"Ann"}, "Lee", "", nullptr, K::Birth, nullptr, K::Death);
    buried.hasDeathRecord = true;  // a burial without a date
    for (const auto& c : cases) {
        EXPECT_EQ(boxText(c.person, {true, 2026, {}}) == "Living", c.living) << displayName(c.person);
        EXPECT_NE(boxText(c.person, {false, 2026, {}}), "Living");
    }
    EXPECT_EQ(boxText(buried, {true, 2026, {}}), "Ann Lee");
}

TEST(FindPeople, ByIdOrByNameWhateverTheCaseAndAccents) {
    const FamilyFile file =
        readFamilyBytes(gedcom("0 @I1@ INDI\n1 NAME José  María /Núñez/\n"
                               "0 @I2@ INDI\n1 NAME Maria /Nunez Lopez/\n"));
    std::vector<PersonIndex> partial;
    EXPECT_EQ(findPeople(file, "@I2@"), std::vector<PersonIndex>{1});
    EXPECT_EQ(findPeople(file, "jose maria NUNEZ"), std::vector<PersonIndex>{0});
    EXPECT_TRUE(findPeople(file, "núñez", &partial).empty());
    EXPECT_EQ(partial, (std::vector<PersonIndex>{0, 1}));
}

}  // namespace
}  // namespace rw::family
