#include "kairodex/time.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>

#include "core/test_support.hpp"

using namespace kairodex;
using namespace kairodex::test;

TEST(MakeTime, EachFieldAtAndPastItsBound) {
    EXPECT_EQ(*make_time(23, 59, 59, 999999999), (Time{23, 59, 59, 999999999}));
    EXPECT_EQ(*make_time(0, 0, 0, 0), (Time{0, 0, 0, 0}));
    for (auto r : {make_time(24, 0, 0, 0), make_time(0, 60, 0, 0), make_time(0, 0, 60, 0),
                   make_time(0, 0, 0, 1000000000), make_time(255, 255, 255, UINT32_MAX)}) {
        ASSERT_FALSE(r);
        EXPECT_EQ(r.error(), CalendarError::InvalidTime);
    }
    EXPECT_EQ(nanos_since_midnight({23, 59, 59, 999999999}), 86399999999999ull);
}

struct ParsedTime {
    const char* text;
    Time time;
};

class ParseTimeAccepts : public testing::TestWithParam<ParsedTime> {};
TEST_P(ParseTimeAccepts, Reads) {
    auto r = parse_time(GetParam().text);
    ASSERT_TRUE(r) << GetParam().text;
    EXPECT_EQ(*r, GetParam().time);
}
INSTANTIATE_TEST_SUITE_P(Grammar, ParseTimeAccepts,
                         testing::Values(ParsedTime{"12:30:45", {12, 30, 45, 0}},
                                         ParsedTime{"12:30:45.5", {12, 30, 45, 500000000}},
                                         ParsedTime{"12:30:45.000000001", {12, 30, 45, 1}},
                                         ParsedTime{"12:30:45.123456789", {12, 30, 45, 123456789}},
                                         ParsedTime{"12:30:45.000000000", {12, 30, 45, 0}},
                                         ParsedTime{"12:30:45.00000012", {12, 30, 45, 120}},
                                         ParsedTime{"1:2:3", {1, 2, 3, 0}}, ParsedTime{"001:002:003", {1, 2, 3, 0}},
                                         ParsedTime{"0000000000000000000000023:00059:0", {23, 59, 0, 0}},
                                         ParsedTime{"00:00:00", {0, 0, 0, 0}},
                                         ParsedTime{"23:59:59.999999999", {23, 59, 59, 999999999}}));

class ParseTimeRejects : public testing::TestWithParam<const char*> {};
TEST_P(ParseTimeRejects, Fails) {
    auto r = parse_time(GetParam());
    ASSERT_FALSE(r) << GetParam();
    EXPECT_EQ(r.error(), CalendarError::InvalidTime);
}
INSTANTIATE_TEST_SUITE_P(Grammar, ParseTimeRejects,
                         testing::Values("", "12", "12:30", "12:30:45:00", ":30:45", "12::45", "12:30:", "24:00:00",
                                         "12:60:00", "12:00:60", "12:30:45.", "12:30:45.1234567890", ".5",
                                         "12:30:45.5.5", "12:30:45,5", " 12:30:45", "12:30:45 ", "12:30:45Z",
                                         "12:30:45+01:00", "+1:2:3", "12:3a:45", "12.5:30:45", "12:30:-5",
                                         "99999999999999999999999:00:00", "12:30:45.-5", "12:30:45.+5",
                                         "\xef\xbc\x91:2:3"));

TEST(TimeText, Forms) {
    EXPECT_EQ(text_of(Time{23, 59, 59, 0}), "23:59:59");
    EXPECT_EQ(text_of(Time{12, 30, 45, 500000000}), "12:30:45.5");
    EXPECT_EQ(text_of(Time{0, 0, 0, 1}), "00:00:00.000000001");
    EXPECT_EQ(text_of(Time{1, 2, 3, 120}), "01:02:03.00000012");
    EXPECT_EQ(text_of(Time{23, 59, 59, 999999999}), "23:59:59.999999999");
}

TEST(TimeText, ReadsBackForEveryFractionLength) {
    std::mt19937_64 rng(31);
    for (int i = 0; i < 100000; ++i) {
        Time t{static_cast<std::uint8_t>(rng() % 24), static_cast<std::uint8_t>(rng() % 60),
               static_cast<std::uint8_t>(rng() % 60), static_cast<std::uint32_t>(rng() % 1000000000)};
        // Cut the fraction to a random number of digits so that short ones
        // are as common as long ones.
        static constexpr std::uint32_t steps[] = {1,      10,      100,      1000,      10000,
                                                  100000, 1000000, 10000000, 100000000, 1000000000};
        t.nanosecond -= t.nanosecond % steps[rng() % 10];
        auto back = parse_time(text_of(t));
        ASSERT_TRUE(back) << text_of(t);
        ASSERT_EQ(*back, t);
    }
}

static_assert(*parse_time("01:02:03.5") == Time{1, 2, 3, 500000000});
