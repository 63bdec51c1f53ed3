// The TZif zone file format (RFC 8536, versions 1 to 4), read in two steps
// so that the caller owns all memory: read_tzif_layout checks the bytes and
// says how large each table is, the caller allocates the tables, and
// decode_tzif fills them.
//
//   header  "TZif", version (0, '2', '3', '4'), 15 reserved bytes, then six
//           big-endian 32-bit counts: isutcnt isstdcnt leapcnt timecnt
//           typecnt charcnt
//   data    timecnt transition times (4 bytes each in version 1 data,
//           8 after), timecnt type indices (1 byte), typecnt local time
//           types (4-byte offset, isdst, abbreviation index), charcnt
//           abbreviation characters, leapcnt leap-second records (a time and
//           a 4-byte count), isstdcnt and isutcnt indicators (1 byte each)
//   footer  (version 2 on) "\n" POSIX TZ rule "\n"
//
// A version 2+ file holds a version 1 header and data first, for old
// readers; it is skipped, and the second header's 64-bit data read instead.
//
// Leap-second records are skipped: kairodex has no leap seconds. A "right/"
// zone, whose transition times count the leap seconds, reads all the same,
// its instants then off by the leap seconds inserted before them (27 s now).
// The indicators only serve POSIX TZ strings without dates, which kairodex
// refuses, and are skipped unread too.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "kairodex/calendar_error.hpp"
#include "kairodex/text_scan.hpp"
#include "kairodex/tz/posix_rule.hpp"
#include "kairodex/tz/zone_data_error.hpp"
#include "kairodex/utc_offset.hpp"

namespace kairodex::tz {

struct TzifCounts {
    std::uint32_t ut_indicators;   // isutcnt: 0 or types
    std::uint32_t std_indicators;  // isstdcnt: 0 or types
    std::uint32_t leap_seconds;    // leapcnt
    std::uint32_t transitions;     // timecnt
    std::uint32_t types;           // typecnt, at least 1
    std::uint32_t characters;      // charcnt, at least 1
};

struct TzifLayout {
    std::uint8_t version;     // [1:4]
    std::uint8_t time_size;   // bytes per transition time: 4 in version 1 data, 8 after
    std::size_t data;         // where the data block that is read starts in the bytes
    TzifCounts counts;        // of that block: the sizes of the tables decode_tzif fills
    std::string_view footer;  // the TZ rule between the footer's newlines, into the bytes; empty without one
};

struct LocalTimeType {
    std::int32_t utc_offset;  // [-86400:86400], local time minus UTC
    bool is_dst;
    std::uint8_t abbreviation;  // index of the first character in the abbreviation characters

