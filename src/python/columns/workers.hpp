// Work split over threads: CPython's own thread API starts them (the module
// links no threading library of its own, and a thread needs no C++ runtime),
// and none of them touches a Python object.
#pragma once

#include "compat.hpp"

namespace kairodex::python {

// Threads one call may use at most.
inline constexpr int max_threads = 64;

// Runs `work(context, index)` for every index from 0 to count - 1 (at most
// max_threads): index 0 on the calling thread, each other on a thread of its
// own, or on the calling thread where one cannot be started; returns when all
// are done. Called with the GIL held, which it releases while the work runs
// where `release_gil` says so (the work then must not need it).
void run_split(int count, void (*work)(void* context, int index), void* context, bool release_gil) noexcept;

}  // namespace kairodex::python
