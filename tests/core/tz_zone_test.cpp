// The zone queries over zones written for the purpose: hand-checked types,
// transitions and local readings around table transitions, rule transitions
// and the boundary between them; then, for every zone, the transitions and
// the local readings held against what type_at alone says.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/test_support.hpp"
#include "core/tz_writer.hpp"
#include "kairodex/tz/zone.hpp"

using namespace kairodex;
using namespace kairodex::tz;
using namespace kairodex::test;

namespace {

constexpr std::int32_t hour = 3600;

// ---------------------------------------------------------------------------
// Zones
// ---------------------------------------------------------------------------

// Local mean time until a first transition, 2022 from the table, then the
// rule: a slim file, as zic writes them.
constexpr std::int64_t paris_first = -1855958901;
TzifContents paris_like() {
    TzifContents contents;
    contents.slim_version_1 = true;
    contents.transitions = {paris_first, 1648342800, 1667091600};
    contents.transition_types = {1, 2, 1};
    contents.types = {{561, false, 0}, {hour, false, 4}, {2 * hour, true, 8}};
    contents.abbreviations = std::string("LMT\0CET\0CEST\0", 13);
    contents.footer = "CET-1CEST,M3.5.0,M10.5.0/3";
    return contents;
}

// A day skipped (-10 h to +14 h, as Samoa did at the end of 2011), then one
// repeated; the fixed footer agrees with the last type.
TzifContents samoa_like() {
    TzifContents contents;
    contents.version = '3';
    contents.transitions = {1325239200, 1400000000};
    contents.transition_types = {1, 0};
    contents.types = {{-10 * hour, false, 0}, {14 * hour, false, 4}};
    contents.abbreviations = std::string("-10\0+14\0", 8);
    contents.footer = "<-10>10";
    return contents;
}

// Transitions half an hour and ten seconds apart, so that a reading is
// skipped by one and then repeated, or held three times; an entry that
// changes only the name and the flag; no rule.
TzifContents back_to_back() {
    TzifContents contents;
    contents.transitions = {1000000000, 1000001800, 1500000000, 2000000000, 2000100000, 2000100010};
    contents.transition_types = {1, 2, 3, 1, 2, 0};
    contents.types = {{0, false, 0}, {2 * hour, false, 4}, {hour, false, 8}, {hour, true, 12}};
    contents.abbreviations = std::string("AAA\0BBB\0CCC\0DDD\0", 16);
    return contents;
}

// Version 1 data whose type 0 is daylight saving time: still what holds
// before the first transition.
TzifContents dst_first() {
    TzifContents contents;
    contents.version = '\0';
    contents.transitions = {0};
    contents.transition_types = {1};
    contents.types = {{hour, true, 0}, {0, false, 4}};
    contents.abbreviations = std::string("XDT\0XST\0", 8);
    return contents;
}

// No transitions: the rule holds for every instant, not type 0.
TzifContents rule_only() {
    TzifContents contents;
    contents.slim_version_1 = true;
    contents.types = {{1234, false, 0}};
    contents.abbreviations = std::string("LMT\0", 4);
    contents.footer = "EST5EDT,M3.2.0,M11.1.0";
    return contents;
}

// Southern hemisphere: type 0 is daylight saving time.
TzifContents sydney_like() {
    TzifContents contents;
    contents.slim_version_1 = true;
    contents.transitions = {1712419200};
    contents.transition_types = {1};
    contents.types = {{11 * hour, true, 0}, {10 * hour, false, 5}};
    contents.abbreviations = std::string("AEDT\0AEST\0", 10);
    contents.footer = "AEST-10AEDT,M10.1.0,M4.1.0/3";
    return contents;
}

// Daylight saving time all year from the last transition on.
TzifContents all_year_dst() {
    TzifContents contents;
    contents.version = '3';
    contents.slim_version_1 = true;
    contents.transitions = {1700000000};
    contents.transition_types = {1};
    contents.types = {{-5 * hour, false, 0}, {-4 * hour, true, 4}};
    contents.abbreviations = std::string("EST\0EDT\0", 8);
    contents.footer = "EST5EDT4,0/0,J365/25";
    return contents;
}

// Table transitions before and after kairodex's range, and an abbreviation
// that is the tail of another.
TzifContents far_table() {
    TzifContents contents;
    contents.slim_version_1 = true;
    contents.transitions = {-(std::int64_t{1} << 59), 0, std::int64_t{1} << 60};
    contents.transition_types = {1, 0, 1};
    contents.types = {{0, false, 0}, {hour, false, 5}};
    contents.abbreviations = std::string("AAA\0BBBB\0", 9);
    return contents;
}

// A rule whose daylight saving time keeps the offset: a change of name only.
TzifContents name_only_rule() {
    TzifContents contents;
    contents.slim_version_1 = true;
    contents.transitions = {0};
    contents.transition_types = {0};
    contents.types = {{0, false, 0}};
    contents.abbreviations = std::string("AAA\0", 4);
    contents.footer = "AAA0BBB0,M3.5.0,M10.5.0";
    return contents;
}

// A rule whose changes are given on dates of the year before and after the
// instants they happen at.
TzifContents far_east() {
    TzifContents contents;
    contents.slim_version_1 = true;
    contents.transitions = {0};
    contents.transition_types = {0};
    contents.types = {{14 * hour, false, 0}};
    contents.abbreviations = std::string("+14\0", 4);
    contents.footer = "<+14>-14<+15>,J1/0,M3.1.0";
    return contents;
}

// Two hours on, back, and on again ten seconds apart: a reading two of the
// three transitions jump over.
TzifContents flicker() {
    TzifContents contents;
    contents.transitions = {1000000000, 1000000010, 1000000020};
    contents.transition_types = {1, 0, 1};
    contents.types = {{0, false, 0}, {2 * hour, false, 4}};
    contents.abbreviations = std::string("AAA\0BBB\0", 8);
    return contents;
}

// Daylight saving time for the last second of each year: at the range's
// end, its start is kairodex's last second.
TzifContents last_second() {
    TzifContents contents;
    contents.slim_version_1 = true;
    contents.types = {{0, false, 0}};
    contents.abbreviations = std::string("AAA\0", 4);
    contents.footer = "AAA0BBB,J365/23:59:59,J1/1";
    return contents;
}

using ZoneMaker = TzifContents (*)();

// ---------------------------------------------------------------------------
// Types
// ---------------------------------------------------------------------------

struct TypeCase {
    ZoneMaker zone;
    std::int64_t instant;
    LocalType type;
};

class TypeAt : public testing::TestWithParam<TypeCase> {};

TEST_P(TypeAt, Instant) {
    const DecodedZone zone(write_tzif(GetParam().zone()));
    ASSERT_TRUE(zone.valid());
    const LocalType type = type_at(zone.view(), GetParam().instant);
    EXPECT_EQ(type, GetParam().type) << GetParam().instant << ": " << type.utc_offset << " " << type.is_dst << " "
                                     << type.abbreviation;
}

INSTANTIATE_TEST_SUITE_P(
    // Each side of the first and the last table transition, the rule beyond
    // it and at both ends of time; type 0 before the first transition, and
    // the rule instead when there are none.
    Instants, TypeAt,
    testing::Values(TypeCase{paris_like, INT64_MIN, {561, false, "LMT"}},
                    TypeCase{paris_like, paris_first - 1, {561, false, "LMT"}},
                    TypeCase{paris_like, paris_first, {hour, false, "CET"}},
                    TypeCase{paris_like, 1648342800, {2 * hour, true, "CEST"}},
                    TypeCase{paris_like, 1667091600 - 1, {2 * hour, true, "CEST"}},
                    TypeCase{paris_like, 1667091600, {hour, false, "CET"}},
                    TypeCase{paris_like, 1679792400 - 1, {hour, false, "CET"}},
                    TypeCase{paris_like, 1679792400, {2 * hour, true, "CEST"}},
                    TypeCase{paris_like, 67767976209690000, {2 * hour, true, "CEST"}},
                    TypeCase{paris_like, INT64_MAX, {hour, false, "CET"}},
                    TypeCase{samoa_like, 1325239200 - 1, {-10 * hour, false, "-10"}},
                    TypeCase{samoa_like, 1325239200, {14 * hour, false, "+14"}},
                    TypeCase{samoa_like, 1400000000, {-10 * hour, false, "-10"}},
                    TypeCase{back_to_back, 1500000000, {hour, true, "DDD"}},
                    TypeCase{back_to_back, 2000100010, {0, false, "AAA"}}, TypeCase{dst_first, -1, {hour, true, "XDT"}},
                    TypeCase{dst_first, 0, {0, false, "XST"}}, TypeCase{rule_only, 0, {-5 * hour, false, "EST"}},
                    TypeCase{rule_only, 1710054000, {-4 * hour, true, "EDT"}},
                    TypeCase{rule_only, INT64_MIN, {-5 * hour, false, "EST"}},
                    TypeCase{sydney_like, 1712419200 - 1, {11 * hour, true, "AEDT"}},
                    TypeCase{sydney_like, 1712419200, {10 * hour, false, "AEST"}},
                    TypeCase{sydney_like, 1728144000, {11 * hour, true, "AEDT"}},
                    TypeCase{sydney_like, max_unix_timestamp, {11 * hour, true, "AEDT"}},
                    TypeCase{all_year_dst, 1704067200, {-4 * hour, true, "EDT"}},
                    TypeCase{all_year_dst, max_unix_timestamp, {-4 * hour, true, "EDT"}},
                    TypeCase{far_table, INT64_MIN, {0, false, "AAA"}},
                    TypeCase{far_table, std::int64_t{1} << 60, {hour, false, "BBB"}},
                    TypeCase{name_only_rule, 1720000000, {0, true, "BBB"}},
                    TypeCase{far_east, 1735639200, {15 * hour, true, "+15"}}));

// ---------------------------------------------------------------------------
// Transitions
// ---------------------------------------------------------------------------

struct ChainCase {
    ZoneMaker zone;
    std::int64_t from;
    std::vector<ZoneTransition> transitions;  // all there are after `from`, or the first few
    bool complete;
};

class Transitions : public testing::TestWithParam<ChainCase> {};

TEST_P(Transitions, FollowEachOtherBothWays) {
    const ChainCase& c = GetParam();
    const DecodedZone zone(write_tzif(c.zone()));
    ASSERT_TRUE(zone.valid());
    std::int64_t at = c.from;
    for (const ZoneTransition& expected : c.transitions) {
        const auto next = next_transition(zone.view(), at);
        ASSERT_TRUE(next) << "after " << at;
        EXPECT_EQ(*next, expected) << "after " << at << ": " << next->instant;
        const auto back = previous_transition(zone.view(), expected.instant + 1);
        ASSERT_TRUE(back);
        EXPECT_EQ(*back, expected);
        at = expected.instant;
    }
    if (c.complete) {
        EXPECT_FALSE(next_transition(zone.view(), at));
    }
    if (c.transitions.empty()) return;
    const auto before_first = previous_transition(zone.view(), c.transitions.front().instant);
    EXPECT_TRUE(!before_first || before_first->instant <= c.from);
}

INSTANTIATE_TEST_SUITE_P(
    // Across the table's end into the rule; offsets a day apart; the name-only
    // table entry stepped over; a rule without offset changes; the ends of
    // kairodex's range, with table transitions beyond them.
    Chains, Transitions,
    testing::Values(
        ChainCase{paris_like,
                  INT64_MIN,
                  {{paris_first, 561, hour},
                   {1648342800, hour, 2 * hour},
                   {1667091600, 2 * hour, hour},
                   {1679792400, hour, 2 * hour},
                   {1698541200, 2 * hour, hour}},
                  false},
        ChainCase{paris_like,
                  67767976209690000 - 1,
                  {{67767976209690000, hour, 2 * hour}, {67767976227834000, 2 * hour, hour}},
                  true},
        ChainCase{samoa_like, 0, {{1325239200, -10 * hour, 14 * hour}, {1400000000, 14 * hour, -10 * hour}}, true},
        ChainCase{back_to_back,
                  0,
                  {{1000000000, 0, 2 * hour},
                   {1000001800, 2 * hour, hour},
                   {2000000000, hour, 2 * hour},
                   {2000100000, 2 * hour, hour},
                   {2000100010, hour, 0}},
                  true},
        ChainCase{rule_only, INT64_MIN, {{-67768100562070800, -5 * hour, -4 * hour}}, false},
        ChainCase{
            rule_only, 1700000000, {{1710054000, -5 * hour, -4 * hour}, {1730613600, -4 * hour, -5 * hour}}, false},
        ChainCase{sydney_like,
                  0,
                  {{1712419200, 11 * hour, 10 * hour},
                   {1728144000, 10 * hour, 11 * hour},
                   {1743868800, 11 * hour, 10 * hour}},
                  false},
        ChainCase{sydney_like, 67767976225987200 - 1, {{67767976225987200, 10 * hour, 11 * hour}}, true},
        ChainCase{all_year_dst, 0, {{1700000000, -5 * hour, -4 * hour}}, true},
        ChainCase{last_second, max_unix_timestamp - 2, {{max_unix_timestamp, 0, hour}}, true},
        ChainCase{far_table, INT64_MIN, {{0, hour, 0}}, true}, ChainCase{name_only_rule, INT64_MIN, {}, true},
        ChainCase{dst_first, INT64_MIN, {{0, hour, 0}}, true}));

TEST(Transitions, NoneBeyondTheRange) {
    const DecodedZone paris(write_tzif(paris_like()));
    EXPECT_EQ(previous_transition(paris.view(), INT64_MAX)->instant, 67767976227834000);
    const DecodedZone far(write_tzif(far_table()));
    EXPECT_EQ(previous_transition(far.view(), INT64_MAX)->instant, 0);
    EXPECT_FALSE(previous_transition(far.view(), 0));
    const DecodedZone rules(write_tzif(rule_only()));
    EXPECT_FALSE(previous_transition(rules.view(), -67768100562070800));
    EXPECT_FALSE(next_transition(rules.view(), max_unix_timestamp));
}

// ---------------------------------------------------------------------------
// Local readings
// ---------------------------------------------------------------------------

struct ReadingCase {
    ZoneMaker zone;
    std::int64_t local;
    LocalKind kind;
    std::int64_t earlier, later;
    ZoneTransition transition;
};

class ResolveLocal : public testing::TestWithParam<ReadingCase> {};

TEST_P(ResolveLocal, Reading) {
    const ReadingCase& c = GetParam();
    const DecodedZone zone(write_tzif(c.zone()));
    const LocalResolution got = resolve_local(zone.view(), c.local);
    EXPECT_EQ(got.kind, c.kind) << c.local;
    EXPECT_EQ(got.earlier, c.earlier) << c.local;
    EXPECT_EQ(got.later, c.later) << c.local;
    if (c.kind == LocalKind::Skipped) {
        EXPECT_EQ(got.transition, c.transition) << c.local;
    }
}

constexpr auto unique = LocalKind::Unique;
constexpr auto repeated = LocalKind::Repeated;
constexpr auto skipped = LocalKind::Skipped;

INSTANTIATE_TEST_SUITE_P(
    // 02:30 in the spring gap and the autumn fold, from the table and from the
    // rule; each edge of the first transition's gap; a day skipped and one
    // repeated; a gap and a fold back to back; a reading held three times.
    Readings, ResolveLocal,
    testing::Values(
        ReadingCase{paris_like, 1648348200, skipped, 1648341000, 1648344600, {1648342800, hour, 2 * hour}},
        ReadingCase{paris_like, 1667097000, repeated, 1667089800, 1667093400, {}},
        ReadingCase{paris_like, 1679797800, skipped, 1679790600, 1679794200, {1679792400, hour, 2 * hour}},
        ReadingCase{paris_like, 1698546600, repeated, 1698539400, 1698543000, {}},
        ReadingCase{paris_like, paris_first + 560, unique, paris_first - 1, paris_first - 1, {}},
        ReadingCase{paris_like, paris_first + 561, skipped, paris_first - 3039, paris_first, {paris_first, 561, hour}},
        ReadingCase{
            paris_like, paris_first + 3599, skipped, paris_first - 1, paris_first + 3038, {paris_first, 561, hour}},
        ReadingCase{paris_like, paris_first + 3600, unique, paris_first, paris_first, {}},
        ReadingCase{samoa_like, 1325203200, skipped, 1325152800, 1325239200, {1325239200, -10 * hour, 14 * hour}},
        ReadingCase{samoa_like, 1325289599, skipped, 1325239199, 1325325599, {1325239200, -10 * hour, 14 * hour}},
        ReadingCase{samoa_like, 1325289600, unique, 1325239200, 1325239200, {}},
        ReadingCase{samoa_like, 1400000000, repeated, 1399949600, 1400036000, {}},
        ReadingCase{back_to_back, 1000000100, skipped, 999992900, 1000000100, {1000000000, 0, 2 * hour}},
        ReadingCase{back_to_back, 1000005400, unique, 1000001800, 1000001800, {}},
        ReadingCase{back_to_back, 1000007200, repeated, 1000000000, 1000003600, {}},
        ReadingCase{back_to_back, 2000103605, repeated, 2000096405, 2000103605, {}},
        ReadingCase{rule_only, 1710037800, skipped, 1710052200, 1710055800, {1710054000, -5 * hour, -4 * hour}},
        ReadingCase{sydney_like, 1712457000, repeated, 1712417400, 1712421000, {}}));

// ---------------------------------------------------------------------------
// Every zone against type_at
// ---------------------------------------------------------------------------

struct NamedZone {
    const char* name;
    ZoneMaker zone;
};

class ZoneAgrees : public testing::TestWithParam<NamedZone> {};

// Every offset the zone has: a reading's instants are among local - offset.
std::vector<std::int32_t> offsets_of(const DecodedZone& zone) {
    std::set<std::int32_t> offsets;
    for (const LocalTimeType& type : zone.types) offsets.insert(type.utc_offset);
    if (zone.has_rule) offsets.insert({zone.rule.std_offset, zone.rule.dst_offset});
    return {offsets.begin(), offsets.end()};
}

// The windows looked at: the last centuries and the next, and the ends of the
// range.
constexpr std::int64_t windows[][2] = {{-5364662400, 4102444800},  // 1800 to 2100
                                       {min_unix_timestamp - 1, min_unix_timestamp + 3 * 31622400},
                                       {max_unix_timestamp - 3 * 31622400, max_unix_timestamp}};

// The transitions are exactly the table entries and the rule's changes at
// which type_at's offset changes, in order both ways.
TEST_P(ZoneAgrees, TransitionsAreWhereTheOffsetChanges) {
    const DecodedZone zone(write_tzif(GetParam().zone()));
    const ZoneView view = zone.view();
    for (const auto& window : windows) {
        std::set<std::int64_t> candidates(zone.transitions.begin(), zone.transitions.end());
        if (zone.has_rule) {
            const std::int64_t first = from_unix_timestamp(std::max(window[0], min_unix_timestamp))->date.year;
            const std::int64_t last = from_unix_timestamp(window[1])->date.year;
            for (std::int64_t year = first - 1; year <= last + 1; ++year) {
                const RuleTransitions changes = rule_transitions(zone.rule, year);
                candidates.insert({changes.start, changes.end});
            }
        }
        std::vector<std::int64_t> expected;
        for (std::int64_t instant : candidates) {
            if (instant > window[0] && instant <= window[1] && instant >= min_unix_timestamp &&
                type_at(view, instant - 1).utc_offset != type_at(view, instant).utc_offset) {
                expected.push_back(instant);
            }
        }
        std::vector<std::int64_t> forward;
        for (auto t = next_transition(view, window[0]); t && t->instant <= window[1];
             t = next_transition(view, t->instant)) {
            EXPECT_EQ(t->offset_before, type_at(view, t->instant - 1).utc_offset);
            EXPECT_EQ(t->offset_after, type_at(view, t->instant).utc_offset);
            forward.push_back(t->instant);
        }
        EXPECT_EQ(forward, expected) << GetParam().name;
        std::vector<std::int64_t> backward;
        for (auto t = previous_transition(view, window[1] + 1); t && t->instant > window[0];
             t = previous_transition(view, t->instant)) {
            backward.insert(backward.begin(), t->instant);
        }
        EXPECT_EQ(backward, expected) << GetParam().name;
    }
}

// A reading's instants are the u = local - offset with type_at(u) giving
// that offset: none (skipped, by the first transition that jumps over it),
// one, or more (repeated: the first and the last).
TEST_P(ZoneAgrees, ReadingsMapBackToThemselves) {
    const DecodedZone zone(write_tzif(GetParam().zone()));
    const ZoneView view = zone.view();
    const std::vector<std::int32_t> offsets = offsets_of(zone);
    std::vector<std::int64_t> readings;
    for (const auto& window : windows) {
        for (auto t = next_transition(view, window[0]); t && t->instant <= window[1];
             t = next_transition(view, t->instant)) {
            for (std::int64_t base : {t->instant + t->offset_before, t->instant + t->offset_after}) {
                for (std::int64_t step : {-86400, -3601, -1, 0, 1, 3599, 86399}) readings.push_back(base + step);
            }
        }
        std::mt19937_64 random(static_cast<std::uint64_t>(window[0]));
        for (int i = 0; i < 200; ++i) {
            readings.push_back(window[0] + static_cast<std::int64_t>(random() % (window[1] - window[0])));
        }
    }
    for (const std::int64_t local : readings) {
        std::vector<std::int64_t> instants;
        for (std::int32_t offset : offsets) {
            if (type_at(view, local - offset).utc_offset == offset) instants.push_back(local - offset);
        }
        std::sort(instants.begin(), instants.end());
        const LocalResolution got = resolve_local(view, local);
        if (instants.empty()) {
            ASSERT_EQ(got.kind, LocalKind::Skipped) << GetParam().name << " " << local;
            auto jump = next_transition(view, local - 86400);
            while (jump &&
                   !(jump->instant + jump->offset_before <= local && local < jump->instant + jump->offset_after)) {
                jump = next_transition(view, jump->instant);
            }
            ASSERT_TRUE(jump) << local;
            EXPECT_EQ(got.transition, *jump) << local;
            EXPECT_EQ(got.earlier, local - jump->offset_after);
            EXPECT_EQ(got.later, local - jump->offset_before);
        } else {
            ASSERT_EQ(got.kind, instants.size() == 1 ? LocalKind::Unique : LocalKind::Repeated)
                << GetParam().name << " " << local;
            EXPECT_EQ(got.earlier, instants.front()) << local;
            EXPECT_EQ(got.later, instants.back()) << local;
        }
    }
}

// The accelerators against the plain code: the index's counts against the
// binary search, at every transition, a second either side, and random
// instants over the whole 64-bit range and around the table; the answer for
// readings far from every transition against the plain walk.
TEST_P(ZoneAgrees, AcceleratorsAnswerAsThePlainCode) {
    const DecodedZone zone(write_tzif(GetParam().zone()));
    const ZoneView indexed = zone.view(), plain = zone.view(false);
    std::vector<std::int64_t> instants = {INT64_MIN, INT64_MAX, 0, zone.plan.origin - 1, zone.plan.origin};
    for (const std::int64_t t : zone.transitions) instants.insert(instants.end(), {t - 1, t, t + 1, t + 86400});
    std::mt19937_64 random(42);
    const std::int64_t low = zone.transitions.empty() ? 0 : zone.transitions.front();
    const std::int64_t high = zone.transitions.empty() ? 0 : zone.transitions.back();
    for (int i = 0; i < 2000; ++i) {
        instants.push_back(static_cast<std::int64_t>(random()));
        if (high > low)
            instants.push_back(low + static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(high - low)));
    }
    for (const std::int64_t t : instants) {
        ASSERT_EQ(indexed_transitions_until(indexed.transitions, indexed.index, t),
                  tz::impl::transitions_until(plain.transitions, t))
            << GetParam().name << " " << t;
        const std::int64_t local = std::clamp<std::int64_t>(t, -(std::int64_t{1} << 61), std::int64_t{1} << 61);
        if (const auto far = resolve_far_from_transitions(indexed, local)) {
            const LocalResolution walked = plain_resolve_local(plain, local);
            EXPECT_EQ(far->kind, walked.kind) << GetParam().name << " " << local;
            EXPECT_EQ(far->earlier, walked.earlier) << GetParam().name << " " << local;
        }
    }
}

