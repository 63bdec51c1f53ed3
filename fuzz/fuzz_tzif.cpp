// Untrusted zone data: bytes that start with "TZif" as a zone file, anything
// else as a POSIX TZ rule (up to the first newline). Whatever is accepted
// must keep every promise of the zone queries at instants drawn from the
// input and from the zone's own transitions: offsets within a day, each
// transition a change of type_at's offset with none skipped between, and
// each local reading's instants the exact set that type_at maps to it.
#include "fuzz_support.hpp"

#include <algorithm>
#include <cstring>
#include <optional>
#include <set>
#include <vector>

#include "kairodex/tz/extended_table.hpp"
#include "kairodex/tz/zone.hpp"

using namespace fuzz;
using namespace kairodex::tz;

namespace {

// Numbers read off the input's bytes, eight at a time from its end.
std::vector<std::int64_t> numbers_of(std::string_view bytes, std::size_t count) {
    std::vector<std::int64_t> out;
    for (std::size_t end = bytes.size(); end >= 8 && out.size() < count; end -= 8) {
        std::int64_t value = 0;
        std::memcpy(&value, bytes.data() + end - 8, 8);
        out.push_back(value);
    }
    return out;
}

// Instants the queries may take: a count from the input, folded into the
// range and a little beyond, where transitions can lie.
std::int64_t instant_from(std::int64_t number) {
    const std::int64_t span = max_unix_timestamp / 8 * 9;
    return number % span;
}

// What the queries promise at `t`, for a zone whose offsets are `offsets`
// (an empty list when there are too many to try each).
void check_zone_at(const ZoneView& zone, const std::vector<std::int32_t>& offsets, std::int64_t t) {
    const LocalType type = type_at(zone, t);
    FUZZ_CHECK(type.utc_offset >= -86400 && type.utc_offset <= 86400);

    if (t >= min_unix_timestamp - 1) {
        if (const auto next = next_transition(zone, t)) {
            FUZZ_CHECK(next->instant > t && next->instant <= max_unix_timestamp);
            FUZZ_CHECK(next->offset_before != next->offset_after);
            FUZZ_CHECK(type_at(zone, next->instant).utc_offset == next->offset_after);
            FUZZ_CHECK(type_at(zone, next->instant - 1).utc_offset == next->offset_before);
            FUZZ_CHECK(type.utc_offset == next->offset_before);  // no change skipped on the way
            const auto back = previous_transition(zone, next->instant);
            FUZZ_CHECK(!back || back->instant <= t);
        }
    }
    if (t <= max_unix_timestamp + 1) {
        if (const auto previous = previous_transition(zone, t)) {
            FUZZ_CHECK(previous->instant < t && previous->instant >= min_unix_timestamp);
            FUZZ_CHECK(previous->offset_before != previous->offset_after);
            FUZZ_CHECK(type_at(zone, previous->instant).utc_offset == previous->offset_after);
            FUZZ_CHECK(type_at(zone, previous->instant - 1).utc_offset == previous->offset_before);
            FUZZ_CHECK(type_at(zone, t - 1).utc_offset == previous->offset_after);
            const auto again = next_transition(zone, previous->instant);
            FUZZ_CHECK(!again || again->instant >= t);
        }
    }

    // Local readings near the instant's own, each side of its offset; none
    // beyond 2^61 s, out of every calendar's reach (and of the sums' range).
    constexpr std::int64_t reach = std::int64_t{1} << 61;
    if (t <= -reach || t >= reach) return;
    for (const std::int64_t local : {t + type.utc_offset, t + type.utc_offset - 1, t + 86400, t - 86400}) {
        const LocalResolution got = resolve_local(zone, local);
        // The shortcut for readings far from every transition answers as the walk does.
        const LocalResolution walked = plain_resolve_local(zone, local);
        FUZZ_CHECK(got.kind == walked.kind && got.earlier == walked.earlier && got.later == walked.later);
        if (got.kind == LocalKind::Skipped) {
            const ZoneTransition& jump = got.transition;
            FUZZ_CHECK(jump.instant + jump.offset_before <= local && local < jump.instant + jump.offset_after);
            FUZZ_CHECK(type_at(zone, jump.instant).utc_offset == jump.offset_after);
            FUZZ_CHECK(type_at(zone, jump.instant - 1).utc_offset == jump.offset_before);
            FUZZ_CHECK(got.earlier == local - jump.offset_after && got.later == local - jump.offset_before);
        } else {
            FUZZ_CHECK(got.earlier + type_at(zone, got.earlier).utc_offset == local);
            FUZZ_CHECK(got.later + type_at(zone, got.later).utc_offset == local);
            FUZZ_CHECK(got.kind == LocalKind::Unique ? got.earlier == got.later : got.earlier < got.later);
        }
        if (offsets.empty()) continue;
        // Every instant that maps to the reading is local - offset for one of
        // the zone's offsets: the exact set, against which the kind and the
        // first and last instant are checked.
        std::vector<std::int64_t> instants;
        for (const std::int32_t offset : offsets) {
            if (type_at(zone, local - offset).utc_offset == offset) instants.push_back(local - offset);
        }
        std::sort(instants.begin(), instants.end());
        if (instants.empty()) {
            FUZZ_CHECK(got.kind == LocalKind::Skipped);
        } else {
            FUZZ_CHECK(got.kind == (instants.size() == 1 ? LocalKind::Unique : LocalKind::Repeated));
            FUZZ_CHECK(got.earlier == instants.front() && got.later == instants.back());
        }
    }
}

std::vector<std::int32_t> offsets_of(const std::vector<LocalTimeType>& types, const PosixRule* rule) {
    std::set<std::int32_t> offsets;
    for (const LocalTimeType& type : types) offsets.insert(type.utc_offset);
    if (rule) offsets.insert({rule->std_offset, rule->dst_offset});
    if (offsets.size() > 32) return {};
    return {offsets.begin(), offsets.end()};
}

// a + b, wrapping at the ends of 64 bits: a file's transitions may lie at either end.
std::int64_t wrapping_add(std::int64_t a, std::int64_t b) {
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(a) + static_cast<std::uint64_t>(b));
}

