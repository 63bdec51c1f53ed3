// The bytes each class feeds into the value hash: its fields in declared
// order, little-endian at their own width, nothing between or around them.
#pragma once

#include "kairodex/date.hpp"
#include "kairodex/datetime.hpp"
#include "kairodex/duration.hpp"
#include "kairodex/offset_datetime.hpp"
#include "kairodex/time.hpp"
#include "kairodex/utc_offset.hpp"
#include "kairodex/value_hasher.hpp"

namespace kairodex::python {

inline void hash_bytes(ValueHasher& hasher, Date date) noexcept {  // 6 bytes
    hasher.write_le(date.year);
    hasher.write_le(date.month);
    hasher.write_le(date.day);
}

inline void hash_bytes(ValueHasher& hasher, Time time) noexcept {  // 7 bytes
    hasher.write_le(time.hour);
    hasher.write_le(time.minute);
    hasher.write_le(time.second);
    hasher.write_le(time.nanosecond);
}

inline void hash_bytes(ValueHasher& hasher, Duration duration) noexcept {  // 16 bytes
    hasher.write_le(duration.nanos);
}

inline void hash_bytes(ValueHasher& hasher, UtcOffset offset) noexcept {  // 4 bytes
    hasher.write_le(offset.seconds);
}

inline void hash_bytes(ValueHasher& hasher, DateTime value) noexcept {  // 13 bytes
    hash_bytes(hasher, value.date);
    hash_bytes(hasher, value.time);
}

inline void hash_bytes(ValueHasher& hasher, OffsetDateTime value) noexcept {  // 17 bytes
    hash_bytes(hasher, value.utc);
    hash_bytes(hasher, value.offset);
}

}  // namespace kairodex::python
