// Decimal digits made in the lanes of a 64-bit word, with no table and no
// chain of divisions, and stored a word at a time: the numbers of the text
// forms. The plain writers (text_buffer.hpp) make the same digits one at a
// time.
#pragma once

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>

#include "kairodex/portable.hpp"

namespace kairodex::fast {

// The eight decimal digits of `value` (below 10^8, zeros on the left) as ASCII
// in a little-endian word, the first digit in the lowest byte. Computed in
// lanes: `value` splits into two 4-digit halves in 32-bit lanes; each lane
// into two 2-digit quarters in 16-bit lanes (x / 100 as x * 10486 >> 20,
// exact for x < 10^4 as the error stays below x * 2.4e-7 < 1/100); each of
// those into two digits in bytes (y / 10 as y * 103 >> 10, exact for
// y < 100). No lane's product reaches the next lane.
constexpr std::uint64_t eight_digits_ascii(std::uint32_t value) noexcept {
    const std::uint64_t halves = value / 10000 | std::uint64_t{value % 10000} << 32;
    const std::uint64_t high_pairs = (halves * 10486) >> 20 & 0x0000007F0000007F;
    const std::uint64_t pairs = high_pairs | (halves - 100 * high_pairs) << 16;
    const std::uint64_t tens = (pairs * 103) >> 10 & 0x000F000F000F000F;
    return (tens | (pairs - 10 * tens) << 8) + 0x3030303030303030;
}

// Two ASCII digits for each value below 100 in `values`, each value in a lane
// of its own whose lowest byte `tens_mask` marks (0x0F there): the tens replace
// the value (y / 10 as y * 103 >> 10, exact for y < 100), the units go into the
// byte above, and `frame` adds the '0's and whatever stands between the
// fields. Lanes must lie 16 bits or more apart, so that no product reaches
// the next one.
constexpr std::uint64_t two_digit_lanes(std::uint64_t values, std::uint64_t tens_mask, std::uint64_t frame) noexcept {
    const std::uint64_t tens = (values * 103) >> 10 & tens_mask;
    return (tens | (values - 10 * tens) << 8) + frame;
}

// 10^0 .. 10^19, the powers of ten that fit in 64 bits.
inline constexpr std::uint64_t powers_of_ten[20] = {1,
                                                    10,
                                                    100,
                                                    1000,
                                                    10000,
                                                    100000,
                                                    1000000,
                                                    10000000,
                                                    100000000,
                                                    1000000000,
                                                    10000000000,
                                                    100000000000,
                                                    1000000000000,
                                                    10000000000000,
                                                    100000000000000,
                                                    1000000000000000,
                                                    10000000000000000,
                                                    100000000000000000,
                                                    1000000000000000000,
                                                    10000000000000000000u};

// The number of decimal digits of `value` (1 for 0): from its bit length, a
// first guess (bits * log10(2), as 1233 / 4096), corrected by one comparison.
constexpr int decimal_width(std::uint64_t value) noexcept {
    const int guess = (64 - std::countl_zero(value | 1)) * 1233 >> 12;  // floor(log10(value)) or one less
    return guess + ((value | 1) >= powers_of_ten[guess]);
}

// Writes `value` (below 10^16) in decimal, padded on the left with zeros to
// `width` digits (at most 16): all sixteen digits are made in two words, in
// lanes, and the last of them stored.
template <class Out>
constexpr void write_sixteen_digits(Out& out, std::uint64_t value, int width) noexcept {
    const int count = std::max(decimal_width(value), width);
    char* at = out.extend(static_cast<std::size_t>(count));
    if (at == nullptr) return;
    // The digits are the bytes of `high` then those of `low`; the text is
    // their last `count`, stored in whole words (the buffer's slack takes
    // what runs past it).
    const std::uint64_t high = eight_digits_ascii(static_cast<std::uint32_t>(value / 100000000));
    const std::uint64_t low = eight_digits_ascii(static_cast<std::uint32_t>(value % 100000000));
    if (count <= 8) {
        store_le64(at, low >> (8 * (8 - count)));
        return;
    }
    const int skipped = 8 * (16 - count);  // bits of `high` before the text, 0 to 56
    store_le64(at, skipped == 0 ? high : high >> skipped | low << (64 - skipped));
    store_le64(at + count - 8, low);
}

// A value of more than 16 digits, cut into pieces of 16 by 10^16 (two cuts
// at most, 2^128 having 39 digits), each written in words, so that only those
// divisions are 128-bit ones. Out of line: nearly every count has fewer
// digits.
template <class Out>
KAIRODEX_NOINLINE constexpr void write_long_number(Out& out, u128 value) noexcept {
    constexpr std::uint64_t ten_to_16 = 10000000000000000;
    std::uint64_t pieces[2] = {};  // the lowest 16 digits first
    int count = 0;
    while (value >= ten_to_16) {
        const u128 rest = value / ten_to_16;
        pieces[count++] = static_cast<std::uint64_t>(value - rest * ten_to_16);
        value = rest;
    }
    write_sixteen_digits(out, static_cast<std::uint64_t>(value), 1);
    while (count > 0) write_sixteen_digits(out, pieces[--count], 16);
}

// `value` in decimal padded to `width` digits, at widths up to 16 (the text
// forms ask for 1 to 4); wider widths go to `plain`.
template <auto plain, class Out>
constexpr void put_unsigned(Out& out, u128 value, int width) noexcept {
    if (value < 10000000000000000 && width <= 16) {
        write_sixteen_digits(out, static_cast<std::uint64_t>(value), width);
    } else if (width <= 16) {
        write_long_number(out, value);
    } else {
        plain(out, value, width);
    }
}

}  // namespace kairodex::fast
