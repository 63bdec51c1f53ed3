// Columns of values: what one row of a column is read into, and back. A
// column keeps an instant as a 64-bit count of a unit since
// 1970-01-01T00:00:00Z (numpy's datetime64, Arrow's timestamp), a date as a
// count of days, a time of day as nanoseconds since midnight, and an offset as
// its seconds. The readers here are the scalar readers (parse_datetime and its
// neighbours) followed by the count, so that a row of a column and a value of
// a class never differ; what a count cannot hold is refused, never wrapped.
// The lines of a text buffer, one row each, are found here too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "kairodex/calendar_error.hpp"
#include "kairodex/date.hpp"
#include "kairodex/datetime.hpp"
#include "kairodex/fast/column_counts.hpp"
#include "kairodex/fast/fence.hpp"
#include "kairodex/offset_datetime.hpp"
#include "kairodex/portable.hpp"
#include "kairodex/time.hpp"
#include "kairodex/values.hpp"

namespace kairodex::columns {

// ---------------------------------------------------------------------------
// Units and failures
// ---------------------------------------------------------------------------

// The units a column counts instants in, finest first.
enum class Unit : std::uint8_t { ns, us, ms, s };

inline constexpr Unit units[] = {Unit::ns, Unit::us, Unit::ms, Unit::s};

// Counts of the unit in one second: 10^9, 10^6, 10^3, 1.
constexpr std::int64_t per_second(Unit unit) noexcept {
    constexpr std::int64_t counts[] = {1000000000, 1000000, 1000, 1};
    return counts[static_cast<int>(unit) & 3];
}

// Why a row has no value.
enum class RowError : std::uint8_t {
    Text,        // the grammar refuses the text; `cause` says how, as the scalar reader does
    DoesNotFit,  // the count lies outside what the column's integers hold
    Finer,       // the text has a fraction finer than the unit
};

struct RowFailure {
    RowError kind;
    CalendarError cause;
};

template <class T>
using RowResult = Result<T, RowFailure>;

inline constexpr RowFailure does_not_fit{RowError::DoesNotFit, CalendarError::OutOfRange};

// The smallest 64-bit count is numpy's and pandas' NaT, the missing value:
// no instant, date or time is ever given that count.
inline constexpr std::int64_t not_a_time = INT64_MIN;

// ---------------------------------------------------------------------------
// Counts of instants
// ---------------------------------------------------------------------------

// The count of `unit` since the epoch at `instant`. An instant with nanoseconds
// that the unit cannot show is refused (exact or nothing: a column that
// silently dropped them would no longer agree with the class), and so is one
// whose count does not fit 64 bits or would read as NaT.
constexpr RowResult<std::int64_t> count_of(DateTime instant, Unit unit) noexcept {
    const std::int64_t scale = per_second(unit);
    const std::int64_t step = nanos_per_second / scale;  // nanoseconds in one count
    if (instant.time.nanosecond % step != 0) return RowFailure{RowError::Finer, CalendarError::OutOfRange};
    // |seconds| < 6.8e16 for every instant, so the count of whole seconds
    // fits; the product with the scale is checked against the bounds below.
    std::int64_t seconds = unix_timestamp(instant);
    std::int64_t fraction = instant.time.nanosecond / step;
    // Before the epoch, the whole seconds are rounded towards zero and the
    // fraction taken away, so that the product cannot pass the lower bound
    // on its own when the sum does not (INT64_MIN + 1 ns has seconds whose
    // product with 10^9 lies below INT64_MIN).
    if (seconds < 0 && fraction > 0) {
        seconds += 1;
        fraction -= scale;
    }
    if (seconds > INT64_MAX / scale || seconds < INT64_MIN / scale) return does_not_fit;
    std::int64_t count = 0;
    if (add_overflow(seconds * scale, fraction, &count) || count == not_a_time) return does_not_fit;
    return count;
}

// ---------------------------------------------------------------------------
// Rows read from text
// ---------------------------------------------------------------------------

// DateTime's grammar (a UTC reading), as a count of `unit`.
constexpr RowResult<std::int64_t> plain_parse_datetime_at(std::string_view text, Unit unit) noexcept {
    const Result<DateTime> value = parse_datetime(text);
    if (!value) return RowFailure{RowError::Text, value.error()};
    return count_of(*value, unit);
}

// With the unit known where it is compiled, as the column loops know it
// (they read every row of a column in one unit): the fast path's divisions by
// the unit's size become multiplications.
template <Unit unit>
KAIRODEX_ALWAYS_INLINE constexpr RowResult<std::int64_t> parse_datetime_in(std::string_view text) noexcept {
    if constexpr (fast::enabled) {
        if (const auto counted = fast::count_fixed_layout<false>(text, static_cast<unsigned>(unit))) {
            return counted->count;
        }
    }
    return plain_parse_datetime_at(text, unit);
}

constexpr RowResult<std::int64_t> parse_datetime_at(std::string_view text, Unit unit) noexcept {
    switch (unit) {
    case Unit::ns: return parse_datetime_in<Unit::ns>(text);
    case Unit::us: return parse_datetime_in<Unit::us>(text);
    case Unit::ms: return parse_datetime_in<Unit::ms>(text);
    case Unit::s: break;
    }
    return parse_datetime_in<Unit::s>(text);
}

// An instant and the offset it was read at.
struct OffsetCount {
    std::int64_t count;
    std::int32_t offset_seconds;
};

// OffsetDateTime's grammar (RFC 3339 with any offset): the UTC instant as a
// count of `unit`, and the offset.
constexpr RowResult<OffsetCount> plain_parse_offset_datetime_at(std::string_view text, Unit unit) noexcept {
    const Result<OffsetDateTime> value = parse_offset_datetime(text);
    if (!value) return RowFailure{RowError::Text, value.error()};
    const RowResult<std::int64_t> count = count_of(value->utc, unit);
    if (!count) return count.error();
    return OffsetCount{*count, value->offset.seconds};
}

template <Unit unit>
KAIRODEX_ALWAYS_INLINE constexpr RowResult<OffsetCount> parse_offset_datetime_in(std::string_view text) noexcept {
    if constexpr (fast::enabled) {
        if (const auto counted = fast::count_fixed_layout<true>(text, static_cast<unsigned>(unit))) {
            return OffsetCount{counted->count, counted->offset_seconds};
        }
    }
    return plain_parse_offset_datetime_at(text, unit);
}

constexpr RowResult<OffsetCount> parse_offset_datetime_at(std::string_view text, Unit unit) noexcept {
    switch (unit) {
    case Unit::ns: return parse_offset_datetime_in<Unit::ns>(text);
    case Unit::us: return parse_offset_datetime_in<Unit::us>(text);
    case Unit::ms: return parse_offset_datetime_in<Unit::ms>(text);
    case Unit::s: break;
    }
    return parse_offset_datetime_in<Unit::s>(text);
}

// Date's grammar, as days since 1970-01-01 (every date's count fits).
constexpr RowResult<std::int64_t> parse_days(std::string_view text) noexcept {
    const Result<Date> value = parse_date(text);
    if (!value) return RowFailure{RowError::Text, value.error()};
    return days_since_unix_epoch(*value);
}

// Arrow's date32 counts days in 32 bits: about 5.8 million years either
// way. Its smallest count is left out, as NaT is from 64-bit counts, so that
// it can mark a missing day while the column is filled.
constexpr bool fits_date32(std::int64_t days) noexcept { return days > INT32_MIN && days <= INT32_MAX; }

// Time's grammar, as nanoseconds since midnight.
constexpr RowResult<std::int64_t> parse_nanos_since_midnight(std::string_view text) noexcept {
    const Result<Time> value = parse_time(text);
    if (!value) return RowFailure{RowError::Text, value.error()};
    return static_cast<std::int64_t>(nanos_since_midnight(*value));
}

// ---------------------------------------------------------------------------
// Counts back to values, for writing
// ---------------------------------------------------------------------------

// Every unit numpy counts instants and spans in, coarsest first. A column
// may count several of one (numpy's datetime64[10ms]): the count is then
// multiplied out first, in 128 bits. The functions below take counts of less
// than 2^100 either way, so that no product with a unit's size can overflow.
enum class CountUnit : std::uint8_t { years, months, weeks, days, hours, minutes, seconds, ms, us, ns };

// Seconds in one count of a unit from weeks to seconds; nanoseconds in one
// count of a finer unit.
constexpr std::int64_t seconds_in(CountUnit unit) noexcept {
    switch (unit) {
    case CountUnit::weeks: return 7 * 86400;
    case CountUnit::days: return 86400;
    case CountUnit::hours: return 3600;
    case CountUnit::minutes: return 60;
    default: return 1;
    }
}

constexpr std::int64_t nanos_in(CountUnit unit) noexcept {
    switch (unit) {
    case CountUnit::ms: return 1000000;
    case CountUnit::us: return 1000;
    default: return 1;
    }
}

constexpr bool finer_than_second(CountUnit unit) noexcept {
    return unit == CountUnit::ms || unit == CountUnit::us || unit == CountUnit::ns;
}

// The instant `count` units after the epoch; OutOfRange beyond kairodex's
// years. Years and months count calendar years and months from 1970-01.
constexpr Result<DateTime> instant_from_count(i128 count, CountUnit unit) noexcept {
    constexpr Time midnight{0, 0, 0, 0};
    if (unit == CountUnit::years || unit == CountUnit::months) {
        const i128 months = unit == CountUnit::years ? count * 12 : count;
        const i128 year = 1970 + floor_div<i128>(months, 12);
        if (year < INT32_MIN || year > INT32_MAX) return CalendarError::OutOfRange;
        const auto month = static_cast<month_t>(static_cast<int>(floor_mod<i128>(months, 12)) + 1);
        return DateTime{Date{static_cast<year_t>(year), month, 1}, midnight};
    }
    if (finer_than_second(unit)) return from_unix_nanos(count * nanos_in(unit));
    // Beyond 64 bits of seconds no instant is in range anyway.
    const i128 seconds = count * seconds_in(unit);
    if (seconds < INT64_MIN || seconds > INT64_MAX) return CalendarError::OutOfRange;
    return from_unix_parts(static_cast<std::int64_t>(seconds), 0);
}

// The UTC date of the instant `count` units after the epoch (its day, where
// the unit is finer than a day).
constexpr Result<Date> date_from_count(i128 count, CountUnit unit) noexcept {
    const Result<DateTime> instant = instant_from_count(count, unit);
    if (!instant) return instant.error();
    return instant->date;
}

// The time of day `count` units after midnight: only a span of at least
// none and less than a day is one. Years and months are no fixed span.
constexpr Result<Time> time_from_count(i128 count, CountUnit unit) noexcept {
    constexpr i128 nanos_per_day = i128{86400} * nanos_per_second;
    // No count of any unit from 1 ns up is a time of day outside these.
    if (unit == CountUnit::years || unit == CountUnit::months || count < 0 || count >= nanos_per_day) {
        return CalendarError::InvalidTime;
    }
    const i128 nanos = finer_than_second(unit) ? count * nanos_in(unit) : count * seconds_in(unit) * nanos_per_second;
    if (nanos >= nanos_per_day) return CalendarError::InvalidTime;
    const auto in_day = static_cast<std::uint64_t>(nanos);
    const auto second_of_day = static_cast<std::uint32_t>(in_day / nanos_per_second);
    return Time{static_cast<std::uint8_t>(second_of_day / 3600), static_cast<std::uint8_t>(second_of_day % 3600 / 60),
                static_cast<std::uint8_t>(second_of_day % 60), static_cast<std::uint32_t>(in_day % nanos_per_second)};
}

// ---------------------------------------------------------------------------
// Lines
// ---------------------------------------------------------------------------

// The lines of a text buffer, one row each: a line ends at '\n' or at the end
// of the buffer, a final '\n' ends the last line (it starts no empty one), and
// a '\r' at the end of a line belongs to its ending ("\r\n" files).
class Lines {
  public:
    constexpr explicit Lines(std::string_view buffer) noexcept : rest_(buffer) {}

    // The next line into `line`; false after the last.
    constexpr bool next(std::string_view& line) noexcept {
        if (rest_.empty()) return false;
        const std::size_t end = rest_.find('\n');
        if (end == std::string_view::npos) {
            line = rest_;
            rest_ = {};
        } else {
            line = impl::part(rest_, 0, end);
            rest_.remove_prefix(end + 1);
        }
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        return true;
    }

    // What is left to read, from the start of the next line.
    constexpr std::string_view rest() const noexcept { return rest_; }

  private:
    std::string_view rest_;
};

// How many lines `buffer` holds: its newlines, and one more for a last line
// without one.
constexpr std::size_t plain_count_lines(std::string_view buffer) noexcept {
    std::size_t count = 0;
    for (const char c : buffer) count += c == '\n';
    return count + (!buffer.empty() && buffer.back() != '\n');
}

constexpr std::size_t count_lines(std::string_view buffer) noexcept {
    if constexpr (fast::enabled) return fast::count_newlines(buffer) + (!buffer.empty() && buffer.back() != '\n');
    return plain_count_lines(buffer);
}

}  // namespace kairodex::columns
