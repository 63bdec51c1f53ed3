// The value hash: SipHash-1-3 with an all-zero 128-bit key over the bytes of a
// value record, and the mapping of its digest to a Python hash.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "kairodex/portable.hpp"

namespace kairodex {

// The four words of SipHash state, and its round.
struct SipState {
    // The standard initial state; a zero key leaves it unchanged.
    std::uint64_t v0 = 0x736f6d6570736575;
    std::uint64_t v1 = 0x646f72616e646f6d;
    std::uint64_t v2 = 0x6c7967656e657261;
    std::uint64_t v3 = 0x7465646279746573;

    static constexpr std::uint64_t rotl(std::uint64_t x, int b) noexcept { return (x << b) | (x >> (64 - b)); }

    // clang-format off: the four lines of a SipHash round, as it is usually written
    constexpr void round() noexcept {
        v0 += v1; v1 = rotl(v1, 13); v1 ^= v0; v0 = rotl(v0, 32);
        v2 += v3; v3 = rotl(v3, 16); v3 ^= v2;
        v0 += v3; v3 = rotl(v3, 21); v3 ^= v0;
        v2 += v1; v1 = rotl(v1, 17); v1 ^= v2; v2 = rotl(v2, 32);
    }
    // clang-format on

    constexpr void compress(std::uint64_t m) noexcept {
        v3 ^= m;
        round();  // SipHash-1-3: one compression round per word
        v0 ^= m;
    }

    // `last` is the final word: the trailing bytes, and the byte count (mod
    // 256) in its top byte.
    constexpr std::uint64_t finish(std::uint64_t last) noexcept {
        compress(last);
        v2 ^= 0xff;
        round();
        round();
        round();
        return v0 ^ v1 ^ v2 ^ v3;
    }
};

// The digest of a message whose layout is fixed: integer fields of at most 64
// bits, each little-endian at its own width, back to back. The same digest as
// a byte stream of the same fields, each little-endian at its own width (the
// test suite's ValueHasher is that stream), but with the size known at
// compile time the message is packed into words in registers, the loops
// unroll, and what depends only on the constant initial state folds away.
template <class... Int>
constexpr std::uint64_t digest_of_fields(Int... fields) noexcept {
    constexpr std::size_t size = (std::size_t{0} + ... + sizeof(Int));
    // One word more than the message needs: a field's spill into the next word
    // is then always in bounds, which some instrumented builds cannot prove
    // of the last word from the offsets alone. It is never hashed.
    std::uint64_t words[size / 8 + 2] = {};
    std::size_t offset = 0;
    [[maybe_unused]] const auto pack = [&](auto field) {
        static_assert(sizeof(field) <= 8, "fields of at most 64 bits");
        const auto bits = static_cast<std::uint64_t>(static_cast<std::make_unsigned_t<decltype(field)>>(field));
        const std::size_t shift = 8 * (offset % 8);
        words[offset / 8] |= bits << shift;
        if (shift + 8 * sizeof(field) > 64) words[offset / 8 + 1] |= bits >> (64 - shift);
        offset += sizeof(field);
    };
    (pack(fields), ...);
    SipState state;
    for (std::size_t i = 0; i < size / 8; ++i) state.compress(words[i]);
    return state.finish((static_cast<std::uint64_t>(size & 0xff) << 56) | words[size / 8]);
}

// Python reserves -1 for errors: the two digests that would read as -1 or -2
// both become -2.
constexpr std::int64_t to_python_hash(std::uint64_t digest) noexcept {
    if (digest >= 0xFFFFFFFFFFFFFFFEull) return -2;
    return static_cast<std::int64_t>(digest);
}

}  // namespace kairodex
