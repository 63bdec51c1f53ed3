// Everything in the core that depends on the compiler: 128-bit integers, the
// multiply-high that replaces division by constants, checked addition and
// subtraction, unaligned little-endian loads and the few function attributes.
//
// Where the compiler has 128-bit integers (GCC, Clang) they are used as they
// are. Elsewhere (MSVC) `i128` and `u128` are the classes of namespace
// `portable` below: two 64-bit words with the operations the core needs.
// Defining KAIRODEX_PORTABLE_ARITHMETIC selects those classes, and the
// builtin-free checked arithmetic, on any compiler, so that they are built and
// tested on every machine.
#pragma once

#include <bit>
#include <compare>
#include <concepts>
#include <cstdint>
#include <cstring>
#include <type_traits>

#if defined(_MSC_VER) && !defined(__clang__)
#include <intrin.h>
#endif

// --- function attributes ---------------------------------------------------

#if defined(__has_cpp_attribute)
#if __has_cpp_attribute(gnu::always_inline)
#define KAIRODEX_ALWAYS_INLINE [[gnu::always_inline]]
#endif
#if __has_cpp_attribute(gnu::noinline)
#define KAIRODEX_NOINLINE [[gnu::noinline]]
#endif
#endif
#if !defined(KAIRODEX_ALWAYS_INLINE) && defined(_MSC_VER)
#define KAIRODEX_ALWAYS_INLINE __forceinline
#endif
#if !defined(KAIRODEX_NOINLINE) && defined(_MSC_VER)
#define KAIRODEX_NOINLINE __declspec(noinline)
#endif
#ifndef KAIRODEX_ALWAYS_INLINE
#define KAIRODEX_ALWAYS_INLINE
#endif
#ifndef KAIRODEX_NOINLINE
#define KAIRODEX_NOINLINE
#endif

#if defined(__SIZEOF_INT128__) && !defined(KAIRODEX_PORTABLE_ARITHMETIC)
#define KAIRODEX_NATIVE_INT128 1
#endif

#if defined(__has_builtin) && !defined(KAIRODEX_PORTABLE_ARITHMETIC)
#if __has_builtin(__builtin_add_overflow) && __has_builtin(__builtin_sub_overflow)
#define KAIRODEX_OVERFLOW_BUILTINS 1
#endif
#endif

namespace kairodex {

namespace portable {

// ---------------------------------------------------------------------------
// 64 x 64 -> 128-bit products
// ---------------------------------------------------------------------------

struct Product {
    std::uint64_t high;
    std::uint64_t low;
};

// From 32-bit halves: four partial products, the middle ones summed with the
// carry out of the low one (at most 3 * (2^32 - 1), so nothing is lost).
constexpr Product multiply_wide(std::uint64_t a, std::uint64_t b) noexcept {
#if defined(_MSC_VER) && !defined(__clang__) && defined(_M_X64)
    if (!std::is_constant_evaluated()) {
        std::uint64_t high = 0;
        const std::uint64_t low = _umul128(a, b, &high);
        return {high, low};
    }
#elif defined(_MSC_VER) && !defined(__clang__) && defined(_M_ARM64)
    if (!std::is_constant_evaluated()) return {__umulh(a, b), a * b};
#endif
    const std::uint64_t a0 = a & 0xFFFFFFFF, a1 = a >> 32, b0 = b & 0xFFFFFFFF, b1 = b >> 32;
    const std::uint64_t p00 = a0 * b0, p01 = a0 * b1, p10 = a1 * b0, p11 = a1 * b1;
    const std::uint64_t middle = (p00 >> 32) + (p01 & 0xFFFFFFFF) + (p10 & 0xFFFFFFFF);
    return {p11 + (p01 >> 32) + (p10 >> 32) + (middle >> 32), (middle << 32) | (p00 & 0xFFFFFFFF)};
}

class Int128;

// ---------------------------------------------------------------------------
// Unsigned 128-bit integers: arithmetic modulo 2^128
// ---------------------------------------------------------------------------

class UInt128 {
  public:
    constexpr UInt128() noexcept = default;
    // Like the builtin conversions: a negative value is taken modulo 2^128.
    template <std::integral T>
    constexpr UInt128(T value) noexcept  // NOLINT(google-explicit-constructor): as for built-in integers
        : low_(static_cast<std::uint64_t>(value)), high_(std::is_signed_v<T> && value < 0 ? ~std::uint64_t{0} : 0) {}
    constexpr explicit UInt128(const Int128& value) noexcept;
    static constexpr UInt128 from_words(std::uint64_t high, std::uint64_t low) noexcept {
        UInt128 value;
        value.high_ = high;
        value.low_ = low;
        return value;
    }

