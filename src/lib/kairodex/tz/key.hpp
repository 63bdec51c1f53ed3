// Zone keys ("Europe/Paris") as they may be looked up as files: a key that
// passes names a file below the zone directory and nothing else, on any
// system, however the directory is joined to it.
#pragma once

#include <cstddef>
#include <string_view>

#include "kairodex/text_scan.hpp"

namespace kairodex::tz {

// The longest key: a file name's limit on the common file systems, and far
// beyond the longest key in use (about 30 bytes).
constexpr std::size_t max_zone_key_size = 255;

// A normalised relative path: components separated by single '/', none empty,
// "." or "..". Refused too: NUL (which ends a path in the C library), '\'
// (a separator on Windows) and ':' (a drive, "C:x", or an NTFS stream there).
constexpr bool is_valid_zone_key(std::string_view key) noexcept {
    if (key.empty() || key.size() > max_zone_key_size) return false;
    std::size_t component = 0;  // where the current component starts
    for (std::size_t i = 0; i <= key.size(); ++i) {
        if (i == key.size() || key[i] == '/') {
            const std::string_view name = kairodex::impl::part(key, component, i - component);
            if (name.empty() || name == "." || name == "..") return false;
            component = i + 1;
        } else if (key[i] == '\0' || key[i] == '\\' || key[i] == ':') {
            return false;
        }
    }
    return true;
}

}  // namespace kairodex::tz
