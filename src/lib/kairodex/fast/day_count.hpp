// The day counts since 1970-01-01 in both directions, tuned: no era, no
// signed division; the quotients are shifts and multiply-highs by
// reciprocals, the month and day come out of one fixed-point scale. The plain
// counts in date.hpp define the results; these give the same for every date
// and every count, which the derivations below argue and the tests and the
// differential fuzz target check.
#pragma once

#include <cstdint>

#include "kairodex/calendar_error.hpp"
#include "kairodex/portable.hpp"
#include "kairodex/values.hpp"

namespace kairodex::fast {

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

}  // namespace kairodex::fast
