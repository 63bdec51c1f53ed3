// A fixed-capacity text buffer that every text form is written into. Nothing
// is allocated: a write that does not fit marks the buffer as overflowed, and
// the whole text is then refused by whoever turns it into a string.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "kairodex/fast/digit_words.hpp"
#include "kairodex/fast/fence.hpp"
#include "kairodex/portable.hpp"

namespace kairodex {

template <std::size_t Capacity>
class TextBuffer {
  public:
    static constexpr std::size_t capacity = Capacity;
    static constexpr std::size_t slack = 16;

    constexpr void put(char c) noexcept {
        if (size_ < Capacity) {
            data_[size_++] = c;
        } else {
            overflowed_ = true;
        }
    }

    constexpr void put(std::string_view text) noexcept {
        if (char* at = extend(text.size())) std::copy_n(text.data(), text.size(), at);
    }

    // Room for `count` more characters, which the caller writes in place; null,
    // with the buffer marked as overflowed, where they do not fit. The caller
    // may store whole words that run up to `slack` bytes past the room it
    // asked for: those bytes are storage, never text.
    constexpr char* extend(std::size_t count) noexcept {
        if (count > Capacity - size_) {
            overflowed_ = true;
            return nullptr;
        }
        char* at = data_ + size_;
        size_ += count;
        return at;
    }

    constexpr bool overflowed() const noexcept { return overflowed_; }
    constexpr std::string_view view() const noexcept { return {data_, size_}; }

  private:
    // Only the first size_ bytes are text, so the storage is never cleared;
    // the slack past the capacity takes the ends of the writers' words.
    char data_[Capacity + slack];
    std::size_t size_ = 0;
    bool overflowed_ = false;
};

// --- decimal writers -------------------------------------------------------

// Writes `value` in decimal, padded on the left with zeros to `width` digits,
// digit by digit. A value beyond 64 bits is first cut into pieces of 19
// digits by 10^19, so that only those divisions are 128-bit ones.
template <class Out>
KAIRODEX_NOINLINE constexpr void plain_put_unsigned(Out& out, u128 value, int width = 1) noexcept {
    char digits[39];  // the last digit first; 2^128 has 39
    std::size_t count = 0;
    while (value > UINT64_MAX) {
        constexpr std::uint64_t ten_to_19 = 10000000000000000000u;
        auto piece = static_cast<std::uint64_t>(value % ten_to_19);
        value /= ten_to_19;
        for (int i = 0; i < 19; ++i, piece /= 10) digits[count++] = static_cast<char>('0' + piece % 10);
    }
    for (auto rest = static_cast<std::uint64_t>(value); count == 0 || rest != 0; rest /= 10) {
        digits[count++] = static_cast<char>('0' + rest % 10);
    }
    const std::size_t padded = std::max(count, static_cast<std::size_t>(width));
    char* at = out.extend(padded);
    if (at == nullptr) return;
    for (std::size_t zeros = padded - count; zeros > 0; --zeros) *at++ = '0';
    while (count > 0) *at++ = digits[--count];
}

template <class Out>
constexpr void put_unsigned(Out& out, u128 value, int width = 1) noexcept {
    fast::enabled ? fast::put_unsigned<plain_put_unsigned<Out>>(out, value, width)
                  : plain_put_unsigned(out, value, width);
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