    constexpr std::uint64_t high() const noexcept { return high_; }
    constexpr std::uint64_t low() const noexcept { return low_; }

    // The low bits, as a built-in cast keeps them.
    template <std::integral T>
    constexpr explicit operator T() const noexcept {
        return static_cast<T>(low_);
    }

    friend constexpr bool operator==(const UInt128&, const UInt128&) = default;
    friend constexpr std::strong_ordering operator<=>(const UInt128& a, const UInt128& b) noexcept {
        if (a.high_ != b.high_) return a.high_ <=> b.high_;
        return a.low_ <=> b.low_;
    }

    friend constexpr UInt128 operator+(const UInt128& a, const UInt128& b) noexcept {
        const std::uint64_t low = a.low_ + b.low_;
        return from_words(a.high_ + b.high_ + (low < a.low_), low);
    }
    friend constexpr UInt128 operator-(const UInt128& a, const UInt128& b) noexcept {
        return from_words(a.high_ - b.high_ - (a.low_ < b.low_), a.low_ - b.low_);
    }
    friend constexpr UInt128 operator*(const UInt128& a, const UInt128& b) noexcept {
        const Product low = multiply_wide(a.low_, b.low_);
        return from_words(low.high + a.low_ * b.high_ + a.high_ * b.low_, low.low);
    }

    friend constexpr UInt128 operator&(const UInt128& a, const UInt128& b) noexcept {
        return from_words(a.high_ & b.high_, a.low_ & b.low_);
    }
    friend constexpr UInt128 operator|(const UInt128& a, const UInt128& b) noexcept {
        return from_words(a.high_ | b.high_, a.low_ | b.low_);
    }
    friend constexpr UInt128 operator~(const UInt128& a) noexcept { return from_words(~a.high_, ~a.low_); }
    friend constexpr UInt128 operator-(const UInt128& a) noexcept { return UInt128{} - a; }

    // Shifts by 0 to 127 bits, as for built-in integers.
    friend constexpr UInt128 operator<<(const UInt128& a, int n) noexcept {
        if (n == 0) return a;
        if (n >= 64) return from_words(a.low_ << (n - 64), 0);
        return from_words((a.high_ << n) | (a.low_ >> (64 - n)), a.low_ << n);
    }
    friend constexpr UInt128 operator>>(const UInt128& a, int n) noexcept {
        if (n == 0) return a;
        if (n >= 64) return from_words(0, a.high_ >> (n - 64));
        return from_words(a.high_ >> n, (a.low_ >> n) | (a.high_ << (64 - n)));
    }

    constexpr UInt128& operator+=(const UInt128& b) noexcept { return *this = *this + b; }
    constexpr UInt128& operator-=(const UInt128& b) noexcept { return *this = *this - b; }
    constexpr UInt128& operator*=(const UInt128& b) noexcept { return *this = *this * b; }
    constexpr UInt128& operator/=(const UInt128& b) noexcept;
    constexpr UInt128& operator%=(const UInt128& b) noexcept;
    constexpr UInt128& operator&=(const UInt128& b) noexcept { return *this = *this & b; }
    constexpr UInt128& operator|=(const UInt128& b) noexcept { return *this = *this | b; }
    constexpr UInt128& operator<<=(int n) noexcept { return *this = *this << n; }
    constexpr UInt128& operator>>=(int n) noexcept { return *this = *this >> n; }
    constexpr UInt128& operator++() noexcept { return *this = *this + 1; }

    struct Division;
    static constexpr Division divide(const UInt128& a, const UInt128& b) noexcept;

