// The compiler-dependent arithmetic: the portable two-word integers against
// values worked out by hand at the edges where carries, borrows, signs and
// overflows change (the fuzz target fuzz_arithmetic compares them with the
// compiler's own on random operands), and the byte form of 128-bit counts.
#include "kairodex/portable.hpp"

#include <gtest/gtest.h>

#include <cstdint>

using namespace kairodex;
using portable::Int128;
using portable::UInt128;

namespace {

constexpr std::uint64_t all = ~std::uint64_t{0};
constexpr UInt128 words(std::uint64_t high, std::uint64_t low) { return UInt128::from_words(high, low); }
constexpr Int128 signed_words(std::uint64_t high, std::uint64_t low) { return Int128{words(high, low)}; }

// Worked in constant evaluation, so the shift-based paths are the ones checked.
static_assert(words(0, all) + 1 == words(1, 0), "carry into the high word");
static_assert(words(1, 0) - 1 == words(0, all), "borrow from the high word");
static_assert(UInt128{all} * UInt128{all} == words(all - 1, 1), "(2^64 - 1)^2");
static_assert(words(1, 0) / 10 == UInt128{1844674407370955161u} && words(1, 0) % 10 == 6, "2^64 by 10");
static_assert(words(all, all) / 10 == words(0x1999999999999999u, 0x9999999999999999u) && words(all, all) % 10 == 5,
              "each 32-bit digit of the quotient in its place");
static_assert(words(all, all) / words(1, 0) == UInt128{all}, "a divisor beyond 32 bits");
static_assert((words(0, 3) << 100) == words(std::uint64_t{3} << 36, 0) &&
                  (words(std::uint64_t{3} << 36, 0) >> 100) == words(0, 3),
              "shifts by 64 bits and more");
static_assert(Int128{-7} / 2 == -3 && Int128{-7} % 2 == -1, "quotients round toward zero");
static_assert((Int128{-1} >> 100) == -1 && (Int128{-256} >> 4) == -16, "arithmetic shift");
static_assert(Int128{-1} < 0 && signed_words(0x8000000000000000u, 0) < signed_words(all, all), "signed order");
static_assert(from_le_bytes(to_le_bytes(-2)) == -2, "byte form, constant evaluation");
static_assert(load_le64("\x01\x02\x03\x04\x05\x06\x07\x80") == 0x8007060504030201u, "a load, constant evaluation");

struct Overflow {
    Int128 a, b;
    bool add_overflows, sub_overflows;
};

class PortableOverflow : public testing::TestWithParam<Overflow> {};

TEST_P(PortableOverflow, AgreesWithTheWorkedOutAnswer) {
    const Overflow& c = GetParam();
    Int128 sum, difference;
    EXPECT_EQ(portable::add_overflows(c.a, c.b, &sum), c.add_overflows);
    EXPECT_EQ(portable::sub_overflows(c.a, c.b, &difference), c.sub_overflows);
    EXPECT_EQ(sum, c.a + c.b);  // the wrapped result either way
    EXPECT_EQ(difference, c.a - c.b);
}

constexpr Int128 max128 = signed_words(0x7FFFFFFFFFFFFFFFu, all);
constexpr Int128 min128 = signed_words(0x8000000000000000u, 0);

INSTANTIATE_TEST_SUITE_P(Edges, PortableOverflow,
                         testing::Values(Overflow{max128, 1, true, false}, Overflow{max128, -1, false, true},
                                         Overflow{min128, -1, true, false}, Overflow{min128, 1, false, true},
                                         Overflow{min128, min128, true, false}, Overflow{max128, max128, true, false},
                                         Overflow{0, min128, false, true}, Overflow{-1, min128, true, false},
                                         Overflow{5, -5, false, false}, Overflow{min128, 0, false, false}));

TEST(PortableOverflow, SixtyFourBitsAtTheEdges) {
    std::int64_t out = 0;
    EXPECT_TRUE(portable::add_overflows<std::int64_t>(INT64_MAX, 1, &out));
    EXPECT_EQ(out, INT64_MIN);
    EXPECT_FALSE(portable::add_overflows<std::int64_t>(INT64_MIN, INT64_MAX, &out));
    EXPECT_TRUE(portable::sub_overflows<std::int64_t>(0, INT64_MIN, &out));
    EXPECT_FALSE(portable::sub_overflows<std::int64_t>(-1, INT64_MIN, &out));
    EXPECT_EQ(out, INT64_MAX);
    for (const std::int64_t a : {INT64_MIN, INT64_MAX}) {
        EXPECT_FALSE(portable::sub_overflows<std::int64_t>(a, 0, &out)) << a;  // zero has no sign to differ in
    }
}

TEST(PortableProduct, HighAndLowWords) {
    const portable::Product p = portable::multiply_wide(all, 2);
    EXPECT_EQ(p.high, 1u);
    EXPECT_EQ(p.low, all - 1);
    EXPECT_EQ(high64(std::uint64_t{1} << 63, 4), 2u);
}

// The byte form in which 128-bit counts cross into Python, at run time.
TEST(Bytes16, LeastSignificantFirstAndBack) {
    for (const i128 value : {i128{0}, i128{-1}, i128{0x0102030405060708}, i128_min, i128_max, -i128{1} << 64}) {
        const Bytes16 bytes = to_le_bytes(value);
        for (int i = 0; i < 16; ++i) {
            EXPECT_EQ(bytes.bytes[i], static_cast<unsigned char>(static_cast<u128>(value) >> (8 * i))) << i;
        }
        EXPECT_EQ(from_le_bytes(bytes), value);
    }
}

}  // namespace
