// The leap-year rule with one multiplication and no division: the plain rule
// (values.hpp) takes three remainders.
#pragma once

#include <cstdint>

namespace kairodex::fast {

// 25 * 3264175145 = 19 * 2^32 + 1: the inverse of 25 modulo 2^32.
inline constexpr std::uint32_t inverse_of_25 = 3264175145u;
static_assert(25u * inverse_of_25 == 1u);

// floor(2^31 / 25): the multiples of 25 among signed 32-bit years are 25 k
// for -85899345 <= k <= 85899345, 2 * 85899345 + 1 = 171798691 of them.
inline constexpr std::uint32_t multiples_of_25_each_side = 85899345;
static_assert(multiples_of_25_each_side == (std::uint64_t{1} << 31) / 25);

// Whether `year` is a multiple of 25, with one multiplication for a division.
// Multiplying by the inverse of 25 is a one-to-one map of the 32-bit words
// that takes 25 k to k (mod 2^32); adding 85899345 then takes the multiples of
// 25 among the years exactly onto 0 ..= 171798690. That window holds
// 171798691 values and the multiples fill it, one each, so no other year
// lands in it: the test is exact for all 2^32 years. The tests check every
// year in windows at both ends of the range, where a constant off by one
// shows first: a bound one larger would let in 25 * 85899346, which wraps to
// the year -2147483646.
constexpr bool is_multiple_of_25(std::int32_t year) noexcept {
    return static_cast<std::uint32_t>(year) * inverse_of_25 + multiples_of_25_each_side <
           2 * multiples_of_25_each_side + 1;
}

// A multiple of 25 that is one of 4 is one of 100, so for multiples of 25 the
// rule is "multiple of 400", which for them is "multiple of 16"; the other
// years are no multiples of 100 and the rule is "multiple of 4". The low bits
// of the two's complement are the residues mod 16 and mod 4 of negative years
// too.
constexpr bool is_leap_year(std::int32_t year) noexcept {
    const auto y = static_cast<std::uint32_t>(year);
    return is_multiple_of_25(year) ? (y & 15) == 0 : (y & 3) == 0;
}

}  // namespace kairodex::fast
