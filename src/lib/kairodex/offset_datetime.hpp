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
#include "kairodex/portable.hpp"
#include "kairodex/time.hpp"
#include "kairodex/utc_offset.hpp"

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

// "?HH:MM", first byte lowest; the sign byte is checked on its own.
constexpr WordLayout offset_layout{0x0000F0F0FFF0F000, 0x000030303A303000, 0x0000060600060600, 0x0000F0F000F0F000};

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

// A local reading and its offset: "2024-06-01T09:30:00+02:00", with "Z" for a
// zero offset.
template <class Out>
constexpr void write_local_with_offset(Out& out, DateTime local, UtcOffset offset) noexcept {
    write_date(out, local.date);
    out.put('T');
    write_time(out, local.time);
    if (is_utc(offset)) {
        out.put('Z');
    } else {
        write_offset(out, offset);
    }
}

// Writes the local reading and returns it, or writes nothing and returns
// OutOfRange when the local reading lies beyond the representable years.
template <class Out>
constexpr Result<DateTime> write_offset_datetime(Out& out, OffsetDateTime value) noexcept {
    const Result<DateTime> local = to_local(value);
    if (local) write_local_with_offset(out, *local, value.offset);
    return local;
}

namespace impl {

// The code point at the front of `text` and its length in bytes, or length 0
// when the bytes there are not well-formed UTF-8.
struct CodePoint {
    char32_t value;
    std::size_t length;
};

constexpr CodePoint decode_front(std::string_view text) noexcept {
    if (text.empty()) return {0, 0};
    const auto lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80) return {lead, 1};
    // The sequence length, the payload bits of the lead byte, and the smallest
    // code point that needs this many bytes (below it the form is overlong).
    std::size_t length = 0;
    char32_t value = 0, smallest = 0;
    if (lead >= 0xC0 && lead < 0xE0) {
        length = 2;
        value = lead & 0x1Fu;
        smallest = 0x80;
    } else if (lead >= 0xE0 && lead < 0xF0) {
        length = 3;
        value = lead & 0x0Fu;
        smallest = 0x800;
    } else if (lead >= 0xF0 && lead < 0xF5) {
        length = 4;
        value = lead & 0x07u;
        smallest = 0x10000;
    } else {
        return {0, 0};  // a continuation byte or a byte UTF-8 never uses
    }
    if (text.size() < length) return {0, 0};
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte & 0xC0) != 0x80) return {0, 0};
        value = (value << 6) | (byte & 0x3Fu);
    }
    if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return {0, 0};
    }
    return {value, length};
}

// The code point at the back: step over up to three continuation bytes to a
// lead byte, and accept it only if its sequence ends exactly at the end.
constexpr CodePoint decode_back(std::string_view text) noexcept {
    std::size_t start = text.size();
    for (int steps = 0; steps < 4 && start > 0; ++steps) {
        --start;
        if ((static_cast<unsigned char>(text[start]) & 0xC0) != 0x80) break;
    }
    const CodePoint found = decode_front(part(text, start));
    if (found.length != text.size() - start) return {0, 0};
    return found;
}

// The Unicode White_Space property.
constexpr bool is_white_space(char32_t c) noexcept {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

constexpr std::string_view trim_white_space(std::string_view text) noexcept {
    // Printable ASCII at both ends, the usual case, is no white space.
    auto printable = [](char c) { return c > ' ' && c < '\x7f'; };
    if (!text.empty() && printable(text.front()) && printable(text.back())) return text;
    for (CodePoint c = decode_front(text); c.length != 0 && is_white_space(c.value); c = decode_front(text)) {
        text.remove_prefix(c.length);
    }
    for (CodePoint c = decode_back(text); c.length != 0 && is_white_space(c.value); c = decode_back(text)) {
        text.remove_suffix(c.length);
    }
    return text;
}

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
    if (DateTime local{}; const std::size_t end = impl::read_fixed_datetime(text, local)) {
        const std::size_t zone_size = text.size() - end;
        // At offset zero the local reading is the instant itself.
        if (zone_size == 1 && (text[end] == 'Z' || text[end] == 'z')) return OffsetDateTime{local, UtcOffset{0}};
        // "+HH:MM" as the last six bytes, read as one word: the instant is the
        // local reading moved back by the offset's whole minutes.
        if (zone_size == 6) {
            const std::uint64_t zone = impl::load_le64(text, text.size() - 8) >> 16;
            const auto sign = static_cast<unsigned char>(zone);
            const std::uint64_t pairs = impl::digit_pairs(zone);
            const unsigned hours = impl::pair_at(pairs, 1), minutes = impl::pair_at(pairs, 4);
            if ((sign == '+' || sign == '-') && impl::matches(zone, impl::offset_layout) && hours <= 23 &&
                minutes <= 59) {
                const int offset_minutes = static_cast<int>(hours * 60 + minutes);
                const bool positive = sign == '+';
                const Result<DateTime> utc = impl::move_minutes(local, positive ? -offset_minutes : offset_minutes);
                if (!utc) return CalendarError::OutOfRange;
                return OffsetDateTime{*utc, UtcOffset{(positive ? 60 : -60) * offset_minutes}};
            }
        }
    }
    return impl::parse_offset_datetime_general(text);
}

}  // namespace kairodex
