#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/checked.h"

namespace rw {
namespace {

TEST(Checked, SixteenBitArithmeticOverflowsAtItsLimits) {
    EXPECT_EQ(add16(32766, 1), 32767);
    EXPECT_EQ(mul16(16384, -2), -32768);
    EXPECT_THROW(add16(32767, 1), Failure);
    EXPECT_THROW(mul16(16384, 2), Failure);
    try {
        mul16(16384, 2);
    } catch (const Failure& f) {
        EXPECT_EQ(f.description(), "Overflow");
    }
}

TEST(Checked, ThirtyTwoBitArithmeticOverflowsAtItsLimits) {
    EXPECT_EQ(mul32(32768, 2), 65536);
    EXPECT_THROW(add32(std::numeric_limits<std::int32_t>::max(), 1), Failure);
    EXPECT_THROW(mul32(65536, 65536), Failure);
}

TEST(Checked, RoundingGoesToNearestWithHalvesToEven) {
    EXPECT_EQ(round32(0.5), 0);
    EXPECT_EQ(round32(1.5), 2);
    EXPECT_EQ(round32(2.5), 2);
    EXPECT_EQ(round32(-0.5), 0);
    EXPECT_EQ(round32(-1.5), -2);
    EXPECT_EQ(round32(2.4999), 2);
    EXPECT_EQ(round16(32767.4), 32767);
    EXPECT_THROW(round16(32767.5), Failure);
    EXPECT_THROW(round32(std::nan("")), Failure);
    EXPECT_THROW(round32(3e9), Failure);
}

}  // namespace
}  // namespace rw
