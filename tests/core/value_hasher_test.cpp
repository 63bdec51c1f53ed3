#include "kairodex/value_hasher.hpp"

#include <gtest/gtest.h>

#include <cstdint>
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

TEST(PythonHash, ReservedValues) {
    EXPECT_EQ(to_python_hash(0xFFFFFFFFFFFFFFFFull), -2);
    EXPECT_EQ(to_python_hash(0xFFFFFFFFFFFFFFFEull), -2);
    EXPECT_EQ(to_python_hash(0xFFFFFFFFFFFFFFFDull), -3);
    EXPECT_EQ(to_python_hash(0), 0);
}
