// The fence around the fast paths. Every public function of the core that has
// a fast path chooses in one place, in the open:
//
//     constexpr Result<Date> parse_date(std::string_view text) noexcept {
//         return fast::enabled ? fast::parse_date<plain_parse_date>(text) : plain_parse_date(text);
//     }
//
// The plain function is the definition. A fast path that does not take an
// input declines by handing it to the plain function it is given as a
// template argument (so that the call is a direct one, and the fast path
// inlines into its callers as it would alone); where it answers itself, it
// answers as the plain one would, which fuzz/fuzz_fast_plain.cpp and the
// core tests hold it to. A fast path that takes every input (the day counts,
// the time and offset writers) needs no plain function to hand over to; one
// that does only a step of an operation (the split of a nanosecond count in
// from_unix_nanos) declines with an empty optional.
//
// `enabled` is a constant, so the compiler keeps one branch. A build that
// defines KAIRODEX_FAST=0 (CMake: -DKAIRODEX_FAST=OFF) takes the plain branch
// of every such choice and runs the plain core alone; the fast functions
// themselves are still compiled, and tested, in every build.
#pragma once

#ifndef KAIRODEX_FAST
#define KAIRODEX_FAST 1
#endif

namespace kairodex::fast {

inline constexpr bool enabled = KAIRODEX_FAST != 0;

}  // namespace kairodex::fast
