// What the core's test files share: comparing results, the text forms of the
// values, and days drawn from the whole range.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "kairodex/calendar_error.hpp"
#include "kairodex/date.hpp"
#include "kairodex/datetime.hpp"
#include "kairodex/offset_datetime.hpp"
#include "kairodex/text_buffer.hpp"
#include "kairodex/time.hpp"
#include "kairodex/utc_offset.hpp"

namespace kairodex::test {

// Whether two results hold equal values, or the same error.
template <class T>
bool same(const Result<T>& a, const Result<T>& b) {
    if (a.has_value() != b.has_value()) return false;
    return a ? *a == *b : a.error() == b.error();
}

// What `write(out, value)` writes, as a string; "overflowed" when the text
// does not fit into the largest buffer the module uses.
template <class Value, class Writer>
std::string text_of(const Value& value, Writer write) {
    TextBuffer<128> out;
    write(out, value);
    return out.overflowed() ? "overflowed" : std::string(out.view());
}

inline std::string text_of(Date value) {
    return text_of(value, [](auto& out, Date v) { write_date(out, v); });
}

inline std::string text_of(Time value) {
    return text_of(value, [](auto& out, Time v) { write_time(out, v); });
}

inline std::string text_of(DateTime value) {
    return text_of(value, [](auto& out, DateTime v) { write_datetime(out, v); });
}

inline std::string text_of(UtcOffset value) {
    return text_of(value, [](auto& out, UtcOffset v) { write_offset(out, v); });
}

// The local reading with its offset, or "failed" when the local reading lies
// beyond the representable years.
inline std::string text_of(OffsetDateTime value) {
    bool written = false;
    std::string text = text_of(value, [&](auto& out, OffsetDateTime v) { written = !!write_offset_datetime(out, v); });
    return written ? text : "failed";
}

// The value's text form, or "failed" for an error.
template <class T>
std::string text_of(const Result<T>& result) {
    return result ? text_of(*result) : "failed";
}

// A copy of `text` in a heap block of its own size, alive until the next
// call: a sanitizer then sees a read past the text's end, which a literal's
// terminating zero would hide.
inline std::string_view exact(std::string_view text) {
    static std::vector<char> block;
    block = std::vector<char>(text.begin(), text.end());
    block.shrink_to_fit();
    return {block.data(), block.size()};
}

// A day count drawn evenly from the whole representable range.
inline std::int64_t random_day(std::mt19937_64& random) {
    const auto span = static_cast<std::uint64_t>(max_days_since_unix_epoch - min_days_since_unix_epoch + 1);
    return min_days_since_unix_epoch + static_cast<std::int64_t>(random() % span);
}

inline Date random_date(std::mt19937_64& random) { return *from_days_since_unix_epoch(random_day(random)); }

}  // namespace kairodex::test
