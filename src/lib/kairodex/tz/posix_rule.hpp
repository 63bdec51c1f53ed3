// The POSIX TZ rule's text form, with RFC 8536's two extensions: times of
// day from -167 h to 167 h, and daylight saving time all year when it starts
// on 1 January at 00:00 and ends on 31 December at 24:00 plus the difference
// between the offsets (which needs no case of its own: see rule_is_dst).
//
//   rule   = std offset [dst [offset] "," date ["/" time] "," date ["/" time]]
//   name   = 3 or more letters | "<" 3 or more of [A-Za-z0-9+-] ">"
//   offset = [+-]hh[:mm[:ss]], hh 0 to 24; positive west of Greenwich
//   date   = "J" n (1 to 365) | n (0 to 365) | "M" m "." w "." d
//   time   = [+-]hhh[:mm[:ss]], hhh 0 to 167; 02:00:00 when left out
//
// A daylight saving time name without dates is refused: POSIX leaves those
// dates to the implementation, and RFC 8536 requires a footer to give them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "kairodex/calendar_error.hpp"
#include "kairodex/text_scan.hpp"
#include "kairodex/tz/rule_years.hpp"
#include "kairodex/tz/zone_data_error.hpp"

namespace kairodex::tz {

namespace impl {

// The core's text scanning.
using kairodex::impl::is_digit;
using kairodex::impl::part;
using kairodex::impl::read_bounded;

// The text and how far it has been read; every reader below moves `at` past
// what it read, and only then.
struct RuleText {
    std::string_view text;
    std::size_t at = 0;

