// The POSIX TZ rule as values, and what it says about instants: the UTC
// instants at which a year's daylight saving time starts and ends, whether an
// instant lies in daylight saving time, and the instants at which that
// changes. (The rule's text form is read in posix_rule.hpp.)
//
// A rule such as "CET-1CEST,M3.5.0,M10.5.0/3" names standard time (CET, one
// hour east of UTC), daylight saving time (CEST, an hour more), and the local
// date and time of day on which each year's daylight saving time starts and
// ends. RFC 8536 lets the time of day run from -167:59:59 to 167:59:59, so a
// year's change may fall up to a week outside its date, into the year before
// or after; every question below therefore looks at the neighbouring years
// too.
#pragma once

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>

#include "kairodex/date.hpp"
#include "kairodex/datetime.hpp"
#include "kairodex/portable.hpp"
#include "kairodex/values.hpp"

namespace kairodex::tz {

// ---------------------------------------------------------------------------
// Values
// ---------------------------------------------------------------------------

enum class RuleDateForm : std::uint8_t {
    Julian,        // "Jn": day n of the year, 29 February never counted (J60 is always 1 March)
    DayOfYear,     // "n": day n of the year counted from 0, 29 February counted
    MonthWeekDay,  // "Mm.w.d": weekday d of week w of month m
};

struct RuleDate {
    RuleDateForm form;
    std::uint16_t day;     // Julian [1:365], DayOfYear [0:365]
    std::uint8_t month;    // [1:12]
    std::uint8_t week;     // [1:5], 5 = the month's last such weekday
    std::uint8_t weekday;  // [0:6], 0 = Sunday

    friend constexpr bool operator==(const RuleDate&, const RuleDate&) = default;
};

// A change of time: the local date, and the local time of day counted from
// that date's midnight, in seconds.
struct RuleChange {
    RuleDate date;
    std::int32_t time;  // [-604799:604799], ±167:59:59

