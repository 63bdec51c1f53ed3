// numpy, reached through its Python API alone, so that building the module
// needs no numpy headers and importing it needs no numpy: arrays are made with
// numpy.empty and filled through the buffer protocol, and read the same way.
//
// The dtypes the columns make are made once, as objects, and kept: numpy
// reads a dtype's name anew on every call that is given one, and under
// failed allocations its reading of datetime64 names loses references to its
// own dtypes (numpy then reports "Reference count error detected").
#pragma once

#include "reference.hpp"

#include <cstdint>
#include <cstring>

#include "kairodex/columns.hpp"

namespace kairodex::python {

// The dtypes the columns make, by name.
enum class Dtype : std::uint8_t {
    int64,
    int32,
    datetime64_ns,  // then _us, _ms, _s, in the order of columns::Unit
    datetime64_us,
    datetime64_ms,
    datetime64_s,
    datetime64_D,
    timedelta64_ns,
};

inline constexpr int dtype_count = 8;

// A datetime64 of the unit.
constexpr Dtype instants_of(columns::Unit unit) noexcept {
    return static_cast<Dtype>(static_cast<int>(Dtype::datetime64_ns) + static_cast<int>(unit));
}

// numpy and what the columns keep of it, made on first use and kept for the
// process. Null with ImportError set, naming the extra that installs numpy,
// where it is missing (or with the exception of the failed step).
struct Numpy {
    PyObject* module;
    PyObject* empty;
    PyObject* asarray;
    PyObject* dtypes[dtype_count];
};

const Numpy* numpy() noexcept;

// numpy.empty(count, dtype), and where its items start (a new array is one
// contiguous block that nothing else holds yet, so the place stays put while
// the array lives). Null with an exception set.
Owned new_array(Py_ssize_t count, Dtype dtype, void*& data) noexcept;

// array.view(dtype): the same items seen as another type of the same size.
Owned view_as(PyObject* array, Dtype dtype) noexcept;

// A 1-dimensional numpy array of 64-bit counts, read through its buffer:
// datetime64 or timedelta64 counts of any unit from years to nanoseconds
// (`unit`, and `multiple` of it: datetime64[10ms]), or integers.
struct Counts {
    Owned dtype;  // the array's own, for messages
    Owned array;  // the counts as int64, native byte order
    Py_buffer view{};
    bool has_view = false;
    Py_ssize_t rows = 0;
    columns::CountUnit unit = columns::CountUnit::ns;
    std::int64_t multiple = 1;

    Counts() noexcept = default;
    Counts(const Counts&) = delete;
    Counts& operator=(const Counts&) = delete;
    ~Counts() {
        if (has_view) PyBuffer_Release(&view);
    }

    std::int64_t operator[](Py_ssize_t row) const noexcept {
        std::int64_t count;
        std::memcpy(&count, static_cast<const char*>(view.buf) + row * view.strides[0], sizeof count);
        return count;
    }
};

// What a column of counts must hold: instants (datetime64), spans
// (timedelta64) or plain integers (of any type that int64 holds).
enum class CountKind : std::uint8_t { instants, spans, integers };

// Reads `object` (numpy.asarray(object)) as counts of the kind; false with
// TypeError or ValueError set, naming `parameter`, where it holds others.
bool open_counts(PyObject* object, CountKind kind, const char* parameter, Counts& counts) noexcept;

}  // namespace kairodex::python