    friend constexpr bool operator==(const LocalTimeType&, const LocalTimeType&) = default;
};

// The tables decode_tzif fills, each as long as the layout's count says.
struct ZoneTables {
    std::span<std::int64_t> transitions;       // UTC Unix seconds, ascending
    std::span<std::uint8_t> transition_types;  // the type in force from each transition on
    std::span<LocalTimeType> types;            // counts.types
    std::span<char> abbreviations;             // counts.characters, each abbreviation ending with a NUL
};

namespace impl {

// Bytes of a header: magic, version, reserved bytes, six counts.
constexpr std::size_t header_size = 4 + 1 + 15 + 6 * 4;
// Bytes of a local time type: offset, isdst, abbreviation index.
constexpr std::size_t type_size = 4 + 1 + 1;

constexpr std::uint32_t load_be32(std::string_view bytes, std::size_t at) noexcept {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) value = value << 8 | static_cast<unsigned char>(bytes[at + i]);
    return value;
}

constexpr std::int64_t load_be64(std::string_view bytes, std::size_t at) noexcept {
    return static_cast<std::int64_t>(std::uint64_t{load_be32(bytes, at)} << 32 | load_be32(bytes, at + 4));
}

// A transition time of either width, sign-extended.
constexpr std::int64_t load_time(std::string_view bytes, std::size_t at, std::size_t size) noexcept {
    return size == 8 ? load_be64(bytes, at) : static_cast<std::int32_t>(load_be32(bytes, at));
}

constexpr TzifCounts read_counts(std::string_view bytes, std::size_t header) noexcept {
    const std::size_t at = header + 20;
    return {load_be32(bytes, at),      load_be32(bytes, at + 4),  load_be32(bytes, at + 8),
            load_be32(bytes, at + 12), load_be32(bytes, at + 16), load_be32(bytes, at + 20)};
}

// Bytes of a data block. Each count is below 2^32 and each item at most 12
// bytes, so the sum cannot overflow 64 bits.
constexpr std::uint64_t block_size(const TzifCounts& counts, std::size_t time_size) noexcept {
    return std::uint64_t{counts.transitions} * (time_size + 1) + std::uint64_t{counts.types} * type_size +
           counts.characters + std::uint64_t{counts.leap_seconds} * (time_size + 4) + counts.std_indicators +
           counts.ut_indicators;
}

// Where each table of a data block starts.
struct BlockPlaces {
    std::size_t transitions, transition_types, types, characters;
};

constexpr BlockPlaces places(const TzifLayout& layout) noexcept {
    const std::size_t transition_types = layout.data + std::size_t{layout.counts.transitions} * layout.time_size;
    const std::size_t types = transition_types + layout.counts.transitions;
    return {layout.data, transition_types, types, types + std::size_t{layout.counts.types} * type_size};
}

// The header's magic and version: 1 for the NUL byte, 2 to 4 for the digits.
constexpr Result<std::uint8_t, ZoneDataError> read_version(std::string_view bytes, std::size_t at) noexcept {
    constexpr std::string_view magic = "TZif";
    const std::string_view present = kairodex::impl::part(bytes, at, magic.size());
    if (bytes.empty() || present != kairodex::impl::part(magic, 0, present.size())) return ZoneDataError::NotTzif;
    if (bytes.size() - at < header_size) return ZoneDataError::Truncated;
    const char version = bytes[at + 4];
    if (version == '\0') return std::uint8_t{1};
    if (version >= '2' && version <= '4') return static_cast<std::uint8_t>(version - '0');
    return ZoneDataError::UnknownVersion;
}

// The counts and contents of the data block that is read: sizes first, so
// that nothing is read past the bytes.
constexpr Result<TzifLayout, ZoneDataError> check_block(std::string_view bytes, TzifLayout layout) noexcept {
    const TzifCounts& counts = layout.counts;
    if (counts.types == 0) return ZoneDataError::NoLocalTimeTypes;
    if (counts.characters == 0) return ZoneDataError::NoAbbreviations;
    if ((counts.ut_indicators != 0 && counts.ut_indicators != counts.types) ||
        (counts.std_indicators != 0 && counts.std_indicators != counts.types)) {
        return ZoneDataError::IndicatorCount;
    }
    if (block_size(counts, layout.time_size) > bytes.size() - layout.data) return ZoneDataError::Truncated;

    const BlockPlaces at = places(layout);
    for (std::size_t i = 0; i < counts.transitions; ++i) {
        if (i > 0 && load_time(bytes, at.transitions + i * layout.time_size, layout.time_size) <=
                         load_time(bytes, at.transitions + (i - 1) * layout.time_size, layout.time_size)) {
            return ZoneDataError::TransitionOrder;
        }
        if (static_cast<unsigned char>(bytes[at.transition_types + i]) >= counts.types) {
            return ZoneDataError::TransitionType;
        }
    }
    // An abbreviation ends within the characters exactly when it starts at or
    // before their last NUL: one look for that NUL serves every type.
    std::size_t terminated = 0;  // abbreviations starting below this end with a NUL
    for (std::size_t i = counts.characters; i > 0; --i) {
        if (bytes[at.characters + i - 1] == '\0') {
            terminated = i;
            break;
        }
    }
    for (std::size_t i = 0; i < counts.types; ++i) {
        const std::size_t type = at.types + i * type_size;
        const auto offset = static_cast<std::int32_t>(load_be32(bytes, type));
        const auto is_dst = static_cast<unsigned char>(bytes[type + 4]);
        const auto abbreviation = static_cast<unsigned char>(bytes[type + 5]);
        if (offset < -max_offset_seconds || offset > max_offset_seconds) return ZoneDataError::OffsetRange;
        if (is_dst > 1) return ZoneDataError::DstFlag;
        if (abbreviation >= counts.characters) return ZoneDataError::AbbreviationIndex;
        if (abbreviation >= terminated) return ZoneDataError::AbbreviationEnd;
    }
    return layout;
}

// "\n" rule "\n" right after the 64-bit data; the rule, when there is one,
// must read. Bytes after the footer are left alone, for later versions.
constexpr Result<TzifLayout, ZoneDataError> read_footer(std::string_view bytes, TzifLayout layout) noexcept {
    const std::size_t start = layout.data + static_cast<std::size_t>(block_size(layout.counts, layout.time_size));
    if (start >= bytes.size() || bytes[start] != '\n') return ZoneDataError::FooterStart;
    const std::size_t end = bytes.find('\n', start + 1);
    if (end == std::string_view::npos) return ZoneDataError::FooterEnd;
    layout.footer = kairodex::impl::part(bytes, start + 1, end - start - 1);
    if (!layout.footer.empty()) {
        const Result<PosixRule, ZoneDataError> rule = parse_posix_rule(layout.footer);
        if (!rule) return rule.error();
    }
    return layout;
}

}  // namespace impl

