// White space of any script at the ends of UTF-8 text: a decoder for one
// code point at either end, and the Unicode White_Space property.
#pragma once

#include <cstddef>
#include <string_view>

namespace kairodex::impl {

// The code point at the front of `text` and its length in bytes, or length 0
// when the bytes there are not well-formed UTF-8.
struct CodePoint {
    char32_t value;
    std::size_t length;
};

// The answer where the bytes are not a code point: its length, 0, is all that
// is looked at.
inline constexpr CodePoint not_a_code_point{0, 0};

constexpr CodePoint decode_front(std::string_view text) noexcept {
    if (text.empty()) return not_a_code_point;
    const auto lead = static_cast<unsigned char>(text[0]);
    if (lead < 0x80) return {lead, 1};
    // The sequence length, the payload bits of the lead byte, and the smallest
    // code point that needs this many bytes (below it the form is overlong).
    std::size_t length = 0;
    char32_t value = 0, smallest = 0;
    if (lead >= 0xC0 && lead < 0xE0) {
        length = 2;
        value = lead & 0x1Fu;
        smallest = 0x80;
    } else if (lead >= 0xE0 && lead < 0xF0) {
        length = 3;
        value = lead & 0x0Fu;
        smallest = 0x800;
    } else if (lead >= 0xF0 && lead < 0xF5) {
        length = 4;
        value = lead & 0x07u;
        smallest = 0x10000;
    } else {
        return not_a_code_point;  // a continuation byte or a byte UTF-8 never uses
    }
    if (text.size() < length) return not_a_code_point;
    for (std::size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte & 0xC0) != 0x80) return not_a_code_point;
        value = (value << 6) | (byte & 0x3Fu);
    }
    if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        return not_a_code_point;
    }
    return {value, length};
}

// The code point at the back: step over up to three continuation bytes to a
// lead byte, and accept it only if its sequence ends exactly at the end.
constexpr CodePoint decode_back(std::string_view text) noexcept {
    std::size_t start = text.size();
    for (int steps = 0; steps < 4 && start > 0; ++steps) {
        --start;
        if ((static_cast<unsigned char>(text[start]) & 0xC0) != 0x80) break;
    }
    text.remove_prefix(start);
    const CodePoint found = decode_front(text);
    if (found.length != text.size()) return not_a_code_point;
    return found;
}

// The Unicode White_Space property.
constexpr bool is_white_space(char32_t c) noexcept {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

// `text` without the White_Space code points at its ends. Bytes that are not
// well-formed UTF-8 stop the trimming where they stand.
constexpr std::string_view trim_white_space(std::string_view text) noexcept {
    // Printable ASCII at both ends, the usual case, is no white space.
    auto printable = [](char c) { return c > ' ' && c < '\x7f'; };
    if (!text.empty() && printable(text.front()) && printable(text.back())) return text;
    for (CodePoint c = decode_front(text); c.length != 0 && is_white_space(c.value); c = decode_front(text)) {
        text.remove_prefix(c.length);
    }
    for (CodePoint c = decode_back(text); c.length != 0 && is_white_space(c.value); c = decode_back(text)) {
        text.remove_suffix(c.length);
    }
    return text;
}

}  // namespace kairodex::impl
