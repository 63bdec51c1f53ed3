// Nanosecond counts since 1970-01-01T00:00:00Z split into seconds and the
// nanoseconds past them with 64-bit divisions where the count fits: the plain
// split (datetime.hpp) takes 128-bit divisions, which compilers leave to a
// library call.
#pragma once

#include <cstdint>
#include <optional>

#include "kairodex/portable.hpp"
#include "kairodex/values.hpp"

namespace kairodex::fast {

// Seconds and a nanosecond adjustment, -10^9 < adjust < 10^9, whose sum is
// the count: what from_unix_parts takes.
struct UnixParts {
    std::int64_t seconds;
    std::int32_t adjust;
};

// A count within 64 bits (the years 1677 to 2262), truncated towards zero:
// the remainder may be negative, and from_unix_parts borrows for it.
// Declines the rest.
constexpr std::optional<UnixParts> try_split_unix_nanos(i128 nanos) noexcept {
    if (nanos < INT64_MIN || nanos > INT64_MAX) return std::nullopt;
    const auto narrow = static_cast<std::int64_t>(nanos);
    constexpr std::int64_t per_second = nanos_per_second;
    return UnixParts{narrow / per_second, static_cast<std::int32_t>(narrow % per_second)};
}

}  // namespace kairodex::fast
