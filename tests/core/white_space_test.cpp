// White space of any script at the ends of UTF-8 text: the decoder at either
// end, the White_Space property and the trimming built on them.
#include "kairodex/white_space.hpp"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

using namespace kairodex;

namespace {

struct Decoded {
    const char* bytes;
    char32_t value;
    std::size_t length;  // 0: not well-formed
};

}  // namespace

class DecodeFront : public testing::TestWithParam<Decoded> {};

// Each sequence alone, then followed by more text, then read from the back
// after other text.
TEST_P(DecodeFront, OneCodePoint) {
    const Decoded& d = GetParam();
    const std::string bytes = d.bytes;
    const impl::CodePoint front = impl::decode_front(bytes);
    EXPECT_EQ(front.length, d.length) << bytes;
    if (d.length != 0) {
        EXPECT_EQ(front.value, d.value) << bytes;
    }
    EXPECT_EQ(impl::decode_front(bytes + "x").length, d.length) << bytes;
    // From the back, a text that ends in ASCII ends in a code point of its own.
    const impl::CodePoint back = impl::decode_back("x" + bytes);
    if (d.length != 0 || static_cast<unsigned char>(bytes.back()) >= 0x80) {
        EXPECT_EQ(back.length, d.length) << bytes;
    }
    if (d.length != 0) {
        EXPECT_EQ(back.value, d.value) << bytes;
    }
}

INSTANTIATE_TEST_SUITE_P(Utf8, DecodeFront,
                         testing::Values(
                             // The smallest and largest code point of each length.
                             Decoded{"\x7f", 0x7F, 1}, Decoded{"\xc2\x80", 0x80, 2}, Decoded{"\xdf\xbf", 0x7FF, 2},
                             Decoded{"\xe0\xa0\x80", 0x800, 3}, Decoded{"\xef\xbf\xbf", 0xFFFF, 3},
                             Decoded{"\xf0\x90\x80\x80", 0x10000, 4}, Decoded{"\xf4\x8f\xbf\xbf", 0x10FFFF, 4},
                             // Overlong forms, surrogates, past U+10FFFF, stray and missing bytes.
                             Decoded{"\xc0\x80", 0, 0}, Decoded{"\xc1\xbf", 0, 0}, Decoded{"\xe0\x9f\xbf", 0, 0},
                             Decoded{"\xf0\x8f\xbf\xbf", 0, 0}, Decoded{"\xed\xa0\x80", 0, 0},
                             Decoded{"\xed\xbf\xbf", 0, 0}, Decoded{"\xf4\x90\x80\x80", 0, 0},
                             Decoded{"\xf5\x80\x80\x80", 0, 0}, Decoded{"\x80", 0, 0}, Decoded{"\xbf", 0, 0},
                             Decoded{"\xbf\xbf", 0, 0}, Decoded{"\xff", 0, 0}, Decoded{"\xe3\x80", 0, 0},
                             Decoded{"\xe3\x80\x41", 0, 0}, Decoded{"\xf0\x90\x80", 0, 0}));

TEST(DecodeFront, EmptyText) {
    EXPECT_EQ(impl::decode_front("").length, 0u);
    EXPECT_EQ(impl::decode_back("").length, 0u);
}

TEST(WhiteSpace, ThePropertyAndItsNeighbours) {
    for (char32_t c : {0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x20, 0x85, 0xA0, 0x1680, 0x2000, 0x200A, 0x2028, 0x2029, 0x202F,
                       0x205F, 0x3000}) {
        EXPECT_TRUE(impl::is_white_space(c)) << static_cast<unsigned>(c);
    }
    // Format characters and near misses that are not White_Space.
    for (char32_t c : {0x00,   0x08,   0x0E,   0x1F,   0x21,   0x84,   0x86,   0x9F,   0xA1,   0x180E,
                       0x200B, 0x200C, 0x2027, 0x202A, 0x205E, 0x2060, 0x2FFF, 0x3001, 0xFEFF, 0x10FFFF}) {
        EXPECT_FALSE(impl::is_white_space(c)) << static_cast<unsigned>(c);
    }
}

TEST(WhiteSpace, TrimmingStopsAtTheFirstOtherCodePoint) {
    EXPECT_EQ(impl::trim_white_space(" \xc2\xa0x y\xe3\x80\x80 "), "x y");
    EXPECT_EQ(impl::trim_white_space("\xe2\x80\x8b x \xe2\x80\x8b"), "\xe2\x80\x8b x \xe2\x80\x8b");
    EXPECT_EQ(impl::trim_white_space("\xff \xff"), "\xff \xff");
    EXPECT_EQ(impl::trim_white_space(" \xff"), "\xff");
    EXPECT_EQ(impl::trim_white_space("\x80 "), "\x80");
    EXPECT_EQ(impl::trim_white_space("\xe3\x80\x80\xe3\x80\x80"), "");
    // A white space code point whose last byte ends the text, read from the back.
    EXPECT_EQ(impl::trim_white_space("x\xe2\x80\xa8"), "x");
    EXPECT_EQ(impl::trim_white_space("x\x80\xe2\x80\xa8"), "x\x80");
    EXPECT_EQ(impl::trim_white_space("\t\n\v\f\r "), "");
    EXPECT_EQ(impl::trim_white_space(""), "");
}

static_assert(impl::trim_white_space("\xe3\x80\x80 2024 \xc2\x85") == "2024");
