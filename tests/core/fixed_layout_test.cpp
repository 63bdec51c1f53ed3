// The grammars' fast paths read their most common layout at fixed places and
// hand every other text to the plain readers. Fast and plain must agree on
// every text: here both read written texts and their mutations. Each text
// lies in a buffer of exactly its size, so that a sanitizer sees any read
// past its end. Below that, the word tests under the readers, and the
// readers at other places than a text's start.
#include "kairodex/fast/fixed_layout.hpp"

#include <gtest/gtest.h>

#include <bit>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/test_support.hpp"
#include "kairodex/datetime.hpp"
#include "kairodex/offset_datetime.hpp"

using namespace kairodex;
using namespace kairodex::test;

namespace {

// Written texts in every variant of the fixed layouts, then each with one
// byte replaced, removed or doubled.
std::vector<std::string> texts(std::string (*write)(std::mt19937_64&)) {
    std::mt19937_64 random(7);
    const std::string alphabet = "0123456789-:.TtZz+ \x7f\xc2";
    std::vector<std::string> out;
    for (int i = 0; i < 4000; ++i) {
        const std::string text = write(random);
        out.push_back(text);
        const std::size_t at = random() % text.size();
        std::string replaced = text, removed = text, doubled = text;
        replaced[at] = alphabet[random() % alphabet.size()];
        removed.erase(at, 1);
        doubled.insert(at, 1, text[at]);
        out.insert(out.end(), {replaced, removed, doubled});
    }
    return out;
}

Time random_time(std::mt19937_64& random) {
    // Fractions of every length, and some times at the ends of the day.
    static constexpr std::uint32_t units[] = {1000000000, 100000000, 1000000, 1000, 10, 1};
    const std::uint32_t unit = units[random() % 6];
    return Time{static_cast<std::uint8_t>(random() % 24), static_cast<std::uint8_t>(random() % 60),
                static_cast<std::uint8_t>(random() % 60),
                static_cast<std::uint32_t>(random() % (1000000000 / unit) * unit % 1000000000)};
}

DateTime random_datetime(std::mt19937_64& random) {
    // Years 0 to 9999, leap days and month ends included.
    const auto days = static_cast<std::int64_t>(random() % 3652425) - 719528;
    return DateTime{*from_days_since_unix_epoch(days), random_time(random)};
}

std::string date_text(std::mt19937_64& random) { return text_of(random_datetime(random).date); }

std::string time_text(std::mt19937_64& random) { return text_of(random_time(random)); }

std::string datetime_text(std::mt19937_64& random) {
    std::string text = text_of(random_datetime(random));
    if (random() % 4 == 0) text[10] = ' ';
    if (random() % 4 == 0) text.back() = 'z';
    return text;
}

std::string offset_datetime_text(std::mt19937_64& random) {
    const auto offset = static_cast<std::int32_t>(random() % 3 == 0 ? 0 : (random() % 191 - 95) * 900);
    std::string text = text_of(random_datetime(random), [&](auto& out, const DateTime& local) {
        write_local_with_offset(out, local, UtcOffset{offset});
    });
    if (random() % 4 == 0) text[10] = ' ';
    if (text.back() == 'Z' && random() % 2 == 0) text.back() = 'z';
    return text;
}

}  // namespace

// Each grammar's fast reader (handing over to the plain one) and its public
// one (handing over to the general reader with the public readers of its
// parts) against the plain one, on the same texts.
template <auto fast_read, auto public_read, auto plain_read>
void expect_same_readings(const std::vector<std::string>& written) {
    for (const std::string& each : written) {
        const std::string_view text = exact(each);
        EXPECT_TRUE(same(fast_read(text), plain_read(text))) << each;
        EXPECT_TRUE(same(public_read(text), plain_read(text))) << each;
    }
}

