#include "spreadsheet/text.h"

#include <gtest/gtest.h>

#include "platform/failure.h"

TEST(TextTest, ConvertsBetweenUtf8AndUtf16) {
    namespace text = rw::sheet::text;
    EXPECT_EQ(text::toUtf16("A\xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80"),
              (std::u16string{u'A', 0xE4, 0x20AC, 0xD83D, 0xDE00}));
    EXPECT_EQ(text::toUtf8(std::u16string{u'A', 0xE4, 0x20AC, 0xD83D, 0xDE00}),
              "A\xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80");
    EXPECT_EQ(text::toUtf8(std::u16string{0xD800, u'x'}), "\xef\xbf\xbdx");  // a lone surrogate
    EXPECT_TRUE(text::isLatin1(u"abc\u00ff"));
    EXPECT_FALSE(text::isLatin1(u"\u20ac"));
    EXPECT_EQ(text::utf16Length("A\xc3\xa4\xe2\x82\xac\xf0\x9f\x98\x80"), 5u);  // counted, not converted
    for (const char* bad : {"\x80", "\xc0\xaf", "\xe0\x80\xaf", "\xf4\x90\x80\x80", "\xf8", "\xe2\x82"}) {
        EXPECT_THROW(text::toUtf16(bad), rw::Failure) << bad;
        EXPECT_THROW(text::utf16Length(bad), rw::Failure) << bad;
    }
}
