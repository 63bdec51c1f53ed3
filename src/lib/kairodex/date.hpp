// Proleptic Gregorian dates over the whole signed 32-bit year range: the
// leap-year rule, month lengths, day counts since 1970-01-01 in both
// directions, weekdays, ordinals, the date grammar and the date text form.
#pragma once

#include <cstdint>
#include <string_view>

#include "kairodex/calendar_error.hpp"
#include "kairodex/fixed_layout.hpp"
#include "kairodex/portable.hpp"
#include "kairodex/text_buffer.hpp"

namespace kairodex {

using year_t = std::int32_t;   // [-2147483648:2147483647], year 0 exists
using month_t = std::uint8_t;  // [1:12]
using day_t = std::uint8_t;    // [1:days_in_month]

struct Date {
    year_t year;
    month_t month;
    day_t day;

    friend constexpr bool operator==(const Date&, const Date&) = default;
};

// 0 = Monday ... 6 = Sunday.
struct Weekday {
    std::uint8_t number;

    friend constexpr bool operator==(const Weekday&, const Weekday&) = default;
};

// The day counts of the first and the last representable date.
constexpr std::int64_t min_days_since_unix_epoch = -784353015833;  // -2147483648-01-01
constexpr std::int64_t max_days_since_unix_epoch = 784351576776;   // 2147483647-12-31

// ---------------------------------------------------------------------------
// Leap years and month lengths
// ---------------------------------------------------------------------------

namespace impl {

// 25 * 3264175145 = 19 * 2^32 + 1: the inverse of 25 modulo 2^32.
inline constexpr std::uint32_t inverse_of_25 = 3264175145u;
static_assert(25u * inverse_of_25 == 1u);

// floor(2^31 / 25): the multiples of 25 among signed 32-bit years are 25 k
// for -85899345 <= k <= 85899345, 2 * 85899345 + 1 = 171798691 of them.
inline constexpr std::uint32_t multiples_of_25_each_side = 85899345;
static_assert(multiples_of_25_each_side == (std::uint64_t{1} << 31) / 25);

// Whether `year` is a multiple of 25, with one multiplication for a division.
// Multiplying by the inverse of 25 is a one-to-one map of the 32-bit words
// that takes 25 k to k (mod 2^32); adding 85899345 then takes the multiples of
// 25 among the years exactly onto 0 ..= 171798690. That window holds
// 171798691 values and the multiples fill it, one each, so no other year
// lands in it: the test is exact for all 2^32 years. The tests check every
// year in windows at both ends of the range, where a constant off by one
// shows first: a bound one larger would let in 25 * 85899346, which wraps to
// the year -2147483646.
constexpr bool is_multiple_of_25(year_t year) noexcept {
    return static_cast<std::uint32_t>(year) * inverse_of_25 + multiples_of_25_each_side <
           2 * multiples_of_25_each_side + 1;
}

}  // namespace impl

// Multiple of 4 and not of 100, unless of 400. A multiple of 25 that is one
// of 4 is one of 100, so for multiples of 25 the rule is "multiple of 400",
// which for them is "multiple of 16"; the other years are no multiples of 100
// and the rule is "multiple of 4". The low bits of the two's complement are
// the residues mod 16 and mod 4 of negative years too.
constexpr bool is_leap_year(year_t year) noexcept {
    const auto y = static_cast<std::uint32_t>(year);
    return impl::is_multiple_of_25(year) ? (y & 15) == 0 : (y & 3) == 0;
}

// 31 for months 1, 3, 5, 7, 8, 10, 12 and 30 for 4, 6, 9, 11: the low bit of
// m, flipped from August on, decides.
constexpr day_t days_in_month(year_t year, month_t month) noexcept {
    if (month == 2) return is_leap_year(year) ? 29 : 28;
    return static_cast<day_t>((month ^ (month >> 3)) | 30);
}

constexpr Result<Date> make_date(year_t year, month_t month, day_t day) noexcept {
    if (month < 1 || month > 12) return CalendarError::InvalidDate;
    if (day < 1 || day > days_in_month(year, month)) return CalendarError::InvalidDate;
    return Date{year, month, day};
}

// ---------------------------------------------------------------------------
// Day counts since 1970-01-01
// ---------------------------------------------------------------------------

// Days from 1 March to the first of each month in the shifted year, indexed
// by the civil month (16 entries, so that any byte masked to four bits stays
// inside). At namespace scope, so that no call builds it on its stack.
inline constexpr std::uint16_t days_from_march[16] = {0, 306, 337, 0, 31, 61, 92, 122, 153, 184, 214, 245, 275};

// Days from 1970-01-01 to `date`, negative before it. January and February
// count as months 13 and 14 of the year before, so leap days fall at the end
// of the shifted year.

constexpr std::int64_t days_since_unix_epoch(Date date) noexcept {
    const std::uint32_t jan_feb = date.month <= 2 ? 1 : 0;
    // c counts shifted years from Y0 = -2147484000 = -400 * 5368710, a
    // multiple of 400 before every 32-bit year: 351 <= c < 2^33, so c / 4
    // fits in 32 bits and its quotient by 25 is one multiplication and a
    // shift. The c shifted years before the date's hold 365 c days and the
    // leap days of the civil years Y0 + 1 ..= Y0 + c, which are c / 4 - c / 100
    // + c / 400 as Y0 is a multiple of 400.
    const std::uint64_t c = static_cast<std::uint64_t>(std::int64_t{date.year} + 2147484000) - jan_feb;
    const auto c4 = static_cast<std::uint32_t>(c >> 2);
    const std::uint32_t c100 = c4 / 25;  // (c / 4) / 25 = c / 100
    const std::uint32_t c400 = c100 >> 2;
    // The sum counts days from Y0-03-01, which is day 1 (day is 1-based), and
    // 1970-01-01 is day 784353144339 of that count.
    return static_cast<std::int64_t>(365 * c + c4 - c100 + c400 + days_from_march[date.month & 15] + date.day) -
           784353144339;
}

// The date `days` days after 1970-01-01. The count runs backwards from a
// reference day far in the future so that every quotient is taken of a
// non-negative number, and each division is a multiply-high by a reciprocal.
// The steps follow the calendar's own structure from the reference day back:
// centuries, then Julian years of 365.25 days (after putting back the leap
// days that the centuries skip), then months and days within the year.
//
// Each reciprocal below is exact while rev < 1.38e15, which takes in every
// count that can give a 32-bit year (rev from 6.897e14 to 6.913e14). Counts
// further back may come out a year or two off, but some 1.9e12 years before
// year 0, so the year check at the end refuses them.
constexpr Result<Date> from_days_since_unix_epoch(std::int64_t days) noexcept {
    // The reference day, 690527217032721 = 146097 * 4726498270 - 719469, is
    // 1890599308000-02-29: 719468 days after 0000-03-01 comes 1970-01-01, so
    // 146097 N - 719469 is the day before (400 N)-03-01, the last day of the
    // shifted year 400 N - 1 = 1890599307999. rev counts back from it.
    std::int64_t r = 0;
    if (sub_overflow(std::int64_t{690527217032721}, days, &r) || r < 0) {
        return CalendarError::OutOfRange;
    }
    const auto rev = static_cast<std::uint64_t>(r);
    // Whole centuries back, four to each 400-year cycle. Counting back, the
    // first century of a cycle has 36525 days (it ends with the leap day of a
    // multiple of 400) and the other three 36524, so they end after 36525,
    // 73049, 109573 and 146097 days, as floor(4 rev / 146097) has it.
    // 505054698555331 = floor(2^66 / 146097) falls short of 2^66 / 146097 by
    // 13357 / 146097, so the multiply-high falls short of 4 rev / 146097 by
    // less than 1 / 146097 while rev < 2^64 / 13357 = 1.38e15. A non-integral
    // 4 rev / 146097 lies at least 1 / 146097 above the integer below it, so
    // the floor changes only where the quotient is an integer: at
    // rev = 146097 k, cen is 4 k - 1 instead of 4 k, and cen - cen / 4, the
    // only use of it, is 3 k either way.
    const std::uint64_t cen = high64(rev, 505054698555331);
    // A Julian day count: the three shorter centuries of each cycle lack the
    // leap day that would start their first four-year block (counting back);
    // one day for each of them reached so far, the current one included, is
    // cen - cen / 4. Every four-year block then has 1461 days, leap day first.
    const std::uint64_t jul = rev + cen - (cen >> 2);
    // Counts this far back are refused at once; the year check below would
    // refuse them too.
    if (jul >= (std::uint64_t{1} << 63)) return CalendarError::OutOfRange;
    // Julian years back: floor(4 jul / 1461), which steps after 366, 731,
    // 1096 and 1461 days, the leap year first. 50504432782230121 =
    // floor(2^66 / 1461) + 1 = (2^66 + 317) / 1461, so jul times it is
    // 2^64 hi + lo with hi = floor(4 jul / 1461) exactly while the excess
    // 317 jul / 1461 stays below 2^64 / 1461 (jul < 2^64 / 317 = 5.8e16), and
    // lo = 2^64 (4 jul mod 1461) / 1461 + 317 jul / 1461: the part of the
    // year gone by (counted back from its end), as a 64-bit fraction.
    const u128 product = multiply_wide(jul, 50504432782230121u);
    const auto hi = static_cast<std::uint64_t>(product >> 64);
    const auto lo = static_cast<std::uint64_t>(product);
    // The shifted year: 1890599307999 = 400 * 4726498270 - 1, the reference
    // day's, less the years back. years & 3 is 3 in a year that ends with a
    // leap day.
    const std::int64_t years = 1890599307999 - static_cast<std::int64_t>(hi);
    // The day within the year, on a scale of 782432 units to a Julian year,
    // 782432 / 365.25 = 2142.2 units to a day: close to 2^16 / 30.6, so that
    // the months from March, 153 days to every five, take 2^16 units each on
    // average. n below counts forwards in those units, the month in its high
    // bits and the day of the month in its low 16 bits at 2140 units a day.
    // The excess 317 jul / 1461 of lo adds 6.35 to 6.37 units here.
    const std::uint64_t year_part = high64(lo, 782432);
    // Counted back from the end of February, January 1 of a leap year lies at
    // 126395 units at most and December 31 of a common year at 126930 at
    // least: below 126464 are January and February, which belong to the next
    // civil year.
    const std::uint64_t bump = year_part < 126464 ? 1 : 0;
    // From one year of a four-year block to the next the same date moves a
    // quarter day, 535.5 units, on this scale (a Julian year is 365.25 days);
    // (years & 3) * 512 takes back all but 23.5 units of each step. The
    // base is 977792 for March to December and 12 * 2^16 less, 191360, for
    // January and February, so that they come out as months 1 and 2, not 13
    // and 14.
    const std::uint64_t n = (static_cast<std::uint64_t>(years) & 3) * 512 + (bump ? 191360 : 977792) - year_part;
    const auto month = static_cast<month_t>(n >> 16);
    // 8619973866219416 = floor(2^64 / 2140): for 0 < x < 2^16 the multiply-high
    // is floor((x - 1) / 2140), the reciprocal's shortfall taking x = 2140 k
    // down to k - 1. Over every day of a four-year cycle, the low bits of n lie
    // 20 units or more inside the bottom of their day's slot and 173 or more
    // inside its top.
    //
    // None of 782432, 126464, 512, 977792 and 2140 is the only value that
    // works: holding the others, each may lie in 782052 ..= 782462,
    // 126396 ..= 126930, 506 ..= 592, 977772 ..= 978035 and 2134 ..= 2142.
    // DayCount.ConsecutiveDaysAroundEpochAndEnds (tests/core/date_test.cpp)
    // reads every day of 2190 consecutive years at both ends of the range,
    // which takes each day of the four-year cycle at both ends of the 6.35 to
    // 6.37 excess.
    const auto day = static_cast<day_t>(high64(n & 0xffff, 8619973866219416) + 1);
    const std::int64_t year = years + static_cast<std::int64_t>(bump);
    if (year < INT32_MIN || year > INT32_MAX) return CalendarError::OutOfRange;
    return Date{static_cast<year_t>(year), month, day};
}

// A number in calendar order read straight off the fields, for comparisons
// that need no day count: the year with its sign bit flipped (signed order
// as unsigned), then month and day.
constexpr std::uint64_t calendar_order(Date date) noexcept {
    return std::uint64_t{static_cast<std::uint32_t>(date.year) ^ 0x80000000u} << 16 | std::uint64_t{date.month} << 8 |
           date.day;
}

constexpr Result<Date> add_days(Date date, std::int64_t days) noexcept {
    // A step that lands on the days 1 to 28, which every month has, changes
    // the day alone: no day count either way. (The sum is taken modulo 2^64;
    // a true sum outside 0 ..= 27 cannot wrap into that range.)
    if (const std::uint64_t day = static_cast<std::uint64_t>(days) + date.day - 1; day < 28) {
        return Date{date.year, date.month, static_cast<day_t>(day + 1)};
    }
    std::int64_t sum = 0;
    if (add_overflow(days_since_unix_epoch(date), days, &sum)) {
        return CalendarError::OutOfRange;
    }
    return from_days_since_unix_epoch(sum);
}

// 1970-01-01, day 0, is a Thursday (3).
constexpr Weekday weekday(Date date) noexcept {
    // The day count shifted by a multiple of 7 (7 * 2^40) that makes it
    // positive for every date, so that an unsigned remainder serves.
    constexpr std::uint64_t positive = std::uint64_t{7} << 40;
    return Weekday{
        static_cast<std::uint8_t>((static_cast<std::uint64_t>(days_since_unix_epoch(date)) + positive + 3) % 7)};
}

constexpr unsigned number_from_monday(Weekday weekday) noexcept { return weekday.number + 1u; }

inline constexpr std::string_view weekday_names[7] = {"Monday", "Tuesday",  "Wednesday", "Thursday",
                                                      "Friday", "Saturday", "Sunday"};

constexpr std::string_view name_of(Weekday weekday) noexcept { return weekday_names[weekday.number % 7]; }

// Days of a common year before each month.
inline constexpr std::uint16_t days_before_month[12] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};

