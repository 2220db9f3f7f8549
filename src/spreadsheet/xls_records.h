#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "spreadsheet/biff.h"
#include "spreadsheet/byte_io.h"

// The record layer of the codec, shared by every record group: records written into the workbook stream,
// records walked in it, and the strings they carry.
namespace rw::sheet::xls {

[[noreturn]] void damaged(const std::string& what);

// Writes records straight into the stream; a record's length is patched when it ends.
class RecordSink {
  public:
    std::vector<std::uint8_t> out;

    void begin(std::uint16_t id) {
        bytes::put16(out, id);
        lengthAt_ = out.size();
        bytes::put16(out, 0);
        bodyStart_ = out.size();
    }
    void end() {
        const std::size_t len = out.size() - bodyStart_;
        if (len > biff::kMaxBody) {
            throw Failure("Internal error: a record grew past its size limit");
        }
        bytes::set16(out, lengthAt_, static_cast<std::uint32_t>(len));
    }
    std::size_t room() const { return biff::kMaxBody - (out.size() - bodyStart_); }
    std::size_t recordStart() const { return lengthAt_ - 2; }
    void u8(std::uint32_t v) { out.push_back(static_cast<std::uint8_t>(v)); }
    void u16(std::uint32_t v) { bytes::put16(out, v); }
    void u32(std::uint32_t v) { bytes::put32(out, v); }
    void f64(double d) { bytes::putDouble(out, d); }
    void record(std::uint16_t id, std::initializer_list<std::uint16_t> words) {
        begin(id);
        for (auto w : words) {
            u16(w);
        }
        end();
    }
    // Characters of a string in the file's 8-bit or UTF-16 form.
    void chars(std::u16string_view s, bool wide) {
        for (char16_t c : s) {
            if (wide) {
                u16(c);
            } else {
                u8(c);
            }
        }
    }

  private:
    std::size_t lengthAt_ = 0;
    std::size_t bodyStart_ = 0;
};

struct Record {
    std::uint16_t id;
    std::size_t pos;  // stream position of the record header
    std::span<const std::uint8_t> body;
};

// Walks the records of the workbook stream.
class RecordStream {
  public:
    explicit RecordStream(std::span<const std::uint8_t> stream) : stream_(stream) {}
    void seek(std::size_t pos) {
        if (pos > stream_.size()) {
            damaged("a sheet lies past the end of the workbook stream");
        }
        pos_ = pos;
    }
    // Records end at `end` (a sheet's records must not run into the next sheet).
    void limit(std::size_t end) { end_ = std::min(end, stream_.size()); }
    std::size_t position() const { return pos_; }
    bool atEnd() const { return pos_ + 4 > end_; }
    Record next() {
        if (pos_ + 4 > end_) {
            damaged(end_ < stream_.size() ? "a sheet runs into the next one"
                                          : "the workbook stream ends in the middle of a record");
        }
        const std::uint16_t id = static_cast<std::uint16_t>(stream_[pos_] | (stream_[pos_ + 1] << 8));
        const std::size_t len = stream_[pos_ + 2] | (stream_[pos_ + 3] << 8);
        if (len > biff::kMaxBody) {
            damaged("a record is longer than the format allows");
        }
        if (pos_ + 4 + len > end_) {
            damaged(end_ < stream_.size() ? "a sheet runs into the next one"
                                          : "the workbook stream ends in the middle of a record");
        }
        Record r{id, pos_, stream_.subspan(pos_ + 4, len)};
        pos_ += 4 + len;
        return r;
    }
    std::uint16_t peekId() const {
        return atEnd() ? 0 : static_cast<std::uint16_t>(stream_[pos_] | (stream_[pos_ + 1] << 8));
    }

  private:
    std::span<const std::uint8_t> stream_;
    std::size_t pos_ = 0;
    std::size_t end_ = stream_.size();
};

// XLUnicodeString (16-bit count) or ShortXLUnicodeString (8-bit count).
void putString(RecordSink& s, const std::u16string& str, bool shortCount);

std::u16string readChars(bytes::Reader& r, std::size_t count, bool wide);

// XLUnicodeString / ShortXLUnicodeString, with optional rich-text and phonetic parts skipped.
std::string readString(bytes::Reader& r, bool shortCount);

}  // namespace rw::sheet::xls
