// The one place the core asks the operating system for the current time.
// Everything it does with the reading is in datetime.hpp.
#pragma once

#include <cstdint>

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

#include "kairodex/calendar_error.hpp"
#include "kairodex/datetime.hpp"

namespace kairodex {

// The current instant in UTC at the clock's full resolution: nanoseconds on
// POSIX, 100 ns ticks on Windows. A failing clock reads as OutOfRange.
inline Result<DateTime> now_utc() noexcept {
#ifdef _WIN32
    FILETIME reading;
    GetSystemTimePreciseAsFileTime(&reading);
    const std::uint64_t ticks = (static_cast<std::uint64_t>(reading.dwHighDateTime) << 32) | reading.dwLowDateTime;
    return from_filetime_ticks(ticks);
#else
    timespec reading{};
    if (clock_gettime(CLOCK_REALTIME, &reading) != 0) return CalendarError::OutOfRange;
    return from_clock_reading(static_cast<std::int64_t>(reading.tv_sec), static_cast<std::int64_t>(reading.tv_nsec));
#endif
}

}  // namespace kairodex
