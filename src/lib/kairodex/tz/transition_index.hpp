// An index of a zone's transitions by time: for each stretch of 2^22 seconds
// (about 48.5 days) from the index's origin on, how many transitions lie
// before the stretch. Counting the transitions at or before an instant, the
// first step of every lookup, then takes one load and a search among the
// few transitions of one stretch, in place of a binary search over them all
// (eight or nine steps for a zone of the IANA database). It is an
// accelerator: the plain count is the binary search (transitions_until),
// which answers every instant the index does not cover, and which the core
// tests and the fuzz target hold it to.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

namespace kairodex::tz {

// The stretch: 2^22 seconds. Real zones change their offset at most twice
// within one.
constexpr int index_shift = 22;

// How many stretches an index may have per transition: it covers the
// transitions from the earliest whose stretches stay within that many per
// transition (and 256 more) up to the last, which keeps out the far-past
// first transitions of some zone files (at -2^59 s) and bounds the index at
// 34 bytes per transition.
constexpr std::size_t index_stretches_per_transition = 16;
constexpr std::size_t index_spare_stretches = 256;

struct TransitionIndex {
    std::int64_t origin = 0;                // the first stretch's start
    std::span<const std::uint16_t> counts;  // transitions before each stretch, then all of them
};

namespace impl {

// How many transitions lie at or before `t`. Each step halves the range by a
// comparison that feeds a conditional move rather than a branch, so a lookup
// costs the same few cycles whichever way the comparisons go.
constexpr std::size_t transitions_until(std::span<const std::int64_t> transitions, std::int64_t t) noexcept {
    if (transitions.empty()) return 0;
    const std::int64_t* base = transitions.data();
    std::size_t length = transitions.size();
    while (length > 1) {
        const std::size_t half = length / 2;
        base = base[half] <= t ? base + half : base;
        length -= half;
    }
    return static_cast<std::size_t>(base - transitions.data()) + (*base <= t);
}

// The stretch of `t`, as counted from `origin`.
constexpr std::uint64_t stretch_of(std::int64_t t, std::int64_t origin) noexcept {
    return (static_cast<std::uint64_t>(t) - static_cast<std::uint64_t>(origin)) >> index_shift;
}

}  // namespace impl

// Where an index of `transitions` starts and how many counts it holds: none
// (0) for fewer than two transitions or more than a count can say.
struct IndexPlan {
    std::int64_t origin;
    std::size_t counts;
};

constexpr IndexPlan plan_index(std::span<const std::int64_t> transitions) noexcept {
    const std::size_t n = transitions.size();
    if (n < 2 || n > UINT16_MAX) return {0, 0};
    const std::int64_t last = transitions[n - 1];
    const std::uint64_t most = index_stretches_per_transition * n + index_spare_stretches;
    std::size_t first = 0;
    // Stretches are counted in unsigned arithmetic: the transitions ascend,
    // so last - t fits 64 bits unsigned whatever their signs.
    while (first + 1 < n && impl::stretch_of(last, transitions[first]) >= most) ++first;
    // The origin: the first transition's stretch boundary, rounded towards
    // the past, so that it lies on a multiple of the stretch.
    const std::int64_t origin =
        transitions[first] - static_cast<std::int64_t>(static_cast<std::uint64_t>(transitions[first]) &
                                                       ((std::uint64_t{1} << index_shift) - 1));
    return {origin, static_cast<std::size_t>(impl::stretch_of(last, origin)) + 2};
}

// Fills `counts` (as many as the plan says) with the transitions before each
// stretch, then all of them.
constexpr void build_index(std::span<const std::int64_t> transitions, const IndexPlan& plan,
                           std::span<std::uint16_t> counts) noexcept {
    std::size_t before = 0;
    for (std::size_t stretch = 0; stretch + 1 < plan.counts; ++stretch) {
        const std::int64_t start = plan.origin + static_cast<std::int64_t>(stretch << index_shift);
        while (before < transitions.size() && transitions[before] < start) ++before;
        counts[stretch] = static_cast<std::uint16_t>(before);
    }
    counts[plan.counts - 1] = static_cast<std::uint16_t>(transitions.size());
}

// How many transitions lie at or before `t`: by the index where it covers
// `t`, else by the binary search over them all.
constexpr std::size_t indexed_transitions_until(std::span<const std::int64_t> transitions, const TransitionIndex& index,
                                                std::int64_t t) noexcept {
    if (!index.counts.empty() && t >= index.origin) {
        const std::uint64_t stretch = impl::stretch_of(t, index.origin);
        if (stretch + 1 < index.counts.size()) {
            const std::size_t from = index.counts[stretch], to = index.counts[stretch + 1];
            return from + impl::transitions_until(transitions.subspan(from, to - from), t);
        }
    }
    return impl::transitions_until(transitions, t);
}

}  // namespace kairodex::tz
