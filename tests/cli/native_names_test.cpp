#include "cli/native_names.h"

#include <gtest/gtest.h>

#include <string>

// A file name from the command line keeps every byte on its way through Qt, UTF-8 or not.
namespace rw::cli {
namespace {

TEST(NativeNames, EveryByteOfAFileNameComesBack) {
    struct Case {
        std::string bytes;
        QString shown;  // how the name reads inside the tool
    };
    const Case cases[] = {
        {"plain.xls", QStringLiteral("plain.xls")},
        {"caf\xc3\xa9 \xf0\x9f\x8c\xb3.xls", QStringLiteral("caf\u00e9 \U0001F333.xls")},
        {"caf\xe9.xls", QStringLiteral("caf") + QChar(0xDCE9) + QStringLiteral(".xls")},  // Latin-1
        {"\xc0\xaf", QString(QChar(0xDCC0)) + QChar(0xDCAF)},                             // overlong '/'
        {"\xed\xa0\x80", QString(QChar(0xDCED)) + QChar(0xDCA0) + QChar(0xDC80)},         // a surrogate
        {"\xf0\x9f\x8c", QString(QChar(0xDCF0)) + QChar(0xDC9F) + QChar(0xDC8C)},         // cut short
    };
    for (const Case& c : cases) {
        const QString text = argumentFromBytes(c.bytes);
        EXPECT_EQ(text, c.shown) << c.bytes;
        EXPECT_EQ(bytesFromArgument(text), c.bytes);
    }
}

}  // namespace
}  // namespace rw::cli
