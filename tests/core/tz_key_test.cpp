// Zone keys: what may be joined to the zone directory and looked up as a file.
#include <gtest/gtest.h>

#include <string>
#include <string_view>

#include "kairodex/tz/key.hpp"

using namespace kairodex::tz;

namespace {

struct Key {
    std::string_view text;
    bool valid;
};

class ZoneKey : public testing::TestWithParam<Key> {};

TEST_P(ZoneKey, IsANormalisedRelativePath) {
    EXPECT_EQ(is_valid_zone_key(GetParam().text), GetParam().valid) << GetParam().text;
}

using namespace std::string_view_literals;

INSTANTIATE_TEST_SUITE_P(
    // Real keys, then every way out of the zone directory or around it.
    Keys, ZoneKey,
    testing::Values(Key{"Europe/Paris", true}, Key{"UTC", true}, Key{"America/Argentina/Buenos_Aires", true},
                    Key{"Etc/GMT+5", true}, Key{"Etc/GMT-14", true}, Key{"a..b/.c", true}, Key{"", false},
                    Key{"../x", false}, Key{"..", false}, Key{".", false}, Key{"/etc/passwd", false},
                    Key{"a/../b", false}, Key{"a/./b", false}, Key{"a/..", false}, Key{"a//b", false}, Key{"a/", false},
                    Key{"a\0b"sv, false}, Key{"C:x", false}, Key{"a\\b", false}, Key{"\\\\server\\x", false},
                    Key{"Europe/Paris:stream", false}));

TEST(ZoneKey, AtMost255Bytes) {
    EXPECT_TRUE(is_valid_zone_key(std::string(255, 'a')));
    EXPECT_FALSE(is_valid_zone_key(std::string(256, 'a')));
    EXPECT_TRUE(is_valid_zone_key(std::string(127, 'a') + "/" + std::string(127, 'b')));
}

}  // namespace
