#include "kairodex/duration.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "core/test_support.hpp"

using namespace kairodex;
using namespace kairodex::test;

namespace {

constexpr i128 pow2(int n) { return i128{1} << n; }

}  // namespace

struct KnownSeconds {
    i128 nanos;
    double seconds;
};

class TotalSeconds : public testing::TestWithParam<KnownSeconds> {};
TEST_P(TotalSeconds, MatchesTheHostFloatDivision) {
    EXPECT_EQ(total_seconds(Duration{GetParam().nanos}), GetParam().seconds);
}
// Expected values are repr(float(n) / 1e9) as the host language prints them.
INSTANTIATE_TEST_SUITE_P(Known, TotalSeconds,
                         testing::Values(KnownSeconds{1, 1e-09}, KnownSeconds{0, 0.0},
                                         KnownSeconds{duration_from_milliseconds(1500).nanos, 1.5},
                                         KnownSeconds{i128_max, 1.7014118346046924e+29},
                                         KnownSeconds{i128_min, -1.7014118346046924e+29},
                                         KnownSeconds{pow2(53) + 1, 9007199.254740993},
                                         KnownSeconds{pow2(60) + pow2(7) + 1, 1152921504.6068473},
                                         KnownSeconds{-pow2(100) - pow2(47), -1.2676506002282295e+21},
                                         KnownSeconds{pow2(96) - 1, 7.922816251426434e+19}));

TEST(NearestDouble, TiesGoToTheEvenSignificand) {
    using impl::nearest_double;
    const auto p = [](int n) { return static_cast<u128>(pow2(n)); };
    EXPECT_EQ(nearest_double(p(53) + 1), 9007199254740992.0);
    EXPECT_EQ(nearest_double(p(53) + 3), 9007199254740996.0);
    EXPECT_EQ(nearest_double(p(60) + p(7)), 0x1p60);
    EXPECT_EQ(nearest_double(p(60) + 3 * p(7)), 0x1p60 + 0x1p9);
    // A dropped part just above one half must round up even though its
    // leading bits alone look like a tie.
    EXPECT_EQ(nearest_double(p(60) + p(7) + 1), 0x1p60 + 0x1p8);
    // Rounding up carries into a new power of two.
    EXPECT_EQ(nearest_double(p(127) - 1), 1.7014118346046923e+38);
    EXPECT_EQ(nearest_double(p(127)), 1.7014118346046923e+38);
}

// The compiler's own conversion of the same bits, where it has 128-bit
// integers (with the portable arithmetic forced on too).
#ifdef __SIZEOF_INT128__
__extension__ typedef unsigned __int128 native_u128;
__extension__ typedef __int128 native_i128;

native_u128 native(u128 m) {
    return static_cast<native_u128>(static_cast<std::uint64_t>(m >> 64)) << 64 | static_cast<std::uint64_t>(m);
}
#endif

TEST(NearestDouble, AgreesWithTheCompilerConversionAtEveryWidth) {
#ifndef __SIZEOF_INT128__
    GTEST_SKIP() << "no compiler conversion to compare with";
#else
    std::mt19937_64 rng(5);
    for (int width = 1; width <= 127; ++width) {
        for (int i = 0; i < 2000; ++i) {
            const u128 random = (static_cast<u128>(rng()) << 64) | rng();
            const u128 top = static_cast<u128>(pow2(width - 1));
            const u128 m = top | (random & (top - 1));
            ASSERT_EQ(impl::nearest_double(m), static_cast<double>(native(m))) << width;
            const auto n = static_cast<i128>(m);
            ASSERT_EQ(total_seconds(Duration{-n}), static_cast<double>(-static_cast<native_i128>(native(m))) / 1e9)
                << width;
        }
    }
#endif
}

TEST(DurationArithmetic, ExactInsideAndOutOfRangeBeyond) {
    const Duration max{i128_max}, min{i128_min}, one{1};
    EXPECT_EQ(*add(Duration{i128_max - 1}, one), max);
    EXPECT_EQ(*add(min, max), Duration{-1});
    EXPECT_EQ(*subtract(Duration{-1}, max), min);
    EXPECT_EQ(*subtract(Duration{0}, max), Duration{-i128_max});
    EXPECT_EQ(*negate(max), Duration{i128_min + 1});
    EXPECT_EQ(*negate(Duration{i128_min + 1}), max);
    EXPECT_EQ(*negate(Duration{0}), Duration{0});
    for (auto r : {add(max, one), add(min, Duration{-1}), add(max, max), add(min, min), subtract(min, one),
                   subtract(max, Duration{-1}), subtract(Duration{0}, min), subtract(max, min), negate(min)}) {
        ASSERT_FALSE(r);
        EXPECT_EQ(r.error(), CalendarError::OutOfRange);
    }
}

TEST(DurationText, StrAndRepr) {
    const auto str = [](auto& out, Duration d) { write_duration_str(out, d); };
    const auto repr = [](auto& out, Duration d) { write_duration_repr(out, d); };
    EXPECT_EQ(text_of(Duration{0}, str), "Duration(0 ns)");
    EXPECT_EQ(text_of(Duration{-5}, str), "Duration(-5 ns)");
    EXPECT_EQ(text_of(Duration{1500000000}, repr), "Duration.nanoseconds(1500000000)");
    EXPECT_EQ(text_of(Duration{i128_min}, repr), "Duration.nanoseconds(-170141183460469231731687303715884105728)");
    EXPECT_EQ(text_of(Duration{i128_max}, str), "Duration(170141183460469231731687303715884105727 ns)");
}

static_assert(total_seconds(Duration{1500000000}) == 1.5);
