// The value hash fed one byte at a time: SipHash-1-3 over a byte stream of any
// split, the plain model that digest_of_fields (kairodex/value_hash.hpp) must
// agree with. Only the tests and the core benchmark use it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kairodex/portable.hpp"
#include "kairodex/value_hash.hpp"

namespace kairodex {

// The digest of a byte stream, fed in pieces of any size.
class ValueHasher {
  public:
    constexpr void write_byte(std::uint8_t byte) noexcept {
        pending_ |= static_cast<std::uint64_t>(byte) << (8 * pending_count_);
        ++total_;
        if (++pending_count_ == 8) {
            state_.compress(pending_);
            pending_ = 0;
            pending_count_ = 0;
        }
    }

    constexpr void write(const std::uint8_t* bytes, std::size_t size) noexcept {
        for (std::size_t i = 0; i < size; ++i) write_byte(bytes[i]);
    }

    // Integers are fed little-endian at their own width (two's complement).
    template <class Int>
    constexpr void write_le(Int value) noexcept {
        auto bits = static_cast<u128>(value);
        for (std::size_t i = 0; i < sizeof(Int); ++i) {
            write_byte(static_cast<std::uint8_t>(bits >> (8 * i)));
        }
    }

    constexpr std::uint64_t finish() const noexcept {
        SipState state = state_;
        return state.finish((static_cast<std::uint64_t>(total_ & 0xff) << 56) | pending_);
    }

  private:
    SipState state_;
    std::uint64_t pending_ = 0;
    unsigned pending_count_ = 0;
    std::uint64_t total_ = 0;
};

}  // namespace kairodex
