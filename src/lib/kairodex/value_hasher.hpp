// The value hash: SipHash-1-3 with an all-zero 128-bit key over the bytes of a
// value record, and the mapping of its digest to a Python hash.
#pragma once

#include <cstddef>
#include <cstdint>

#include "kairodex/portable.hpp"

namespace kairodex {

class ValueHasher {
  public:
    constexpr void write_byte(std::uint8_t byte) noexcept {
        pending_ |= static_cast<std::uint64_t>(byte) << (8 * pending_count_);
        ++total_;
        if (++pending_count_ == 8) {
            compress(pending_);
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
        ValueHasher h = *this;
        // The last word carries the byte count (mod 256) in its top byte.
        std::uint64_t b = (static_cast<std::uint64_t>(total_ & 0xff) << 56) | pending_;
        h.v3_ ^= b;
        h.round();
        h.v0_ ^= b;
        h.v2_ ^= 0xff;
        h.round();
        h.round();
        h.round();
        return h.v0_ ^ h.v1_ ^ h.v2_ ^ h.v3_;
    }

  private:
    static constexpr std::uint64_t rotl(std::uint64_t x, int b) noexcept { return (x << b) | (x >> (64 - b)); }

    // clang-format off: the four lines of a SipHash round, as it is usually written
    constexpr void round() noexcept {
        v0_ += v1_; v1_ = rotl(v1_, 13); v1_ ^= v0_; v0_ = rotl(v0_, 32);
        v2_ += v3_; v3_ = rotl(v3_, 16); v3_ ^= v2_;
        v0_ += v3_; v3_ = rotl(v3_, 21); v3_ ^= v0_;
        v2_ += v1_; v1_ = rotl(v1_, 17); v1_ ^= v2_; v2_ = rotl(v2_, 32);
    }
    // clang-format on

    constexpr void compress(std::uint64_t m) noexcept {
        v3_ ^= m;
        round();  // SipHash-1-3: one compression round per word
        v0_ ^= m;
    }

    // The standard initial state; a zero key leaves it unchanged.
    std::uint64_t v0_ = 0x736f6d6570736575;
    std::uint64_t v1_ = 0x646f72616e646f6d;
    std::uint64_t v2_ = 0x6c7967656e657261;
    std::uint64_t v3_ = 0x7465646279746573;
    std::uint64_t pending_ = 0;
    unsigned pending_count_ = 0;
    std::uint64_t total_ = 0;
};

// Python reserves -1 for errors: the two digests that would read as -1 or -2
// both become -2.
constexpr std::int64_t to_python_hash(std::uint64_t digest) noexcept {
    if (digest >= 0xFFFFFFFFFFFFFFFEull) return -2;
    return static_cast<std::int64_t>(digest);
}

}  // namespace kairodex
