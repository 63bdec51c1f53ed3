// The fields each class feeds into the value hash, in declared order, each
// little-endian at its own width, nothing between or around them; and the
// digest of a value.
#pragma once

#include <cstdint>
#include <tuple>

#include "kairodex/date.hpp"
#include "kairodex/datetime.hpp"
#include "kairodex/duration.hpp"
#include "kairodex/offset_datetime.hpp"
#include "kairodex/time.hpp"
#include "kairodex/tz/zone.hpp"
#include "kairodex/utc_offset.hpp"
#include "kairodex/value_hash.hpp"

namespace kairodex::python {

constexpr auto hashed_fields(Date date) noexcept {  // 6 bytes
    return std::tuple{date.year, date.month, date.day};
}

constexpr auto hashed_fields(Time time) noexcept {  // 7 bytes
    return std::tuple{time.hour, time.minute, time.second, time.nanosecond};
}

constexpr auto hashed_fields(Duration duration) noexcept {  // 16 bytes: the 128-bit count, low word first
    const auto bits = static_cast<u128>(duration.nanos);
    return std::tuple{static_cast<std::uint64_t>(bits), static_cast<std::uint64_t>(bits >> 64)};
}

constexpr auto hashed_fields(UtcOffset offset) noexcept {  // 4 bytes
    return std::tuple{offset.seconds};
}

constexpr auto hashed_fields(DateTime value) noexcept {  // 13 bytes
    return std::tuple_cat(hashed_fields(value.date), hashed_fields(value.time));
}

constexpr auto hashed_fields(OffsetDateTime value) noexcept {  // 17 bytes
    return std::tuple_cat(hashed_fields(value.utc), hashed_fields(value.offset));
}

constexpr auto hashed_fields(tz::ZoneTransition value) noexcept {  // 16 bytes
    return std::tuple{value.instant, value.offset_before, value.offset_after};
}

template <class Value>
constexpr std::uint64_t value_digest(const Value& value) noexcept {
    return std::apply([](auto... fields) { return digest_of_fields(fields...); }, hashed_fields(value));
}

}  // namespace kairodex::python