TEST(FixedLayout, EachGrammarAgreesWithItsPlainReader) {
    expect_same_readings<fast::parse_date<plain_parse_date>, parse_date, plain_parse_date>(texts(date_text));
    expect_same_readings<fast::parse_time<plain_parse_time>, parse_time, plain_parse_time>(texts(time_text));
    expect_same_readings<fast::parse_datetime<plain_parse_datetime>, parse_datetime, plain_parse_datetime>(
        texts(datetime_text));
    expect_same_readings<fast::parse_offset_datetime<plain_parse_offset_datetime>, parse_offset_datetime,
                         plain_parse_offset_datetime>(texts(offset_datetime_text));
}

TEST(FixedLayout, FractionsOfEveryLengthAndTheirEnds) {
    // Every fraction length in texts of every total length, up to one digit
    // too many, with each zone.
    for (const char* zone : {"Z", "+05:30", "-00:00", ""}) {
        std::string fraction;
        for (int digits = 0; digits <= 10; ++digits) {
            const std::string written = "2024-02-29T23:59:59" + (digits ? "." + fraction : "") + zone;
            const std::string_view text = exact(written);
            EXPECT_TRUE(
                same(fast::parse_offset_datetime<plain_parse_offset_datetime>(text), plain_parse_offset_datetime(text)))
                << written;
            EXPECT_TRUE(same(fast::parse_datetime<plain_parse_datetime>(text), plain_parse_datetime(text))) << written;
            fraction += static_cast<char>('1' + digits % 9);
        }
    }
    EXPECT_EQ(parse_datetime("2024-02-29T23:59:59.123456789Z")->time.nanosecond, 123456789u);
    EXPECT_EQ(parse_datetime("2024-02-29T23:59:59.12345678Z")->time.nanosecond, 123456780u);
    EXPECT_EQ(parse_datetime("2024-02-29T23:59:59.1Z")->time.nanosecond, 100000000u);
    EXPECT_FALSE(parse_datetime("2024-02-29T23:59:59.1234567891Z"));
    EXPECT_FALSE(parse_datetime("2024-02-29T23:59:59.Z"));
}

// ---------------------------------------------------------------------------
// The word machinery under the readers
// ---------------------------------------------------------------------------

// The masks as they were once written out by hand, byte 0 lowest.
static_assert(fast::clock_layout.high_mask == 0xF0F0FFF0F0FFF0F0 && fast::clock_layout.expected == 0x30303A30303A3030 &&
              fast::clock_layout.six == 0x0606000606000606 && fast::clock_layout.digit_high == 0xF0F000F0F000F0F0);
static_assert(fast::date_word_layout.high_mask == 0xFFF0F0FFF0F0F0F0 &&
              fast::date_word_layout.expected == 0x2D30302D30303030 &&
              fast::date_word_layout.six == 0x0006060006060606 &&
              fast::date_word_layout.digit_high == 0x00F0F000F0F0F0F0);
static_assert(fast::offset_layout.high_mask == 0x0000F0F0FFF0F000 &&
              fast::offset_layout.expected == 0x000030303A303000 && fast::offset_layout.six == 0x0000060600060600 &&
              fast::offset_layout.digit_high == 0x0000F0F000F0F000);
static_assert(fast::fraction_layout.high_mask == 0xF0F0F0F0F0F0F0F0 &&
              fast::fraction_layout.expected == 0x3030303030303030 && fast::fraction_layout.six == 0x0606060606060606 &&
              fast::fraction_layout.digit_high == 0xF0F0F0F0F0F0F0F0);

namespace {

struct LayoutCase {
    const char* name;
    fast::WordLayout layout;
    const char* valid;    // eight bytes that match
    const char* pattern;  // per byte: 'D' a digit, '?' anything, else that byte
};

std::uint64_t word_of(const std::string& bytes) { return fast::load_le64(bytes, 0); }

}  // namespace

class WordLayouts : public testing::TestWithParam<LayoutCase> {};

