// Signed spans of time counted in nanoseconds: construction, conversion to
// binary64, checked arithmetic that refuses to wrap around, and the text
// forms. (The Duration struct is in values.hpp.)
#pragma once

#include <bit>
#include <cstdint>

#include "kairodex/calendar_error.hpp"
#include "kairodex/portable.hpp"
#include "kairodex/text_buffer.hpp"
#include "kairodex/values.hpp"

namespace kairodex {

// A 64-bit count times at most 10^9 stays below 2^94: none of these can fail.
constexpr Duration duration_from_seconds(std::int64_t seconds) noexcept {
    return Duration{static_cast<i128>(seconds) * 1000000000};
}

constexpr Duration duration_from_milliseconds(std::int64_t milliseconds) noexcept {
    return Duration{static_cast<i128>(milliseconds) * 1000000};
}

constexpr Duration duration_from_microseconds(std::int64_t microseconds) noexcept {
    return Duration{static_cast<i128>(microseconds) * 1000};
}

constexpr Duration duration_from_nanoseconds(i128 nanoseconds) noexcept { return Duration{nanoseconds}; }

// ---------------------------------------------------------------------------
// Conversion to binary64
// ---------------------------------------------------------------------------

namespace impl {

// The binary64 nearest to `magnitude`, ties to the even significand. Written
// out rather than left to the compiler's 128-bit conversion so the result is
// the same in constant evaluation and on every target.
constexpr double nearest_double(u128 magnitude) noexcept {
    const auto high_word = static_cast<std::uint64_t>(magnitude >> 64);
    const int bits =
        high_word != 0 ? 64 + std::bit_width(high_word) : std::bit_width(static_cast<std::uint64_t>(magnitude));
    if (bits > 53) {
        const int drop = bits - 53;
        const u128 dropped = magnitude & ((u128{1} << drop) - 1);
        const u128 half = u128{1} << (drop - 1);
        u128 kept = magnitude >> drop;
        if (dropped > half || (dropped == half && (kept & 1) != 0)) ++kept;
        // Now at most 53 significant bits and at most 2^127: both halves
        // below convert exactly, and so does their sum.
        magnitude = kept << drop;
    }
    const auto high = static_cast<std::uint64_t>(magnitude >> 64);
    const auto low = static_cast<std::uint64_t>(magnitude);
    return static_cast<double>(high) * 0x1p64 + static_cast<double>(low);
}

}  // namespace impl

// The count rounded to the nearest binary64, then divided by 10^9 in binary64:
// two roundings, in that order, so the result matches the host language's own
// float(n) / 1e9.
constexpr double total_seconds(Duration duration) noexcept {
    const bool negative = duration.nanos < 0;
    const u128 magnitude = negative ? u128{0} - static_cast<u128>(duration.nanos) : static_cast<u128>(duration.nanos);
    const double value = impl::nearest_double(magnitude);
    return (negative ? -value : value) / 1e9;
}

// ---------------------------------------------------------------------------
// Checked arithmetic
// ---------------------------------------------------------------------------

constexpr Result<Duration> add(Duration a, Duration b) noexcept {
    i128 sum = 0;
    if (add_overflow(a.nanos, b.nanos, &sum)) return CalendarError::OutOfRange;
    return Duration{sum};
}

constexpr Result<Duration> subtract(Duration a, Duration b) noexcept {
    i128 difference = 0;
    if (sub_overflow(a.nanos, b.nanos, &difference)) return CalendarError::OutOfRange;
    return Duration{difference};
}

// Only the most negative count has no negation.
constexpr Result<Duration> negate(Duration duration) noexcept { return subtract(Duration{0}, duration); }

// ---------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------

// "Duration(-5 ns)"
template <class Out>
constexpr void write_duration_str(Out& out, Duration duration) noexcept {
    out.put("Duration(");
    put_signed(out, duration.nanos);
    out.put(" ns)");
}

// "Duration.nanoseconds(-5)": the expression that rebuilds the value.
template <class Out>
constexpr void write_duration_repr(Out& out, Duration duration) noexcept {
    out.put("Duration.nanoseconds(");
    put_signed(out, duration.nanos);
    out.put(')');
}

}  // namespace kairodex