// The table carried on by the rule answers every query as the rule does.
TEST_P(ZoneAgrees, ExtendedTableAnswersAsTheRule) {
    const DecodedZone zone(write_tzif(GetParam().zone()));
    const DecodedZone::Extended tables = zone.extended();
    if (tables.transitions.empty()) return;  // nothing to extend: no transitions, or a rule that never changes
    const ZoneView plain = zone.view(false);
    const ZoneView extended{tables.transitions, tables.transition_types, tables.types, tables.abbreviations,
                            plain.rule};
    EXPECT_GT(tables.transitions.size(), zone.transitions.size()) << GetParam().name;
    EXPECT_LT(tables.transitions.back(), extension_horizon);
    std::vector<std::int64_t> instants;
    for (const std::int64_t t : tables.transitions) instants.insert(instants.end(), {t - 1, t, t + 1});
    std::mt19937_64 random(7);
    for (int i = 0; i < 3000; ++i) {
        instants.push_back(zone.transitions.back() + static_cast<std::int64_t>(random() % 4000000000));
    }
    for (const std::int64_t t : instants) {
        EXPECT_EQ(type_at(extended, t), type_at(plain, t)) << GetParam().name << " " << t;
        EXPECT_EQ(next_transition(extended, t), next_transition(plain, t)) << GetParam().name << " " << t;
        EXPECT_EQ(previous_transition(extended, t), previous_transition(plain, t)) << GetParam().name << " " << t;
        const LocalResolution a = resolve_local(extended, t), b = resolve_local(plain, t);
        EXPECT_EQ(a.kind, b.kind) << t;
        EXPECT_EQ(a.earlier, b.earlier) << t;
        EXPECT_EQ(a.later, b.later) << t;
    }
}

