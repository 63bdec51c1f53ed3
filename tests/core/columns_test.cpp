// The column kernel: the counts at the ends of 64 bits in every unit (where
// the plain count would overflow first, and NaT's count, which no instant
// may take), fractions the unit cannot show, the fast path against the plain
// one over written stamps and their mutations, counts of every numpy unit
// back to values, and the lines of a buffer.
#include "kairodex/columns.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "core/test_support.hpp"

using namespace kairodex;
using namespace kairodex::test;
using columns::RowError;
using columns::Unit;

namespace {

// --- counts of instants -----------------------------------------------------------

struct CountCase {
    const char* text;
    Unit unit;
    std::int64_t count;  // where `error` is none
    int error;           // -1: a count; else the RowError
};

constexpr int ok = -1;
constexpr int does_not_fit = static_cast<int>(RowError::DoesNotFit);
constexpr int finer = static_cast<int>(RowError::Finer);
constexpr int text = static_cast<int>(RowError::Text);

class CountOf : public testing::TestWithParam<CountCase> {};

TEST_P(CountOf, MatchesTheExactCount) {
    const CountCase& c = GetParam();
    for (const bool plain : {false, true}) {
        const auto got =
            plain ? columns::plain_parse_datetime_at(c.text, c.unit) : columns::parse_datetime_at(c.text, c.unit);
        if (c.error == ok) {
            ASSERT_TRUE(got) << c.text;
            EXPECT_EQ(*got, c.count) << c.text;
        } else {
            ASSERT_FALSE(got) << c.text;
            EXPECT_EQ(static_cast<int>(got.error().kind), c.error) << c.text;
        }
    }
}

// INT64_MIN ns is 1677-09-21T00:12:43.145224192Z and INT64_MAX ns
// 2262-04-11T23:47:16.854775807Z; the first is NaT, so one past it is the
// first instant a datetime64[ns] holds, and its whole seconds times 10^9 lie
// below INT64_MIN (the plain count borrows a second to get there).
INSTANTIATE_TEST_SUITE_P(Ends, CountOf,
                         testing::Values(CountCase{"1970-01-01T00:00:00Z", Unit::ns, 0, ok},
                                         CountCase{"1969-12-31T23:59:59.999999999Z", Unit::ns, -1, ok},
                                         CountCase{"1969-12-31T23:59:59.5Z", Unit::ms, -500, ok},
                                         CountCase{"1677-09-21T00:12:43.145224193Z", Unit::ns, INT64_MIN + 1, ok},
                                         CountCase{"1677-09-21T00:12:43.145224192Z", Unit::ns, 0, does_not_fit},
                                         CountCase{"1677-09-21T00:12:43.145224191Z", Unit::ns, 0, does_not_fit},
                                         CountCase{"2262-04-11T23:47:16.854775807Z", Unit::ns, INT64_MAX, ok},
                                         CountCase{"2262-04-11T23:47:16.854775808Z", Unit::ns, 0, does_not_fit},
                                         CountCase{"2262-04-11T23:47:16.854775Z", Unit::us, 9223372036854775, ok},
                                         CountCase{"+294247-01-10T04:00:54.775807Z", Unit::us, INT64_MAX, ok},
                                         CountCase{"+294247-01-10T04:00:54.775808Z", Unit::us, 0, does_not_fit},
                                         CountCase{"-290308-12-21T19:59:05.224193Z", Unit::us, INT64_MIN + 1, ok},
                                         CountCase{"-290308-12-21T19:59:05.224192Z", Unit::us, 0, does_not_fit},
                                         CountCase{"+292278994-08-17T07:12:55.807Z", Unit::ms, INT64_MAX, ok},
                                         CountCase{"2147483647-12-31T23:59:59Z", Unit::s, 67767976233532799, ok},
                                         CountCase{"-2147483648-01-01T00:00:00Z", Unit::s, -67768100567971200, ok},
                                         CountCase{"2024-06-01T09:30:00.5Z", Unit::s, 0, finer},
                                         CountCase{"2024-06-01T09:30:00.001Z", Unit::ms, 1717234200001, ok},
                                         CountCase{"2024-06-01T09:30:00.0001Z", Unit::ms, 0, finer},
                                         CountCase{"2024-06-01T09:30:00.000001Z", Unit::us, 1717234200000001, ok},
                                         CountCase{"2024-06-01T09:30:00.0000001Z", Unit::us, 0, finer},
                                         CountCase{"2500-01-01T00:00:00.5Z", Unit::ns, 0, does_not_fit},
                                         CountCase{"2024-06-01T09:30:00+00:00", Unit::ns, 0, text}));

TEST(OffsetCount, IsTheInstantsCountAndTheOffset) {
    // The same instant at three offsets, and across a day and a year back.
    for (const char* stamp :
         {"2024-06-01T09:30:00.25+02:00", "2024-06-01T07:30:00.25Z", "2024-05-31T21:00:00.25-10:30"}) {
        const auto got = columns::parse_offset_datetime_at(stamp, Unit::ms);
        ASSERT_TRUE(got) << stamp;
        EXPECT_EQ(got->count, 1717227000250) << stamp;
    }
    const auto back = columns::parse_offset_datetime_at("2025-01-01T00:30:00+01:00", Unit::s);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->count, 1735687800);
    EXPECT_EQ(back->offset_seconds, 3600);
    // A local reading in range whose instant is not.
    const auto past = columns::parse_offset_datetime_at("2147483647-12-31T23:59:59-01:00", Unit::s);
    ASSERT_FALSE(past);
    EXPECT_EQ(past.error().kind, RowError::Text);
    EXPECT_EQ(past.error().cause, CalendarError::OutOfRange);
}

