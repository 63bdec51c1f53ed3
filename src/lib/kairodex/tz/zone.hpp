// The queries of a named time zone: the local time type at an instant, the
// instants at which the zone's offset changes, and the instants a local
// reading stands for. A zone is its decoded TZif tables, which say what holds
// up to the last transition, and the footer's rule, which says what holds
// from the last transition on (RFC 8536 section 3.3; for every instant when
// the table has no transitions).
//
// A lookup is a binary search over the transitions, and where the rule
// decides, its changes of one or two years. A zone that is asked about the
// same years over and over could keep each year's two changes, or extend its
// table by the rule's changes of the coming decades, once: either would go
// into rule_type below.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "kairodex/datetime.hpp"
#include "kairodex/fast/fence.hpp"
#include "kairodex/tz/rule_years.hpp"
#include "kairodex/tz/transition_index.hpp"
#include "kairodex/tz/tzif.hpp"
#include "kairodex/utc_offset.hpp"

namespace kairodex::tz {

struct ZoneView {
    std::span<const std::int64_t> transitions;       // UTC Unix seconds, strictly ascending
    std::span<const std::uint8_t> transition_types;  // as many: the type in force from each transition on
    std::span<const LocalTimeType> types;            // at least one; type 0 holds before the first transition
    std::span<const char> abbreviations;             // each type's abbreviation ends with a NUL in here
    const PosixRule* rule = nullptr;                 // from the last transition on, or null
    TransitionIndex index = {};                      // of the transitions, or none
};

constexpr ZoneView view_of(const ZoneTables& tables, const PosixRule* rule) noexcept {
    return {tables.transitions, tables.transition_types, tables.types, tables.abbreviations, rule};
}

struct LocalType {
    std::int32_t utc_offset;  // [-86400:86400], local time minus UTC
    bool is_dst;
    std::string_view abbreviation;  // into the zone's abbreviation characters or the rule's text

    friend constexpr bool operator==(const LocalType&, const LocalType&) = default;
};

// An instant at which the zone's UTC offset changes.
struct ZoneTransition {
    std::int64_t instant;  // UTC Unix seconds: the first second of the new offset
    std::int32_t offset_before;
    std::int32_t offset_after;

