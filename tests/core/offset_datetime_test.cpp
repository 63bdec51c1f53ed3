#include "kairodex/offset_datetime.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "core/test_support.hpp"

using namespace kairodex;
using namespace kairodex::test;

namespace {

constexpr DateTime at(Date d, Time t) { return DateTime{d, t}; }
constexpr DateTime june_first_0730 = at({2024, 6, 1}, {7, 30, 0, 0});

}  // namespace

TEST(OffsetDateTimeText, LocalReadingAndOffset) {
    EXPECT_EQ(text_of({june_first_0730, {7200}}), "2024-06-01T09:30:00+02:00");
    EXPECT_EQ(text_of({june_first_0730, {-19800}}), "2024-06-01T02:00:00-05:30");
    EXPECT_EQ(text_of({june_first_0730, {0}}), "2024-06-01T07:30:00Z");
    EXPECT_EQ(text_of({june_first_0730, {3661}}), "2024-06-01T08:31:01+01:01");
    EXPECT_EQ(text_of({june_first_0730, {-86400}}), "2024-05-31T07:30:00-24:00");
}

TEST(OffsetDateTimeText, LocalReadingBeyondTheYearsIsRefused) {
    const DateTime last{{INT32_MAX, 12, 31}, {23, 0, 0, 0}};
    const DateTime first{{INT32_MIN, 1, 1}, {0, 30, 0, 0}};
    EXPECT_EQ(text_of({last, {3599}}), "2147483647-12-31T23:59:59+00:59");
    EXPECT_EQ(text_of({last, {3600}}), "failed");
    EXPECT_EQ(text_of({first, {-1800}}), "-2147483648-01-01T00:00:00-00:30");
    EXPECT_EQ(text_of({first, {-1801}}), "failed");
    EXPECT_EQ(to_local({last, {3600}}).error(), CalendarError::OutOfRange);
    TextBuffer<64> out;
    EXPECT_FALSE(write_offset_datetime(out, {last, {86400}}));
    EXPECT_TRUE(out.view().empty());
}

TEST(OffsetDateTime, FromLocalAndBack) {
    const auto v = from_local({2024, 6, 1}, {9, 30, 0, 5}, {7200});
    ASSERT_TRUE(v);
    EXPECT_EQ(v->utc, at({2024, 6, 1}, {7, 30, 0, 5}));
    EXPECT_EQ(*to_local(*v), at({2024, 6, 1}, {9, 30, 0, 5}));
    // Local readings at the ends of the years, pushed out of range by the offset.
    EXPECT_EQ(from_local({INT32_MAX, 12, 31}, {23, 59, 59, 999999999}, {-1}).error(), CalendarError::OutOfRange);
    EXPECT_EQ(from_local({INT32_MIN, 1, 1}, {0, 0, 0, 0}, {1}).error(), CalendarError::OutOfRange);
    EXPECT_TRUE(from_local({INT32_MIN, 1, 1}, {0, 0, 0, 0}, {-86400}));
}

TEST(OffsetDateTime, LocalRoundTripOverTheRange) {
    std::mt19937_64 rng(17);
    for (int i = 0; i < 50000; ++i) {
        // Two days clear of either end, so that any two offsets stay in range.
        const std::int64_t span = max_unix_timestamp - min_unix_timestamp - 4 * 86400;
        const auto seconds = min_unix_timestamp + 2 * 86400 + static_cast<std::int64_t>(rng() % span);
        const DateTime local = *from_unix_timestamp(seconds, static_cast<std::int32_t>(rng() % 1000000000));
        const UtcOffset offset{static_cast<std::int32_t>(rng() % 172801) - 86400};
        const auto v = from_local(local.date, local.time, offset);
        ASSERT_TRUE(v);
        ASSERT_EQ(*to_local(*v), local);
        ASSERT_EQ(unix_timestamp(v->utc), unix_timestamp(local) - offset.seconds);
        // The text drops leftover seconds of the offset and the grammar stops
        // at 23:59, so only such offsets read back to the same value.
        const OffsetDateTime whole{v->utc, {offset.seconds / 60 % 1440 * 60}};
        const auto back = parse_offset_datetime(text_of(whole));
        ASSERT_TRUE(back) << text_of(whole);
        ASSERT_EQ(*back, whole);
    }
}

TEST(OffsetDateTime, EqualityKeepsTheOffsetOrderingDoesNot) {
    const OffsetDateTime a{june_first_0730, {0}}, b{june_first_0730, {3600}};
    const OffsetDateTime later{*add_duration(june_first_0730, Duration{1}), {-3600}};
    EXPECT_NE(a, b);
    EXPECT_TRUE(std::is_eq(a <=> b));
    EXPECT_LT(b, later);
    EXPECT_EQ(difference(later, a), Duration{1});
    EXPECT_EQ(add_duration(b, Duration{1})->offset, b.offset);
    EXPECT_FALSE(add_duration(b, Duration{i128_max}));
}

struct ParsedOffset {
    const char* text;
    DateTime utc;
    std::int32_t offset;
};