  private:
    std::uint64_t low_ = 0;
    std::uint64_t high_ = 0;
};

struct UInt128::Division {
    UInt128 quotient;
    UInt128 remainder;
};

// A divisor below 2^32, as every divisor of the core is (10, 10^9), takes
// four steps of schoolbook division by 32-bit digits, each a 64-bit division.
// Any other divisor is divided out bit by bit.
constexpr UInt128::Division UInt128::divide(const UInt128& a, const UInt128& b) noexcept {
    if (b.high_ == 0 && b.low_ <= 0xFFFFFFFF) {
        const std::uint64_t d = b.low_;
        const std::uint32_t digits[4] = {static_cast<std::uint32_t>(a.high_ >> 32), static_cast<std::uint32_t>(a.high_),
                                         static_cast<std::uint32_t>(a.low_ >> 32), static_cast<std::uint32_t>(a.low_)};
        std::uint64_t rest = 0, quotient[4] = {};
        for (int i = 0; i < 4; ++i) {
            const std::uint64_t part = (rest << 32) | digits[i];
            quotient[i] = part / d;
            rest = part % d;
        }
        return {from_words((quotient[0] << 32) | quotient[1], (quotient[2] << 32) | quotient[3]), UInt128{rest}};
    }
    UInt128 quotient, remainder;
    const int bits = a.high_ != 0 ? 128 - std::countl_zero(a.high_) : 64 - std::countl_zero(a.low_);
    for (int i = bits - 1; i >= 0; --i) {
        remainder = (remainder << 1) | ((a >> i) & UInt128{1});
        quotient = quotient << 1;
        if (remainder >= b) {
            remainder -= b;
            quotient.low_ |= 1;
        }
    }
    return {quotient, remainder};
}

constexpr UInt128 operator/(const UInt128& a, const UInt128& b) noexcept { return UInt128::divide(a, b).quotient; }
constexpr UInt128 operator%(const UInt128& a, const UInt128& b) noexcept { return UInt128::divide(a, b).remainder; }
constexpr UInt128& UInt128::operator/=(const UInt128& b) noexcept { return *this = *this / b; }
constexpr UInt128& UInt128::operator%=(const UInt128& b) noexcept { return *this = *this % b; }

// ---------------------------------------------------------------------------
// Signed 128-bit integers: two's complement over the unsigned words
// ---------------------------------------------------------------------------

class Int128 {
  public:
    constexpr Int128() noexcept = default;
    template <std::integral T>
    constexpr Int128(T value) noexcept : bits_(value) {}  // NOLINT(google-explicit-constructor)
    constexpr explicit Int128(const UInt128& bits) noexcept : bits_(bits) {}

    constexpr const UInt128& bits() const noexcept { return bits_; }

    template <std::integral T>
    constexpr explicit operator T() const noexcept {
        return static_cast<T>(bits_.low());
    }

    friend constexpr bool operator==(const Int128&, const Int128&) = default;
    // The signed order is the unsigned one with the sign bit flipped.
    friend constexpr std::strong_ordering operator<=>(const Int128& a, const Int128& b) noexcept {
        constexpr std::uint64_t sign = std::uint64_t{1} << 63;
        return UInt128::from_words(a.bits_.high() ^ sign, a.bits_.low()) <=>
               UInt128::from_words(b.bits_.high() ^ sign, b.bits_.low());
    }

