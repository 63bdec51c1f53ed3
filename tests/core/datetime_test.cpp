#include "kairodex/datetime.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <random>
#include <string>

#include "core/test_support.hpp"
#include "kairodex/clock.hpp"

using namespace kairodex;
using namespace kairodex::test;

namespace {

constexpr i128 ns_per_s = 1000000000;
constexpr DateTime earliest{{INT32_MIN, 1, 1}, {0, 0, 0, 0}};
constexpr DateTime latest{{INT32_MAX, 12, 31}, {23, 59, 59, 999999999}};
constexpr i128 earliest_ns = i128{min_unix_timestamp} * ns_per_s;
constexpr i128 latest_ns = i128{max_unix_timestamp} * ns_per_s + 999999999;

i128 random_nanos(std::mt19937_64& rng) {
    const auto span = static_cast<u128>(latest_ns - earliest_ns) + 1;
    const u128 r = (static_cast<u128>(rng()) << 64) | rng();
    return earliest_ns + static_cast<i128>(r % span);
}

}  // namespace

TEST(DateTimeCounts, RangeEnds) {
    EXPECT_EQ(unix_timestamp(earliest), min_unix_timestamp);
    EXPECT_EQ(unix_timestamp(latest), max_unix_timestamp);
    EXPECT_EQ(unix_timestamp_nanos(latest), latest_ns);
    EXPECT_EQ(*from_unix_nanos(earliest_ns), earliest);
    EXPECT_EQ(*from_unix_nanos(latest_ns), latest);
    for (i128 n :
         {earliest_ns - 1, earliest_ns - ns_per_s, latest_ns + 1, latest_ns + ns_per_s, i128{INT64_MIN} * ns_per_s,
          i128{INT64_MIN} * ns_per_s - 1, i128{INT64_MAX} * ns_per_s + ns_per_s, i128_min, i128_max,
          // Seconds that a 64-bit cast would wrap to the epoch.
          (i128{1} << 64) * ns_per_s, -(i128{1} << 64) * ns_per_s}) {
        auto r = from_unix_nanos(n);
        ASSERT_FALSE(r);
        EXPECT_EQ(r.error(), CalendarError::OutOfRange);
    }
}

// Counts within 64 bits are split with 64-bit divisions, truncated towards
// zero, the rest by the plain floor division: both the same, at the seams
// where the sign, the second or the width changes.
TEST(DateTimeCounts, SixtyFourBitSplitAgreesWithThePlainOne) {
    const i128 n64_min = INT64_MIN, n64_max = INT64_MAX;
    for (const i128 n : {n64_min - 1, n64_min, n64_min + 1, -ns_per_s - 1, -ns_per_s, -ns_per_s + 1, i128{-1}, i128{0},
                         i128{1}, ns_per_s - 1, ns_per_s, n64_max - 1, n64_max, n64_max + 1}) {
        const auto parts = fast::try_split_unix_nanos(n);
        ASSERT_EQ(parts.has_value(), n >= n64_min && n <= n64_max);
        if (parts) {
            EXPECT_TRUE(same(from_unix_parts(parts->seconds, parts->adjust), plain_from_unix_nanos(n)));
        }
        EXPECT_TRUE(same(from_unix_nanos(n), plain_from_unix_nanos(n)));
        EXPECT_EQ(unix_timestamp_nanos(*plain_from_unix_nanos(n)), n);
    }
}

struct Timestamp {
    std::int64_t seconds;
    std::int32_t nanos;
    const char* text;  // "failed" when out of range
};

class FromUnixTimestamp : public testing::TestWithParam<Timestamp> {};
TEST_P(FromUnixTimestamp, Reads) {
    EXPECT_EQ(text_of(from_unix_timestamp(GetParam().seconds, GetParam().nanos)), GetParam().text);
}
INSTANTIATE_TEST_SUITE_P(
    Cases, FromUnixTimestamp,
    testing::Values(Timestamp{0, 0, "1970-01-01T00:00:00Z"}, Timestamp{-1, 0, "1969-12-31T23:59:59Z"},
                    Timestamp{0, -1, "1969-12-31T23:59:59.999999999Z"},
                    Timestamp{0, 1500000000, "1970-01-01T00:00:01.5Z"},
                    Timestamp{0, INT32_MIN, "1969-12-31T23:59:57.852516352Z"},
                    Timestamp{0, INT32_MAX, "1970-01-01T00:00:02.147483647Z"},
                    Timestamp{951782400, 0, "2000-02-29T00:00:00Z"},
                    Timestamp{-67768100567971200, 0, "-2147483648-01-01T00:00:00Z"},
                    Timestamp{-67768100567971200, -1, "failed"}, Timestamp{-67768100567971201, 0, "failed"},
                    Timestamp{67767976233532799, 999999999, "2147483647-12-31T23:59:59.999999999Z"},
                    Timestamp{67767976233532799, 1000000000, "failed"}, Timestamp{INT64_MAX, 1000000000, "failed"},
                    Timestamp{INT64_MAX, 0, "failed"}, Timestamp{INT64_MIN, -1, "failed"},
                    Timestamp{INT64_MIN, INT32_MIN, "failed"}));

