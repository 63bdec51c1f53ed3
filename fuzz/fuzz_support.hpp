// What every fuzz target shares: the property check that stops the run, the
// text form of a value as a string, and straightforward reference versions of
// the calendar rules that the core computes with reciprocal multiplications.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>

#include "kairodex/date.hpp"
#include "kairodex/text_buffer.hpp"

// A violated property is a finding: say which one, then stop with a trap so
// libFuzzer keeps the input as a crash artifact.
#define FUZZ_CHECK(condition)                                                                         \
    do {                                                                                              \
        if (!(condition)) {                                                                           \
            std::fprintf(stderr, "property violated at %s:%d: %s\n", __FILE__, __LINE__, #condition); \
            __builtin_trap();                                                                         \
        }                                                                                             \
    } while (0)

namespace fuzz {

using namespace kairodex;

inline std::string_view as_text(const std::uint8_t* data, std::size_t size) {
    return {reinterpret_cast<const char*>(data), size};
}

// The text a writer produces, as a string; the buffer must never overflow.
template <class Value, class Writer>
std::string text_of(Value value, Writer write) {
    TextBuffer<128> out;
    write(out, value);
    FUZZ_CHECK(!out.overflowed());
    return std::string(out.view());
}

// --- reference calendar, written for clarity, not speed ----------------------

inline bool reference_is_leap(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

inline int reference_days_in_month(std::int64_t y, int m) {
    constexpr int lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && reference_is_leap(y) ? 29 : lengths[m - 1];
}

inline std::int64_t floor_divide(std::int64_t a, std::int64_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0)); }

// The era-based day count: 400-year eras of 146097 days, years starting in
// March so that the leap day ends the year. Plain signed division, floored.
inline std::int64_t reference_days_from_civil(std::int64_t y, int m, int d) {
    y -= m <= 2;
    const std::int64_t era = floor_divide(y, 400);
    const std::int64_t year_of_era = y - era * 400;  // [0, 399]
    const std::int64_t day_of_year = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const std::int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
    return era * 146097 + day_of_era - 719468;  // 719468: 0000-03-01 to 1970-01-01
}

struct Civil {
    std::int64_t year;
    int month;
    int day;
};

inline Civil reference_civil_from_days(std::int64_t z) {
    z += 719468;
    const std::int64_t era = floor_divide(z, 146097);
    const std::int64_t day_of_era = z - era * 146097;  // [0, 146096]
    const std::int64_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const std::int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const std::int64_t mp = (5 * day_of_year + 2) / 153;
    const int day = static_cast<int>(day_of_year - (153 * mp + 2) / 5 + 1);
    const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    return {year_of_era + era * 400 + (month <= 2), month, day};
}

// --- reference readers for the number fields of the grammars -----------------

inline bool all_digits(std::string_view s) {
    if (s.empty()) return false;
    for (char c : s) {
        if (c < '0' || c > '9') return false;
    }
    return true;
}

// The value of a non-empty digit string, or -1 when it exceeds `bound`. Leading
// zeros are stripped first, so the length alone rules out huge values.
inline std::int64_t reference_number(std::string_view digits, std::int64_t bound) {
    if (!all_digits(digits)) return -1;
    while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
    if (digits.size() > 12) return -1;
    std::int64_t value = 0;
    for (char c : digits) value = value * 10 + (c - '0');
    return value <= bound ? value : -1;
}

}  // namespace fuzz
