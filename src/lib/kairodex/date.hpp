// Proleptic Gregorian dates over the whole signed 32-bit year range: the
// leap-year rule, month lengths, day counts since 1970-01-01 in both
// directions, weekdays, ordinals, the date grammar and the date text form.
#pragma once

#include <cstdint>
#include <string_view>

#include "kairodex/calendar_error.hpp"
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

// Multiple of 4 and not of 100, unless of 400. Among multiples of 25 that is
// "multiple of 16"; among the rest "multiple of 4". y is a multiple of 25
// exactly when y * 25^-1 (mod 2^32), shifted by an offset that centres the
// signed range, lands below 2^32 / 25.
constexpr bool is_leap_year(year_t year) noexcept {
    auto y = static_cast<std::uint32_t>(year);
    const bool multiple_of_25 = y * 3264175145u + 85899345u < 171798691u;
    return multiple_of_25 ? (y & 15) == 0 : (y & 3) == 0;
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

// Days from 1970-01-01 to `date`, negative before it. January and February
// count as months 13 and 14 of the year before, so leap days fall at the end
// of the shifted year.
// Days from 1 March to the first of each month in the shifted year, indexed
// by the civil month (16 entries, so that any byte masked to four bits stays
// inside). At namespace scope, so that no call builds it on its stack.
inline constexpr std::uint16_t days_from_march[16] = {0, 306, 337, 0, 31, 61, 92, 122, 153, 184, 214, 245, 275};

constexpr std::int64_t days_since_unix_epoch(Date date) noexcept {
    const std::uint32_t jan_feb = date.month <= 2 ? 1 : 0;
    // 2147484000 = 400 * 5368710: makes c positive for every 32-bit year and
    // keeps the 400-year cycles aligned. c < 2^33, so c / 4 fits in 32 bits
    // and its quotient by 25 is one multiplication and a shift.
    const std::uint64_t c = static_cast<std::uint64_t>(std::int64_t{date.year} + 2147484000) - jan_feb;
    const auto c4 = static_cast<std::uint32_t>(c >> 2);
    const std::uint32_t c100 = c4 / 25;  // (c / 4) / 25 = c / 100
    const std::uint32_t c400 = c100 >> 2;
    // 784353144339: the count of the shifted calendar's day 0 before 1970-01-01.
    return static_cast<std::int64_t>(365 * c + c4 - c100 + c400 + days_from_march[date.month & 15] + date.day) -
           784353144339;
}

// The date `days` days after 1970-01-01. The count runs backwards from a
// reference day far in the future so that every quotient is taken of a
// non-negative number, and each division is a multiply-high by a reciprocal.
constexpr Result<Date> from_days_since_unix_epoch(std::int64_t days) noexcept {
    // 690527217032721 = 146097 * 4726498270 - 719469: the reference day.
    std::int64_t r = 0;
    if (sub_overflow(std::int64_t{690527217032721}, days, &r) || r < 0) {
        return CalendarError::OutOfRange;
    }
    const auto rev = static_cast<std::uint64_t>(r);
    // 505054698555331 = floor(2^66 / 146097): whole 400-year cycles, times 4.
    const std::uint64_t cen = high64(rev, 505054698555331);
    // Julian-style day count: every century adds its skipped leap day back.
    const std::uint64_t jul = rev + cen - (cen >> 2);
    if (jul >= (std::uint64_t{1} << 63)) return CalendarError::OutOfRange;
    // 50504432782230121 = floor(2^66 / 1461) + 1: four-year cycles; the high
    // half counts years, the low half is the position within the year.
    const u128 product = multiply_wide(jul, 50504432782230121u);
    const auto hi = static_cast<std::uint64_t>(product >> 64);
    const auto lo = static_cast<std::uint64_t>(product);
    // 1890599307999 = 400 * 4726498270 - 1: the reference year.
    const std::int64_t years = 1890599307999 - static_cast<std::int64_t>(hi);
    const std::uint64_t year_part = high64(lo, 782432);
    // Positions below 126464 are January or February: they belong to the next
    // civil year.
    const std::uint64_t bump = year_part < 126464 ? 1 : 0;
    const std::uint64_t n = (static_cast<std::uint64_t>(years) & 3) * 512 + (bump ? 191360 : 977792) - year_part;
    const auto month = static_cast<month_t>(n >> 16);
    // 8619973866219416 = floor(2^64 / 2140): 2140 units make one day.
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

// Most texts of every grammar come in one fixed layout of two-digit fields,
// which is read at fixed places before any general scan.

// Marks a field that is not two digits; it survives an OR of fields (< 128).
constexpr unsigned not_two_digits = 0x100;

// The two ASCII digits at `text[at]` as a number, or not_two_digits.
constexpr unsigned two_digits(std::string_view text, std::size_t at) noexcept {
    const unsigned tens = static_cast<unsigned char>(text[at]) - unsigned{'0'};
    const unsigned ones = static_cast<unsigned char>(text[at + 1]) - unsigned{'0'};
    return tens > 9 || ones > 9 ? not_two_digits : tens * 10 + ones;
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
    if (text.size() == 10 && text[4] == '-' && text[7] == '-') {
        const unsigned century = impl::two_digits(text, 0), year = impl::two_digits(text, 2);
        const unsigned month = impl::two_digits(text, 5), day = impl::two_digits(text, 8);
        if (((century | year | month | day) & impl::not_two_digits) == 0) {
            return make_date(static_cast<year_t>(century * 100 + year), static_cast<month_t>(month),
                             static_cast<day_t>(day));
        }
    }
    return impl::parse_date_general(text);
}

// The year padded to four characters (the sign counted among them), then
// "-MM-DD": "0005-01-01", "-001-12-31", "12345-06-07".
template <class Out>
constexpr void write_date(Out& out, Date date) noexcept {
    if (date.year >= 0 && date.year <= 9999) {  // nearly every date: "YYYY-MM-DD" at fixed places
        if (char* at = out.extend(10)) {
            const auto year = static_cast<unsigned>(date.year);
            write_two_digits(at, year / 100);
            write_two_digits(at + 2, year % 100);
            at[4] = '-';
            write_two_digits(at + 5, date.month);
            at[7] = '-';
            write_two_digits(at + 8, date.day);
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
