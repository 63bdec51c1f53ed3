#include "kairodex/utc_offset.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "core/test_support.hpp"

using namespace kairodex;
using namespace kairodex::test;

TEST(UtcOffset, SecondsWithinOneDay) {
    for (std::int32_t s : {-86400, -86399, -1, 0, 1, 86399, 86400}) {
        auto r = offset_from_seconds(s);
        ASSERT_TRUE(r) << s;
        EXPECT_EQ(r->seconds, s);
    }
    for (std::int32_t s : {-86401, 86401, INT32_MIN, INT32_MAX}) {
        auto r = offset_from_seconds(s);
        ASSERT_FALSE(r) << s;
        EXPECT_EQ(r.error(), CalendarError::OutOfRange);
    }
}

TEST(UtcOffset, HoursAndMinutes) {
    EXPECT_EQ(offset_from_hours_minutes(false, 23, 59)->seconds, -86340);
    EXPECT_TRUE(is_utc(*offset_from_hours_minutes(false, 0, 0)));
    EXPECT_EQ(offset_from_hours_minutes(true, 24, 0).error(), CalendarError::OutOfRange);
    EXPECT_EQ(offset_from_hours_minutes(false, 0, 60).error(), CalendarError::OutOfRange);
}

TEST(UtcOffset, Text) {
    EXPECT_EQ(text_of(UtcOffset{0}), "+00:00");
    EXPECT_EQ(text_of(UtcOffset{86400}), "+24:00");
    EXPECT_EQ(text_of(UtcOffset{-86400}), "-24:00");
    EXPECT_EQ(text_of(UtcOffset{-30}), "-00:00");
    EXPECT_EQ(text_of(UtcOffset{59}), "+00:00");
    EXPECT_EQ(text_of(UtcOffset{3661}), "+01:01");
    EXPECT_EQ(text_of(UtcOffset{-19800}), "-05:30");
    EXPECT_EQ(text_of(UtcOffset{-86399}), "-23:59");
}
