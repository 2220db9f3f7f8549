#pragma once

#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

#include "platform/failure.h"

// Little-endian helpers for the codec.
namespace rw::sheet::bytes {

inline void put16(std::vector<std::uint8_t>& out, std::uint32_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}
inline void put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
inline void set16(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    out[at] = static_cast<std::uint8_t>(v);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
}
inline void set32(std::vector<std::uint8_t>& out, std::size_t at, std::uint32_t v) {
    set16(out, at, v & 0xFFFF);
    set16(out, at + 2, v >> 16);
}
inline void putDouble(std::vector<std::uint8_t>& out, double d) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &d, sizeof bits);
    put32(out, static_cast<std::uint32_t>(bits));
    put32(out, static_cast<std::uint32_t>(bits >> 32));
}

// A bounds-checked reader over a byte span; reading past the end is a Failure with the given context.
class Reader {
  public:
    Reader(std::span<const std::uint8_t> data, const char* what) : data_(data), what_(what) {}
    std::size_t size() const { return data_.size(); }
    std::size_t pos() const { return pos_; }
    std::size_t left() const { return data_.size() - pos_; }
    void seek(std::size_t p) {
        if (p > data_.size()) {
            fail();
        }
        pos_ = p;
    }
    void skip(std::size_t n) { seek(need(n) + n); }
    std::uint8_t u8() { return data_[need(1)]; }
    std::uint16_t u16() {
        std::size_t p = need(2);
        return static_cast<std::uint16_t>(data_[p] | (data_[p + 1] << 8));
    }
    std::uint32_t u32() {
        std::uint32_t lo = u16();
        std::uint32_t hi = u16();
        return lo | (hi << 16);
    }
    double f64() {
        std::uint64_t lo = u32();
        std::uint64_t hi = u32();
        std::uint64_t bits = lo | (hi << 32);
        double d = 0;
        std::memcpy(&d, &bits, sizeof d);
        return d;
    }
    std::span<const std::uint8_t> take(std::size_t n) {
        std::size_t p = need(n);
        return data_.subspan(p, n);
    }
    [[noreturn]] void fail() const {
        throw Failure(std::string("The file is damaged: ") + what_ + " is cut short");
    }

  private:
    std::size_t need(std::size_t n) {
        if (n > data_.size() - pos_) {
            fail();
        }
        std::size_t p = pos_;
        pos_ += n;
        return p;
    }
    std::span<const std::uint8_t> data_;
    const char* what_;
    std::size_t pos_ = 0;
};

}  // namespace rw::sheet::bytes
