#include "spreadsheet/xls_records.h"

#include "platform/failure.h"
#include "spreadsheet/text.h"

namespace rw::sheet::xls {

void damaged(const std::string& what) {
    throw Failure("The file is damaged: " + what);
}

void putString(RecordSink& s, const std::u16string& str, bool shortCount) {
    const bool wide = !text::isLatin1(str);
    if (shortCount) {
        s.u8(static_cast<std::uint32_t>(str.size()));
    } else {
        s.u16(static_cast<std::uint32_t>(str.size()));
    }
    s.u8(wide ? 1 : 0);
    s.chars(str, wide);
}

std::u16string readChars(bytes::Reader& r, std::size_t count, bool wide) {
    std::u16string s;
    s.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        s.push_back(wide ? static_cast<char16_t>(r.u16()) : static_cast<char16_t>(r.u8()));
    }
    return s;
}

std::string readString(bytes::Reader& r, bool shortCount) {
    const std::size_t count = shortCount ? r.u8() : r.u16();
    const std::uint8_t flags = r.u8();
    std::size_t runs = 0, ext = 0;
    if (flags & 0x08) {
        runs = r.u16();
    }
    if (flags & 0x04) {
        ext = r.u32();
    }
    const std::u16string s = readChars(r, count, flags & 0x01);
    r.skip(runs * 4);
    r.skip(ext);
    return text::toUtf8(s);
}

}  // namespace rw::sheet::xls
