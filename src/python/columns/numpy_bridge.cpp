#include "columns/numpy_bridge.hpp"

#include <atomic>
#include <new>
#include <string_view>
#include <utility>

namespace kairodex::python {
namespace {

constexpr const char* dtype_names[dtype_count] = {"int64",          "int32",          "datetime64[ns]",
                                                  "datetime64[us]", "datetime64[ms]", "datetime64[s]",
                                                  "datetime64[D]",  "timedelta64[ns]"};

// Made once, then kept: the first thread to store it wins.
std::atomic<Numpy*> kept = nullptr;

// ImportError naming the extra, with numpy's own ImportError as its cause.
void raise_missing_numpy() noexcept {
    PyObject* cause = PyErr_GetRaisedException();
    PyErr_SetString(PyExc_ImportError,
                    "kairodex_columns needs numpy for numpy arrays: pip install 'kairodex[columns]' (or pass "
                    "to_arrow=True for Arrow arrays)");
    PyObject* error = PyErr_GetRaisedException();
    PyException_SetCause(error, cause);  // takes the cause's reference
    PyErr_SetRaisedException(error);
}

void forget(Numpy& made) noexcept {
    Py_XDECREF(made.module);
    Py_XDECREF(made.empty);
    Py_XDECREF(made.asarray);
    for (PyObject* dtype : made.dtypes) Py_XDECREF(dtype);
}

bool make(Numpy& made) noexcept {
    made.module = PyImport_ImportModule("numpy");
    if (made.module == nullptr) {
        if (PyErr_ExceptionMatches(PyExc_ImportError)) raise_missing_numpy();
        return false;
    }
    made.empty = PyObject_GetAttrString(made.module, "empty");
    made.asarray = PyObject_GetAttrString(made.module, "asarray");
    const Owned dtype{PyObject_GetAttrString(made.module, "dtype")};
    if (made.empty == nullptr || made.asarray == nullptr || !dtype) return false;
    for (int i = 0; i < dtype_count; ++i) {
        made.dtypes[i] = PyObject_CallFunction(dtype.get(), "s", dtype_names[i]);
        if (made.dtypes[i] == nullptr) return false;
    }
    return true;
}

// numpy's units of datetime64 and timedelta64 from years to nanoseconds, in
// the order of columns::CountUnit.
constexpr std::string_view unit_words[] = {"Y", "M", "W", "D", "h", "m", "s", "ms", "us", "ns"};

// The unit and its multiple from the dtype's text form, "<M8[10ms]": read
// here rather than by numpy.datetime_data, which fails with SystemError
// where an allocation fails.
bool count_unit(PyObject* dtype, const char* parameter, Counts& counts) noexcept {
    const Owned text{PyObject_GetAttrString(dtype, "str")};
    if (!text) return false;
    const char* form = PyUnicode_Check(text.get()) ? PyUnicode_AsUTF8(text.get()) : "";
    if (form == nullptr) return false;
    const std::string_view whole(form);
    const std::size_t open = whole.find('[');
    if (open != std::string_view::npos && whole.back() == ']') {
        std::string_view unit(whole.data() + open + 1, whole.size() - open - 2);
        long long multiple = 0;
        for (; !unit.empty() && unit.front() >= '0' && unit.front() <= '9'; unit.remove_prefix(1)) {
            multiple = multiple * 10 + (unit.front() - '0');
            if (multiple >= (1ll << 32)) break;
        }
        if (multiple == 0) multiple = 1;
        for (std::size_t i = 0; i < std::size(unit_words); ++i) {
            // Multiples below 2^32 keep every count below 2^100 (columns.hpp).
            if (unit == unit_words[i] && multiple < (1ll << 32)) {
                counts.unit = static_cast<columns::CountUnit>(i);
                counts.multiple = multiple;
                return true;
            }
        }
    }
    PyErr_Format(PyExc_ValueError, "%s: a unit of %S cannot be written (units from years to nanoseconds can)",
                 parameter, dtype);
    return false;
}

}  // namespace

const Numpy* numpy() noexcept {
    if (const Numpy* found = kept.load(std::memory_order_acquire)) return found;
    auto* made = static_cast<Numpy*>(PyMem_RawCalloc(1, sizeof(Numpy)));
    if (made == nullptr) {
        PyErr_NoMemory();
        return nullptr;
    }
    if (!make(*made)) {
        forget(*made);
        PyMem_RawFree(made);
        return nullptr;
    }
    Numpy* expected = nullptr;
    if (kept.compare_exchange_strong(expected, made, std::memory_order_acq_rel)) return made;
    forget(*made);
    PyMem_RawFree(made);
    return expected;
}

Owned new_array(Py_ssize_t count, Dtype dtype, void*& data) noexcept {
    const Numpy* np = numpy();
    if (np == nullptr) return {};
    Owned array{PyObject_CallFunction(np->empty, "nO", count, np->dtypes[static_cast<int>(dtype)])};
    if (!array) return {};
    Py_buffer view;
    if (PyObject_GetBuffer(array.get(), &view, PyBUF_WRITABLE | PyBUF_C_CONTIGUOUS) < 0) return {};
    data = view.buf;
    PyBuffer_Release(&view);
    return array;
}

Owned view_as(PyObject* array, Dtype dtype) noexcept {
    const Numpy* np = numpy();
    if (np == nullptr) return {};
    return Owned{PyObject_CallMethod(array, "view", "O", np->dtypes[static_cast<int>(dtype)])};
}

bool open_counts(PyObject* object, CountKind kind, const char* parameter, Counts& counts) noexcept {
    const Numpy* np = numpy();
    if (np == nullptr) return false;
    Owned array{PyObject_CallOneArg(np->asarray, object)};
    if (!array) return false;
    Owned dtype{PyObject_GetAttrString(array.get(), "dtype")};
    if (!dtype) return false;
    const Owned kind_text{PyObject_GetAttrString(dtype.get(), "kind")};
    if (!kind_text) return false;
    const char* letter = PyUnicode_Check(kind_text.get()) ? PyUnicode_AsUTF8(kind_text.get()) : "";
    if (letter == nullptr) return false;
    const char* wanted = kind == CountKind::instants ? "datetime64"
                         : kind == CountKind::spans  ? "timedelta64"
                                                     : "integers";
    const bool matches = kind == CountKind::instants ? letter[0] == 'M'
                         : kind == CountKind::spans  ? letter[0] == 'm'
                                                     : letter[0] == 'i' || letter[0] == 'u';
    if (!matches) {
        PyErr_Format(PyExc_TypeError, "%s must be an array of %s, not of %S", parameter, wanted, dtype.get());
        return false;
    }
    PyObject* int64 = np->dtypes[static_cast<int>(Dtype::int64)];
    if (kind == CountKind::integers) {
        // Unsigned 64-bit integers may not fit int64; every other integer does.
        const Owned itemsize{PyObject_GetAttrString(dtype.get(), "itemsize")};
        if (!itemsize) return false;
        if (letter[0] == 'u' && PyLong_AsLong(itemsize.get()) >= 8) {
            PyErr_Format(PyExc_TypeError, "%s must be an array of integers that int64 holds, not of %S", parameter,
                         dtype.get());
            return false;
        }
        counts.array = Owned{PyObject_CallMethod(array.get(), "astype", "O", int64)};
    } else {
        if (!count_unit(dtype.get(), parameter, counts)) return false;
        const Owned native{PyObject_GetAttrString(dtype.get(), "isnative")};
        if (!native) return false;
        if (native.get() != Py_True) {
            const Owned swapped{PyObject_CallMethod(dtype.get(), "newbyteorder", "s", "=")};
            if (!swapped) return false;
            array = Owned{PyObject_CallMethod(array.get(), "astype", "O", swapped.get())};
            if (!array) return false;
        }
        counts.array = Owned{PyObject_CallMethod(array.get(), "view", "O", int64)};
    }
    if (!counts.array) return false;
    if (PyObject_GetBuffer(counts.array.get(), &counts.view, PyBUF_STRIDES) < 0) return false;
    counts.has_view = true;
    if (counts.view.ndim != 1) {
        PyErr_Format(PyExc_ValueError, "%s must be 1-dimensional, not of %d dimensions", parameter, counts.view.ndim);
        return false;
    }
    counts.rows = counts.view.shape[0];
    counts.dtype = std::move(dtype);
    return true;
}

}  // namespace kairodex::python
