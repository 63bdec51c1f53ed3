#include "kairodex/date.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "core/test_support.hpp"

using namespace kairodex;
using namespace kairodex::test;

namespace {

// An independent, plainly written conversion to check the constant-time one
// against: whole 400-year cycles, then years, then months.
std::int64_t reference_days(std::int64_t y, int m, int d) {
    auto fdiv = [](std::int64_t a, std::int64_t b) { return floor_div(a, b); };
    auto leap = [](std::int64_t yy) { return (yy % 4 == 0 && yy % 100 != 0) || yy % 400 == 0; };
    static const int cumulative[] = {0, 31, 59, 90, 120, 151, 181, 212, 243, 273, 304, 334};
    std::int64_t before_year = 365 * (y - 1970) + (fdiv(y - 1, 4) - fdiv(1969, 4)) -
                               (fdiv(y - 1, 100) - fdiv(1969, 100)) + (fdiv(y - 1, 400) - fdiv(1969, 400));
    return before_year + cumulative[m - 1] + (m > 2 && leap(y)) + d - 1;
}

// The plain day counts and the tuned ones, each held to the same answers.
struct DayCounts {
    const char* name;
    std::int64_t (*days_of)(Date);
    Result<Date> (*date_of)(std::int64_t);
};
constexpr DayCounts day_counts[] = {{"plain", plain_days_since_unix_epoch, plain_from_days_since_unix_epoch},
                                    {"fast", fast::days_since_unix_epoch, fast::from_days_since_unix_epoch}};

}  // namespace

TEST(LeapYear, GregorianRuleForEverySign) {
    for (year_t y : {2000, 2024, 0, -4, -400, 400, 1600, 2147483600, -2147483600}) EXPECT_TRUE(is_leap_year(y)) << y;
    for (year_t y : {1900, 2100, 2023, -100, -1, 1, 2147483647, -2147483647, INT32_MIN + 2})
        EXPECT_FALSE(is_leap_year(y)) << y;
    for (std::int64_t y = -100000; y <= 100000; ++y) {
        bool expected = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
        ASSERT_EQ(is_leap_year(static_cast<year_t>(y)), expected) << y;
    }
}

// The fast rule rests on is_multiple_of_25, exact for all 2^32 years by the
// argument beside it (its constants are checked at compile time there); the
// rest of it depends on the year mod 400 alone. Each window below holds every
// residue mod 400, and those at the ends of the range hold the years that a
// constant off by one would get wrong first: +-2147483625 (25 k for
// |k| = 85899345) and +-2147483646 (whose products lie just outside the
// accepted window).
TEST(LeapYear, FastRuleAtTheEndsAndAroundZero) {
    const std::int64_t windows[][2] = {
        {INT32_MIN, INT32_MIN + 400000}, {-200000, 200000}, {INT32_MAX - 400000, INT32_MAX}};
    for (const auto& [first, last] : windows) {
        for (std::int64_t y = first; y <= last; ++y) {
            ASSERT_EQ(fast::is_multiple_of_25(static_cast<year_t>(y)), y % 25 == 0) << y;
            ASSERT_EQ(fast::is_leap_year(static_cast<year_t>(y)), plain_is_leap_year(static_cast<year_t>(y))) << y;
        }
    }
}

TEST(DaysInMonth, AllMonths) {
    const int common[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int m = 1; m <= 12; ++m) {
        EXPECT_EQ(days_in_month(2023, static_cast<month_t>(m)), common[m - 1]);
        EXPECT_EQ(days_in_month(2024, static_cast<month_t>(m)), common[m - 1] + (m == 2));
    }
}

struct KnownDay {
    Date date;
    std::int64_t days;
};

class DayCount : public testing::TestWithParam<KnownDay> {};

TEST_P(DayCount, BothDirections) {
    auto [date, days] = GetParam();
    for (const DayCounts& counts : day_counts) {
        EXPECT_EQ(counts.days_of(date), days) << counts.name;
        EXPECT_TRUE(same(counts.date_of(days), Result<Date>{date})) << counts.name;
    }
}

INSTANTIATE_TEST_SUITE_P(Landmarks, DayCount,
                         testing::Values(KnownDay{{1970, 1, 1}, 0}, KnownDay{{1969, 12, 31}, -1},
                                         KnownDay{{2000, 3, 1}, 11017}, KnownDay{{1, 1, 1}, -719162},
                                         KnownDay{{0, 1, 1}, -719528}, KnownDay{{2024, 2, 29}, 19782},
                                         KnownDay{{INT32_MIN, 1, 1}, min_days_since_unix_epoch},
                                         KnownDay{{INT32_MAX, 12, 31}, max_days_since_unix_epoch}));

