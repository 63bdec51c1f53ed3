// The decimal writers and the text forms, fast and plain each, against
// reference conversions, at the edges where a fast path hands over to the
// plain one.
#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <string>

#include "kairodex/date.hpp"
#include "kairodex/datetime.hpp"
#include "kairodex/fast/digit_words.hpp"
#include "kairodex/fast/text_words.hpp"
#include "kairodex/offset_datetime.hpp"
#include "kairodex/time.hpp"
#include "kairodex/utc_offset.hpp"

using namespace kairodex;

namespace {

// Digit by digit, the way it is taught.
std::string reference_decimal(u128 value, int width) {
    std::string digits;
    do {
        digits.insert(digits.begin(), static_cast<char>('0' + static_cast<int>(value % 10)));
        value /= 10;
    } while (value != 0);
    while (static_cast<int>(digits.size()) < width) digits.insert(digits.begin(), '0');
    return digits;
}

using Buffer = TextBuffer<128>;

template <class Write>
std::string written(Write write) {
    Buffer out;
    write(out);
    EXPECT_FALSE(out.overflowed());
    return std::string(out.view());
}

// What a writer of `Value` writes, fast and plain.
template <class Value>
struct Writers {
    void (*fast)(Buffer&, Value);
    void (*plain)(Buffer&, Value);

    template <class Check>
    void each(Value value, Check check) const {
        check("fast", written([&](Buffer& out) { fast(out, value); }));
        check("plain", written([&](Buffer& out) { plain(out, value); }));
    }
};

constexpr Writers<Date> date_writers{fast::write_date<plain_write_date<Buffer>, Buffer>, plain_write_date<Buffer>};
constexpr Writers<Time> time_writers{fast::write_time<Buffer>, plain_write_time<Buffer>};
constexpr Writers<UtcOffset> offset_writers{fast::write_offset<Buffer>, plain_write_offset<Buffer>};

// 0, then each power of ten and its neighbours, 2^64 and its neighbours, and
// the largest 128-bit value.
std::vector<u128> edge_values() {
    std::vector<u128> values = {0};
    u128 power = 1;
    for (int i = 0; i <= 38; ++i, power *= 10) {
        values.push_back(power - 1);
        values.push_back(power);
        values.push_back(power + 1);
    }
    const u128 two_to_64 = u128{1} << 64;
    values.insert(values.end(), {two_to_64 - 1, two_to_64, two_to_64 + 1, ~u128{0}});
    return values;
}

}  // namespace

TEST(DecimalWriter, DigitCountsAtEveryPowerOfTen) {
    EXPECT_EQ(fast::decimal_width(0), 1);
    EXPECT_EQ(fast::decimal_width(UINT64_MAX), 20);
    std::uint64_t power = 1;
    for (int digits = 1; digits <= 19; ++digits, power *= 10) {
        EXPECT_EQ(fast::decimal_width(power), digits) << power;
        EXPECT_EQ(fast::decimal_width(power * 10 - 1), digits) << power * 10 - 1;
    }
}

TEST(DecimalWriter, EightDigitsInLanesForEveryValue) {
    // All 10^8 values: the lane arithmetic has no other inputs.
    std::uint32_t mismatches = 0;
    for (std::uint32_t value = 0; value < 100000000; ++value) {
        std::uint64_t expected = 0;
        std::uint32_t rest = value;
        for (int byte = 7; byte >= 0; --byte, rest /= 10) expected |= std::uint64_t{'0' + rest % 10} << (8 * byte);
        mismatches += fast::eight_digits_ascii(value) != expected;
    }
    EXPECT_EQ(mismatches, 0u);
}

TEST(DecimalWriter, EdgeValuesAtSeveralWidths) {
    for (const u128 value : edge_values()) {
        for (const int width : {1, 2, 3, 4, 8, 9, 15, 16, 17, 19, 20, 21, 39}) {
            const std::string expected = reference_decimal(value, width);
            EXPECT_EQ(written([&](auto& out) { fast::put_unsigned<plain_put_unsigned<Buffer>>(out, value, width); }),
                      expected)
                << "width " << width;
            EXPECT_EQ(written([&](auto& out) { plain_put_unsigned(out, value, width); }), expected)
                << "width " << width;
        }
        const i128 negative = -static_cast<i128>(value >> 1);
        EXPECT_EQ(written([&](auto& out) { put_signed(out, negative); }),
                  (negative < 0 ? "-" : "") + reference_decimal(value >> 1, 1));
    }
}

TEST(DecimalWriter, TooLongForTheBufferMarksItAndWritesNothing) {
    TextBuffer<20> fast_out, plain_out;
    fast_out.put('x');
    plain_out.put('x');
    fast::put_unsigned<plain_put_unsigned<TextBuffer<20>>>(fast_out, ~u128{0}, 1);  // 39 digits
    plain_put_unsigned(plain_out, ~u128{0});
    EXPECT_TRUE(fast_out.overflowed() && plain_out.overflowed());
    EXPECT_EQ(plain_out.view(), "x");
}

TEST(FixedLayoutWriters, DatesAcrossTheFourDigitYears) {
    for (const std::int32_t year :
         {-10000, -1000, -1, 0, 1, 999, 1000, 2024, 9999, 10000, 99999, INT32_MIN, INT32_MAX}) {
        for (const auto [month, day] : {std::pair{1, 1}, std::pair{6, 15}, std::pair{12, 31}}) {
            const Date date{year, static_cast<month_t>(month), static_cast<day_t>(day)};
            char expected[32];
            if (year < 0) {
                std::snprintf(expected, sizeof expected, "-%03lld-%02d-%02d", -static_cast<long long>(year), month,
                              day);
            } else {
                std::snprintf(expected, sizeof expected, "%04d-%02d-%02d", year, month, day);
            }
            date_writers.each(date,
                              [&](const char* which, const std::string& text) { EXPECT_EQ(text, expected) << which; });
        }
    }
}

