// What every fuzz target shares: the property check that stops the run, the
// text form of a value as a string, and reference readers for the number
// fields of the grammars. (The reference for the calendar arithmetic is the
// core's plain code: plain_days_since_unix_epoch and its neighbours.)
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