// Day of the year, 1 ..= 366.
constexpr std::uint16_t ordinal(Date date) noexcept {
    const bool after_leap_day = date.month > 2 && is_leap_year(date.year);
    return static_cast<std::uint16_t>(days_before_month[date.month - 1] + date.day + after_leap_day);
}

// ---------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------

namespace impl {

constexpr bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

// `text.substr(from, count)` without its out_of_range throw (a `from` past the
// end gives the empty tail): the readers only pass places they found in the
// text, and the throw is the one thing that would tie the module to the C++
// library at run time.
constexpr std::string_view part(std::string_view text, std::size_t from,
                                std::size_t count = std::string_view::npos) noexcept {
    if (from > text.size()) from = text.size();
    const std::size_t rest = text.size() - from;
    return std::string_view(text.data() + from, count < rest ? count : rest);
}

// Reads a non-empty run of ASCII digits whose value may not pass `bound`. The
// reader stops at the first digit that would pass it, so no digit string can
// overflow, however long.
constexpr bool read_bounded(std::string_view digits, std::uint64_t bound, std::uint64_t& value) noexcept {
    if (digits.empty()) return false;
    std::uint64_t v = 0;
    for (char c : digits) {
        if (!is_digit(c)) return false;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
        if (v > bound) return false;
    }
    value = v;
    return true;
}

// Where the date ends and the time begins: the first 'T', else the first ' '.
// A 'T' right after "YYYY-MM-DD" is taken without a scan for an earlier one:
// no part of any grammar admits a 'T', so a text with two fails either way.
constexpr std::size_t date_time_separator(std::string_view text) noexcept {
    if (text.size() > 10 && text[10] == 'T') return 10;
    const std::size_t t = text.find('T');
    return t != std::string_view::npos ? t : text.find(' ');
}

// The general grammar, for the texts that the fixed layout does not take;
// out of line, so that the fixed layout inlines into its callers.
KAIRODEX_NOINLINE constexpr Result<Date> parse_date_general(std::string_view text) noexcept {
    if (text.empty()) return CalendarError::InvalidDate;
    std::size_t separators[2] = {0, 0};
    int count = 0;
    for (std::size_t i = 1; i < text.size(); ++i) {
        if (text[i] == '-') {
            if (count == 2) return CalendarError::InvalidDate;
            separators[count++] = i;
        }
    }
    if (count != 2) return CalendarError::InvalidDate;

    std::string_view year_field = part(text, 0, separators[0]);
    const bool negative = year_field[0] == '-';
    if (year_field[0] == '+' || negative) year_field.remove_prefix(1);
    std::uint64_t year = 0, month = 0, day = 0;
    if (!impl::read_bounded(year_field, negative ? 2147483648u : 2147483647u, year) ||
        !impl::read_bounded(part(text, separators[0] + 1, separators[1] - separators[0] - 1), 12, month) ||
        !impl::read_bounded(part(text, separators[1] + 1), 31, day)) {
        return CalendarError::InvalidDate;
    }
    const auto signed_year = negative ? -static_cast<std::int64_t>(year) : static_cast<std::int64_t>(year);
    return make_date(static_cast<year_t>(signed_year), static_cast<month_t>(month), static_cast<day_t>(day));
}

}  // namespace impl