class ParseOffsetDateTimeAccepts : public testing::TestWithParam<ParsedOffset> {};
TEST_P(ParseOffsetDateTimeAccepts, Reads) {
    const auto r = parse_offset_datetime(GetParam().text);
    ASSERT_TRUE(r) << GetParam().text;
    EXPECT_EQ(r->utc, GetParam().utc);
    EXPECT_EQ(r->offset.seconds, GetParam().offset);
}
constexpr DateTime utc_0730 = june_first_0730;
constexpr DateTime utc_0930 = at({2024, 6, 1}, {9, 30, 0, 0});
INSTANTIATE_TEST_SUITE_P(
    Grammar, ParseOffsetDateTimeAccepts,
    testing::Values(ParsedOffset{"2024-06-01T09:30:00+02:00", utc_0730, 7200},
                    ParsedOffset{"2024-06-01 09:30:00.25-05:30", at({2024, 6, 1}, {15, 0, 0, 250000000}), -19800},
                    ParsedOffset{"2024-06-01T09:30:00Z", utc_0930, 0},
                    ParsedOffset{"2024-06-01T09:30:00z", utc_0930, 0},
                    ParsedOffset{"2024-06-01T09:30:00+0200", utc_0730, 7200},
                    ParsedOffset{"2024-06-01T09:30:00+02", utc_0730, 7200},
                    ParsedOffset{"2024-06-01T09:30:00+2:0", utc_0730, 7200},
                    ParsedOffset{"2024-06-01T09:30:00+02:", utc_0730, 7200},
                    ParsedOffset{"2024-06-01T09:30:00+00:03", at({2024, 6, 1}, {9, 27, 0, 0}), 180},
                    ParsedOffset{"2024-06-01T09:30:00+05:3", at({2024, 6, 1}, {4, 27, 0, 0}), 18180},
                    ParsedOffset{"2024-06-01T09:30:00-00:00", utc_0930, 0},
                    ParsedOffset{"2024-06-01T09:30:00+23:59", at({2024, 5, 31}, {9, 31, 0, 0}), 86340},
                    ParsedOffset{"-0001-12-31T23:00:00-01:00", at({0, 1, 1}, {0, 0, 0, 0}), -3600},
                    // White space of any script at either end, decoded as UTF-8.
                    ParsedOffset{" 2024-06-01T09:30:00Z\n", utc_0930, 0},
                    ParsedOffset{"\t\v\f\r 2024-06-01T09:30:00Z", utc_0930, 0},
                    ParsedOffset{"\xc2\xa0"
                                 "2024-06-01T09:30:00Z\xe3\x80\x80",
                                 utc_0930, 0},
                    ParsedOffset{"\xc2\x85\xe1\x9a\x80\xe2\x80\x80\xe2\x80\x8a"
                                 "2024-06-01T09:30:00Z"
                                 "\xe2\x80\xa8\xe2\x80\xa9\xe2\x80\xaf\xe2\x81\x9f",
                                 utc_0930, 0}));

class ParseOffsetDateTimeRejects : public testing::TestWithParam<const char*> {};
TEST_P(ParseOffsetDateTimeRejects, Fails) { EXPECT_FALSE(parse_offset_datetime(GetParam())) << GetParam(); }
INSTANTIATE_TEST_SUITE_P(
    Grammar, ParseOffsetDateTimeRejects,
    testing::Values("", " \n ", "2024-06-01T09:30:00", "2024-06-01t09:30:00Z", "2024-06-01T09:30:00+24:00",
                    "2024-06-01T09:30:00+02:60", "2024-06-01T09:30:00+2", "2024-06-01T09:30:00+02:00:00",
                    "2024-06-01T09:30:00+020000", "2024-06-01T09:30:00+0200:00", "2024-06-01T09:30:00+020",
                    "2024-06-01T09:30:00+02000", "2024-06-01T09:30:00+:30", "2024-06-01T09:30:00+002:00",
                    "2024-06-01T09:30:00+02:030", "2024-06-01T09:30:00+0a:00", "2024-06-01T09:30:00*02:00",
                    "2024-06-01T09:30:00+02;00", "2024-06-01T09:30:00+02:5a", "2024-06-01T09:30:00.5-0:300",
                    "2024-06-01T09:30:00ZZ", "2024-06-01T+02:00", "2024-06-01T09:30:00Z+02:00",
                    "2024-06-01T09:30:00 +02:00", "2024-02-30T09:30:00Z", "2024-06-0109:30:00Z",
                    // Only white space is trimmed, and only whole, well-formed code points.
                    "2024-06-01T09:30:00Z\xc2",
                    "\xa0"
                    "2024-06-01T09:30:00Z",
                    "\xe3\x80"
                    "2024-06-01T09:30:00Z",
                    "2024-06-01T09:30:00Z\x80\x80",
                    "\xe0\x80\xa0"
                    "2024-06-01T09:30:00Z",
                    "2024-06-01T09:30:00Z\xc0\xa0", "2024-06-01T09:30:00Z\xe2\x80\x8b",
                    // Representable local readings whose instant is not.
                    "2147483647-12-31T23:59:59-00:01", "-2147483648-01-01T00:00:00+00:01"));

static_assert(parse_offset_datetime("2024-06-01T09:30:00+02:00")->utc == june_first_0730);