// Every byte value at every place of a word that matches otherwise: a word
// matches exactly when the byte is what its place wants, and the lowest
// mismatching byte is always the first wrong place, whatever a carry out of
// it does to the bytes above.
TEST_P(WordLayouts, EachByteAtEachPlace) {
    const LayoutCase& c = GetParam();
    ASSERT_TRUE(fast::matches(word_of(c.valid), c.layout));
    for (int place = 0; place < 8; ++place) {
        for (int value = 0; value < 256; ++value) {
            std::string bytes = c.valid;
            bytes[place] = static_cast<char>(value);
            const char want = c.pattern[place];
            const bool fits = want == '?' || (want == 'D' ? value >= '0' && value <= '9' : value == want);
            const std::uint64_t wrong = fast::mismatches(word_of(bytes), c.layout);
            ASSERT_EQ(fast::matches(word_of(bytes), c.layout), fits) << c.name << " " << place << " " << value;
            if (!fits) {
                ASSERT_EQ(std::countr_zero(wrong) / 8, place) << c.name << " " << place << " " << value;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Fixed, WordLayouts,
                         testing::Values(LayoutCase{"date", fast::date_word_layout, "2024-06-", "DDDD-DD-"},
                                         LayoutCase{"clock", fast::clock_layout, "23:59:59", "DD:DD:DD"},
                                         LayoutCase{"fraction", fast::fraction_layout, "12345678", "DDDDDDDD"},
                                         LayoutCase{"offset", fast::offset_layout, "+05:30xy", "?DD:DD??"}),
                         [](const auto& info) { return std::string(info.param.name); });

// All 10^8 digit strings: the gathering of pairs is exact wherever it is
// used.
TEST(WordLayouts, EightDigitsOfEveryNumber) {
    // The two digit bytes of 0 to 99, the tens in the lower byte.
    std::uint64_t pair_bytes[100];
    for (unsigned v = 0; v < 100; ++v) pair_bytes[v] = v / 10 | (v % 10) << 8;
    for (unsigned a = 0; a < 100; ++a) {
        for (unsigned b = 0; b < 100; ++b) {
            for (unsigned c = 0; c < 100; ++c) {
                const std::uint64_t high = pair_bytes[a] | pair_bytes[b] << 16 | pair_bytes[c] << 32;
                const std::uint32_t base = ((a * 100 + b) * 100 + c) * 100;
                unsigned wrong = 0;
                for (unsigned d = 0; d < 100; ++d) wrong += fast::eight_digits(high | pair_bytes[d] << 48) != base + d;
                ASSERT_EQ(wrong, 0u) << base;
            }
        }
    }
}

// ---------------------------------------------------------------------------
// The readers, at any place in a text
// ---------------------------------------------------------------------------

TEST(FixedReaders, DateAtAnyPlace) {
    fast::FixedDate date{};
    EXPECT_EQ(fast::read_fixed_date("2024-06-30", 0, date), 10u);
    EXPECT_EQ(date.year, 2024);
    EXPECT_EQ(date.month, 6);
    EXPECT_EQ(date.day, 30);
    // Fields are digits, not yet dates.
    EXPECT_EQ(fast::read_fixed_date("xx9999-99-99T", 2, date), 12u);
    EXPECT_EQ(date.year, 9999);
    EXPECT_EQ(date.month, 99);
    EXPECT_EQ(date.day, 99);
    for (const char* text : {"2024-06-3", "2024-06-3x", "2024/06/30", "+024-06-30", "2024-6-30x"}) {
        EXPECT_EQ(fast::read_fixed_date(text, 0, date), 0u) << text;
    }
    EXPECT_EQ(fast::read_fixed_date("x2024-06-30", 0, date), 0u);
    EXPECT_EQ(fast::read_fixed_date("x2024-06-3", 1, date), 0u);
}

struct ClockCase {
    const char* text;
    std::size_t at;
    std::size_t end;  // 0: not the layout
    std::uint32_t nanosecond;
};

class FixedClockReader : public testing::TestWithParam<ClockCase> {};
TEST_P(FixedClockReader, ReadsTheLayoutAndItsFraction) {
    const ClockCase& c = GetParam();
    // In a block of exactly its size, so that a sanitizer sees a read past it.
    const std::string_view text = exact(c.text);
    fast::FixedClock clock{};
    ASSERT_EQ(fast::read_fixed_clock(text, c.at, clock), c.end) << c.text;
    if (c.end == 0) return;
    EXPECT_EQ(clock.hour, 12);
    EXPECT_EQ(clock.minute, 34);
    EXPECT_EQ(clock.second, 56);
    EXPECT_EQ(clock.nanosecond, c.nanosecond) << c.text;
}
INSTANTIATE_TEST_SUITE_P(
    Fixed, FixedClockReader,
    testing::Values(ClockCase{"12:34:56", 0, 8, 0}, ClockCase{"T12:34:56Z", 1, 9, 0},
                    ClockCase{"12:34:56.", 0, 8, 0},  // a '.' with nothing after it is left to the caller
                    ClockCase{"12:34:56.5", 0, 10, 500000000}, ClockCase{"12:34:56.5Z", 0, 10, 500000000},
                    ClockCase{"12:34:56.1234567", 0, 16, 123456700}, ClockCase{"12:34:56.12345678", 0, 17, 123456780},
                    ClockCase{"12:34:56.123456789", 0, 18, 123456789},
                    ClockCase{"12:34:56.1234567890", 0, 18, 123456789},  // the tenth digit is the caller's
                    ClockCase{"12:34:56.12345678x9", 0, 17, 123456780},
                    ClockCase{"xx12:34:56.000000001+01:00", 2, 20, 1}, ClockCase{"12:34:56.x", 0, 0, 0},
                    ClockCase{"12:34:5", 0, 0, 0}, ClockCase{"12-34-56", 0, 0, 0}, ClockCase{"1:34:56.5", 0, 0, 0},
                    ClockCase{"x12:34:56", 2, 0, 0}));

TEST(FixedReaders, OffsetEndsWhereItsLastDigitIs) {
    fast::FixedOffset offset{};
    EXPECT_EQ(fast::read_fixed_offset(exact("12:00:00+05:30"), 8, offset), 14u);
    EXPECT_TRUE(offset.positive);
    EXPECT_EQ(offset.hours, 5);
    EXPECT_EQ(offset.minutes, 30);
    EXPECT_EQ(fast::read_fixed_offset("00-99:99Z", 2, offset), 8u);
    EXPECT_FALSE(offset.positive);
    EXPECT_EQ(offset.hours, 99);
    EXPECT_EQ(offset.minutes, 99);
    // Two bytes before it are needed for the word that ends with it.
    EXPECT_EQ(fast::read_fixed_offset("0+05:30", 1, offset), 0u);
    // Each in a block of its size: "00+05:3" is one byte short of the word.
    for (const char* text : {"00*05:30", "00+05;30", "00+5:30", "00+05:3", "00+05:3x", "00 05:30"}) {
        EXPECT_EQ(fast::read_fixed_offset(exact(text), 2, offset), 0u) << text;
    }
}

TEST(FixedReaders, FractionWithoutAWordToLoad) {
    // A text shorter than a word, or a fraction that would start at its end:
    // left to the plain reader. (Through the clock reader a fraction always
    // follows eight bytes and has one.)
    std::uint32_t nanosecond = 0;
    const std::pair<const char*, std::size_t> cases[] = {{"5", 0}, {"1234567", 0}, {"12:34:56", 8}};
    for (const auto& [text, at] : cases) {
        EXPECT_EQ(fast::read_fixed_fraction(exact(text), at, nanosecond), 0u) << text;
    }
}