TEST(FixedLayoutWriters, FractionsKeepTheirSignificantDigits) {
    std::mt19937_64 random(42);
    for (int i = 0; i < 20000; ++i) {
        // Every length of fraction (the digits kept after trailing zeros), with
        // zeros inside it as they come.
        const int length = static_cast<int>(random() % 10);  // 0: no fraction at all
        std::uint32_t scale = 1;
        for (int k = length; k < 9; ++k) scale *= 10;
        const auto nanosecond = static_cast<std::uint32_t>(random() % (1000000000 / scale)) * scale;
        const Time time{static_cast<std::uint8_t>(random() % 24), static_cast<std::uint8_t>(random() % 60),
                        static_cast<std::uint8_t>(random() % 60), nanosecond};
        char expected[32];
        int size = std::snprintf(expected, sizeof expected, "%02d:%02d:%02d.%09u", time.hour, time.minute, time.second,
                                 nanosecond);
        while (expected[size - 1] == '0') --size;
        if (expected[size - 1] == '.') --size;
        time_writers.each(time, [&](const char* which, const std::string& text) {
            EXPECT_EQ(text, std::string(expected, size)) << which;
        });
    }
}

TEST(FixedLayoutWriters, OffsetsBothWays) {
    for (const std::int32_t seconds : {-86400, -3600 * 14, -60, -59, 0, 59, 60, 3600 * 5 + 1800, 86400}) {
        const std::int32_t magnitude = seconds < 0 ? -seconds : seconds;
        char expected[16];
        std::snprintf(expected, sizeof expected, "%c%02d:%02d", seconds < 0 ? '-' : '+', magnitude / 3600,
                      magnitude % 3600 / 60);
        offset_writers.each(UtcOffset{seconds},
                            [&](const char* which, const std::string& text) { EXPECT_EQ(text, expected) << which; });
    }
}

TEST(FixedLayoutWriters, ClockWordForEveryTwoDigitField) {
    // The lanes take any value below 100, not only valid clock fields.
    char expected[16];
    int mismatches = 0;
    for (unsigned hour = 0; hour < 100; ++hour) {
        for (unsigned minute = 0; minute < 100; ++minute) {
            for (unsigned second = 0; second < 100; ++second) {
                std::snprintf(expected, sizeof expected, "%02u:%02u:%02u", hour, minute, second);
                char actual[8];
                store_le64(actual, fast::clock_ascii(hour, minute, second));
                mismatches += std::string(actual, 8) != expected;
            }
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(FixedLayoutWriters, ReadingsMatchTheirFieldByFieldForm) {
    // Readings of the four-digit years have their own fixed layout; written
    // field by field, by the plain writer, they must come out the same,
    // fraction lengths, offsets and 'Z' included. The years -1 and 10000 on
    // either side of the layout come up too.
    std::mt19937_64 random(7);
    for (int i = 0; i < 50000; ++i) {
        const int length = static_cast<int>(random() % 10);
        std::uint32_t scale = 1;
        for (int k = length; k < 9; ++k) scale *= 10;
        const DateTime value{Date{static_cast<std::int32_t>(random() % 10002) - 1,
                                  static_cast<month_t>(1 + random() % 12), static_cast<day_t>(1 + random() % 28)},
                             Time{static_cast<std::uint8_t>(random() % 24), static_cast<std::uint8_t>(random() % 60),
                                  static_cast<std::uint8_t>(random() % 60),
                                  static_cast<std::uint32_t>(random() % (1000000000 / scale)) * scale}};
        const UtcOffset offset{
            static_cast<std::int32_t>(random() % 3) == 0 ? 0 : static_cast<std::int32_t>(random() % 100000) - 50000};
        EXPECT_EQ(written([&](auto& out) {
                      fast::write_local_with_offset<plain_write_local_with_offset<Buffer>>(out, value, offset);
                  }),
                  written([&](auto& out) { plain_write_local_with_offset(out, value, offset); }));
    }
}

TEST(FixedLayoutWriters, TextsEndingAtTheLastByteOfTheBuffer) {
    // The fast writers store whole words past the text; a text that fits
    // exactly is written whole, one byte less marks the buffer and writes
    // nothing. (The plain writer may have written a part by then: a marked
    // buffer's text is refused whole.)
    using Small = TextBuffer<64>;
    const DateTime value{Date{2024, 6, 1}, Time{12, 30, 45, 123456000}};
    const std::string text = "2024-06-01T12:30:45.123456+02:00";
    for (const auto write : {fast::write_local_with_offset<plain_write_local_with_offset<Small>, Small>,
                             plain_write_local_with_offset<Small>}) {
        Small exact;
        while (exact.view().size() + text.size() < exact.capacity) exact.put('x');
        write(exact, value, UtcOffset{7200});
        EXPECT_EQ(exact.view(), std::string(64 - text.size(), 'x') + text);
        EXPECT_FALSE(exact.overflowed());
        Small short_by_one;
        short_by_one.put('y');
        while (short_by_one.view().size() + text.size() < short_by_one.capacity + 1) short_by_one.put('x');
        write(short_by_one, value, UtcOffset{7200});
        EXPECT_TRUE(short_by_one.overflowed());
    }
    Small short_by_one;
    while (short_by_one.view().size() + text.size() < short_by_one.capacity + 1) short_by_one.put('x');
    const std::string before(short_by_one.view());
    fast::write_local_with_offset<plain_write_local_with_offset<Small>>(short_by_one, value, UtcOffset{7200});
    EXPECT_EQ(short_by_one.view(), before);
}
