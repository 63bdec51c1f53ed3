// The portable 128-bit integers and checked arithmetic (what compilers
// without 128-bit integers get) against the compiler's own, on the same
// operands: every operation the core uses must give the same bits, and every
// overflow test the same answer. Operands come from the input and from the
// edges where carries, signs and overflows change.
#include "fuzz_support.hpp"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>

#include "kairodex/portable.hpp"

namespace {

using namespace kairodex;
using portable::Int128;
using portable::UInt128;

__extension__ typedef __int128 native_i128;
__extension__ typedef unsigned __int128 native_u128;

constexpr native_u128 native_max = ~native_u128{0};

UInt128 to_portable(native_u128 v) {
    return UInt128::from_words(static_cast<std::uint64_t>(v >> 64), static_cast<std::uint64_t>(v));
}
native_u128 to_native(const UInt128& v) { return native_u128{v.high()} << 64 | v.low(); }
Int128 to_portable_signed(native_u128 v) { return Int128{to_portable(v)}; }

// An operand: from the input, or one of the edges, possibly nudged by one.
native_u128 pick(FuzzedDataProvider& in) {
    constexpr native_u128 edges[] = {0,
                                     1,
                                     2,
                                     10,
                                     1000000000,
                                     0xFFFFFFFF,
                                     0x100000000,
                                     UINT64_MAX,
                                     native_u128{1} << 64,
                                     native_u128{1} << 96,
                                     native_max >> 1,
                                     (native_max >> 1) + 1,
                                     native_max};
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0: return edges[in.ConsumeIntegralInRange<std::size_t>(0, std::size(edges) - 1)];
    case 1:
        return edges[in.ConsumeIntegralInRange<std::size_t>(0, std::size(edges) - 1)] +
               in.ConsumeIntegralInRange<int>(-2, 2);
    case 2: return in.ConsumeIntegral<std::uint64_t>();
    default: return native_u128{in.ConsumeIntegral<std::uint64_t>()} << 64 | in.ConsumeIntegral<std::uint64_t>();
    }
}

void check_unsigned(native_u128 a, native_u128 b, int shift) {
    const UInt128 pa = to_portable(a), pb = to_portable(b);
    FUZZ_CHECK(to_native(pa + pb) == a + b);
    FUZZ_CHECK(to_native(pa - pb) == a - b);
    FUZZ_CHECK(to_native(pa * pb) == a * b);
    FUZZ_CHECK(to_native(-pa) == -a);
    FUZZ_CHECK(to_native(~pa) == ~a);
    FUZZ_CHECK(to_native(pa << shift) == a << shift);
    FUZZ_CHECK(to_native(pa >> shift) == a >> shift);
    FUZZ_CHECK((pa < pb) == (a < b) && (pa == pb) == (a == b) && (pa >= pb) == (a >= b));
    if (b != 0) {
        FUZZ_CHECK(to_native(pa / pb) == a / b);
        FUZZ_CHECK(to_native(pa % pb) == a % b);
    }
    // The divisors of the text forms and of the nanosecond counts.
    FUZZ_CHECK(to_native(pa / 10) == a / 10 && to_native(pa % 10) == a % 10);
    FUZZ_CHECK(to_native(pa / 1000000000) == a / 1000000000);
    const auto wa = static_cast<std::uint64_t>(a), wb = static_cast<std::uint64_t>(b);
    const portable::Product product = portable::multiply_wide(wa, wb);
    FUZZ_CHECK((native_u128{product.high} << 64 | product.low) == native_u128{wa} * wb);
}

void check_signed(native_u128 a_bits, native_u128 b_bits, int shift) {
    const auto a = static_cast<native_i128>(a_bits), b = static_cast<native_i128>(b_bits);
    const Int128 pa = to_portable_signed(a_bits), pb = to_portable_signed(b_bits);
    auto same = [](const Int128& p, native_i128 n) { return to_native(p.bits()) == static_cast<native_u128>(n); };
    FUZZ_CHECK((pa < pb) == (a < b) && (pa <= pb) == (a <= b) && (pa == pb) == (a == b));
    FUZZ_CHECK(same(pa >> shift, a >> shift));
    // Division of the most negative value by -1 overflows for the compiler too.
    const native_i128 most_negative = static_cast<native_i128>(native_u128{1} << 127);
    if (b != 0 && !(a == most_negative && b == -1)) {
        FUZZ_CHECK(same(pa / pb, a / b));
        FUZZ_CHECK(same(pa % pb, a % b));
    }
    if (b > 0) FUZZ_CHECK(same(floor_div(pa, pb), floor_div(a, b)) && same(floor_mod(pa, pb), floor_mod(a, b)));
    Int128 portable_sum, portable_difference;
    native_i128 sum = 0, difference = 0;
    FUZZ_CHECK(portable::add_overflows(pa, pb, &portable_sum) == __builtin_add_overflow(a, b, &sum));
    FUZZ_CHECK(same(portable_sum, sum));
    FUZZ_CHECK(portable::sub_overflows(pa, pb, &portable_difference) == __builtin_sub_overflow(a, b, &difference));
    FUZZ_CHECK(same(portable_difference, difference));
    // The 64-bit checks of the day and second counts.
    const auto a64 = static_cast<std::int64_t>(a), b64 = static_cast<std::int64_t>(b);
    std::int64_t p64 = 0, n64 = 0;
    FUZZ_CHECK(portable::add_overflows(a64, b64, &p64) == __builtin_add_overflow(a64, b64, &n64) && p64 == n64);
    FUZZ_CHECK(portable::sub_overflows(a64, b64, &p64) == __builtin_sub_overflow(a64, b64, &n64) && p64 == n64);
    // 16 little-endian bytes and back, the form counts cross into Python in.
    const Bytes16 bytes = to_le_bytes(a);
    for (int i = 0; i < 16; ++i) FUZZ_CHECK(bytes.bytes[i] == static_cast<unsigned char>(a_bits >> (8 * i)));
    FUZZ_CHECK(from_le_bytes(bytes) == a);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const native_u128 a = pick(in), b = pick(in);
    const int shift = in.ConsumeIntegralInRange<int>(0, 127);
    check_unsigned(a, b, shift);
    check_signed(a, b, shift);
    return 0;
}
