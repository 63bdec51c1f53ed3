// A small TZif writer for the time-zone tests and the fuzz seeds: the zone's
// tables in, the file's bytes out, so that no test depends on the system's
// zone files. Each test states its zone as data; hostile files are a valid
// one with one part spoiled.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "kairodex/tz/extended_table.hpp"
#include "kairodex/tz/tzif.hpp"
#include "kairodex/tz/zone.hpp"

namespace kairodex::test {

struct TzifContents {
    char version = '2';  // '\0', '2', '3' or '4', as the header holds it
    std::vector<std::int64_t> transitions;
    std::vector<std::uint8_t> transition_types;
    std::vector<tz::LocalTimeType> types;
    std::string abbreviations;       // NUL-terminated abbreviations, back to back
    std::string footer;              // the rule between the footer's newlines (version 2 on)
    std::uint32_t leap_seconds = 0;  // records written, with made-up times
    bool indicators = false;         // isstdcnt = isutcnt = typecnt, else both 0
    // Version 2 on: the version 1 data as zic's slim files have it (no
    // transitions, one type, one character) rather than the same tables.
    bool slim_version_1 = false;
};

namespace tzif_writer {

inline void put32(std::string& out, std::uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(value >> shift));
}

inline void put64(std::string& out, std::uint64_t value) {
    put32(out, static_cast<std::uint32_t>(value >> 32));
    put32(out, static_cast<std::uint32_t>(value));
}

inline void header(std::string& out, char version, const tz::TzifCounts& counts) {
    out += "TZif";
    out.push_back(version);
    out.append(15, '\0');
    for (std::uint32_t count : {counts.ut_indicators, counts.std_indicators, counts.leap_seconds, counts.transitions,
                                counts.types, counts.characters}) {
        put32(out, count);
    }
}

inline void block(std::string& out, const TzifContents& contents, int time_size) {
    const auto put_time = [&](std::int64_t t) {
        time_size == 8 ? put64(out, static_cast<std::uint64_t>(t)) : put32(out, static_cast<std::uint32_t>(t));
    };
    const auto types = static_cast<std::uint32_t>(contents.types.size());
    const std::uint32_t indicators = contents.indicators ? types : 0;
    header(out, contents.version,
           {indicators, indicators, contents.leap_seconds, static_cast<std::uint32_t>(contents.transitions.size()),
            types, static_cast<std::uint32_t>(contents.abbreviations.size())});
    for (std::int64_t t : contents.transitions) put_time(t);
    for (std::uint8_t type : contents.transition_types) out.push_back(static_cast<char>(type));
    for (const tz::LocalTimeType& type : contents.types) {
        put32(out, static_cast<std::uint32_t>(type.utc_offset));
        out.push_back(static_cast<char>(type.is_dst));
        out.push_back(static_cast<char>(type.abbreviation));
    }
    out += contents.abbreviations;
    for (std::uint32_t i = 0; i < contents.leap_seconds; ++i) {
        put_time(78796800 + std::int64_t{i} * 15778800);  // 1972-07-01, then every half year
        put32(out, i + 1);
    }
    out.append(indicators, '\0');  // standard time, local time
    out.append(indicators, '\0');
}

}  // namespace tzif_writer

// Where the second header starts, for a test that spoils it.
struct TzifFile {
    std::string bytes;
    std::size_t second_header = 0;  // 0 in version 1 files
};

inline TzifFile write_tzif_file(const TzifContents& contents) {
    TzifFile file;
    if (contents.version == '\0') {
        tzif_writer::block(file.bytes, contents, 4);
        return file;
    }
    if (contents.slim_version_1) {
        TzifContents slim;
        slim.version = contents.version;
        slim.types = {{0, false, 0}};
        slim.abbreviations = std::string(1, '\0');
        tzif_writer::block(file.bytes, slim, 4);
    } else {
        tzif_writer::block(file.bytes, contents, 4);
    }
    file.second_header = file.bytes.size();
    tzif_writer::block(file.bytes, contents, 8);
    file.bytes += '\n' + contents.footer + '\n';
    return file;
}

inline std::string write_tzif(const TzifContents& contents) { return write_tzif_file(contents).bytes; }

// A zone read back from bytes that read_tzif_layout must accept: the tables,
// the rule, and the view over them.
struct DecodedZone {
    std::string bytes;
    tz::TzifLayout layout{};
    std::vector<std::int64_t> transitions;
    std::vector<std::uint8_t> transition_types;
    std::vector<tz::LocalTimeType> types;
    std::vector<char> abbreviations;
    tz::PosixRule rule{};
    bool has_rule = false;
    tz::IndexPlan plan{0, 0};
    std::vector<std::uint16_t> index;

    explicit DecodedZone(std::string data) : bytes(std::move(data)) {
        const auto read = tz::read_tzif_layout(bytes);
        if (!read) return;
        layout = *read;
        transitions.resize(layout.counts.transitions);
        transition_types.resize(layout.counts.transitions);
        types.resize(layout.counts.types);
        abbreviations.resize(layout.counts.characters);
        tz::decode_tzif(bytes, layout, {transitions, transition_types, types, abbreviations});
        if (!layout.footer.empty()) {
            rule = *tz::parse_posix_rule(layout.footer);
            has_rule = true;
        }
        // The index of the transitions, as the module builds it.
        plan = tz::plan_index(transitions);
        index.resize(plan.counts);
        if (plan.counts > 0) tz::build_index(transitions, plan, index);
    }
    DecodedZone(const DecodedZone&) = delete;

    bool valid() const { return !types.empty(); }

    // The tables carried on by the rule up to the extension's horizon, as the
    // module keeps them (empty where the zone is not extended).
    struct Extended {
        std::vector<std::int64_t> transitions;
        std::vector<std::uint8_t> transition_types;
        std::vector<tz::LocalTimeType> types;
        std::vector<char> abbreviations;
    };
    Extended extended() const {
        Extended out;
        const tz::ExtensionPlan plan = tz::plan_extension(view(false));
        if (plan.changes == 0) return out;
        out.transitions.resize(transitions.size() + plan.changes);
        out.transition_types.resize(transitions.size() + plan.changes);
        out.types.resize(types.size() + 2);
        out.abbreviations.resize(abbreviations.size() + plan.characters);
        tz::extend_table(view(false), plan, {out.transitions, out.transition_types, out.types, out.abbreviations});
        return out;
    }
    // With the index, as the module queries it; `indexed` false: the plain
    // binary search alone.
    tz::ZoneView view(bool indexed = true) const {
        return {transitions,
                transition_types,
                types,
                abbreviations,
                has_rule ? &rule : nullptr,
                indexed ? tz::TransitionIndex{plan.origin, index} : tz::TransitionIndex{}};
    }
};

}  // namespace kairodex::test