TEST(DayCount, OutsideTheRangeFails) {
    for (std::int64_t days : {min_days_since_unix_epoch - 1, max_days_since_unix_epoch + 1, std::int64_t{INT64_MIN},
                              std::int64_t{INT64_MAX}, std::int64_t{INT64_MIN} + 1, std::int64_t{-690527217032722},
                              std::int64_t{690527217032721}, std::int64_t{690527217032722}}) {
        for (const DayCounts& counts : day_counts) {
            EXPECT_TRUE(same(counts.date_of(days), Result<Date>{CalendarError::OutOfRange})) << counts.name << days;
        }
    }
}

TEST(DayCount, RoundTripOverTheWholeYearRange) {
    std::mt19937_64 rng(20261208);
    std::uniform_int_distribution<std::int64_t> year_dist(INT32_MIN, INT32_MAX);
    for (int i = 0; i < 200000; ++i) {
        auto y = year_dist(rng);
        int m = static_cast<int>(rng() % 12) + 1;
        int d = static_cast<int>(rng() % days_in_month(static_cast<year_t>(y), static_cast<month_t>(m))) + 1;
        Date date{static_cast<year_t>(y), static_cast<month_t>(m), static_cast<day_t>(d)};
        const std::int64_t days = reference_days(y, m, d);
        for (const DayCounts& counts : day_counts) {
            ASSERT_EQ(counts.days_of(date), days) << counts.name << " " << y << "-" << m << "-" << d;
            ASSERT_TRUE(same(counts.date_of(days), Result<Date>{date})) << counts.name << " " << days;
        }
    }
}

// Every day of 2190 years at the epoch and at both ends: each count in both
// directions, and the tuned counts against the plain ones day by day.
TEST(DayCount, ConsecutiveDaysAroundEpochAndEnds) {
    for (std::int64_t start : {std::int64_t{-800000}, min_days_since_unix_epoch, max_days_since_unix_epoch - 800000}) {
        auto prev = *plain_from_days_since_unix_epoch(start);
        for (std::int64_t days = start + 1; days < start + 800000; ++days) {
            const Result<Date> cur = plain_from_days_since_unix_epoch(days);
            ASSERT_TRUE(same(fast::from_days_since_unix_epoch(days), cur)) << days;
            ASSERT_EQ(plain_days_since_unix_epoch(*cur), days);
            ASSERT_EQ(fast::days_since_unix_epoch(*cur), days);
            ASSERT_EQ(*add_days(prev, 1), *cur);
            prev = *cur;
        }
    }
}

TEST(AddDays, OverflowAndRange) {
    EXPECT_FALSE(add_days({INT32_MAX, 12, 31}, 1));
    EXPECT_FALSE(add_days({INT32_MIN, 1, 1}, -1));
    EXPECT_FALSE(add_days({1970, 1, 1}, INT64_MAX));
    EXPECT_FALSE(add_days({INT32_MIN, 1, 1}, INT64_MIN));
    EXPECT_EQ(*add_days({2024, 3, 1}, -1), (Date{2024, 2, 29}));
}

TEST(AddDays, ShortStepsAgreeWithTheDayCount) {
    // Steps that stay within the days 1 to 28 change the day alone; every
    // other step goes through the day count. Both must give the count's
    // answer, at month and year ends, in leap Februaries and at the range's
    // ends, and for steps so large that the day plus the step wraps 64 bits.
    for (const Date start : {Date{2024, 2, 1}, Date{2023, 2, 28}, Date{2024, 2, 29}, Date{1999, 12, 31},
                             Date{2000, 1, 1}, Date{INT32_MIN, 1, 1}, Date{INT32_MAX, 12, 31}}) {
        for (std::int64_t step = -40; step <= 40; ++step) {
            const Result<Date> counted = plain_from_days_since_unix_epoch(plain_days_since_unix_epoch(start) + step);
            ASSERT_TRUE(same(plain_add_days(start, step), counted)) << step;
            ASSERT_TRUE(same(fast::add_days<plain_add_days>(start, step), counted)) << step;
        }
        for (const std::int64_t step : {INT64_MIN, INT64_MIN + 1, INT64_MAX - 1, INT64_MAX}) {
            EXPECT_FALSE(add_days(start, step)) << step;
            EXPECT_FALSE(fast::add_days<plain_add_days>(start, step)) << step;
        }
    }
}

TEST(Weekday, KnownDays) {
    EXPECT_EQ(weekday({1970, 1, 1}).number, 3);
    EXPECT_EQ(weekday({1969, 12, 31}).number, 2);
    EXPECT_EQ(weekday({2024, 1, 1}).number, 0);
    EXPECT_EQ(weekday({1, 1, 1}).number, 0);
    EXPECT_EQ(weekday({INT32_MIN, 1, 1}).number, 1);
    EXPECT_EQ(weekday({INT32_MAX, 12, 31}).number, 1);
}

TEST(Ordinal, KnownDays) {
    EXPECT_EQ(ordinal({2024, 1, 1}), 1);
    EXPECT_EQ(ordinal({2024, 3, 1}), 61);
    EXPECT_EQ(ordinal({2023, 3, 1}), 60);
    EXPECT_EQ(ordinal({2024, 12, 31}), 366);
    EXPECT_EQ(ordinal({2023, 12, 31}), 365);
}

