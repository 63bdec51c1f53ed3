#include "value_hasher.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

using namespace kairodex;

namespace {
std::uint64_t digest_of(const std::vector<std::uint8_t>& bytes) {
    ValueHasher h;
    h.write(bytes.data(), bytes.size());
    return h.finish();
}
}  // namespace

TEST(ValueHasher, ReferenceVectors) {
    EXPECT_EQ(digest_of({}), 0xd1fba762150c532cull);
    EXPECT_EQ(to_python_hash(digest_of({})), -3315872660926475476);
    EXPECT_EQ(digest_of({'a', 'b', 'c'}), 0xc03bc3a0042630f2ull);
    EXPECT_EQ(to_python_hash(digest_of({'a', 'b', 'c'})), -4594863902769663758);
    EXPECT_EQ(to_python_hash(digest_of(std::vector<std::uint8_t>(16, 0))), 8556445246977061536);
}

TEST(ValueHasher, SplitOfTheStreamDoesNotMatter) {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < 300; ++i) bytes.push_back(static_cast<std::uint8_t>(i * 7));
    const auto whole = digest_of(bytes);
    for (std::size_t cut = 0; cut <= bytes.size(); cut += 13) {
        ValueHasher h;
        h.write(bytes.data(), cut);
        h.write(bytes.data() + cut, bytes.size() - cut);
        EXPECT_EQ(h.finish(), whole);
    }
}

TEST(ValueHasher, LittleEndianIntegers) {
    ValueHasher a, b;
    a.write_le(std::int32_t{-2});
    const std::uint8_t bytes[] = {0xfe, 0xff, 0xff, 0xff};
    b.write(bytes, 4);
    EXPECT_EQ(a.finish(), b.finish());
}

// The fixed-layout digest is the stream's digest of the same fields, whatever
// their widths and however they straddle the 8-byte words.
static_assert(digest_of_fields(std::uint8_t{'a'}, std::uint8_t{'b'}, std::uint8_t{'c'}) == 0xc03bc3a0042630f2ull);
static_assert(digest_of_fields() == 0xd1fba762150c532cull);

template <class... Int>
void expect_digest_of_stream(Int... fields) {
    ValueHasher stream;
    (stream.write_le(fields), ...);
    EXPECT_EQ(digest_of_fields(fields...), stream.finish()) << sizeof...(fields) << " fields";
}

TEST(ValueHasher, FixedLayoutDigestIsTheStreamDigest) {
    std::mt19937_64 random(20261208);
    for (int i = 0; i < 2000; ++i) {
        const std::uint64_t a = random(), b = random(), c = random();
        const auto u8 = [](std::uint64_t x, int k) { return static_cast<std::uint8_t>(x >> (8 * k)); };
        expect_digest_of_stream(u8(a, 0));                                                     // 1 byte
        expect_digest_of_stream(static_cast<std::int32_t>(a));                                 // 4
        expect_digest_of_stream(static_cast<std::int32_t>(a), u8(b, 1), u8(b, 2));             // 6
        expect_digest_of_stream(u8(a, 3), u8(a, 4), u8(a, 5), static_cast<std::uint32_t>(b));  // 7
        expect_digest_of_stream(a);                                                            // 8
        expect_digest_of_stream(u8(c, 7), a);                                                  // 9
        expect_digest_of_stream(static_cast<std::int32_t>(a), u8(a, 4), u8(a, 5), u8(b, 0), u8(b, 1), u8(b, 2),
                                static_cast<std::uint32_t>(c));    // 13
        expect_digest_of_stream(a, static_cast<std::int64_t>(b));  // 16
        expect_digest_of_stream(static_cast<std::int32_t>(a), u8(a, 4), u8(a, 5), u8(b, 0), u8(b, 1), u8(b, 2),
                                static_cast<std::uint32_t>(c), static_cast<std::int32_t>(c >> 32));  // 17
        expect_digest_of_stream(a, b, c);                                                            // 24
    }
}

TEST(PythonHash, ReservedValues) {
    EXPECT_EQ(to_python_hash(0xFFFFFFFFFFFFFFFFull), -2);
    EXPECT_EQ(to_python_hash(0xFFFFFFFFFFFFFFFEull), -2);
    EXPECT_EQ(to_python_hash(0xFFFFFFFFFFFFFFFDull), -3);
    EXPECT_EQ(to_python_hash(0), 0);
}