// Checks everything about the bytes that decode_tzif and the zone queries
// rely on, and says where the tables are and how large.
constexpr Result<TzifLayout, ZoneDataError> read_tzif_layout(std::string_view bytes) noexcept {
    const Result<std::uint8_t, ZoneDataError> version = impl::read_version(bytes, 0);
    if (!version) return version.error();
    const TzifCounts first_counts = impl::read_counts(bytes, 0);
    if (*version == 1) return impl::check_block(bytes, {1, 4, impl::header_size, first_counts, {}});

    // The version 1 data, skipped: only its size matters.
    const std::uint64_t first_size = impl::block_size(first_counts, 4);
    if (first_size > bytes.size() - impl::header_size) return ZoneDataError::Truncated;
    const auto second = impl::header_size + static_cast<std::size_t>(first_size);
    const Result<std::uint8_t, ZoneDataError> second_version = impl::read_version(bytes, second);
    if (!second_version && second_version.error() == ZoneDataError::Truncated) return ZoneDataError::Truncated;
    if (!second_version || *second_version != *version) return ZoneDataError::SecondHeader;

    const TzifLayout layout{*version, 8, second + impl::header_size, impl::read_counts(bytes, second), {}};
    const Result<TzifLayout, ZoneDataError> checked = impl::check_block(bytes, layout);
    if (!checked) return checked;
    return impl::read_footer(bytes, *checked);
}

// Fills the caller's tables, each at least as long as the layout's counts,
// from bytes that read_tzif_layout accepted with this layout.
constexpr void decode_tzif(std::string_view bytes, const TzifLayout& layout, ZoneTables out) noexcept {
    const impl::BlockPlaces at = impl::places(layout);
    for (std::size_t i = 0; i < layout.counts.transitions; ++i) {
        out.transitions[i] = impl::load_time(bytes, at.transitions + i * layout.time_size, layout.time_size);
        out.transition_types[i] = static_cast<std::uint8_t>(bytes[at.transition_types + i]);
    }
    for (std::size_t i = 0; i < layout.counts.types; ++i) {
        const std::size_t type = at.types + i * impl::type_size;
        out.types[i] = {static_cast<std::int32_t>(impl::load_be32(bytes, type)), bytes[type + 4] != 0,
                        static_cast<std::uint8_t>(bytes[type + 5])};
    }
    for (std::size_t i = 0; i < layout.counts.characters; ++i) out.abbreviations[i] = bytes[at.characters + i];
}

}  // namespace kairodex::tz