// The fast path reads written stamps and their mutations as the plain path
// does, in every unit: the same count, offset and failure.
TEST(FastCounts, AgreeWithThePlainKernel) {
    std::mt19937_64 random(11);
    const std::string alphabet = "0123456789-:.TtZz+ ";
    static constexpr const char* zones[] = {"Z", "z", "+00:00", "-00:00", "+05:30", "-10:00", "+23:59", "+24:00"};
    for (int i = 0; i < 20000; ++i) {
        const DateTime value{*from_days_since_unix_epoch(static_cast<std::int64_t>(random() % 3652425) - 719528),
                             Time{static_cast<std::uint8_t>(random() % 24), static_cast<std::uint8_t>(random() % 60),
                                  static_cast<std::uint8_t>(random() % 60),
                                  static_cast<std::uint32_t>(random() % 1000 * (random() % 2 ? 1000000 : 1))}};
        std::string stamp = text_of(value);
        stamp.pop_back();
        stamp += zones[random() % std::size(zones)];
        if (random() % 2) stamp[random() % stamp.size()] = alphabet[random() % alphabet.size()];
        for (const Unit unit : columns::units) {
            const auto fast = columns::parse_offset_datetime_at(stamp, unit);
            const auto plain = columns::plain_parse_offset_datetime_at(stamp, unit);
            ASSERT_EQ(fast.has_value(), plain.has_value()) << stamp;
            if (fast) {
                EXPECT_EQ(fast->count, plain->count) << stamp;
                EXPECT_EQ(fast->offset_seconds, plain->offset_seconds) << stamp;
            } else {
                EXPECT_EQ(fast.error().kind, plain.error().kind) << stamp;
            }
            const auto utc_fast = columns::parse_datetime_at(stamp, unit);
            const auto utc_plain = columns::plain_parse_datetime_at(stamp, unit);
            ASSERT_EQ(utc_fast.has_value(), utc_plain.has_value()) << stamp;
            if (utc_fast) {
                EXPECT_EQ(*utc_fast, *utc_plain) << stamp;
            }
        }
    }
}

// --- counts back to values --------------------------------------------------------

struct BackCase {
    std::int64_t count;
    columns::CountUnit unit;
    const char* instant;  // "" where it lies outside the years
};

class InstantFromCount : public testing::TestWithParam<BackCase> {};

TEST_P(InstantFromCount, WritesTheInstant) {
    const BackCase& c = GetParam();
    const Result<DateTime> instant = columns::instant_from_count(c.count, c.unit);
    EXPECT_EQ(instant ? text_of(*instant) : "", c.instant);
}

// Every unit, negative counts floored, and the ends of the years.
INSTANTIATE_TEST_SUITE_P(EveryUnit, InstantFromCount,
                         testing::Values(BackCase{-1, columns::CountUnit::years, "1969-01-01T00:00:00Z"},
                                         BackCase{2147481677, columns::CountUnit::years, "2147483647-01-01T00:00:00Z"},
                                         BackCase{2147481678, columns::CountUnit::years, ""},
                                         BackCase{-13, columns::CountUnit::months, "1968-12-01T00:00:00Z"},
                                         BackCase{1, columns::CountUnit::weeks, "1970-01-08T00:00:00Z"},
                                         BackCase{-1, columns::CountUnit::days, "1969-12-31T00:00:00Z"},
                                         BackCase{784351576776, columns::CountUnit::days, "2147483647-12-31T00:00:00Z"},
                                         BackCase{784351576777, columns::CountUnit::days, ""},
                                         BackCase{INT64_MAX, columns::CountUnit::days, ""},
                                         BackCase{-1, columns::CountUnit::hours, "1969-12-31T23:00:00Z"},
                                         BackCase{-1, columns::CountUnit::minutes, "1969-12-31T23:59:00Z"},
                                         BackCase{INT64_MIN, columns::CountUnit::seconds, ""},
                                         BackCase{-1, columns::CountUnit::ms, "1969-12-31T23:59:59.999Z"},
                                         BackCase{-1, columns::CountUnit::us, "1969-12-31T23:59:59.999999Z"},
                                         BackCase{INT64_MIN, columns::CountUnit::ns,
                                                  "1677-09-21T00:12:43.145224192Z"}));