    friend constexpr bool operator==(const ZoneTransition&, const ZoneTransition&) = default;
};

enum class LocalKind : std::uint8_t {
    Unique,    // the reading happens once
    Repeated,  // the clocks were turned back over it: it happens twice (a fold)
    Skipped,   // the clocks were turned forward over it: it never happens (a gap)
};

// What a local reading stands for. Unique: the one instant, in both fields.
// Repeated: its first and its last instant. Skipped: the instants it would
// have with the offset after and before the transition that skips it
// (local - offset_after, which comes before that transition, and local -
// offset_before, which comes after it), and that transition.
struct LocalResolution {
    LocalKind kind;
    std::int64_t earlier;
    std::int64_t later;
    ZoneTransition transition;  // Skipped only
};

namespace impl {

// How many of the zone's transitions lie at or before `t`: by its index where
// it has one (an accelerator), else by the binary search that defines it.
constexpr std::size_t transitions_until(const ZoneView& zone, std::int64_t t) noexcept {
    return fast::enabled ? indexed_transitions_until(zone.transitions, zone.index, t)
                         : transitions_until(zone.transitions, t);
}

constexpr LocalType rule_type(const PosixRule& rule, std::int64_t t) noexcept {
    if (rule_is_dst(rule, t)) return {rule.dst_offset, true, rule.dst_abbreviation};
    return {rule.std_offset, false, rule.std_abbreviation};
}

constexpr LocalType table_type(const ZoneView& zone, const LocalTimeType& type) noexcept {
    return {type.utc_offset, type.is_dst, std::string_view(zone.abbreviations.data() + type.abbreviation)};
}

// The offset in force just before transition i: type 0's before the first.
constexpr std::int32_t offset_before(const ZoneView& zone, std::size_t i) noexcept {
    return zone.types[i == 0 ? 0 : zone.transition_types[i - 1]].utc_offset;
}

// The offset from transition i on: the rule's at the last transition, when a
// rule follows the table.
constexpr std::int32_t offset_from(const ZoneView& zone, std::size_t i) noexcept {
    if (zone.rule != nullptr && i + 1 == zone.transitions.size()) {
        return rule_type(*zone.rule, zone.transitions[i]).utc_offset;
    }
    return zone.types[zone.transition_types[i]].utc_offset;
}

constexpr ZoneTransition rule_transition(const PosixRule& rule, DstChange change) noexcept {
    return change.dst_after ? ZoneTransition{change.instant, rule.std_offset, rule.dst_offset}
                            : ZoneTransition{change.instant, rule.dst_offset, rule.std_offset};
}

// A transition is a change of the offset. Table entries that change only the
// daylight saving flag or the abbreviation (as when "war time" became "peace
// time" in 1945) are none, and are stepped over: real data have at most a
// couple in a row. These two know no range; next_transition and
// previous_transition keep to kairodex's.
constexpr std::optional<ZoneTransition> next_change(const ZoneView& zone, std::int64_t after) noexcept {
    const std::size_t count = zone.transitions.size();
    for (std::size_t i = transitions_until(zone, after); i < count; ++i) {
        const std::int32_t before = offset_before(zone, i), from = offset_from(zone, i);
        if (before != from) return ZoneTransition{zone.transitions[i], before, from};
    }
    if (zone.rule == nullptr || !zone.rule->changes_offset) return std::nullopt;
    // The rule's own changes count from the last transition on: one at that
    // very instant is the table's.
    const std::int64_t from = count == 0 ? after : std::max(after, zone.transitions[count - 1]);
    const std::optional<DstChange> change = next_dst_change(*zone.rule, from);
    if (!change) return std::nullopt;
    return rule_transition(*zone.rule, *change);
}

constexpr std::optional<ZoneTransition> previous_change(const ZoneView& zone, std::int64_t before) noexcept {
    const std::size_t count = zone.transitions.size();
    // The rule's changes lie after the last transition: none before it.
    const std::int64_t floor = count == 0 ? INT64_MIN : zone.transitions[count - 1];
    if (zone.rule != nullptr && zone.rule->changes_offset && before > floor) {
        if (const std::optional<DstChange> change = previous_dst_change(*zone.rule, before, floor)) {
            return rule_transition(*zone.rule, *change);
        }
    }
    for (std::size_t i = before == INT64_MIN ? 0 : transitions_until(zone, before - 1); i > 0; --i) {
        const std::int32_t offset_then = offset_before(zone, i - 1), from = offset_from(zone, i - 1);
        if (offset_then != from) return ZoneTransition{zone.transitions[i - 1], offset_then, from};
    }
    return std::nullopt;
}

// Far beyond every local reading of kairodex's range (about 2^56 s either
// way), and far enough from the 64-bit limits that a day more cannot overflow.
constexpr std::int64_t reading_limit = std::int64_t{1} << 62;

}  // namespace impl

// ---------------------------------------------------------------------------
// Queries
// ---------------------------------------------------------------------------

// Type 0 before the first transition (RFC 8536 section 3.2, for version 1
// data as for later versions: no guessing of a "first standard type"), the
// table's types up to the last transition, and from it on the rule's, or
// without a rule the last transition's type.
constexpr LocalType type_at(const ZoneView& zone, std::int64_t unix_seconds) noexcept {
    const std::size_t count = impl::transitions_until(zone, unix_seconds);
    if (zone.rule != nullptr && count == zone.transitions.size()) return impl::rule_type(*zone.rule, unix_seconds);
    return impl::table_type(zone, zone.types[count == 0 ? 0 : zone.transition_types[count - 1]]);
}

// The offset and the daylight saving flag of type_at, without its
// abbreviation (whose length it would have to count).
struct OffsetAt {
    std::int32_t utc_offset;
    bool is_dst;
};

// Which local time type holds at an instant: an index into the zone's
// types, or where the rule decides, types.size() for its standard time and
// types.size() + 1 for its daylight saving time (the caller may keep
// something per type: a ready offset object, say).
constexpr std::size_t type_index_at(const ZoneView& zone, std::int64_t unix_seconds) noexcept {
    const std::size_t count = impl::transitions_until(zone, unix_seconds);
    if (zone.rule != nullptr && count == zone.transitions.size()) {
        return zone.types.size() + (rule_is_dst(*zone.rule, unix_seconds) ? 1 : 0);
    }
    return count == 0 ? 0 : zone.transition_types[count - 1];
}

constexpr OffsetAt offset_at(const ZoneView& zone, std::int64_t unix_seconds) noexcept {
    const std::size_t index = type_index_at(zone, unix_seconds);
    if (index < zone.types.size()) return {zone.types[index].utc_offset, zone.types[index].is_dst};
    const bool dst = index > zone.types.size();
    return {dst ? zone.rule->dst_offset : zone.rule->std_offset, dst};
}

// The first transition strictly after `after`, through the rule's years up to
// the end of kairodex's range.
constexpr std::optional<ZoneTransition> next_transition(const ZoneView& zone, std::int64_t after) noexcept {
    const std::optional<ZoneTransition> change = impl::next_change(zone, std::max(after, min_unix_timestamp - 1));
    if (!change || change->instant > max_unix_timestamp) return std::nullopt;
    return change;
}

// The last transition strictly before `before`, none before kairodex's range.
constexpr std::optional<ZoneTransition> previous_transition(const ZoneView& zone, std::int64_t before) noexcept {
    const std::optional<ZoneTransition> change = impl::previous_change(zone, std::min(before, max_unix_timestamp + 1));
    if (!change || change->instant < min_unix_timestamp) return std::nullopt;
    return change;
}

// The instants u with u + offset(u) = local, where `local` is a wall-clock
// reading counted as if it were UTC. Offsets lie within a day either way, so
// every such u lies within a day of `local`: the stretches of constant offset
// that overlap [local - 1 day, local + 1 day] are walked in order, from the
// offset in force at the window's start through each change within it (one
// or two in real data). A stretch [from, to) with offset o holds the reading
// when from <= local - o < to; the first and the last stretch that does give
// the earlier and the later instant (back-to-back turns of the clock may
// repeat a reading more than twice: the middle ones are not told). When no
// stretch holds it, some change jumps over it, from readings that end at
// instant + offset_before <= local to ones that start at instant +
// offset_after > local: the first such change is the transition that skips
// it. Readings beyond reading_limit are taken as at it.
constexpr LocalResolution plain_resolve_local(const ZoneView& zone, std::int64_t local_seconds) noexcept {
    const std::int64_t local = std::clamp(local_seconds, -impl::reading_limit, impl::reading_limit);
    const std::int64_t window_end = local + max_offset_seconds;
    std::int64_t from = local - max_offset_seconds;
    std::int32_t offset = offset_at(zone, from).utc_offset;
    LocalResolution result{LocalKind::Skipped, 0, 0, {}};
    int held = 0;
    std::optional<ZoneTransition> skip;
    for (;;) {
        const std::optional<ZoneTransition> change = impl::next_change(zone, from);
        const std::int64_t instant = local - offset;
        if (from <= instant && (!change || instant < change->instant)) {
            if (held++ == 0) result.earlier = instant;
            result.later = instant;
        }
        if (!change || change->instant > window_end) break;
        if (!skip && change->instant + change->offset_before <= local &&
            local < change->instant + change->offset_after) {
            skip = change;
        }
        from = change->instant;
        offset = change->offset_after;
    }
    if (held > 0) {
        result.kind = held == 1 ? LocalKind::Unique : LocalKind::Repeated;
        return result;
    }
    // A reading no stretch holds is always jumped over by a change within the
    // window: the readings run up one second per second within a stretch, so
    // they pass `local` only by a jump.
    result.transition = skip.value_or(ZoneTransition{local, 0, 0});
    result.earlier = local - result.transition.offset_after;
    result.later = local - result.transition.offset_before;
    return result;
}

// An accelerator for nearly every reading: one that lies more than a day from
// every transition of the table is read with the offset of its stretch, the
// one instant there is (offsets lie within a day, so only the stretch around
// the reading can hold it). Two counts of transitions decide it; a reading
// near a transition, or past the table where the rule decides, is left to
// plain_resolve_local.
constexpr std::optional<LocalResolution> resolve_far_from_transitions(const ZoneView& zone,
                                                                      std::int64_t local) noexcept {
    if (local < -impl::reading_limit || local > impl::reading_limit) return std::nullopt;
    const std::size_t before = impl::transitions_until(zone, local - max_offset_seconds);
    if (before != impl::transitions_until(zone, local + max_offset_seconds)) return std::nullopt;
    if (zone.rule != nullptr && before == zone.transitions.size()) return std::nullopt;
    const std::int64_t instant = local - zone.types[before == 0 ? 0 : zone.transition_types[before - 1]].utc_offset;
    return LocalResolution{LocalKind::Unique, instant, instant, {}};
}

constexpr LocalResolution resolve_local(const ZoneView& zone, std::int64_t local_seconds) noexcept {
    if constexpr (fast::enabled) {
        if (const std::optional<LocalResolution> far = resolve_far_from_transitions(zone, local_seconds)) return *far;
    }
    return plain_resolve_local(zone, local_seconds);
}

}  // namespace kairodex::tz