// "[+-]Y...-M...-D..." with any number of leading zeros in each field. The
// first byte is never a separator, so a leading '-' is the year's sign.
constexpr Result<Date> parse_date(std::string_view text) noexcept {
    // "YYYY-MM-DD" at fixed places; the general scan below reads it the same.
    if (impl::FixedDate fields{}; text.size() == 10 && impl::read_fixed_date(text, 0, fields) != 0) {
        return make_date(fields.year, fields.month, fields.day);
    }
    return impl::parse_date_general(text);
}

namespace impl {

// "YYYY-MM-" for a date of the years 0 to 9999, as a little-endian word.
constexpr std::uint64_t year_month_ascii(Date date) noexcept {
    const auto year = static_cast<unsigned>(date.year);
    return two_digit_lanes(year / 100 | std::uint64_t{year % 100} << 16 | std::uint64_t{date.month} << 40,
                           0x00000F00000F000F, 0x2D30302D30303030);
}

}  // namespace impl

// The year padded to four characters (the sign counted among them), then
// "-MM-DD": "0005-01-01", "-001-12-31", "12345-06-07".
template <class Out>
constexpr void write_date(Out& out, Date date) noexcept {
    if (date.year >= 0 && date.year <= 9999) {  // nearly every date: "YYYY-MM-DD" at fixed places
        if (char* at = out.extend(10)) {
            store_le64(at, impl::year_month_ascii(date));
            store_le64(at + 8, two_digit_lanes(date.day, 0x0F, 0x3030));
        }
        return;
    }
    if (date.year < 0) {
        out.put('-');
        put_unsigned(out, u128{0} - static_cast<u128>(static_cast<i128>(date.year)), 3);
    } else {
        put_unsigned(out, static_cast<u128>(date.year), 4);
    }
    out.put('-');
    put_unsigned(out, date.month, 2);
    out.put('-');
    put_unsigned(out, date.day, 2);
}

}  // namespace kairodex