    friend constexpr Int128 operator+(const Int128& a, const Int128& b) noexcept { return Int128{a.bits_ + b.bits_}; }
    friend constexpr Int128 operator-(const Int128& a, const Int128& b) noexcept { return Int128{a.bits_ - b.bits_}; }
    friend constexpr Int128 operator*(const Int128& a, const Int128& b) noexcept { return Int128{a.bits_ * b.bits_}; }
    // Quotients round toward zero and remainders take the dividend's sign, as
    // for built-in integers.
    friend constexpr Int128 operator/(const Int128& a, const Int128& b) noexcept {
        const UInt128 q = UInt128::divide(a.magnitude(), b.magnitude()).quotient;
        return (a.negative() != b.negative()) ? Int128{-q} : Int128{q};
    }
    friend constexpr Int128 operator%(const Int128& a, const Int128& b) noexcept {
        const UInt128 r = UInt128::divide(a.magnitude(), b.magnitude()).remainder;
        return a.negative() ? Int128{-r} : Int128{r};
    }
    friend constexpr Int128 operator&(const Int128& a, const Int128& b) noexcept { return Int128{a.bits_ & b.bits_}; }
    friend constexpr Int128 operator|(const Int128& a, const Int128& b) noexcept { return Int128{a.bits_ | b.bits_}; }
    friend constexpr Int128 operator~(const Int128& a) noexcept { return Int128{~a.bits_}; }
    friend constexpr Int128 operator-(const Int128& a) noexcept { return Int128{-a.bits_}; }
    friend constexpr Int128 operator<<(const Int128& a, int n) noexcept { return Int128{a.bits_ << n}; }
    // Arithmetic shift: the sign bit fills in from the left.
    friend constexpr Int128 operator>>(const Int128& a, int n) noexcept {
        if (!a.negative()) return Int128{a.bits_ >> n};
        return Int128{~(~a.bits_ >> n)};
    }

    constexpr Int128& operator+=(const Int128& b) noexcept { return *this = *this + b; }
    constexpr Int128& operator-=(const Int128& b) noexcept { return *this = *this - b; }
    constexpr Int128& operator/=(const Int128& b) noexcept { return *this = *this / b; }
    constexpr Int128& operator%=(const Int128& b) noexcept { return *this = *this % b; }
    constexpr Int128& operator++() noexcept { return *this = *this + 1; }

    constexpr bool negative() const noexcept { return (bits_.high() >> 63) != 0; }

  private:
    constexpr UInt128 magnitude() const noexcept { return negative() ? -bits_ : bits_; }

