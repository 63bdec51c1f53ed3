// Instants paired with the fixed UTC offset they are shown in. The instant is
// kept in UTC; the local reading is derived from it on demand, which is why
// it can fall outside the representable years even when the instant does not.
#pragma once

#include <compare>
#include <cstdint>
#include <string_view>

#include "kairodex/calendar_error.hpp"
#include "kairodex/date.hpp"
#include "kairodex/datetime.hpp"
#include "kairodex/duration.hpp"
#include "kairodex/fixed_layout.hpp"
#include "kairodex/portable.hpp"
#include "kairodex/time.hpp"
#include "kairodex/utc_offset.hpp"
#include "kairodex/white_space.hpp"

namespace kairodex {

struct OffsetDateTime {
    DateTime utc;
    UtcOffset offset;

    // Equal values show the same local reading; ordering looks at the instant
    // only, so equivalent values may still differ in their offsets.
    friend constexpr bool operator==(const OffsetDateTime&, const OffsetDateTime&) = default;
    friend constexpr std::weak_ordering operator<=>(const OffsetDateTime& a, const OffsetDateTime& b) noexcept {
        return a.utc <=> b.utc;
    }
};

namespace impl {

// The date before (`step` -1), at (0) or after (1) `date`, from its fields:
// every choice is a select, so no branch depends on the date.
constexpr Result<Date> step_day(Date date, int step) noexcept {
    const bool into_next = step > 0 && date.day == days_in_month(date.year, date.month);
    const bool into_previous = step < 0 && date.day == 1;
    const int month = date.month + into_next - into_previous;  // 0 ..= 13
    const std::int64_t year = std::int64_t{date.year} + (month == 13) - (month == 0);
    if (year < INT32_MIN || year > INT32_MAX) return CalendarError::OutOfRange;
    const auto new_month = static_cast<month_t>(month == 13 ? 1 : month == 0 ? 12 : month);
    const int day = into_next       ? 1
                    : into_previous ? days_in_month(static_cast<year_t>(year), new_month)
                                    : date.day + step;
    return Date{static_cast<year_t>(year), new_month, static_cast<day_t>(day)};
}

// `value` moved by `seconds`. An offset moves it by a day at most, which
// needs no day count: only the time of day and, past midnight, one step of
// the date. Longer moves go through the counts. The nanosecond never moves.
constexpr Result<DateTime> move_seconds(DateTime value, std::int64_t seconds) noexcept {
    if (seconds < -86400 || seconds > 86400) {
        return from_unix_parts(unix_timestamp(value) + seconds, static_cast<std::int32_t>(value.time.nanosecond));
    }
    const std::int64_t second = seconds_since_midnight(value.time) + seconds;  // -86400 ..= 172799
    const int step = (second >= 86400) - (second < 0);
    const Result<Date> date = step_day(value.date, step);
    if (!date) return date.error();
    const auto second_of_day = static_cast<std::uint32_t>(second - step * 86400);
    return DateTime{*date, Time{static_cast<std::uint8_t>(second_of_day / 3600),
                                static_cast<std::uint8_t>(second_of_day % 3600 / 60),
                                static_cast<std::uint8_t>(second_of_day % 60), value.time.nanosecond}};
}

// `value` moved by whole minutes, less than a day either way, as offsets read
// from text are: only the hour, the minute and at midnight the date change.
constexpr Result<DateTime> move_minutes(DateTime value, int minutes) noexcept {
    const int minute = value.time.hour * 60 + value.time.minute + minutes;  // -1439 ..= 2878
    const int step = (minute >= 1440) - (minute < 0);
    const Result<Date> date = step_day(value.date, step);
    if (!date) return date.error();
    const auto minute_of_day = static_cast<unsigned>(minute - step * 1440);
    return DateTime{*date,
                    Time{static_cast<std::uint8_t>(minute_of_day / 60), static_cast<std::uint8_t>(minute_of_day % 60),
                         value.time.second, value.time.nanosecond}};
}

}  // namespace impl

// The instant whose local reading at `offset` is `date` and `time`.
constexpr Result<OffsetDateTime> from_local(Date date, Time time, UtcOffset offset) noexcept {
    const Result<DateTime> utc = impl::move_seconds(DateTime{date, time}, -std::int64_t{offset.seconds});
    if (!utc) return CalendarError::OutOfRange;
    return OffsetDateTime{*utc, offset};
}

constexpr Result<DateTime> to_local(OffsetDateTime value) noexcept {
    return impl::move_seconds(value.utc, value.offset.seconds);
}

constexpr Result<OffsetDateTime> add_duration(OffsetDateTime value, Duration duration) noexcept {
    const Result<DateTime> utc = add_duration(value.utc, duration);
    if (!utc) return utc.error();
    return OffsetDateTime{*utc, value.offset};
}

constexpr Duration difference(OffsetDateTime a, OffsetDateTime b) noexcept { return difference(a.utc, b.utc); }

// ---------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------

// Writes the local reading and returns it, or writes nothing and returns
// OutOfRange when the local reading lies beyond the representable years.
template <class Out>
constexpr Result<DateTime> write_offset_datetime(Out& out, OffsetDateTime value) noexcept {
    const Result<DateTime> local = to_local(value);
    if (local) write_local_with_offset(out, *local, value.offset);
    return local;
}

namespace impl {

// "+HH:MM", "+H:M", "+HH:" (whole hours), "+HH" or "+HHMM", with '-' as the
// other sign. The text includes its sign.
constexpr Result<UtcOffset> parse_offset(std::string_view text) noexcept {
    if (text.size() < 3) return CalendarError::InvalidDate;
    const bool positive = text[0] == '+';
    std::string_view body = part(text, 1);
    std::string_view hours_field, minutes_field;
    if (const std::size_t colon = body.find(':'); colon != std::string_view::npos) {
        hours_field = part(body, 0, colon);
        minutes_field = part(body, colon + 1);
        if (hours_field.empty() || hours_field.size() > 2 || minutes_field.size() > 2) {
            return CalendarError::InvalidDate;
        }
    } else if (body.size() == 2 || body.size() == 4) {
        hours_field = part(body, 0, 2);
        minutes_field = part(body, 2);
    } else {
        return CalendarError::InvalidDate;
    }
    std::uint64_t hours = 0, minutes = 0;
    if (!read_bounded(hours_field, 23, hours) ||
        (!minutes_field.empty() && !read_bounded(minutes_field, 59, minutes))) {
        return CalendarError::InvalidDate;
    }
    return offset_from_hours_minutes(positive, static_cast<std::uint8_t>(hours), static_cast<std::uint8_t>(minutes));
}

// The general grammar, for the texts that the fixed layout does not take;
// out of line, so that the fixed layout inlines into its callers.
KAIRODEX_NOINLINE constexpr Result<OffsetDateTime> parse_offset_datetime_general(std::string_view text) noexcept {
    text = impl::trim_white_space(text);
    const std::size_t separator = impl::date_time_separator(text);
    if (separator == std::string_view::npos) return CalendarError::InvalidDate;
    const Result<Date> date = parse_date(part(text, 0, separator));
    if (!date) return CalendarError::InvalidDate;

    std::string_view rest = part(text, separator + 1);
    Result<UtcOffset> offset = UtcOffset{0};
    if (!rest.empty() && (rest.back() == 'Z' || rest.back() == 'z')) {
        rest.remove_suffix(1);
    } else {
        // The time grammar has no signs, so the last one starts the offset.
        std::size_t end = rest.size();
        while (end > 0 && rest[end - 1] != '+' && rest[end - 1] != '-') --end;
        if (end == 0) return CalendarError::InvalidDate;
        offset = impl::parse_offset(part(rest, end - 1));
        rest = part(rest, 0, end - 1);
    }
    const Result<Time> time = parse_time(rest);
    if (!time || !offset) return CalendarError::InvalidDate;
    return from_local(*date, *time, *offset);
}

}  // namespace impl

// "<date>T<time><offset>" with 'Z'/'z' or a numeric offset, ' ' accepted in
// place of 'T', and white space of any script ignored at both ends.
constexpr Result<OffsetDateTime> parse_offset_datetime(std::string_view text) noexcept {
    // The fixed layout first: it starts with a digit and ends with 'Z' or a
    // digit, so there is no white space to trim.
    if (impl::FixedDateTime fields{}; const std::size_t end = impl::read_fixed_datetime(text, 0, fields)) {
        if (const Result<DateTime> local = impl::make_datetime(fields)) {
            // At offset zero the local reading is the instant itself.
            if (end + 1 == text.size() && (text[end] == 'Z' || text[end] == 'z')) {
                return OffsetDateTime{*local, UtcOffset{0}};
            }
            // "+HH:MM" to the end: the instant is the local reading moved back
            // by the offset's whole minutes.
            if (impl::FixedOffset zone{}; text.size() - end == 6 && impl::read_fixed_offset(text, end, zone) != 0 &&
                                          zone.hours <= 23 && zone.minutes <= 59) {
                const int offset_minutes = zone.hours * 60 + zone.minutes;
                const Result<DateTime> utc =
                    impl::move_minutes(*local, zone.positive ? -offset_minutes : offset_minutes);
                if (!utc) return CalendarError::OutOfRange;
                return OffsetDateTime{*utc, UtcOffset{(zone.positive ? 60 : -60) * offset_minutes}};
            }
        }
    }
    return impl::parse_offset_datetime_general(text);
}

}  // namespace kairodex