struct Parsed {
    const char* text;
    Date date;
};

class ParseDateAccepts : public testing::TestWithParam<Parsed> {};
TEST_P(ParseDateAccepts, Reads) {
    auto r = parse_date(GetParam().text);
    ASSERT_TRUE(r) << GetParam().text;
    EXPECT_EQ(*r, GetParam().date);
}
INSTANTIATE_TEST_SUITE_P(Grammar, ParseDateAccepts,
                         testing::Values(Parsed{"2024-03-07", {2024, 3, 7}}, Parsed{"+2024-03-07", {2024, 3, 7}},
                                         Parsed{"2024-3-7", {2024, 3, 7}}, Parsed{"02024-003-007", {2024, 3, 7}},
                                         Parsed{"2024-02-029", {2024, 2, 29}}, Parsed{"-0001-12-31", {-1, 12, 31}},
                                         Parsed{"-001-12-31", {-1, 12, 31}}, Parsed{"-0-1-1", {0, 1, 1}},
                                         Parsed{"1-1-1", {1, 1, 1}}, Parsed{"2147483647-12-31", {INT32_MAX, 12, 31}},
                                         Parsed{"-2147483648-01-01", {INT32_MIN, 1, 1}},
                                         Parsed{"0000000000000000000002024-000000000000000000012-31", {2024, 12, 31}}));

class ParseDateRejects : public testing::TestWithParam<const char*> {};
TEST_P(ParseDateRejects, Fails) {
    // In a block of exactly its size, so that a sanitizer sees a read past it.
    auto r = parse_date(exact(GetParam()));
    ASSERT_FALSE(r) << GetParam();
    EXPECT_EQ(r.error(), CalendarError::InvalidDate);
}
INSTANTIATE_TEST_SUITE_P(Grammar, ParseDateRejects,
                         testing::Values("", "7", "2024", "2024-03", "-2024-03", "2024-03-07-", "2024--07",
                                         "+-2024-03-07", " 2024-03-07", "2024-03-07 ", "2024-+3-07", "2024-03-+7",
                                         "2024-13-01", "2024-00-10", "2024-02-30", "2023-02-29", "2024-03-00",
                                         "2024/03/07", "2024-03-07T00:00:00Z", "2147483648-01-01", "-2147483649-01-01",
                                         "-", "+", "--1-1", "2024-03-", "-2024-03-", "99999999999999999999-01-01",
                                         "2024-0000000000000000000013-01",
                                         "\xef\xbc\x92\xef\xbc\x90\xef\xbc\x92\xef\xbc\x94-01-01"));

TEST(DateText, Forms) {
    EXPECT_EQ(text_of(Date{5, 1, 1}), "0005-01-01");
    EXPECT_EQ(text_of(Date{-1, 12, 31}), "-001-12-31");
    EXPECT_EQ(text_of(Date{12345, 6, 7}), "12345-06-07");
    EXPECT_EQ(text_of(Date{INT32_MIN, 1, 1}), "-2147483648-01-01");
    EXPECT_EQ(text_of(Date{-999, 1, 1}), "-999-01-01");
    EXPECT_EQ(text_of(Date{-1000, 1, 1}), "-1000-01-01");
}

TEST(DateText, ReadsBackOverTheRange) {
    std::mt19937_64 rng(7);
    for (int i = 0; i < 100000; ++i) {
        const Date d = random_date(rng);
        auto back = parse_date(text_of(d));
        ASSERT_TRUE(back);
        ASSERT_EQ(*back, d);
    }
}

// The constants of from_days_since_unix_epoch, as its comments derive them.
static_assert(690527217032721 == 146097 * std::int64_t{4726498270} - 719469);
static_assert(1890599307999 == 400 * std::int64_t{4726498270} - 1);
static_assert(505054698555331 == (u128{1} << 66) / 146097 && (u128{1} << 66) % 146097 == 13357);
static_assert(50504432782230121 == (u128{1} << 66) / 1461 + 1 && 1461 - (u128{1} << 66) % 1461 == 317);
static_assert(8619973866219416 == ~std::uint64_t{0} / 2140);
static_assert(977792 - 191360 == 12 << 16);
// Every count of a 32-bit year lies where the century quotient is exact (the
// year quotient's bound, 2^64 / 317, lies far beyond).
static_assert(690527217032721 - min_days_since_unix_epoch < ~std::uint64_t{0} / 13357);
static_assert(690527217032721 - max_days_since_unix_epoch > 0);

// Compile-time evaluation keeps the core honest about constexpr.
static_assert(fast::days_since_unix_epoch({1970, 1, 1}) == 0 && plain_days_since_unix_epoch({1970, 1, 1}) == 0);
static_assert(*fast::from_days_since_unix_epoch(11017) == Date{2000, 3, 1} &&
              *plain_from_days_since_unix_epoch(11017) == Date{2000, 3, 1});