TEST(DateTimeCounts, RoundTripOverTheWholeRange) {
    std::mt19937_64 rng(99);
    for (int i = 0; i < 100000; ++i) {
        const i128 n = random_nanos(rng);
        const auto v = from_unix_nanos(n);
        ASSERT_TRUE(v);
        ASSERT_EQ(unix_timestamp_nanos(*v), n);
        // The fields agree with the date conversion on its own.
        const auto seconds = static_cast<std::int64_t>(floor_div<i128>(n, ns_per_s));
        ASSERT_EQ(v->date, *from_days_since_unix_epoch(floor_div<std::int64_t>(seconds, 86400)));
        ASSERT_EQ(seconds_since_midnight(v->time), floor_mod<std::int64_t>(seconds, 86400));
        const auto back = parse_datetime(text_of(*v));
        ASSERT_TRUE(back) << text_of(*v);
        ASSERT_EQ(*back, *v);
    }
}

TEST(DateTimeArithmetic, AddDurationAndDifference) {
    const DateTime epoch = *from_unix_timestamp(0);
    EXPECT_EQ(*add_duration(epoch, Duration{-1}), *from_unix_timestamp(0, -1));
    EXPECT_EQ(*add_duration(earliest, Duration{latest_ns - earliest_ns}), latest);
    EXPECT_EQ(difference(latest, earliest).nanos, latest_ns - earliest_ns);
    EXPECT_EQ(difference(earliest, latest).nanos, earliest_ns - latest_ns);
    EXPECT_LT(earliest, epoch);
    EXPECT_LT(*from_unix_timestamp(0, -1), epoch);
    for (auto r : {add_duration(latest, Duration{1}), add_duration(earliest, Duration{-1}),
                   add_duration(latest, Duration{i128_max}), add_duration(earliest, Duration{i128_min}),
                   add_duration(epoch, Duration{i128_max}), add_duration(epoch, Duration{i128_min})}) {
        ASSERT_FALSE(r);
        EXPECT_EQ(r.error(), CalendarError::OutOfRange);
    }
}

TEST(DateTimeClock, Readings) {
    EXPECT_EQ(text_of(from_clock_reading(0, 999999999)), "1970-01-01T00:00:00.999999999Z");
    EXPECT_EQ(text_of(from_clock_reading(-1, 1)), "1969-12-31T23:59:59.000000001Z");
    EXPECT_EQ(text_of(from_clock_reading(INT64_MAX, 999999999)), "failed");
    EXPECT_EQ(text_of(from_filetime_ticks(filetime_ticks_at_unix_epoch)), "1970-01-01T00:00:00Z");
    EXPECT_EQ(text_of(from_filetime_ticks(0)), "1601-01-01T00:00:00Z");
    EXPECT_EQ(text_of(from_filetime_ticks(1)), "1601-01-01T00:00:00.0000001Z");
    EXPECT_EQ(text_of(from_filetime_ticks(filetime_ticks_at_unix_epoch - 1)), "1969-12-31T23:59:59.9999999Z");
    EXPECT_EQ(text_of(from_filetime_ticks(UINT64_MAX)), "60056-05-28T05:36:10.9551615Z");
}

// The real-time clock (GetSystemTimePreciseAsFileTime on Windows) against
// the C library's, which has whole seconds.
TEST(DateTimeClock, NowAgreesWithTheCLibraryClock) {
    const std::int64_t before = std::time(nullptr);
    const auto now = now_utc();
    const std::int64_t after = std::time(nullptr);
    ASSERT_TRUE(now);
    EXPECT_GT(now->date.year, 2024);
    EXPECT_GE(unix_timestamp(*now), before - 1);
    EXPECT_LE(unix_timestamp(*now), after + 1);
#ifdef _WIN32
    EXPECT_EQ(now->time.nanosecond % 100, 0u) << "Windows counts 100 ns ticks";
#endif
}

class ParseDateTimeAccepts : public testing::TestWithParam<const char*> {};
TEST_P(ParseDateTimeAccepts, Reads) {
    auto r = parse_datetime(GetParam());
    ASSERT_TRUE(r) << GetParam();
    EXPECT_EQ(r->date, (Date{2024, 1, 1}));
    EXPECT_EQ(r->time.hour, 12);
}
INSTANTIATE_TEST_SUITE_P(Grammar, ParseDateTimeAccepts,
                         testing::Values("2024-01-01T12:00:00Z", "2024-01-01T12:00:00z", "2024-01-01 12:00:00Z",
                                         "2024-01-01T12:00:00.5Z", "2024-1-1T12:0:0Z"));

class ParseDateTimeRejects : public testing::TestWithParam<const char*> {};
TEST_P(ParseDateTimeRejects, Fails) { EXPECT_FALSE(parse_datetime(GetParam())) << GetParam(); }
INSTANTIATE_TEST_SUITE_P(Grammar, ParseDateTimeRejects,
                         testing::Values("", "Z", "TZ", "2024-01-01t12:00:00Z", "2024-01-01T12:00:00",
                                         "2024-01-01T12:00:00+00:00", " 2024-01-01T12:00:00Z", "2024-01-01T12:00:00Z ",
                                         "2024-01-01T12:00:00ZZ", "2024-01-0112:00:00Z", "2024-01-01TT12:00:00Z",
                                         "2024-02-30T12:00:00Z", "2024-01-01T24:00:00Z", "2024-01-01T12:00Z",
                                         "2024-01-01T12 :00:00Z"));

TEST(DateTimeText, LongestForm) {
    const DateTime v{{INT32_MIN, 12, 31}, {23, 59, 59, 999999999}};
    EXPECT_EQ(text_of(v), "-2147483648-12-31T23:59:59.999999999Z");
    EXPECT_EQ(text_of(v).size(), 37u);
}

static_assert(unix_timestamp(*from_unix_timestamp(951782400)) == 951782400);
static_assert(!from_unix_timestamp(INT64_MAX, 1000000000));
