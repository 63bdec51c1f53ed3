// What the plain readers scan text with: slices of a text that never throw,
// runs of digits read up to a bound, and the place where a date ends and a
// time begins.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace kairodex::impl {

constexpr bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

// `text.substr(from, count)` without its out_of_range throw (a `from` past the
// end gives the empty tail): the readers only pass places they found in the
// text, and the throw is the one thing that would tie the module to the C++
// library at run time.
constexpr std::string_view part(std::string_view text, std::size_t from,
                                std::size_t count = std::string_view::npos) noexcept {
    if (from > text.size()) from = text.size();
    const std::size_t rest = text.size() - from;
    return std::string_view(text.data() + from, count < rest ? count : rest);
}

// Reads a non-empty run of ASCII digits whose value may not pass `bound`. The
// reader stops at the first digit that would pass it, so no digit string can
// overflow, however long.
constexpr bool read_bounded(std::string_view digits, std::uint64_t bound, std::uint64_t& value) noexcept {
    if (digits.empty()) return false;
    std::uint64_t v = 0;
    for (char c : digits) {
        if (!is_digit(c)) return false;
        v = v * 10 + static_cast<std::uint64_t>(c - '0');
        if (v > bound) return false;
    }
    value = v;
    return true;
}

// Where the date ends and the time begins: the first 'T', else the first ' '.
constexpr std::size_t date_time_separator(std::string_view text) noexcept {
    const std::size_t t = text.find('T');
    return t != std::string_view::npos ? t : text.find(' ');
}

}  // namespace kairodex::impl