// Stretches that hold many transitions, and a first transition far in the
// past that the index leaves out.
TzifContents crowded() {
    TzifContents contents;
    contents.transitions = {-(std::int64_t{1} << 59)};
    for (std::int64_t t = 1000000000; t < 1000000000 + 300 * 7919; t += 7919) contents.transitions.push_back(t);
    contents.transition_types.assign(contents.transitions.size(), 1);
    for (std::size_t i = 0; i < contents.transition_types.size(); i += 2) contents.transition_types[i] = 0;
    contents.types = {{0, false, 0}, {hour, false, 4}};
    contents.abbreviations = std::string("AAA\0BBB\0", 8);
    return contents;
}

INSTANTIATE_TEST_SUITE_P(Zones, ZoneAgrees,
                         testing::Values(NamedZone{"paris_like", paris_like}, NamedZone{"samoa_like", samoa_like},
                                         NamedZone{"back_to_back", back_to_back}, NamedZone{"dst_first", dst_first},
                                         NamedZone{"rule_only", rule_only}, NamedZone{"sydney_like", sydney_like},
                                         NamedZone{"all_year_dst", all_year_dst}, NamedZone{"far_table", far_table},
                                         NamedZone{"name_only_rule", name_only_rule}, NamedZone{"far_east", far_east},
                                         NamedZone{"flicker", flicker}, NamedZone{"last_second", last_second},
                                         NamedZone{"crowded", crowded}));

}  // namespace