    UInt128 bits_;
};

constexpr UInt128::UInt128(const Int128& value) noexcept : UInt128(value.bits()) {}

// ---------------------------------------------------------------------------
// Checked addition and subtraction without compiler builtins
// ---------------------------------------------------------------------------

// The sum, taken modulo 2^N, overflows exactly when both operands have the
// same sign and the sum has the other one.
template <class Int>
constexpr bool add_overflows(Int a, Int b, Int* sum) noexcept {
    if constexpr (std::is_same_v<Int, Int128>) {
        *sum = a + b;
        return a.negative() == b.negative() && sum->negative() != a.negative();
    } else {
        using Unsigned = std::make_unsigned_t<Int>;
        *sum = static_cast<Int>(static_cast<Unsigned>(static_cast<Unsigned>(a) + static_cast<Unsigned>(b)));
        return (a < 0) == (b < 0) && (*sum < 0) != (a < 0);
    }
}

// a - b overflows exactly when the operands differ in sign and the
// difference has the sign of b.
template <class Int>
constexpr bool sub_overflows(Int a, Int b, Int* difference) noexcept {
    if constexpr (std::is_same_v<Int, Int128>) {
        *difference = a - b;
        return a.negative() != b.negative() && difference->negative() == b.negative();
    } else {
        using Unsigned = std::make_unsigned_t<Int>;
        *difference = static_cast<Int>(static_cast<Unsigned>(static_cast<Unsigned>(a) - static_cast<Unsigned>(b)));
        return (a < 0) != (b < 0) && (*difference < 0) == (b < 0);
    }
}

}  // namespace portable

// ---------------------------------------------------------------------------
// The types and operations the core uses
// ---------------------------------------------------------------------------

#ifdef KAIRODEX_NATIVE_INT128
__extension__ typedef __int128 i128;
__extension__ typedef unsigned __int128 u128;
#else
using i128 = portable::Int128;
using u128 = portable::UInt128;
#endif

constexpr i128 i128_max = static_cast<i128>(~u128{0} >> 1);
constexpr i128 i128_min = -i128_max - 1;

// Upper 64 bits of the full 128-bit product a * b.
constexpr std::uint64_t high64(std::uint64_t a, std::uint64_t b) noexcept {
#ifdef KAIRODEX_NATIVE_INT128
    return static_cast<std::uint64_t>((static_cast<u128>(a) * b) >> 64);
#else
    return portable::multiply_wide(a, b).high;
#endif
}

// The full 128-bit product of two 64-bit numbers.
constexpr u128 multiply_wide(std::uint64_t a, std::uint64_t b) noexcept {
#ifdef KAIRODEX_NATIVE_INT128
    return static_cast<u128>(a) * b;
#else
    const portable::Product product = portable::multiply_wide(a, b);
    return u128::from_words(product.high, product.low);
#endif
}

// Whether a + b (a - b) overflows `Int`; the wrapped result goes to *out
// either way, as with the compiler builtins these stand for.
#ifdef KAIRODEX_OVERFLOW_BUILTINS
template <class Int>
constexpr bool add_overflow(Int a, Int b, Int* out) noexcept {
    return __builtin_add_overflow(a, b, out);
}
template <class Int>
constexpr bool sub_overflow(Int a, Int b, Int* out) noexcept {
    return __builtin_sub_overflow(a, b, out);
}
#else
template <class Int>
constexpr bool add_overflow(Int a, Int b, Int* out) noexcept {
    return portable::add_overflows(a, b, out);
}
template <class Int>
constexpr bool sub_overflow(Int a, Int b, Int* out) noexcept {
    return portable::sub_overflows(a, b, out);
}
#endif

// Floor division and its non-negative remainder, for a positive divisor.
template <class Int>
constexpr Int floor_div(Int a, Int b) noexcept {
    Int q = a / b;
    return (a % b < 0) ? q - 1 : q;
}

template <class Int>
constexpr Int floor_mod(Int a, Int b) noexcept {
    Int r = a % b;
    return r < 0 ? r + b : r;
}

// ---------------------------------------------------------------------------
// Bytes
// ---------------------------------------------------------------------------

// Eight bytes from `bytes` as a little-endian word: one load on a
// little-endian machine, shifts otherwise and in constant evaluation.
constexpr std::uint64_t load_le64(const char* bytes) noexcept {
    if (std::endian::native == std::endian::little && !std::is_constant_evaluated()) {
        std::uint64_t word;
        std::memcpy(&word, bytes, sizeof word);
        return word;
    }
    std::uint64_t word = 0;
    for (int i = 0; i < 8; ++i) word |= std::uint64_t{static_cast<unsigned char>(bytes[i])} << (8 * i);
    return word;
}

// `word` as eight little-endian bytes at `bytes`: one store on a
// little-endian machine, shifts otherwise and in constant evaluation.
constexpr void store_le64(char* bytes, std::uint64_t word) noexcept {
    if (std::endian::native == std::endian::little && !std::is_constant_evaluated()) {
        std::memcpy(bytes, &word, sizeof word);
        return;
    }
    for (int i = 0; i < 8; ++i) bytes[i] = static_cast<char>(word >> (8 * i));
}

// A 128-bit value as 16 bytes, least significant first, and back: the form in
// which 128-bit counts cross into other code, whatever the machine's order.
struct Bytes16 {
    unsigned char bytes[16];
};

// On a little-endian machine both are a copy: the built-in integers are laid
// out so, and the classes keep their low word first.
constexpr Bytes16 to_le_bytes(i128 value) noexcept {
    Bytes16 out{};
    if (std::endian::native == std::endian::little && !std::is_constant_evaluated()) {
        static_assert(sizeof value == sizeof out.bytes);
        std::memcpy(out.bytes, &value, sizeof out.bytes);
        return out;
    }
    const auto bits = static_cast<u128>(value);
    for (int i = 0; i < 16; ++i) out.bytes[i] = static_cast<unsigned char>(bits >> (8 * i));
    return out;
}

constexpr i128 from_le_bytes(const Bytes16& in) noexcept {
    if (std::endian::native == std::endian::little && !std::is_constant_evaluated()) {
        i128 value{};
        std::memcpy(&value, in.bytes, sizeof value);
        return value;
    }
    u128 bits = 0;
    for (int i = 15; i >= 0; --i) bits = (bits << 8) | u128{in.bytes[i]};
    return static_cast<i128>(bits);
}

}  // namespace kairodex
