#include <gtest/gtest.h>

#include <QLocale>
#include <cmath>

#include "chart/number_parse.h"

namespace rw::chart {
namespace {

const QLocale kEnglish(QLocale::English, QLocale::UnitedStates);
const QLocale kGerman(QLocale::German, QLocale::Germany);

TEST(NumberParse, AcceptsBlanksSignFractionAndExponent) {
    EXPECT_EQ(parseNumber("3", kEnglish), 3.0);
    EXPECT_EQ(parseNumber("  3 \t", kEnglish), 3.0);
    EXPECT_EQ(parseNumber("+3", kEnglish), 3.0);
    EXPECT_EQ(parseNumber("-1", kEnglish), -1.0);
    EXPECT_EQ(parseNumber("2.5", kEnglish), 2.5);
    EXPECT_EQ(parseNumber(".5", kEnglish), 0.5);
    EXPECT_EQ(parseNumber("5.", kEnglish), 5.0);
    EXPECT_EQ(parseNumber("1e1", kEnglish), 10.0);
    EXPECT_EQ(parseNumber("1.5E+1", kEnglish), 15.0);
    EXPECT_EQ(parseNumber("25e-1", kEnglish), 2.5);
    EXPECT_EQ(parseNumber("007", kEnglish), 7.0);
}

TEST(NumberParse, RefusesEverythingElse) {
    for (const char* text :
         {"",     " ",    "\t",    "abc", "3a",  "a3",  "3 3",         "+",    "-",
          ".",    "e5",   "1e",    "1e+", "--1", "+-1", "- 1",         "1..2", "1.2.3",
          "0x10", "&H10", "1,000", "inf", "nan", "3%",  "\xEF\xBC\x93" /* fullwidth 3 */}) {
        EXPECT_FALSE(isNumeric(QString::fromUtf8(text), kEnglish)) << text;
    }
}

TEST(NumberParse, LocaleSeparatorAndPointAlways) {
    EXPECT_EQ(parseNumber("2,5", kGerman), 2.5);
    EXPECT_EQ(parseNumber("2.5", kGerman), 2.5);
    EXPECT_EQ(parseNumber(",5e1", kGerman), 5.0);
    EXPECT_FALSE(isNumeric("2,5", kEnglish));
    EXPECT_FALSE(isNumeric("2,5.0", kGerman));
}

TEST(NumberParse, NumbersBeyondADoubleKeepTheirSide) {
    EXPECT_EQ(parseNumber("1e400", kEnglish), HUGE_VAL);
    EXPECT_EQ(parseNumber("-1e400", kEnglish), -HUGE_VAL);
    EXPECT_EQ(parseNumber(QString(400, u'9'), kEnglish), HUGE_VAL);
    EXPECT_EQ(parseNumber("1e-400", kEnglish), 0.0);
    EXPECT_EQ(parseNumber("0." + QString(400, u'0') + "1", kEnglish), 0.0);
    EXPECT_EQ(parseNumber("1e99999999999999999999", kEnglish), HUGE_VAL);
}

TEST(GenerationsCheck, RefusesTextAndChartsBeyondASheet) {
    EXPECT_EQ(checkGenerations("", kEnglish), GenerationsCheck::NotNumeric);
    EXPECT_EQ(checkGenerations("three", kEnglish), GenerationsCheck::NotNumeric);
    // The rounded generation index (number - 1, half to even) decides: 15.5 -> 14 is fine, 15.6 -> 15 not.
    for (const char* ok : {"15", " 15 ", "15.5", "1", "0", "-1", "0.4", "-2147483647", "2147483647e-9"}) {
        EXPECT_EQ(checkGenerations(ok, kEnglish), GenerationsCheck::Ok) << ok;
    }
    for (const char* tooMany :
         {"16", "15.6", "16.5", "100", "2147483648", "1e10", "-1e10", "1e400", "-1e400"}) {
        EXPECT_EQ(checkGenerations(tooMany, kEnglish), GenerationsCheck::TooMany) << tooMany;
    }
    EXPECT_EQ(checkGenerations("15,5", kGerman), GenerationsCheck::Ok);
    EXPECT_EQ(checkGenerations("15,6", kGerman), GenerationsCheck::TooMany);
}

}  // namespace
}  // namespace rw::chart
