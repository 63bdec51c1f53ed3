// 128-bit integers and the multiply-high primitive that replaces division by
// constants throughout the core.
#pragma once

#include <cstdint>

namespace kairodex {

__extension__ typedef __int128 i128;
__extension__ typedef unsigned __int128 u128;

constexpr i128 i128_max = static_cast<i128>(~u128{0} >> 1);
constexpr i128 i128_min = -i128_max - 1;

// Upper 64 bits of the full 128-bit product a * b.
constexpr std::uint64_t high64(std::uint64_t a, std::uint64_t b) noexcept {
    return static_cast<std::uint64_t>((static_cast<u128>(a) * b) >> 64);
}

// Floor division and its non-negative remainder, for a positive divisor.
template <class Int>
constexpr Int floor_div(Int a, Int b) noexcept {
    Int q = a / b;
    return (a % b < 0) ? q - 1 : q;
}

template <class Int>
constexpr Int floor_mod(Int a, Int b) noexcept {
    Int r = a % b;
    return r < 0 ? r + b : r;
}

}  // namespace kairodex
