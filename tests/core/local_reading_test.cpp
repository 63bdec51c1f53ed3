// Offsets move an instant by at most a day, which the fast step does on the
// fields and the plain one through the Unix count; both must agree with
// moving the nanosecond count, at every month, year and leap day boundary and
// at both ends of the year range.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "core/test_support.hpp"
#include "kairodex/offset_datetime.hpp"

using namespace kairodex;
using namespace kairodex::test;

namespace {

std::vector<Date> dates() {
    std::vector<Date> out;
    for (year_t year : {INT32_MIN, INT32_MIN + 1, -1, 0, 1900, 2000, 2023, 2024, INT32_MAX - 1, INT32_MAX}) {
        for (month_t month = 1; month <= 12; ++month) {
            for (day_t day : {day_t{1}, day_t{2}, day_t{28}, days_in_month(year, month)}) {
                out.push_back({year, month, day});
            }
        }
    }
    std::mt19937_64 random(3);
    for (int i = 0; i < 500; ++i) out.push_back(random_date(random));
    return out;
}

}  // namespace

TEST(LocalReading, OffsetsMoveTheFieldsAsTheCountsDo) {
    const std::int32_t offsets[] = {0, 1, -1, 3600, -3600, 19800, -34200, 50400, -50400, 86399, -86399, 86400, -86400};
    const Time times[] = {{0, 0, 0, 0}, {0, 0, 0, 7},   {12, 30, 0, 5}, {23, 59, 59, 999999999},
                          {1, 0, 0, 0}, {22, 59, 59, 1}};
    for (const Date& date : dates()) {
        for (const Time& time : times) {
            const DateTime local{date, time};
            for (std::int32_t seconds : offsets) {
                const Result<DateTime> counted =
                    from_unix_nanos(unix_timestamp_nanos(local) + static_cast<i128>(seconds) * nanos_per_second);
                ASSERT_TRUE(same(impl::plain_move_seconds(local, seconds), counted));
                ASSERT_TRUE(same(fast::move_seconds<impl::plain_move_seconds>(local, seconds), counted));
                ASSERT_TRUE(same(to_local(OffsetDateTime{local, UtcOffset{seconds}}), counted));
            }
        }
    }
}

TEST(LocalReading, MovesBeyondADayTakeTheCounts) {
    // Not an offset any class makes, but the core takes any value.
    for (const Time& time : {Time{0, 0, 0, 0}, Time{12, 0, 0, 5}, Time{23, 59, 59, 9}}) {
        const DateTime local{{2024, 2, 29}, time};
        for (std::int32_t seconds : {86401, -86401, 200000, -200000}) {
            const i128 shift = static_cast<i128>(seconds) * nanos_per_second;
            EXPECT_TRUE(same(to_local(OffsetDateTime{local, UtcOffset{seconds}}),
                             from_unix_nanos(unix_timestamp_nanos(local) + shift)));
            EXPECT_EQ(from_local(local.date, local.time, UtcOffset{seconds})->utc,
                      *from_unix_nanos(unix_timestamp_nanos(local) - shift));
        }
    }
}
