// A fixed-capacity text buffer that every text form is written into. Nothing
// is allocated: a write that does not fit marks the buffer as overflowed, and
// the whole text is then refused by whoever turns it into a string.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "kairodex/wide_int.hpp"

namespace kairodex {

template <std::size_t Capacity>
class TextBuffer {
  public:
    static constexpr std::size_t capacity = Capacity;

    constexpr void put(char c) noexcept {
        if (size_ < Capacity) {
            data_[size_++] = c;
        } else {
            overflowed_ = true;
        }
    }

    constexpr void put(std::string_view text) noexcept {
        if (text.size() > Capacity - size_) {
            overflowed_ = true;
            return;
        }
        for (char c : text) data_[size_++] = c;
    }

    constexpr bool overflowed() const noexcept { return overflowed_; }
    constexpr std::string_view view() const noexcept { return {data_, size_}; }

  private:
    char data_[Capacity]{};
    std::size_t size_ = 0;
    bool overflowed_ = false;
};

// --- decimal writers -------------------------------------------------------

// Writes `value` in decimal, padded on the left with zeros to `width` digits.
template <class Out>
constexpr void put_unsigned(Out& out, u128 value, int width = 1) noexcept {
    char digits[40];  // 2^128 has 39 decimal digits
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + static_cast<int>(value % 10));
        value /= 10;
    } while (value != 0);
    for (; n < width; ++n) digits[n] = '0';
    char text[40];
    for (int i = 0; i < n; ++i) text[i] = digits[n - 1 - i];
    out.put(std::string_view(text, static_cast<std::size_t>(n)));
}

// Writes `value` in decimal with a leading '-' when negative.
template <class Out>
constexpr void put_signed(Out& out, i128 value) noexcept {
    if (value < 0) {
        out.put('-');
        put_unsigned(out, u128{0} - static_cast<u128>(value));
    } else {
        put_unsigned(out, static_cast<u128>(value));
    }
}

}  // namespace kairodex
