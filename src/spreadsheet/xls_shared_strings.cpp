#include "spreadsheet/xls_shared_strings.h"

#include <algorithm>

#include "spreadsheet/text.h"
#include "spreadsheet/xls_book_reader.h"

namespace rw::sheet::xls {

ContinuedReader::ContinuedReader(std::vector<std::span<const std::uint8_t>> segments)
    : segs_(std::move(segments)) {
    if (segs_.empty()) {
        damaged("a record is empty");
    }
}

std::uint32_t ContinuedReader::u32() {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) {
        v |= std::uint32_t{byte()} << (8 * i);
    }
    return v;
}

std::uint16_t ContinuedReader::u16() {
    const std::uint8_t lo = byte();
    return static_cast<std::uint16_t>(lo | (byte() << 8));
}

std::string ContinuedReader::string() {
    const std::size_t count = u16();
    std::uint8_t flags = byte();
    std::size_t runs = 0, ext = 0;
    if (flags & 0x08) {
        runs = u16();
    }
    if (flags & 0x04) {
        ext = u32();
    }
    std::u16string s;
    s.reserve(std::min<std::size_t>(count, 8224));
    while (s.size() < count) {
        if (off_ == segs_[seg_].size()) {
            // Characters go on in the next CONTINUE, which starts with a fresh option byte.
            nextSegment();
            flags = byte();
        }
        if (flags & 0x01) {
            if (segs_[seg_].size() - off_ < 2) {
                damaged("a string splits a character");
            }
            const std::uint8_t lo = byte();
            s.push_back(static_cast<char16_t>(lo | (byte() << 8)));
        } else {
            s.push_back(static_cast<char16_t>(byte()));
        }
    }
    skip(runs * 4 + ext);
    return text::toUtf8(s);
}

std::uint8_t ContinuedReader::byte() {
    while (off_ == segs_[seg_].size()) {
        nextSegment();
    }
    return segs_[seg_][off_++];
}

void ContinuedReader::skip(std::size_t n) {
    while (n > 0) {
        if (off_ == segs_[seg_].size()) {
            nextSegment();
        }
        const std::size_t k = std::min(n, segs_[seg_].size() - off_);
        off_ += k;
        n -= k;
    }
}

void ContinuedReader::nextSegment() {
    if (seg_ + 1 >= segs_.size()) {
        damaged("a string is cut short");
    }
    ++seg_;
    off_ = 0;
}

void writeSst(RecordSink& s, const std::vector<std::string_view>& strings, std::uint32_t total) {
    struct Bucket {
        std::uint32_t streamPos;
        std::uint16_t offset;
    };
    const std::size_t dsst = std::max<std::size_t>(strings.size() / 128 + 1, 8);
    std::vector<Bucket> buckets;
    s.begin(biff::kSst);
    s.u32(total);
    s.u32(static_cast<std::uint32_t>(strings.size()));
    for (std::size_t i = 0; i < strings.size(); ++i) {
        const std::u16string str = text::toUtf16(strings[i]);
        const bool wide = !text::isLatin1(str);
        const std::size_t unit = wide ? 2 : 1;
        // The 3-byte header and at least one character stay together.
        if (s.room() < 3 + unit) {
            s.end();
            s.begin(biff::kContinue);
        }
        if (i % dsst == 0) {
            buckets.push_back(Bucket{static_cast<std::uint32_t>(s.out.size()),
                                     static_cast<std::uint16_t>(s.out.size() - s.recordStart())});
        }
        s.u16(static_cast<std::uint32_t>(str.size()));
        s.u8(wide ? 1 : 0);
        std::size_t done = 0;
        while (done < str.size()) {
            const std::size_t fit = std::min(str.size() - done, s.room() / unit);
            s.chars(std::u16string_view(str).substr(done, fit), wide);
            done += fit;
            if (done < str.size()) {
                // The rest goes on in a CONTINUE that starts with its own option byte.
                s.end();
                s.begin(biff::kContinue);
                s.u8(wide ? 1 : 0);
            }
        }
    }
    s.end();
    s.begin(biff::kExtSst);
    s.u16(static_cast<std::uint32_t>(dsst));
    for (const Bucket& b : buckets) {
        s.u32(b.streamPos);
        s.u16(b.offset);
        s.u16(0);
    }
    s.end();
}

void BookReader::readSst(const std::vector<std::span<const std::uint8_t>>& segments) {
    if (segments.empty()) {
        return;
    }
    std::size_t total = 0;
    for (auto s : segments) {
        total += s.size();
    }
    ContinuedReader r(segments);
    r.u32();
    const std::uint32_t unique = r.u32();
    if (unique > total / 3) {
        damaged("the shared string table claims more strings than it holds");
    }
    strings_.reserve(unique);
    for (std::uint32_t i = 0; i < unique; ++i) {
        strings_.push_back(r.string());
        spend(strings_.back().size());
    }
    sharedUse_.resize(strings_.size());
}

}  // namespace rw::sheet::xls
