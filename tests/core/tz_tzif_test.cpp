// The TZif reader: files of every version read back to the tables they were
// written from, every cut through a file is refused, and each kind of damage
// is refused with its own error.
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "core/tz_writer.hpp"
#include "kairodex/tz/tzif.hpp"

using namespace kairodex;
using namespace kairodex::tz;
using namespace kairodex::test;

namespace {

// Transitions at both 32-bit limits and on both sides of 1970, the last type
// daylight saving time, and an abbreviation that is the tail of another
// ("EST" within "CEST"). Version 2 files add times beyond 32 bits when their
// version 1 data is slim.
TzifContents sample(char version, bool wide = false) {
    TzifContents contents;
    contents.version = version;
    contents.transitions = {-2147483648LL, -1, 0, 1000000000, 2147483647};
    contents.transition_types = {1, 2, 1, 3, 2};
    contents.types = {{561, false, 0}, {3600, false, 4}, {7200, true, 8}, {-18000, false, 9}};
    contents.abbreviations = std::string("LMT\0CET\0CEST\0", 13);
    if (wide) {
        contents.transitions.insert(contents.transitions.begin(), -(std::int64_t{1} << 59));
        contents.transitions.push_back(std::int64_t{1} << 40);
        contents.transition_types.insert(contents.transition_types.begin(), 3);
        contents.transition_types.push_back(1);
        contents.slim_version_1 = true;
    }
    if (version != '\0') contents.footer = "CET-1CEST,M3.5.0,M10.5.0/3";
    return contents;
}

struct Shape {
    char version;
    bool wide;
    std::uint32_t leap_seconds;
    bool indicators;
};

class TzifReadsBack : public testing::TestWithParam<Shape> {};

TEST_P(TzifReadsBack, TheTablesWritten) {
    const Shape& shape = GetParam();
    TzifContents contents = sample(shape.version, shape.wide);
    contents.leap_seconds = shape.leap_seconds;
    contents.indicators = shape.indicators;
    const DecodedZone zone(write_tzif(contents));
    ASSERT_TRUE(zone.valid());
    EXPECT_EQ(zone.layout.version, shape.version == '\0' ? 1 : shape.version - '0');
    EXPECT_EQ(zone.layout.time_size, shape.version == '\0' ? 4 : 8);
    EXPECT_EQ(zone.layout.footer, contents.footer);
    EXPECT_EQ(zone.layout.counts.leap_seconds, shape.leap_seconds);
    EXPECT_EQ(zone.transitions, contents.transitions);
    EXPECT_EQ(zone.transition_types, contents.transition_types);
    EXPECT_EQ(zone.types, contents.types);
    EXPECT_EQ(std::string(zone.abbreviations.begin(), zone.abbreviations.end()), contents.abbreviations);
}

INSTANTIATE_TEST_SUITE_P(
    // Every version; 64-bit times; leap-second records and indicators, which
    // are skipped but still take their room.
    Versions, TzifReadsBack,
    testing::Values(Shape{'\0', false, 0, false}, Shape{'2', false, 0, false}, Shape{'3', false, 0, false},
                    Shape{'4', false, 0, false}, Shape{'2', true, 0, false}, Shape{'4', true, 0, false},
                    Shape{'\0', false, 3, true}, Shape{'2', false, 2, false}, Shape{'3', true, 27, true}));

// Whatever the cut, the reader says so: "TZif" itself, then the header and
// tables (truncated), then the footer's newlines. A v1 file ends with its
// tables.
TEST(TzifLayout, EveryCutIsRefused) {
    for (const char version : {'\0', '2', '4'}) {
        TzifContents contents = sample(version);
        contents.leap_seconds = 1;
        contents.indicators = true;
        const std::string bytes = write_tzif(contents);
        const std::size_t footer = version == '\0' ? bytes.size() : bytes.size() - contents.footer.size() - 2;
        for (std::size_t size = 0; size < bytes.size(); ++size) {
            const std::string cut = bytes.substr(0, size);
            const auto layout = read_tzif_layout(cut);
            ASSERT_FALSE(layout) << int(version) << " cut at " << size;
            const ZoneDataError expected = size == 0        ? ZoneDataError::NotTzif
                                           : size < footer  ? ZoneDataError::Truncated
                                           : size == footer ? ZoneDataError::FooterStart
                                                            : ZoneDataError::FooterEnd;
            ASSERT_EQ(layout.error(), expected) << int(version) << " cut at " << size;
        }
    }
}

// A sample file, spoiled in one place.
struct Damage {
    const char* what;
    char version;
    void (*spoil_contents)(TzifContents&);
    void (*spoil_bytes)(TzifFile&);
    ZoneDataError error;
};

class TzifRefuses : public testing::TestWithParam<Damage> {};

TEST_P(TzifRefuses, WithItsError) {
    const Damage& damage = GetParam();
    TzifContents contents = sample(damage.version);
    if (damage.spoil_contents) damage.spoil_contents(contents);
    TzifFile file = write_tzif_file(contents);
    if (damage.spoil_bytes) damage.spoil_bytes(file);
    const auto layout = read_tzif_layout(file.bytes);
    ASSERT_FALSE(layout) << damage.what;
    EXPECT_EQ(layout.error(), damage.error) << damage.what << ": " << describe(layout.error());
}

// Places in the version 2+ data of the sample (5 transitions, 4 types).
constexpr std::size_t counts_at = 20, types_at = 44 + 5 * 9;

void set_count(TzifFile& file, std::size_t header, int which, std::uint32_t value) {
    std::string count;
    tzif_writer::put32(count, value);
    file.bytes.replace(header + counts_at + 4 * static_cast<std::size_t>(which), 4, count);
}

INSTANTIATE_TEST_SUITE_P(
    // Counts (isutcnt, isstdcnt, leapcnt, timecnt, typecnt, charcnt are
    // counts 0 to 5) past the data, indices past their tables, order, ranges,
    // and the footer; version 1 data checked as the 64-bit data is.
    Damages, TzifRefuses,
    testing::Values(
        Damage{"magic", '2', nullptr, [](TzifFile& f) { f.bytes[3] = 'F'; }, ZoneDataError::NotTzif},
        Damage{"version '1'", '2', nullptr, [](TzifFile& f) { f.bytes[4] = '1'; }, ZoneDataError::UnknownVersion},
        Damage{"version '5'", '2', nullptr, [](TzifFile& f) { f.bytes[4] = '5'; }, ZoneDataError::UnknownVersion},
        Damage{"second magic", '2', nullptr, [](TzifFile& f) { f.bytes[f.second_header] = 'X'; },
               ZoneDataError::SecondHeader},
        Damage{"second version", '2', nullptr, [](TzifFile& f) { f.bytes[f.second_header + 4] = '3'; },
               ZoneDataError::SecondHeader},
        Damage{"no types", '2',
               [](TzifContents& s) {
                   s.types.clear();
                   s.transitions.clear();
                   s.transition_types.clear();
               },
               nullptr, ZoneDataError::NoLocalTimeTypes},
        Damage{"no characters", '2', [](TzifContents& s) { s.abbreviations.clear(); }, nullptr,
               ZoneDataError::NoAbbreviations},
        Damage{"isutcnt 1 of 4", '2', nullptr, [](TzifFile& f) { set_count(f, f.second_header, 0, 1); },
               ZoneDataError::IndicatorCount},
        Damage{"isstdcnt 5 of 4", '2', nullptr, [](TzifFile& f) { set_count(f, f.second_header, 1, 5); },
               ZoneDataError::IndicatorCount},
        Damage{"leapcnt past the data", '2', nullptr, [](TzifFile& f) { set_count(f, f.second_header, 2, 3); },
               ZoneDataError::Truncated},
        Damage{"timecnt 2^32 - 1", '2', nullptr, [](TzifFile& f) { set_count(f, f.second_header, 3, 0xFFFFFFFF); },
               ZoneDataError::Truncated},
        Damage{"charcnt past the data", '3', nullptr, [](TzifFile& f) { set_count(f, f.second_header, 5, 100); },
               ZoneDataError::Truncated},
        Damage{"version 1 typecnt past the data", '2', nullptr, [](TzifFile& f) { set_count(f, 0, 4, 0x10000000); },
               ZoneDataError::Truncated},
        Damage{"type index = typecnt", '2', [](TzifContents& s) { s.transition_types[2] = 4; }, nullptr,
               ZoneDataError::TransitionType},
        Damage{"type index 255", '4', [](TzifContents& s) { s.transition_types[4] = 255; }, nullptr,
               ZoneDataError::TransitionType},
        Damage{"equal transitions", '2', [](TzifContents& s) { s.transitions[2] = s.transitions[1]; }, nullptr,
               ZoneDataError::TransitionOrder},
        Damage{"descending transitions", '2', [](TzifContents& s) { s.transitions[4] = 5; }, nullptr,
               ZoneDataError::TransitionOrder},
        Damage{"offset 86401", '2', [](TzifContents& s) { s.types[2].utc_offset = 86401; }, nullptr,
               ZoneDataError::OffsetRange},
        Damage{"offset -2^31", '2', [](TzifContents& s) { s.types[0].utc_offset = INT32_MIN; }, nullptr,
               ZoneDataError::OffsetRange},
        Damage{"isdst 2", '2', nullptr, [](TzifFile& f) { f.bytes[f.second_header + types_at + 6 + 4] = 2; },
               ZoneDataError::DstFlag},
        Damage{"abbreviation index = charcnt", '2', [](TzifContents& s) { s.types[3].abbreviation = 13; }, nullptr,
               ZoneDataError::AbbreviationIndex},
        Damage{"abbreviation without its NUL", '2', [](TzifContents& s) { s.abbreviations.pop_back(); }, nullptr,
               ZoneDataError::AbbreviationEnd},
        Damage{"no footer", '2', nullptr, [](TzifFile& f) { f.bytes.resize(f.bytes.size() - 28); },
               ZoneDataError::FooterStart},
        Damage{"footer opened by a space", '2', nullptr, [](TzifFile& f) { f.bytes[f.bytes.size() - 28] = ' '; },
               ZoneDataError::FooterStart},
        Damage{"footer not closed", '3', nullptr, [](TzifFile& f) { f.bytes.pop_back(); }, ZoneDataError::FooterEnd},
        Damage{"footer without dates", '2', [](TzifContents& s) { s.footer = "CET-1CEST"; }, nullptr,
               ZoneDataError::RuleWithoutDates},
        Damage{"footer without offset", '2', [](TzifContents& s) { s.footer = "CET"; }, nullptr,
               ZoneDataError::RuleOffset},
        Damage{"footer's month 13", '3', [](TzifContents& s) { s.footer = "CET-1CEST,M13.5.0,M10.5.0/3"; }, nullptr,
               ZoneDataError::RuleDate},
        Damage{"version 1 type index", '\0', [](TzifContents& s) { s.transition_types[0] = 7; }, nullptr,
               ZoneDataError::TransitionType},
        Damage{"version 1 order", '\0', [](TzifContents& s) { s.transitions[1] = -2147483648LL; }, nullptr,
               ZoneDataError::TransitionOrder},
        Damage{"version 1 abbreviation", '\0', [](TzifContents& s) { s.types[1].abbreviation = 200; }, nullptr,
               ZoneDataError::AbbreviationIndex}));

// kairodex's offsets reach a whole day either way, and no further.
TEST(TzifLayout, OffsetsReachADayEitherWay) {
    for (const std::int32_t limit : {-86400, 86400}) {
        TzifContents contents = sample('2');
        contents.types[3].utc_offset = limit;
        const DecodedZone zone(write_tzif(contents));
        ASSERT_TRUE(zone.valid()) << limit;
        EXPECT_EQ(zone.types, contents.types);
        contents.types[3].utc_offset = limit + (limit > 0 ? 1 : -1);
        EXPECT_EQ(read_tzif_layout(write_tzif(contents)).error(), ZoneDataError::OffsetRange) << limit;
    }
}

// What the reader leaves alone: the version 1 data of a later version (read
// only for its size), bytes after the footer, an empty footer, indicator and
// leap-second values.
TEST(TzifLayout, SkipsWhatItDoesNotUse) {
    TzifContents contents = sample('2');
    contents.indicators = true;
    contents.leap_seconds = 2;
    TzifFile file = write_tzif_file(contents);
    // Version 1 data: a type index past its types, and an offset of 2^31 - 1.
    file.bytes[44 + 5 * 4] = 9;
    file.bytes.replace(44 + 5 * 5, 4, "\x7f\xff\xff\xff");
    // The indicators hold 7s, and the first leap second's count is -5.
    file.bytes.replace(file.bytes.size() - 28 - 8, 8, std::string(8, '\x07'));
    file.bytes.replace(file.bytes.size() - 28 - 8 - 2 * 12 + 8, 4, "\xff\xff\xff\xfb");
    file.bytes += "more\n";
    const DecodedZone zone(file.bytes);
    ASSERT_TRUE(zone.valid());
    EXPECT_EQ(zone.types, contents.types);
    EXPECT_EQ(zone.layout.footer, contents.footer);

    contents.footer.clear();
    const DecodedZone without_rule(write_tzif(contents));
    ASSERT_TRUE(without_rule.valid());
    EXPECT_TRUE(without_rule.layout.footer.empty());
}

// The messages become ValueError texts: one for each kind, none alike.
TEST(ZoneDataErrors, EachHasItsOwnMessage) {
    std::set<std::string_view> messages;
    const auto last = static_cast<int>(ZoneDataError::RuleTrailingText);
    for (int kind = 0; kind <= last; ++kind) {
        const std::string_view message = describe(static_cast<ZoneDataError>(kind));
        EXPECT_NE(message, describe(static_cast<ZoneDataError>(last + 1))) << kind;
        EXPECT_TRUE(messages.insert(message).second) << message;
    }
}

}  // namespace
