// The POSIX TZ rule: its grammar, the instants of each year's changes (from
// hand-checked tables, over the whole year range and one year beyond it),
// and daylight saving time at an instant for rules whose changes cross a new
// year.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string_view>

#include "core/test_support.hpp"
#include "kairodex/tz/posix_rule.hpp"

using namespace kairodex;
using namespace kairodex::tz;
using namespace kairodex::test;

namespace {

constexpr std::int32_t hours = 3600;

constexpr RuleChange month_week_day(int month, int week, int weekday, std::int32_t time = 2 * hours) {
    return {{RuleDateForm::MonthWeekDay, 0, static_cast<std::uint8_t>(month), static_cast<std::uint8_t>(week),
             static_cast<std::uint8_t>(weekday)},
            time};
}

constexpr RuleChange day(RuleDateForm form, int number, std::int32_t time = 2 * hours) {
    return {{form, static_cast<std::uint16_t>(number), 0, 0, 0}, time};
}

PosixRule rule_of(std::string_view text) {
    const auto rule = parse_posix_rule(text);
    EXPECT_TRUE(rule) << text;
    return rule ? *rule : PosixRule{};
}

// ---------------------------------------------------------------------------
// Grammar
// ---------------------------------------------------------------------------

struct ParsedRule {
    std::string_view text;
    std::string_view std_abbreviation, dst_abbreviation;
    std::int32_t std_offset, dst_offset;
    RuleChange start, end;
    bool southern, changes_offset;
};

class RuleGrammarAccepts : public testing::TestWithParam<ParsedRule> {};

TEST_P(RuleGrammarAccepts, Reads) {
    const ParsedRule& want = GetParam();
    const auto rule = parse_posix_rule(exact(want.text));
    ASSERT_TRUE(rule) << want.text << ": " << describe(rule.error());
    EXPECT_EQ(rule->std_abbreviation, want.std_abbreviation);
    EXPECT_EQ(rule->dst_abbreviation, want.dst_abbreviation);
    EXPECT_EQ(rule->std_offset, want.std_offset);
    EXPECT_EQ(rule->has_dst, !want.dst_abbreviation.empty());
    EXPECT_EQ(rule->southern, want.southern);
    EXPECT_EQ(rule->changes_offset, want.changes_offset);
    if (!rule->has_dst) return;
    EXPECT_EQ(rule->dst_offset, want.dst_offset);
    EXPECT_EQ(rule->start, want.start);
    EXPECT_EQ(rule->end, want.end);
}

constexpr auto julian = RuleDateForm::Julian;
constexpr auto zero_based = RuleDateForm::DayOfYear;

INSTANTIATE_TEST_SUITE_P(
    // Real footers, then the corners of each field: signs, minutes and
    // seconds, the ±24 h offsets, the ±167 h times, quoted names.
    Footers, RuleGrammarAccepts,
    testing::Values(ParsedRule{"CET-1CEST,M3.5.0,M10.5.0/3", "CET", "CEST", hours, 2 * hours, month_week_day(3, 5, 0),
                               month_week_day(10, 5, 0, 3 * hours), false, true},
                    ParsedRule{"EST5EDT,M3.2.0,M11.1.0", "EST", "EDT", -5 * hours, -4 * hours, month_week_day(3, 2, 0),
                               month_week_day(11, 1, 0), false, true},
                    ParsedRule{"<+0330>-3:30", "+0330", "", 12600, 0, {}, {}, false, false},
                    ParsedRule{"<-03>3<-02>,M3.5.0/-2,M10.5.0/-1", "-03", "-02", -3 * hours, -2 * hours,
                               month_week_day(3, 5, 0, -2 * hours), month_week_day(10, 5, 0, -hours), false, true},
                    ParsedRule{"IST-2IDT,M3.4.4/26,M10.5.0", "IST", "IDT", 2 * hours, 3 * hours,
                               month_week_day(3, 4, 4, 26 * hours), month_week_day(10, 5, 0), false, true},
                    ParsedRule{"AEST-10AEDT,M10.1.0,M4.1.0/3", "AEST", "AEDT", 10 * hours, 11 * hours,
                               month_week_day(10, 1, 0), month_week_day(4, 1, 0, 3 * hours), true, true},
                    ParsedRule{"WGT3WGST,M3.5.0/-2,M10.5.0/-1", "WGT", "WGST", -3 * hours, -2 * hours,
                               month_week_day(3, 5, 0, -2 * hours), month_week_day(10, 5, 0, -hours), false, true},
                    ParsedRule{"EST5EDT4,0/0,J365/25", "EST", "EDT", -5 * hours, -4 * hours, day(zero_based, 0, 0),
                               day(julian, 365, 25 * hours), false, false},
                    ParsedRule{"IST-1GMT0,M10.5.0,M3.5.0/1", "IST", "GMT", hours, 0, month_week_day(10, 5, 0),
                               month_week_day(3, 5, 0, hours), true, true},
                    ParsedRule{"UTC0", "UTC", "", 0, 0, {}, {}, false, false},
                    ParsedRule{"<+00>0", "+00", "", 0, 0, {}, {}, false, false},
                    ParsedRule{"<-24>24<+24>-24,J1/-167,J300/167:59:59", "-24", "+24", -86400, 86400,
                               day(julian, 1, -167 * hours), day(julian, 300, 604799), false, true},
                    ParsedRule{"ABC+5:30:15abcd+4:0:1,59/+0:00:01,365/-0:1", "ABC", "abcd", -19815, -14401,
                               day(zero_based, 59, 1), day(zero_based, 365, -60), false, true},
                    ParsedRule{"<A1+>-23:59:59<Z-9z>-24,M12.5.6/23,M1.1.0", "A1+", "Z-9z", 86399, 86400,
                               month_week_day(12, 5, 6, 23 * hours), month_week_day(1, 1, 0), true, true},
                    // Both offsets alike: daylight saving time changes the name alone.
                    ParsedRule{"AAA0BBB0,M3.5.0,M10.5.0", "AAA", "BBB", 0, 0, month_week_day(3, 5, 0),
                               month_week_day(10, 5, 0), false, false}));

struct RefusedRule {
    std::string_view text;
    ZoneDataError error;
};

class RuleGrammarRefuses : public testing::TestWithParam<RefusedRule> {};

TEST_P(RuleGrammarRefuses, SaysWhy) {
    // In a block of exactly its size, so that a sanitizer sees a read past it.
    const auto rule = parse_posix_rule(exact(GetParam().text));
    ASSERT_FALSE(rule) << GetParam().text;
    EXPECT_EQ(rule.error(), GetParam().error) << GetParam().text << ": " << describe(rule.error());
}

INSTANTIATE_TEST_SUITE_P(
    // One fault per field, at each end of its range and in its shape.
    Faults, RuleGrammarRefuses,
    testing::Values(RefusedRule{"", ZoneDataError::RuleName}, RefusedRule{"CE-1", ZoneDataError::RuleName},
                    RefusedRule{"<AB>1", ZoneDataError::RuleName}, RefusedRule{"<A_B>1", ZoneDataError::RuleName},
                    RefusedRule{"<ABC", ZoneDataError::RuleName}, RefusedRule{"1ABC", ZoneDataError::RuleName},
                    RefusedRule{"CET-1CE,M3.5.0,M10.5.0", ZoneDataError::RuleName},
                    RefusedRule{"CET", ZoneDataError::RuleOffset}, RefusedRule{"CET-", ZoneDataError::RuleOffset},
                    RefusedRule{"CET-25", ZoneDataError::RuleOffset},
                    RefusedRule{"CET-24:00:01", ZoneDataError::RuleOffset},
                    RefusedRule{"CET-1:60", ZoneDataError::RuleOffset},
                    RefusedRule{"CET-1:00:60", ZoneDataError::RuleOffset},
                    RefusedRule{"CET-1CEST+,M3.5.0,M10.5.0", ZoneDataError::RuleOffset},
                    // The default daylight saving offset, an hour on, passes +24 h.
                    RefusedRule{"<+24>-24<+25>,M3.5.0,M10.5.0", ZoneDataError::RuleOffset},
                    RefusedRule{"CET-1CEST", ZoneDataError::RuleWithoutDates},
                    RefusedRule{"CET-1CEST-2", ZoneDataError::RuleWithoutDates},
                    RefusedRule{"CET-1CEST,M3.5.0", ZoneDataError::RuleDate},
                    RefusedRule{"CET-1CEST,M13.5.0,M10.5.0", ZoneDataError::RuleDate},
                    RefusedRule{"CET-1CEST,M0.5.0,M10.5.0", ZoneDataError::RuleDate},
                    RefusedRule{"CET-1CEST,M3.6.0,M10.5.0", ZoneDataError::RuleDate},
                    RefusedRule{"CET-1CEST,M3.0.0,M10.5.0", ZoneDataError::RuleDate},
                    RefusedRule{"CET-1CEST,M3.5.7,M10.5.0", ZoneDataError::RuleDate},
                    RefusedRule{"CET-1CEST,M3.5,M10.5.0", ZoneDataError::RuleDate},
                    RefusedRule{"CET-1CEST,M3.05.0,M10.5.0", ZoneDataError::RuleDate},
                    RefusedRule{"CET-1CEST,J0,M10.5.0", ZoneDataError::RuleDate},
                    RefusedRule{"CET-1CEST,J366,M10.5.0", ZoneDataError::RuleDate},
                    RefusedRule{"CET-1CEST,366,M10.5.0", ZoneDataError::RuleDate},
                    RefusedRule{"CET-1CEST,M3.5.0,", ZoneDataError::RuleDate},
                    RefusedRule{"CET-1CEST,M3.5.0/168,M10.5.0", ZoneDataError::RuleTime},
                    RefusedRule{"CET-1CEST,M3.5.0,M10.5.0/-168", ZoneDataError::RuleTime},
                    RefusedRule{"CET-1CEST,M3.5.0/2:60,M10.5.0", ZoneDataError::RuleTime},
                    RefusedRule{"CET-1CEST,M3.5.0/,M10.5.0", ZoneDataError::RuleTime},
                    RefusedRule{"CET-1CEST,M3.5.0,M10.5.0/3x", ZoneDataError::RuleTrailingText},
                    RefusedRule{"CET-1CEST,M3.5.0,M10.5.0,", ZoneDataError::RuleTrailingText},
                    RefusedRule{"CET-1CEST4x", ZoneDataError::RuleTrailingText},
                    RefusedRule{"UTC0 ", ZoneDataError::RuleTrailingText},
                    RefusedRule{"<+01>-001", ZoneDataError::RuleTrailingText},
                    RefusedRule{"EST5,M3.2.0,M11.1.0", ZoneDataError::RuleTrailingText}));

// ---------------------------------------------------------------------------
// Each year's changes
// ---------------------------------------------------------------------------

struct KnownYear {
    std::string_view rule;
    std::int64_t year;
    RuleTransitions changes;
};

class RuleTransitionsOf : public testing::TestWithParam<KnownYear> {};

TEST_P(RuleTransitionsOf, Year) {
    const KnownYear& want = GetParam();
    const RuleTransitions changes = rule_transitions(rule_of(want.rule), want.year);
    EXPECT_EQ(changes.start, want.changes.start) << want.rule << " " << want.year;
    EXPECT_EQ(changes.end, want.changes.end) << want.rule << " " << want.year;
}

constexpr std::string_view cet = "CET-1CEST,M3.5.0,M10.5.0/3";
constexpr std::string_view eastern = "EST5EDT,M3.2.0,M11.1.0";
constexpr std::string_view sydney = "AEST-10AEDT,M10.1.0,M4.1.0/3";
constexpr std::string_view all_year = "EST5EDT4,0/0,J365/25";
constexpr std::string_view israel = "IST-2IDT,M3.4.4/26,M10.5.0";
constexpr std::string_view day_numbers = "XXX0YYY,J60/0,300/0";
constexpr std::string_view greenland = "<-03>3<-02>,M3.5.0/-2,M10.5.0/-1";

INSTANTIATE_TEST_SUITE_P(
    // Worked out apart from the core (a separate days-from-civil count and a
    // walk over each month's days), for the years a change of weekday or
    // leap day shows in, year 0, and the ends of the range and one beyond.
    HandChecked, RuleTransitionsOf,
    testing::Values(
        KnownYear{cet, 2024, {1711846800, 1729990800}}, KnownYear{cet, 2023, {1679792400, 1698541200}},
        KnownYear{cet, 2000, {954032400, 972781200}}, KnownYear{cet, 1900, {-2201814000, -2183065200}},
        KnownYear{cet, 0, {-62159871600, -62141122800}}, KnownYear{cet, -1, {-62191321200, -62172572400}},
        KnownYear{cet, 2147483647, {67767976209690000, 67767976227834000}},
        KnownYear{cet, 2147483648, {67767976241139600, 67767976259283600}},
        KnownYear{cet, -2147483648, {-67768100560278000, -67768100542134000}},
        KnownYear{cet, -2147483649, {-67768100592332400, -67768100573583600}},
        KnownYear{eastern, 2024, {1710054000, 1730613600}}, KnownYear{eastern, 2023, {1678604400, 1699164000}},
        KnownYear{eastern, 2147483648, {67767976239346800, 67767976259906400}},
        KnownYear{eastern, -2147483649, {-67768100593520400, -67768100572960800}},
        KnownYear{sydney, 2024, {1728144000, 1712419200}}, KnownYear{sydney, 0, {-62143574400, -62159299200}},
        KnownYear{sydney, 2147483647, {67767976225987200, 67767976210262400}},
        KnownYear{all_year, 2023, {1672549200, 1704085200}}, KnownYear{all_year, 2024, {1704085200, 1735707600}},
        KnownYear{all_year, -2147483648, {-67768100567953200, -67768100536330800}},
        KnownYear{israel, 2024, {1711670400, 1729983600}}, KnownYear{israel, 2023, {1679616000, 1698534000}},
        KnownYear{day_numbers, 2024, {1709251200, 1729983600}}, KnownYear{day_numbers, 2023, {1677628800, 1698447600}},
        KnownYear{day_numbers, 2000, {951868800, 972601200}}, KnownYear{day_numbers, 1900, {-2203891200, -2183072400}},
        KnownYear{day_numbers, 2147483648, {67767976238716800, 67767976259449200}},
        KnownYear{greenland, 2024, {1711846800, 1729990800}}, KnownYear{greenland, -1, {-62191321200, -62172572400}}));

// Every "Mm.w.d" lands on weekday d of month m, in week w or, for w = 5, in
// the month's last seven days; every "Jn" on the n-th day of a year without
// 29 February; every "n" n days after 1 January. Checked through the core's
// conversion the other way, over years drawn from the whole range.
TEST(RuleTransitions, DatesLandWhereTheyAreNamed) {
    std::mt19937_64 random(8536);
    for (int i = 0; i < 3000; ++i) {
        const Date some = random_date(random);
        const auto month = static_cast<int>(random() % 12 + 1), week = static_cast<int>(random() % 5 + 1);
        const auto weekday_number = static_cast<int>(random() % 7), number = static_cast<int>(random() % 365 + 1);
        PosixRule rule = rule_of("AAA0BBB0,M1.1.0,M1.1.0");
        rule.start = month_week_day(month, week, weekday_number, 0);
        rule.end = day(random() % 2 ? julian : zero_based, number, 0);
        const RuleTransitions changes = rule_transitions(rule, some.year);

        const Date start = *from_days_since_unix_epoch(floor_div<std::int64_t>(changes.start, 86400));
        ASSERT_EQ(changes.start % 86400, 0);
        EXPECT_EQ(start.year, some.year);
        EXPECT_EQ(start.month, month);
        EXPECT_EQ((weekday(start).number + 1) % 7, weekday_number);
        if (week < 5) {
            EXPECT_EQ((start.day - 1) / 7 + 1, week) << text_of(start);
        } else {
            EXPECT_GT(start.day + 7, days_in_month(start.year, start.month)) << text_of(start);
        }

        const std::int64_t end_day = floor_div<std::int64_t>(changes.end, 86400);
        const std::int64_t first_day = days_since_unix_epoch(Date{some.year, 1, 1});
        if (rule.end.date.form == zero_based) {
            EXPECT_EQ(end_day - first_day, number);
        } else {
            const Date end = *from_days_since_unix_epoch(end_day);
            const bool after_leap_day = is_leap_year(end.year) && end.month > 2;
            EXPECT_EQ(ordinal(end) - after_leap_day, number) << text_of(end);
            EXPECT_FALSE(end.month == 2 && end.day == 29);
        }
    }
}

// ---------------------------------------------------------------------------
// Daylight saving time across a new year
// ---------------------------------------------------------------------------

struct DstAt {
    std::string_view rule;
    std::int64_t instant;
    bool dst;
};

class RuleIsDst : public testing::TestWithParam<DstAt> {};

TEST_P(RuleIsDst, At) {
    EXPECT_EQ(rule_is_dst(rule_of(GetParam().rule), GetParam().instant), GetParam().dst)
        << GetParam().rule << " at " << text_of(from_unix_timestamp(GetParam().instant));
}

// Daylight saving time for 19 hours on 4 January, given on the year before's
// 31 December at 100 h and 120 h.
constexpr std::string_view pushed_forward = "AAA0BBB,J365/100,J365/120";
// Daylight saving time for 19 hours on 27 and 28 December, given on the
// next year's 1 January at -100 h and -80 h.
constexpr std::string_view pushed_back = "AAA0BBB,J1/-100,J1/-80";
// Daylight saving time from 1 January at local midnight, 10:00 UTC the day
// before, to the first Sunday of March.
constexpr std::string_view far_east = "<+14>-14<+15>,J1/0,M3.1.0";

INSTANTIATE_TEST_SUITE_P(
    // Each side of each change, the changes lying in another year than the
    // date they are given on; all-year daylight saving time at the new year
    // and at both ends of the range.
    NewYear, RuleIsDst,
    testing::Values(DstAt{pushed_forward, 1735963200 - 1, false}, DstAt{pushed_forward, 1735963200, true},
                    DstAt{pushed_forward, 1736031600 - 1, true}, DstAt{pushed_forward, 1736031600, false},
                    DstAt{pushed_back, 1735329600 - 1, false}, DstAt{pushed_back, 1735329600, true},
                    DstAt{pushed_back, 1735398000 - 1, true}, DstAt{pushed_back, 1735398000, false},
                    DstAt{far_east, 1735639200 - 1, false}, DstAt{far_east, 1735639200, true},
                    DstAt{far_east, 1735689600, true}, DstAt{sydney, 1712419200 - 1, true},
                    DstAt{sydney, 1712419200, false}, DstAt{sydney, 1728144000 - 1, false},
                    DstAt{sydney, 1728144000, true}, DstAt{sydney, 1735689600, true},
                    DstAt{all_year, 1704085200 - 1, true}, DstAt{all_year, 1704085200, true},
                    DstAt{all_year, 1704067200, true}, DstAt{all_year, min_unix_timestamp, true},
                    DstAt{all_year, max_unix_timestamp, true}, DstAt{"UTC0", 0, false}));

TEST(RuleChanges, FollowEachOtherAcrossTheNewYear) {
    struct Case {
        std::string_view rule;
        std::int64_t from;
        std::int64_t changes[4];
    };
    // From 2024-12-01T00:00:00Z on.
    const Case cases[] = {
        {pushed_forward, 1733011200, {1735963200, 1736031600, 1767499200, 1767567600}},
        {pushed_back, 1733011200, {1735329600, 1735398000, 1766865600, 1766934000}},
        {far_east, 1733011200, {1735639200, 1740826800, 1767175200, 1772276400}},
        {sydney, 1733011200, {1743868800, 1759593600, 1775318400, 1791043200}},
    };
    for (const Case& c : cases) {
        const PosixRule rule = rule_of(c.rule);
        std::int64_t at = c.from;
        bool dst = rule_is_dst(rule, at);
        for (std::int64_t expected : c.changes) {
            const auto change = next_dst_change(rule, at);
            ASSERT_TRUE(change) << c.rule;
            EXPECT_EQ(change->instant, expected) << c.rule;
            EXPECT_EQ(change->dst_after, !dst) << c.rule;
            const auto back = previous_dst_change(rule, change->instant + 1, INT64_MIN);
            ASSERT_TRUE(back) << c.rule;
            EXPECT_EQ(back->instant, change->instant) << c.rule;
            at = change->instant;
            dst = change->dst_after;
        }
    }
    // All-year daylight saving time, and none at all, never change.
    EXPECT_FALSE(next_dst_change(rule_of(all_year), 0));
    EXPECT_FALSE(previous_dst_change(rule_of(all_year), 0, INT64_MIN));
    EXPECT_FALSE(next_dst_change(rule_of("UTC0"), 0));
}

}  // namespace
