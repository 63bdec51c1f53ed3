// The grammars read their most common layout at fixed places before any
// general scan. Both readings must agree on every text: here each text is
// compared with a twin that only the general scan reads (a '+' before the
// year, a leading zero on the hour, white space to trim), over written texts
// and their mutations. Each text lies in a buffer of exactly its size, so
// that a sanitizer sees any read past its end.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "kairodex/datetime.hpp"
#include "kairodex/offset_datetime.hpp"

using namespace kairodex;

namespace {

template <class T>
bool same(const Result<T>& a, const Result<T>& b) {
    if (a.has_value() != b.has_value()) return false;
    return a ? *a == *b : a.error() == b.error();
}

// A copy of `text` in a heap block of its own size, alive until the next call.
std::string_view exact(const std::string& text) {
    static std::vector<char> block;
    block = std::vector<char>(text.begin(), text.end());
    block.shrink_to_fit();
    return {block.data(), block.size()};
}

bool starts_with_digit(const std::string& text) { return !text.empty() && text[0] >= '0' && text[0] <= '9'; }

template <std::size_t N>
std::string text_of(const TextBuffer<N>& buffer) {
    return std::string(buffer.view());
}

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

std::string date_text(std::mt19937_64& random) {
    TextBuffer<128> out;
    write_date(out, random_datetime(random).date);
    return text_of(out);
}

std::string time_text(std::mt19937_64& random) {
    TextBuffer<128> out;
    write_time(out, random_time(random));
    return text_of(out);
}

std::string datetime_text(std::mt19937_64& random) {
    TextBuffer<128> out;
    write_datetime(out, random_datetime(random));
    std::string text = text_of(out);
    if (random() % 4 == 0) text[10] = ' ';
    if (random() % 4 == 0) text.back() = 'z';
    return text;
}

std::string offset_datetime_text(std::mt19937_64& random) {
    const auto offset = static_cast<std::int32_t>(random() % 3 == 0 ? 0 : (random() % 191 - 95) * 900);
    TextBuffer<128> out;
    write_local_with_offset(out, random_datetime(random), UtcOffset{offset});
    std::string text = text_of(out);
    if (random() % 4 == 0) text[10] = ' ';
    if (text.back() == 'Z' && random() % 2 == 0) text.back() = 'z';
    return text;
}

}  // namespace

TEST(FixedLayout, DateAgreesWithTheGeneralGrammar) {
    for (const std::string& text : texts(date_text)) {
        if (!starts_with_digit(text)) continue;
        EXPECT_TRUE(same(parse_date(exact(text)), parse_date("+" + text))) << text;
    }
}

TEST(FixedLayout, TimeAgreesWithTheGeneralGrammar) {
    for (const std::string& text : texts(time_text)) {
        if (!starts_with_digit(text)) continue;
        EXPECT_TRUE(same(parse_time(exact(text)), parse_time("0" + text))) << text;
    }
}

TEST(FixedLayout, DateTimeAgreesWithTheGeneralGrammar) {
    for (const std::string& text : texts(datetime_text)) {
        if (!starts_with_digit(text)) continue;
        EXPECT_TRUE(same(parse_datetime(exact(text)), parse_datetime("+" + text))) << text;
    }
}

TEST(FixedLayout, OffsetDateTimeAgreesWithTheGeneralGrammar) {
    for (const std::string& text : texts(offset_datetime_text)) {
        EXPECT_TRUE(same(parse_offset_datetime(exact(text)), parse_offset_datetime(" " + text))) << text;
    }
}

TEST(FixedLayout, FractionsOfEveryLengthAndTheirEnds) {
    // Every fraction length in texts of every total length, up to one digit
    // too many, with each zone.
    for (const char* zone : {"Z", "+05:30", "-00:00", ""}) {
        std::string fraction;
        for (int digits = 0; digits <= 10; ++digits) {
            const std::string text = "2024-02-29T23:59:59" + (digits ? "." + fraction : "") + zone;
            EXPECT_TRUE(same(parse_offset_datetime(exact(text)), parse_offset_datetime(" " + text))) << text;
            EXPECT_TRUE(same(parse_datetime(exact(text)), parse_datetime("+" + text))) << text;
            fraction += static_cast<char>('1' + digits % 9);
        }
    }
    EXPECT_EQ(parse_datetime("2024-02-29T23:59:59.123456789Z")->time.nanosecond, 123456789u);
    EXPECT_EQ(parse_datetime("2024-02-29T23:59:59.12345678Z")->time.nanosecond, 123456780u);
    EXPECT_EQ(parse_datetime("2024-02-29T23:59:59.1Z")->time.nanosecond, 100000000u);
    EXPECT_FALSE(parse_datetime("2024-02-29T23:59:59.1234567891Z"));
    EXPECT_FALSE(parse_datetime("2024-02-29T23:59:59.Z"));
}
