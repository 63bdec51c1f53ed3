// Instants paired with the fixed UTC offset they are shown in. The instant is
// kept in UTC; the local reading is derived from it on demand, which is why
// it can fall outside the representable years even when the instant does not.
// (The OffsetDateTime struct and its ordering are in values.hpp.)
#pragma once

#include <cstdint>
#include <string_view>

#include "kairodex/calendar_error.hpp"
#include "kairodex/date.hpp"
#include "kairodex/datetime.hpp"
#include "kairodex/duration.hpp"
#include "kairodex/fast/fence.hpp"
#include "kairodex/fast/fixed_layout.hpp"
#include "kairodex/fast/short_steps.hpp"
#include "kairodex/portable.hpp"
#include "kairodex/text_scan.hpp"
#include "kairodex/time.hpp"
#include "kairodex/utc_offset.hpp"
#include "kairodex/values.hpp"
#include "kairodex/white_space.hpp"

namespace kairodex {

namespace impl {

// `value` moved by `seconds` (an offset's, or any other count that keeps the
// sum within 64 bits): through the Unix count. The nanosecond never moves.
constexpr Result<DateTime> plain_move_seconds(DateTime value, std::int64_t seconds) noexcept {
    return from_unix_parts(unix_timestamp(value) + seconds, static_cast<std::int32_t>(value.time.nanosecond));
}

constexpr Result<DateTime> move_seconds(DateTime value, std::int64_t seconds) noexcept {
    return fast::enabled ? fast::move_seconds<plain_move_seconds>(value, seconds) : plain_move_seconds(value, seconds);
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

// "<date>T<time><offset>" with 'Z'/'z' or a numeric offset, ' ' accepted in
// place of 'T', and white space of any script ignored at both ends; the date
// and the time read by `read_date` and `read_time` (as in read_datetime), the
// offset as parse_offset reads it. Out of line, so that the fast path inlines
// into the callers of parse_offset_datetime.
template <auto read_date, auto read_time>
KAIRODEX_NOINLINE constexpr Result<OffsetDateTime> read_offset_datetime(std::string_view text) noexcept {
    text = trim_white_space(text);
    const std::size_t separator = date_time_separator(text);
    if (separator == std::string_view::npos) return CalendarError::InvalidDate;
    const Result<Date> date = read_date(part(text, 0, separator));
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
        offset = parse_offset(part(rest, end - 1));
        rest = part(rest, 0, end - 1);
    }
    const Result<Time> time = read_time(rest);
    if (!time || !offset) return CalendarError::InvalidDate;
    return from_local(*date, *time, *offset);
}

}  // namespace impl

constexpr Result<OffsetDateTime> plain_parse_offset_datetime(std::string_view text) noexcept {
    return impl::read_offset_datetime<plain_parse_date, plain_parse_time>(text);
}

constexpr Result<OffsetDateTime> parse_offset_datetime(std::string_view text) noexcept {
    return fast::enabled ? fast::parse_offset_datetime<impl::read_offset_datetime<parse_date, parse_time>>(text)
                         : plain_parse_offset_datetime(text);
}

}  // namespace kairodex
