// A zone's table carried on by its rule's changes up to a horizon, so that
// the instants of the coming decades are answered by the table and its
// index (one load and a short search) rather than by the rule's dates of the
// instant's year (a date conversion and a year's two changes, several times
// as long). Zone files from the IANA database end their tables in 2037, or,
// written "slim", at the rule's last change of law (2007 for much of North
// America): the horizon, 2100, covers this century either way.
//
// The answers do not change: from the table's last transition on the rule
// decides as before, the appended changes being the rule's own, and the last
// transition of the table taking the type the rule gives its instant. An
// accelerator, then, which the core tests and fuzz_tzif hold to the zone it
// extends.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "kairodex/tz/rule_years.hpp"
#include "kairodex/tz/tzif.hpp"
#include "kairodex/tz/zone.hpp"

namespace kairodex::tz {

// 2100-01-01T00:00:00Z.
constexpr std::int64_t extension_horizon = 4102444800;

// What an extension appends: the rule's changes after the table's last
// transition up to the horizon, two local time types (the rule's standard and
// daylight saving time) and their abbreviations, each with its NUL. None
// (changes 0) for a zone without transitions, or whose rule never changes the
// offset, or whose types or characters would outgrow what a byte indexes.
struct ExtensionPlan {
    std::size_t changes;
    std::size_t characters;
};

// A table that ends before this (1700-01-01T00:00:00Z, 400 years before the
// horizon) is not carried on: at most two changes a year, a few hundred in
// all, whatever the data.
constexpr std::int64_t extension_floor = extension_horizon - std::int64_t{146097} * 86400;

constexpr ExtensionPlan plan_extension(const ZoneView& zone) noexcept {
    if (zone.transitions.empty() || zone.rule == nullptr || !zone.rule->changes_offset) return {0, 0};
    if (zone.transitions.back() < extension_floor) return {0, 0};
    const PosixRule& rule = *zone.rule;
    const std::size_t characters = rule.std_abbreviation.size() + 1 + rule.dst_abbreviation.size() + 1;
    if (zone.types.size() + 2 > 256 || zone.abbreviations.size() + characters > 256) return {0, 0};
    std::size_t changes = 0;
    for (std::int64_t t = zone.transitions.back();;) {
        const std::optional<DstChange> change = next_dst_change(rule, t);
        if (!change || change->instant >= extension_horizon) break;
        ++changes;
        t = change->instant;
    }
    return {changes, changes == 0 ? 0 : characters};
}

// The tables of the extended zone, each as long as the zone's and the plan's
// together say.
struct ExtendedTables {
    std::span<std::int64_t> transitions;
    std::span<std::uint8_t> transition_types;
    std::span<LocalTimeType> types;
    std::span<char> abbreviations;
};

// Fills `out` with the zone's tables and what the plan appends; the extended
// zone is view_of(out) with the same rule.
constexpr void extend_table(const ZoneView& zone, const ExtensionPlan& plan, ExtendedTables out) noexcept {
    const PosixRule& rule = *zone.rule;
    const std::size_t n = zone.transitions.size(), types = zone.types.size(), chars = zone.abbreviations.size();
    for (std::size_t i = 0; i < n; ++i) {
        out.transitions[i] = zone.transitions[i];
        out.transition_types[i] = zone.transition_types[i];
    }
    for (std::size_t i = 0; i < types; ++i) out.types[i] = zone.types[i];
    for (std::size_t i = 0; i < chars; ++i) out.abbreviations[i] = zone.abbreviations[i];
    // The rule's two types, their names after the table's characters.
    const auto std_type = static_cast<std::uint8_t>(types), dst_type = static_cast<std::uint8_t>(types + 1);
    std::size_t at = chars;
    const auto append_name = [&](std::string_view name) {
        const auto start = static_cast<std::uint8_t>(at);
        for (const char c : name) out.abbreviations[at++] = c;
        out.abbreviations[at++] = '\0';
        return start;
    };
    out.types[std_type] = {rule.std_offset, false, append_name(rule.std_abbreviation)};
    out.types[dst_type] = {rule.dst_offset, true, append_name(rule.dst_abbreviation)};
    // From the table's last transition on the rule decides, at it too.
    const std::int64_t last = zone.transitions[n - 1];
    out.transition_types[n - 1] = rule_is_dst(rule, last) ? dst_type : std_type;
    std::int64_t t = last;
    for (std::size_t i = 0; i < plan.changes; ++i) {
        const DstChange change = *next_dst_change(rule, t);
        out.transitions[n + i] = change.instant;
        out.transition_types[n + i] = change.dst_after ? dst_type : std_type;
        t = change.instant;
    }
}

}  // namespace kairodex::tz