    constexpr bool done() const noexcept { return at == text.size(); }
    constexpr bool next_is(char c) const noexcept { return at < text.size() && text[at] == c; }
    constexpr bool take(char c) noexcept {
        if (!next_is(c)) return false;
        ++at;
        return true;
    }
};

constexpr bool is_letter(char c) noexcept { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// "<" and ">" quote names that hold digits or signs, such as "<+0330>".
constexpr bool read_name(RuleText& in, std::string_view& name) noexcept {
    std::size_t end = in.at;
    if (in.next_is('<')) {
        end = in.at + 1;
        while (end < in.text.size() &&
               (is_letter(in.text[end]) || is_digit(in.text[end]) || in.text[end] == '+' || in.text[end] == '-')) {
            ++end;
        }
        if (end - (in.at + 1) < 3 || end == in.text.size() || in.text[end] != '>') return false;
        name = part(in.text, in.at + 1, end - (in.at + 1));
        in.at = end + 1;
        return true;
    }
    while (end < in.text.size() && is_letter(in.text[end])) ++end;
    if (end - in.at < 3) return false;
    name = part(in.text, in.at, end - in.at);
    in.at = end;
    return true;
}

// A run of 1 to `max_digits` digits whose value is at most `bound`.
constexpr bool read_number(RuleText& in, std::size_t max_digits, std::uint32_t bound, std::uint32_t& value) noexcept {
    std::size_t end = in.at;
    while (end < in.text.size() && end - in.at < max_digits && is_digit(in.text[end])) ++end;
    std::uint64_t number = 0;
    if (!read_bounded(part(in.text, in.at, end - in.at), bound, number)) return false;
    in.at = end;
    value = static_cast<std::uint32_t>(number);
    return true;
}

// "[+-]h[:mm[:ss]]" with at most `max_hour_digits` hour digits and at most
// `max_hours` hours, as signed seconds.
constexpr bool read_hours(RuleText& in, std::size_t max_hour_digits, std::uint32_t max_hours,
                          std::int32_t& seconds) noexcept {
    const bool negative = in.take('-');
    if (!negative) in.take('+');
    std::uint32_t hours = 0, minutes = 0, rest = 0;
    if (!read_number(in, max_hour_digits, max_hours, hours)) return false;
    if (in.take(':')) {
        if (!read_number(in, 2, 59, minutes)) return false;
        if (in.take(':') && !read_number(in, 2, 59, rest)) return false;
    }
    const auto magnitude = static_cast<std::int32_t>(hours * 3600 + minutes * 60 + rest);
    seconds = negative ? -magnitude : magnitude;
    return true;
}

// POSIX counts offsets west of Greenwich as positive; kairodex, local time
// minus UTC, east. Offsets must fit a UtcOffset (±24 h).
constexpr bool read_offset(RuleText& in, std::int32_t& offset) noexcept {
    std::int32_t west = 0;
    if (!read_hours(in, 2, 24, west) || west < -86400 || west > 86400) return false;
    offset = -west;
    return true;
}

constexpr bool read_date(RuleText& in, RuleDate& date) noexcept {
    std::uint32_t a = 0, b = 0, c = 0;
    if (in.take('J')) {
        if (!read_number(in, 3, 365, a) || a == 0) return false;
        date = {RuleDateForm::Julian, static_cast<std::uint16_t>(a), 0, 0, 0};
        return true;
    }
    if (in.take('M')) {
        if (!read_number(in, 2, 12, a) || a == 0 || !in.take('.') || !read_number(in, 1, 5, b) || b == 0 ||
            !in.take('.') || !read_number(in, 1, 6, c)) {
            return false;
        }
        date = {RuleDateForm::MonthWeekDay, 0, static_cast<std::uint8_t>(a), static_cast<std::uint8_t>(b),
                static_cast<std::uint8_t>(c)};
        return true;
    }
    if (!read_number(in, 3, 365, a)) return false;
    date = {RuleDateForm::DayOfYear, static_cast<std::uint16_t>(a), 0, 0, 0};
    return true;
}

// POSIX's default time of day for a change.
constexpr std::int32_t default_change_time = 2 * 3600;

constexpr Result<RuleChange, ZoneDataError> read_change(RuleText& in) noexcept {
    RuleChange change{{}, default_change_time};
    if (!read_date(in, change.date)) return ZoneDataError::RuleDate;
    if (in.take('/') && !read_hours(in, 3, 167, change.time)) return ZoneDataError::RuleTime;
    return change;
}

// The year whose changes decide which way round a rule goes. Any year would
// do: only changes within days of each other, in different date forms, can
// come in a different order in another year, and such a rule then simply has
// no daylight saving time in that year (northern) or all of it (southern).
constexpr std::int64_t reference_year = 2000;

// The parts derived from the rule as read: which way round it goes, and
// whether its offset ever changes. The latter looks for a change within one
// 400-year cycle: once only for the rules that have none (all-year daylight
// saving time), the first year's change ends the search for all others.
constexpr PosixRule with_derived_parts(PosixRule rule) noexcept {
    rule.southern = false;
    rule.changes_offset = false;
    if (!rule.has_dst) return rule;
    const RuleTransitions reference = rule_transitions(rule, reference_year);
    rule.southern = reference.end < reference.start;
    rule.changes_offset =
        rule.std_offset != rule.dst_offset && next_dst_change(rule, year_start(reference_year)).has_value();
    return rule;
}

}  // namespace impl

// The abbreviations of the result view into `text`, which the caller keeps.
constexpr Result<PosixRule, ZoneDataError> parse_posix_rule(std::string_view text) noexcept {
    impl::RuleText in{text};
    PosixRule rule{};
    if (!impl::read_name(in, rule.std_abbreviation)) return ZoneDataError::RuleName;
    if (!impl::read_offset(in, rule.std_offset)) return ZoneDataError::RuleOffset;
    if (in.done()) return impl::with_derived_parts(rule);
    if (!in.next_is('<') && !impl::is_letter(in.text[in.at])) return ZoneDataError::RuleTrailingText;

    if (!impl::read_name(in, rule.dst_abbreviation)) return ZoneDataError::RuleName;
    rule.has_dst = true;
    rule.dst_offset = rule.std_offset + 3600;  // one hour ahead of standard time unless given
    if (!in.next_is(',') && !in.done() && !impl::read_offset(in, rule.dst_offset)) return ZoneDataError::RuleOffset;
    if (rule.dst_offset > 86400) return ZoneDataError::RuleOffset;
    if (!in.take(',')) return in.done() ? ZoneDataError::RuleWithoutDates : ZoneDataError::RuleTrailingText;

    const Result<RuleChange, ZoneDataError> start = impl::read_change(in);
    if (!start) return start.error();
    if (!in.take(',')) return ZoneDataError::RuleDate;
    const Result<RuleChange, ZoneDataError> end = impl::read_change(in);
    if (!end) return end.error();
    if (!in.done()) return ZoneDataError::RuleTrailingText;
    rule.start = *start;
    rule.end = *end;
    return impl::with_derived_parts(rule);
}

}  // namespace kairodex::tz