    friend constexpr bool operator==(const RuleChange&, const RuleChange&) = default;
};

struct PosixRule {
    std::string_view std_abbreviation;  // into the rule's text, which the caller keeps
    std::string_view dst_abbreviation;  // empty without daylight saving time
    std::int32_t std_offset;            // [-86400:86400], local time minus UTC
    std::int32_t dst_offset;            // [-86400:86400]
    bool has_dst;
    RuleChange start;  // read in local standard time
    RuleChange end;    // read in local daylight saving time
    // Derived from the above by parse_posix_rule:
    bool southern;        // a year's end comes before its start: daylight saving time spans the new year
    bool changes_offset;  // the two offsets differ and the rule ever changes between them
};

// UTC Unix seconds at which a year's daylight saving time starts and ends.
struct RuleTransitions {
    std::int64_t start;
    std::int64_t end;
};

// The years a rule is asked about: one beyond the Date range on each side,
// since a change given on a date of year Y may fall into year Y - 1 or Y + 1.
constexpr std::int64_t min_rule_year = std::int64_t{INT32_MIN} - 1;
constexpr std::int64_t max_rule_year = std::int64_t{INT32_MAX} + 1;

namespace impl {

// 400 Gregorian years hold 146097 days, 20871 whole weeks: dates and weekdays
// repeat after them exactly.
constexpr std::int64_t days_per_cycle = 146097;
constexpr std::int64_t seconds_per_day = 86400;

// How far a year's changes may lie outside that year: a rule date lies
// between the year's 1 January and the next (day 365 of a common year), its
// time of day less than 168 h either side of the date's midnight, and UTC up
// to 24 h from local time.
constexpr std::int64_t change_reach = (168 + 24) * 3600;

// A year within the Date range standing for `year`, and the days by which
// `year`'s dates lie after the stand-in's: the year itself, or for the years
// just beyond the range its twin one cycle nearer.
struct TwinYear {
    year_t year;
    std::int64_t day_shift;
};

constexpr TwinYear twin_year(std::int64_t year) noexcept {
    if (year > INT32_MAX) return {static_cast<year_t>(year - 400), days_per_cycle};
    if (year < INT32_MIN) return {static_cast<year_t>(year + 400), -days_per_cycle};
    return {static_cast<year_t>(year), 0};
}

// Days from 1970-01-01 to the rule's date in `year`.
constexpr std::int64_t rule_day(const RuleDate& date, year_t year) noexcept {
    switch (date.form) {
    case RuleDateForm::Julian:
        // A leap year's 29 February is passed over: from J60 on, one day later.
        return days_since_unix_epoch(Date{year, 1, 1}) + date.day - 1 + (date.day >= 60 && is_leap_year(year));
    case RuleDateForm::DayOfYear: return days_since_unix_epoch(Date{year, 1, 1}) + date.day;
    case RuleDateForm::MonthWeekDay: break;
    }
    const Date first{year, date.month, 1};
    const std::int64_t first_day = days_since_unix_epoch(first);
    // The core counts weekdays from Monday = 0, POSIX from Sunday = 0.
    const unsigned first_weekday = (weekday(first).number + 1u) % 7;
    const std::int64_t day = first_day + (date.weekday + 7u - first_weekday) % 7 + 7 * (date.week - 1);
    // Week 5 is the last such weekday: in a month with only four, week 4's.
    return day < first_day + days_in_month(year, date.month) ? day : day - 7;
}

// Seconds from 1970-01-01T00:00:00Z to 1 January of `year`.
constexpr std::int64_t year_start(std::int64_t year) noexcept {
    const TwinYear twin = twin_year(year);
    return (days_since_unix_epoch(Date{twin.year, 1, 1}) + twin.day_shift) * seconds_per_day;
}

}  // namespace impl

// The instants at which daylight saving time starts and ends in `year`, for
// any year in [min_rule_year, max_rule_year]: the start read in local
// standard time, the end in local daylight saving time.
constexpr RuleTransitions rule_transitions(const PosixRule& rule, std::int64_t year) noexcept {
    const impl::TwinYear twin = impl::twin_year(year);
    const std::int64_t start_day = impl::rule_day(rule.start.date, twin.year) + twin.day_shift;
    const std::int64_t end_day = impl::rule_day(rule.end.date, twin.year) + twin.day_shift;
    return {start_day * impl::seconds_per_day + rule.start.time - rule.std_offset,
            end_day * impl::seconds_per_day + rule.end.time - rule.dst_offset};
}

// ---------------------------------------------------------------------------
// Daylight saving time at an instant
// ---------------------------------------------------------------------------

// Northern rules (start before end within a year) keep daylight saving time
// within [start, end) of some year; southern ones keep standard time within
// [end, start) of some year and daylight saving time everywhere else. Only
// years whose changes can reach the instant's UTC year are looked at: that
// year, and its neighbour when the instant lies within change_reach of the
// year's edge. Where intervals of neighbouring years meet or overlap, they
// join: that is how RFC 8536's all-year daylight saving time ("0/0,J365/25",
// ending as the next year's starts) keeps it all year.
//
// Instants beyond kairodex's range take the answer at its end, so that the
// rule never changes outside it.
constexpr bool rule_is_dst(const PosixRule& rule, std::int64_t unix_seconds) noexcept {
    if (!rule.has_dst) return false;
    const std::int64_t t = std::clamp(unix_seconds, min_unix_timestamp, max_unix_timestamp);
    const std::int64_t day = floor_div<std::int64_t>(t, impl::seconds_per_day);
    const Date date = *from_days_since_unix_epoch(day);
    const std::int64_t this_year = (day - (ordinal(date) - 1)) * impl::seconds_per_day;
    const std::int64_t next_year = this_year + (is_leap_year(date.year) ? 366 : 365) * impl::seconds_per_day;
    const std::int64_t first = t < this_year + impl::change_reach ? std::int64_t{date.year} - 1 : date.year;
    const std::int64_t last = t >= next_year - impl::change_reach ? std::int64_t{date.year} + 1 : date.year;
    // Within a northern rule's daylight saving time, or a southern rule's
    // standard time, of one of those years. Whether it is depends on the
    // instant as often one way as the other: no branch to mispredict.
    bool within = false;
    for (std::int64_t year = first; year <= last; ++year) {
        const RuleTransitions changes = rule_transitions(rule, year);
        const std::int64_t from = rule.southern ? changes.end : changes.start;
        const std::int64_t to = rule.southern ? changes.start : changes.end;
        within |= (from <= t) & (t < to);
    }
    return within != rule.southern;
}

// ---------------------------------------------------------------------------
// Changes between standard and daylight saving time
// ---------------------------------------------------------------------------

// A change: its instant, and whether daylight saving time holds from it on.
struct DstChange {
    std::int64_t instant;
    bool dst_after;
};

namespace impl {

// A rule says the same about instants one cycle apart, so a rule that changes
// at all changes within any cycle: a search ends after one, whatever it found.
constexpr std::int64_t cycle_years = 400 + 2;

// Whether daylight saving time starts or ends at `instant` (a change of one
// of the years looked at), rather than continuing or never holding.
constexpr bool changes_at(const PosixRule& rule, std::int64_t instant) noexcept {
    return rule_is_dst(rule, instant - 1) != rule_is_dst(rule, instant);
}

}  // namespace impl

// The first change strictly after `after`, within kairodex's range. Years are
// looked at in order from the one before `after`'s; as a year's changes may
// lie a week into the next year, a change found is kept until a later year's
// changes can no longer come before it.
constexpr std::optional<DstChange> next_dst_change(const PosixRule& rule, std::int64_t after) noexcept {
    if (!rule.has_dst || after >= max_unix_timestamp) return std::nullopt;
    const std::int64_t from = std::max(after, min_unix_timestamp);
    const std::int64_t first =
        std::int64_t{from_days_since_unix_epoch(floor_div(from, impl::seconds_per_day))->year} - 1;
    std::optional<std::int64_t> found;
    for (std::int64_t year = first; year <= max_rule_year && year <= first + impl::cycle_years; ++year) {
        const std::int64_t earliest = impl::year_start(year) - impl::change_reach;
        if (earliest > max_unix_timestamp || (found && *found < earliest)) break;
        const RuleTransitions changes = rule_transitions(rule, year);
        for (const std::int64_t instant : {changes.start, changes.end}) {
            if (instant > after && instant <= max_unix_timestamp && (!found || instant < *found) &&
                impl::changes_at(rule, instant)) {
                found = instant;
            }
        }
    }
    if (!found) return std::nullopt;
    return DstChange{*found, rule_is_dst(rule, *found)};
}

// The last change strictly before `before` and strictly after `floor`, within
// kairodex's range: the mirror image of next_dst_change.
constexpr std::optional<DstChange> previous_dst_change(const PosixRule& rule, std::int64_t before,
                                                       std::int64_t floor) noexcept {
    if (!rule.has_dst || before <= min_unix_timestamp) return std::nullopt;
    const std::int64_t to = std::min(before, max_unix_timestamp);
    const std::int64_t last = std::int64_t{from_days_since_unix_epoch(floor_div(to, impl::seconds_per_day))->year} + 1;
    std::optional<std::int64_t> found;
    for (std::int64_t year = last; year >= min_rule_year && year >= last - impl::cycle_years; --year) {
        const std::int64_t latest = impl::year_start(year + 1) + impl::change_reach;
        if (latest <= floor || latest < min_unix_timestamp || (found && *found > latest)) break;
        const RuleTransitions changes = rule_transitions(rule, year);
        for (const std::int64_t instant : {changes.start, changes.end}) {
            if (instant < before && instant > floor && (!found || instant > *found) &&
                impl::changes_at(rule, instant)) {
                found = instant;
            }
        }
    }
    if (!found) return std::nullopt;
    return DstChange{*found, rule_is_dst(rule, *found)};
}

}  // namespace kairodex::tz