TEST(TimeFromCount, TakesSpansWithinOneDay) {
    EXPECT_EQ(text_of(*columns::time_from_count(0, columns::CountUnit::ns)), "00:00:00");
    EXPECT_EQ(text_of(*columns::time_from_count(86399999999999, columns::CountUnit::ns)), "23:59:59.999999999");
    EXPECT_EQ(text_of(*columns::time_from_count(23, columns::CountUnit::hours)), "23:00:00");
    for (const auto [count, unit] :
         {std::pair{i128{-1}, columns::CountUnit::ns}, std::pair{i128{86400000000000}, columns::CountUnit::ns},
          std::pair{i128{24}, columns::CountUnit::hours}, std::pair{i128{1}, columns::CountUnit::days},
          std::pair{i128{0}, columns::CountUnit::months}, std::pair{i128{1} << 99, columns::CountUnit::weeks}}) {
        EXPECT_FALSE(columns::time_from_count(count, unit));
    }
}

TEST(DateCounts, Date32LeavesOutItsSmallestCount) {
    EXPECT_TRUE(columns::fits_date32(INT32_MAX));
    EXPECT_TRUE(columns::fits_date32(INT32_MIN + 1));
    EXPECT_FALSE(columns::fits_date32(INT32_MIN));
    EXPECT_FALSE(columns::fits_date32(std::int64_t{INT32_MAX} + 1));
    // A date finer than a day is the day it falls on, before the epoch too.
    EXPECT_EQ(text_of(*columns::date_from_count(-1, columns::CountUnit::ns)), "1969-12-31");
}

// --- lines --------------------------------------------------------------------------

struct LinesCase {
    std::string_view buffer;
    std::vector<std::string_view> lines;
};

class LinesOf : public testing::TestWithParam<LinesCase> {};

TEST_P(LinesOf, SplitsAtNewlines) {
    const LinesCase& c = GetParam();
    std::vector<std::string_view> got;
    columns::Lines lines(c.buffer);
    for (std::string_view line; lines.next(line);) got.push_back(line);
    EXPECT_EQ(got, c.lines);
    EXPECT_EQ(columns::count_lines(c.buffer), c.lines.size());
    EXPECT_EQ(columns::plain_count_lines(c.buffer), c.lines.size());
}

// A final newline ends the last line; "\r\n" ends one too; empty lines are rows.
INSTANTIATE_TEST_SUITE_P(Endings, LinesOf,
                         testing::Values(LinesCase{"", {}}, LinesCase{"\n", {""}}, LinesCase{"a", {"a"}},
                                         LinesCase{"a\nb", {"a", "b"}}, LinesCase{"a\nb\n", {"a", "b"}},
                                         LinesCase{"a\r\nb\r\n", {"a", "b"}}, LinesCase{"a\r", {"a"}},
                                         LinesCase{"a\r\r\n", {"a\r"}}, LinesCase{"\n\na", {"", "", "a"}},
                                         LinesCase{"a\rb\n", {"a\rb"}}));

// The word-at-a-time count against the plain one, over buffers of every
// length around its word and counter boundaries, newlines and bytes that
// differ from one only in their high bit or their low bits.
TEST(CountLines, FastAgreesWithPlain) {
    std::mt19937_64 random(5);
    const char bytes[] = {'\n', '\n', 'a', '\x8a', '\x0b', '\x0a' ^ 0x01, '\0', '\xff', '\r'};
    for (std::size_t size : {0, 1, 7, 8, 9, 15, 16, 2039, 2040, 2041, 4079, 4080, 4081, 20000}) {
        for (int round = 0; round < 20; ++round) {
            std::string buffer(size, 'x');
            for (char& c : buffer) c = bytes[random() % std::size(bytes)];
            EXPECT_EQ(columns::count_lines(buffer), columns::plain_count_lines(buffer)) << size;
        }
    }
    EXPECT_EQ(columns::count_lines(std::string(8 * 255 * 3 + 5, '\n')), 8 * 255 * 3 + 5);
}

}  // namespace
