// Comparisons read the order off the fields; it must be the order of the day
// and nanosecond counts, across the whole year range and at its seams.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "core/test_support.hpp"
#include "kairodex/datetime.hpp"

using namespace kairodex;
using namespace kairodex::test;

namespace {

std::vector<DateTime> samples() {
    std::mt19937_64 random(11);
    std::vector<DateTime> out;
    // Around year 0, the epoch, month and year ends, and both range ends.
    for (std::int64_t days : {min_days_since_unix_epoch, min_days_since_unix_epoch + 1, std::int64_t{-719529},
                              std::int64_t{-719528}, std::int64_t{-1}, std::int64_t{0}, std::int64_t{58},
                              std::int64_t{59}, max_days_since_unix_epoch - 1, max_days_since_unix_epoch}) {
        for (std::uint32_t nanos : {0u, 1u, 999999999u}) {
            out.push_back({*from_days_since_unix_epoch(days), Time{0, 0, 0, nanos}});
            out.push_back({*from_days_since_unix_epoch(days), Time{23, 59, 59, nanos}});
        }
    }
    for (int i = 0; i < 2000; ++i) {
        const std::int64_t days = random_day(random);
        // Half of them close together, so that equal dates get compared too.
        const std::int64_t near = static_cast<std::int64_t>(random() % 3);
        out.push_back({*from_days_since_unix_epoch(i % 2 ? days : near),
                       Time{static_cast<std::uint8_t>(random() % 24), static_cast<std::uint8_t>(random() % 60),
                            static_cast<std::uint8_t>(random() % 60),
                            static_cast<std::uint32_t>(i % 3 ? random() % 3 : random() % 1000000000)}});
    }
    return out;
}

}  // namespace

TEST(CalendarOrder, AgreesWithTheCounts) {
    const std::vector<DateTime> values = samples();
    for (std::size_t i = 0; i < values.size(); ++i) {
        for (std::size_t j = i; j < values.size(); j += 1 + i % 7) {
            const DateTime a = values[i], b = values[j];
            ASSERT_EQ(calendar_order(a.date) <=> calendar_order(b.date),
                      days_since_unix_epoch(a.date) <=> days_since_unix_epoch(b.date));
            ASSERT_EQ(calendar_order(a.time) <=> calendar_order(b.time),
                      nanos_since_midnight(a.time) <=> nanos_since_midnight(b.time));
            ASSERT_EQ(calendar_order(a) <=> calendar_order(b), unix_timestamp_nanos(a) <=> unix_timestamp_nanos(b));
        }
    }
}
