#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

#include "platform/failure.h"

// Fixed-width integer arithmetic as the program's routines use it: 16-bit and 32-bit signed quantities whose
// every addition and multiplication is tested, and conversions from floating point that round to nearest,
// halves to even. Any result that does not fit is the failure "Overflow".
namespace rw {

[[noreturn]] inline void throwOverflow() {
    throw Failure("Overflow");
}

template <typename Int>
Int checkedFit(std::int64_t value) {
    if (value < std::numeric_limits<Int>::min() || value > std::numeric_limits<Int>::max()) {
        throwOverflow();
    }
    return static_cast<Int>(value);
}

inline std::int16_t add16(std::int16_t a, std::int16_t b) {
    return checkedFit<std::int16_t>(std::int64_t{a} + b);
}
inline std::int16_t mul16(std::int16_t a, std::int16_t b) {
    return checkedFit<std::int16_t>(std::int64_t{a} * b);
}
inline std::int32_t add32(std::int32_t a, std::int32_t b) {
    return checkedFit<std::int32_t>(std::int64_t{a} + b);
}
inline std::int32_t mul32(std::int32_t a, std::int32_t b) {
    return checkedFit<std::int32_t>(std::int64_t{a} * b);
}

// Round to nearest, halves to the even neighbour; NaN and values out of range are an overflow.
template <typename Int>
Int roundTo(double value) {
    if (!std::isfinite(value)) {
        throwOverflow();
    }
    const double r = std::nearbyint(value);  // default rounding mode: to nearest, ties to even
    if (r < static_cast<double>(std::numeric_limits<Int>::min()) ||
        r > static_cast<double>(std::numeric_limits<Int>::max())) {
        throwOverflow();
    }
    return static_cast<Int>(r);
}
inline std::int16_t round16(double value) {
    return roundTo<std::int16_t>(value);
}
inline std::int32_t round32(double value) {
    return roundTo<std::int32_t>(value);
}

}  // namespace rw