void check_zone(const ZoneView& zone, const std::vector<std::int32_t>& offsets, std::string_view input) {
    std::vector<std::int64_t> instants = {min_unix_timestamp, max_unix_timestamp, 0};
    for (std::size_t i = 0; i < zone.transitions.size() && i < 32; ++i) {
        for (int step : {-1, 0, 1}) instants.push_back(wrapping_add(zone.transitions[i], step));
    }
    if (!zone.transitions.empty()) instants.push_back(wrapping_add(zone.transitions.back(), 1));
    for (const std::int64_t number : numbers_of(input, 6)) instants.push_back(instant_from(number));
    for (const std::int64_t t : instants) check_zone_at(zone, offsets, t);
}

void fuzz_tzif(std::string_view bytes) {
    const auto layout = read_tzif_layout(bytes);
    if (!layout) {
        FUZZ_CHECK(!describe(layout.error()).empty());
        return;
    }
    const TzifCounts& counts = layout->counts;
    FUZZ_CHECK(counts.types >= 1 && counts.characters >= 1);
    std::vector<std::int64_t> transitions(counts.transitions);
    std::vector<std::uint8_t> transition_types(counts.transitions);
    std::vector<LocalTimeType> types(counts.types);
    std::vector<char> abbreviations(counts.characters);
    decode_tzif(bytes, *layout, {transitions, transition_types, types, abbreviations});
    FUZZ_CHECK(std::is_sorted(transitions.begin(), transitions.end()));
    for (const LocalTimeType& type : types) {
        // Each abbreviation ends within the characters: a read past them is
        // ASan's to see.
        FUZZ_CHECK(std::strlen(abbreviations.data() + type.abbreviation) < counts.characters);
    }

    std::optional<PosixRule> rule;
    if (!layout->footer.empty()) {
        const auto parsed = parse_posix_rule(layout->footer);
        FUZZ_CHECK(parsed.has_value());
        rule = *parsed;
    }
    // The index of the transitions, as the module builds it: its counts are
    // the binary search's, and every query below goes through it.
    const IndexPlan plan = plan_index(transitions);
    std::vector<std::uint16_t> counts_of_stretches(plan.counts);
    if (plan.counts > 0) build_index(transitions, plan, counts_of_stretches);
    const TransitionIndex index{plan.origin, counts_of_stretches};
    for (const std::int64_t number : numbers_of(bytes, 4)) {
        // A transition, or a second either side of it (wrapping at the ends of 64 bits).
        const std::int64_t t =
            transitions.empty()
                ? number
                : wrapping_add(transitions[static_cast<std::uint64_t>(number) % transitions.size()], number % 3 - 1);
        FUZZ_CHECK(indexed_transitions_until(transitions, index, t) == tz::impl::transitions_until(transitions, t));
    }
    const ZoneView zone{transitions, transition_types, types, abbreviations, rule ? &*rule : nullptr, index};
    check_zone(zone, offsets_of(types, zone.rule), bytes);

    // The table carried on by the rule, as the module keeps it, answers as
    // the zone does.
    const ExtensionPlan extension = plan_extension(zone);
    if (extension.changes == 0) return;
    std::vector<std::int64_t> more_transitions(transitions.size() + extension.changes);
    std::vector<std::uint8_t> more_types_of(transitions.size() + extension.changes);
    std::vector<LocalTimeType> more_types(types.size() + 2);
    std::vector<char> more_abbreviations(abbreviations.size() + extension.characters);
    extend_table(zone, extension, {more_transitions, more_types_of, more_types, more_abbreviations});
    const ZoneView extended{more_transitions, more_types_of, more_types, more_abbreviations, zone.rule};
    for (const std::int64_t number : numbers_of(bytes, 4)) {
        const std::int64_t t = transitions.back() + number % 5000000000;
        FUZZ_CHECK(type_at(extended, t) == type_at(zone, t));
        FUZZ_CHECK(next_transition(extended, t) == next_transition(zone, t));
    }
}

