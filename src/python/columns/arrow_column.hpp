// The columns kairodex_columns hands to Arrow consumers: buffers that the
// ArrowColumn object and every array exported from it share, counted, so that
// a consumer may keep an array after the object is gone and release it from
// any thread.
#pragma once

#include "classes.hpp"

#include <atomic>
#include <cstdint>

#include "columns/raw_memory.hpp"

namespace kairodex::python {

// The Arrow types of the columns: the format string the C data interface
// names each by, and the name a person reads.
struct ArrowType {
    const char* format;  // "tsn:UTC"
    const char* name;    // "timestamp[ns, tz=UTC]"
};

struct ColumnBuffers {
    std::atomic<std::int64_t> holders;  // the ArrowColumn, and each array exported and not yet released
    std::int64_t length;
    std::int64_t null_count;
    std::uint8_t* validity;  // a bit per row, 1 where it has a value; null where no row is missing
    void* values;
    ArrowType type;
};

// A column of `length` rows of `type`, taking over `values` and `validity`
// (either may be empty: null where no row is missing). Null, with
// MemoryError set, where memory ran out.
ColumnBuffers* make_column_buffers(ArrowType type, std::int64_t length, std::int64_t null_count,
                                   RawArray<std::uint8_t>& validity, void* values) noexcept;

// Gives back one holder's share; the last gives back the memory. Any thread.
void drop_column_buffers(ColumnBuffers* buffers) noexcept;

// A new ArrowColumn object holding `buffers` (its holder's share taken
// over: given back where the object cannot be made). Null with an exception set.
PyObject* new_arrow_column(ColumnBuffers* buffers) noexcept;

}  // namespace kairodex::python
