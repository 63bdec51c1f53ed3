// A fixed-capacity text buffer that every text form is written into. Nothing
// is allocated: a write that does not fit marks the buffer as overflowed, and
// the whole text is then refused by whoever turns it into a string.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "kairodex/portable.hpp"

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
    char data_[Capacity];  // only the first size_ bytes are ever read, so never cleared
    std::size_t size_ = 0;
    bool overflowed_ = false;
};

// --- decimal writers -------------------------------------------------------

// Writes `value` in decimal, padded on the left with zeros to `width` digits
// (at most 39). Two-digit fields, most of every text form, take two puts. Digits are produced from the right; only
// those of a value beyond 64 bits need 128-bit division, the rest are 64-bit divisions by 10, which compile to
// multiplications.
template <class Out>
constexpr void put_unsigned(Out& out, u128 value, int width = 1) noexcept {
    if (width == 2 && value < 100) {
        const auto v = static_cast<int>(value);
        out.put(static_cast<char>('0' + v / 10));
        out.put(static_cast<char>('0' + v % 10));
        return;
    }
    constexpr int size = 40;  // 2^128 has 39 decimal digits
    char text[size];
    int start = size;
    while (value > UINT64_MAX) {
        text[--start] = static_cast<char>('0' + static_cast<int>(value % 10));
        value /= 10;
    }
    auto low = static_cast<std::uint64_t>(value);
    do {
        text[--start] = static_cast<char>('0' + static_cast<int>(low % 10));
        low /= 10;
    } while (low != 0);
    while (size - start < width && start > 0) text[--start] = '0';
    out.put(std::string_view(text + start, static_cast<std::size_t>(size - start)));
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