void fuzz_rule(std::string_view input) {
    const std::string_view text = input.substr(0, input.find('\n'));
    const auto parsed = parse_posix_rule(text);
    if (!parsed) return;
    const PosixRule& rule = *parsed;
    FUZZ_CHECK(rule.std_abbreviation.size() >= 3 && rule.std_offset >= -86400 && rule.std_offset <= 86400);
    FUZZ_CHECK(!rule.has_dst ||
               (rule.dst_abbreviation.size() >= 3 && rule.dst_offset >= -86400 && rule.dst_offset <= 86400));

    const std::vector<std::int64_t> numbers = numbers_of(input.substr(text.size()), 4);
    if (rule.has_dst) {
        std::vector<std::int64_t> years = {min_rule_year, max_rule_year, 0, 2000};
        for (const std::int64_t number : numbers) {
            years.push_back(min_rule_year +
                            static_cast<std::int64_t>(static_cast<std::uint64_t>(number) %
                                                      std::uint64_t{max_rule_year - min_rule_year + 1}));
        }
        for (const std::int64_t year : years) {
            // Each change lies within a week and a day of its own year, as the
            // searches assume.
            const RuleTransitions changes = rule_transitions(rule, year);
            const std::int64_t from = tz::impl::year_start(year) - tz::impl::change_reach;
            const std::int64_t to = tz::impl::year_start(year + 1) + tz::impl::change_reach;
            FUZZ_CHECK(changes.start >= from && changes.start <= to && changes.end >= from && changes.end <= to);
        }
        for (const std::int64_t number : numbers) {
            const std::int64_t t = std::clamp(instant_from(number), min_unix_timestamp, max_unix_timestamp);
            const auto next = next_dst_change(rule, t);
            if (!rule.changes_offset && rule.std_offset != rule.dst_offset) FUZZ_CHECK(!next);
            if (!next) continue;
            FUZZ_CHECK(next->instant > t && rule_is_dst(rule, next->instant) == next->dst_after);
            FUZZ_CHECK(rule_is_dst(rule, t) != next->dst_after);
            const auto back = previous_dst_change(rule, next->instant, INT64_MIN);
            FUZZ_CHECK(!back || back->instant <= t);
        }
    }

    // The rule as a zone of its own: no transitions, a type 0 it overrides.
    const std::vector<std::int64_t> transitions;
    const std::vector<std::uint8_t> transition_types;
    const std::vector<LocalTimeType> types = {{0, false, 0}};
    const std::vector<char> abbreviations = {'\0'};
    const ZoneView zone{transitions, transition_types, types, abbreviations, &rule};
    check_zone(zone, offsets_of({}, &rule), input.substr(text.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view input = as_text(data, size);
    if (input.substr(0, 4) == "TZif") {
        fuzz_tzif(input);
    } else {
        fuzz_rule(input);
    }
    return 0;
}
