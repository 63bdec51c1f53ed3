// Opening a column's texts: which kind of source the object is, checked
// before any row is read, and what keeps its rows alive meanwhile.
#include "errors.hpp"

#include "columns/sources.hpp"

#include <bit>
#include <cstring>

namespace kairodex::python {

Source::~Source() {
    for (Py_ssize_t i = 0; i < stream_array_count; ++i) {
        if (stream_arrays[i].release != nullptr) stream_arrays[i].release(&stream_arrays[i]);
    }
    if (has_view) PyBuffer_Release(&view);
}

namespace {

// --- Arrow ------------------------------------------------------------------

// The layout of an Arrow type of strings; false with TypeError set for any
// other type.
bool string_layout(const ArrowSchema& schema, ArrowLayout& layout) noexcept {
    const char* format = schema.format != nullptr ? schema.format : "";
    if (schema.dictionary == nullptr && schema.n_children == 0) {
        if (std::strcmp(format, "u") == 0) {
            layout = ArrowLayout::offsets32;
            return true;
        }
        if (std::strcmp(format, "U") == 0) {
            layout = ArrowLayout::offsets64;
            return true;
        }
        if (std::strcmp(format, "vu") == 0) {
            layout = ArrowLayout::views;
            return true;
        }
    }
    PyErr_Format(PyExc_TypeError,
                 "texts must be Arrow strings (format 'u', 'U' or 'vu'), not an Arrow array of format '%s'%s", format,
                 schema.dictionary != nullptr ? " with a dictionary" : "");
    return false;
}

// Whether an array has the buffers its layout reads: the offsets or views and
// the data, at least; for views, the variadic buffers and their sizes last.
bool well_formed(const ArrowArray& array, ArrowLayout layout) noexcept {
    if (array.release == nullptr || array.length < 0 || array.offset < 0 || array.n_children != 0) return false;
    if (layout == ArrowLayout::views ? array.n_buffers < 3 : array.n_buffers != 3) return false;
    if (array.length == 0) return true;
    if (array.buffers == nullptr || array.buffers[1] == nullptr) return false;
    return layout == ArrowLayout::views || array.buffers[2] != nullptr;
}

bool add_chunks(Source& source, const ArrowArray* arrays, Py_ssize_t count) noexcept {
    if (!source.chunks.allocate(static_cast<std::size_t>(count))) {
        PyErr_NoMemory();
        return false;
    }
    Py_ssize_t rows = 0;
    for (Py_ssize_t i = 0; i < count; ++i) {
        if (!well_formed(arrays[i], source.layout)) {
            PyErr_SetString(PyExc_ValueError, "texts: an Arrow array of strings lacks the buffers of its type");
            return false;
        }
        if (arrays[i].length > PY_SSIZE_T_MAX - rows) {
            PyErr_SetString(PyExc_OverflowError, "texts: the Arrow arrays hold too many rows");
            return false;
        }
        source.chunks[static_cast<std::size_t>(i)] = ArrowChunk{&arrays[i], rows};
        rows += static_cast<Py_ssize_t>(arrays[i].length);
    }
    source.chunk_count = count;
    source.rows = rows;
    source.kind = SourceKind::arrow;
    return true;
}

template <class Struct>
Struct* capsule_pointer(PyObject* capsule, const char* name) noexcept {
    if (!PyCapsule_IsValid(capsule, name)) {
        PyErr_Format(PyExc_TypeError, "texts: expected a PyCapsule named '%s' from the Arrow interface", name);
        return nullptr;
    }
    return static_cast<Struct*>(PyCapsule_GetPointer(capsule, name));
}

// `texts.__arrow_c_array__()`: one array, kept in its capsule.
bool open_arrow_array(PyObject* method, Source& source) noexcept {
    const Owned pair{PyObject_CallNoArgs(method)};
    if (!pair) return false;
    if (!PyTuple_Check(pair.get()) || PyTuple_GET_SIZE(pair.get()) != 2) {
        PyErr_SetString(PyExc_TypeError, "texts: __arrow_c_array__() must return a (schema, array) pair of capsules");
        return false;
    }
    source.schema_capsule = Owned{Py_NewRef(PyTuple_GET_ITEM(pair.get(), 0))};
    source.array_capsule = Owned{Py_NewRef(PyTuple_GET_ITEM(pair.get(), 1))};
    const auto* schema = capsule_pointer<ArrowSchema>(source.schema_capsule.get(), arrow_schema_capsule);
    if (schema == nullptr) return false;
    const auto* array = capsule_pointer<ArrowArray>(source.array_capsule.get(), arrow_array_capsule);
    if (array == nullptr) return false;
    return string_layout(*schema, source.layout) && add_chunks(source, array, 1);
}

// Raises the stream's own error, or its code where it has none.
bool stream_failed(ArrowArrayStream* stream, int code) noexcept {
    const char* text = stream->get_last_error != nullptr ? stream->get_last_error(stream) : nullptr;
    if (text != nullptr) {
        PyErr_Format(PyExc_ValueError, "texts: the Arrow stream failed: %s", text);
    } else {
        PyErr_Format(PyExc_ValueError, "texts: the Arrow stream failed with error %d", code);
    }
    return false;
}

// `texts.__arrow_c_stream__()`: every array of the stream, taken out of it
// and released with the source.
bool open_arrow_stream(PyObject* method, Source& source) noexcept {
    source.stream_capsule = Owned{PyObject_CallNoArgs(method)};
    if (!source.stream_capsule) return false;
    auto* stream = capsule_pointer<ArrowArrayStream>(source.stream_capsule.get(), arrow_stream_capsule);
    if (stream == nullptr) return false;
    if (stream->release == nullptr) {
        PyErr_SetString(PyExc_ValueError, "texts: the Arrow stream was already released");
        return false;
    }
    ArrowSchema schema{};
    if (const int code = stream->get_schema(stream, &schema); code != 0) return stream_failed(stream, code);
    const bool strings = string_layout(schema, source.layout);
    if (schema.release != nullptr) schema.release(&schema);
    if (!strings) return false;
    for (;;) {
        if (!source.stream_arrays.reserve(static_cast<std::size_t>(source.stream_array_count) + 1)) {
            PyErr_NoMemory();
            return false;
        }
        ArrowArray& next = source.stream_arrays[static_cast<std::size_t>(source.stream_array_count)];
        next = ArrowArray{};
        if (const int code = stream->get_next(stream, &next); code != 0) return stream_failed(stream, code);
        if (next.release == nullptr) break;  // the end of the stream
        ++source.stream_array_count;
    }
    return add_chunks(source, source.stream_arrays.data(), source.stream_array_count);
}

// 1 where `texts` speaks the Arrow interface (and was opened, or failed
// with an exception set: then -1), 0 where it does not.
int open_arrow(PyObject* texts, Source& source) noexcept {
    for (const bool stream : {false, true}) {
        Owned method;
        const int found =
            PyObject_GetOptionalAttrString(texts, stream ? "__arrow_c_stream__" : "__arrow_c_array__", method.out());
        if (found < 0) return -1;
        if (found == 0) continue;
        return (stream ? open_arrow_stream(method.get(), source) : open_arrow_array(method.get(), source)) ? 1 : -1;
    }
    return 0;
}

// --- buffers ------------------------------------------------------------------

// numpy's str arrays export their rows as "<12w" (12 code points, a byte
// order first or not): the width, or 0 for another format.
Py_ssize_t code_point_width(const char* format, bool& swapped) noexcept {
    char order = '@';
    if (*format == '@' || *format == '=' || *format == '<' || *format == '>' || *format == '!') order = *format++;
    Py_ssize_t width = 0;
    for (; *format >= '0' && *format <= '9'; ++format) {
        if (width > PY_SSIZE_T_MAX / 40) return 0;
        width = width * 10 + (*format - '0');
    }
    if (format[0] != 'w' || format[1] != '\0') return 0;
    const bool big = order == '>' || order == '!';
    const bool little = order == '<';
    swapped =
        (big && std::endian::native == std::endian::little) || (little && std::endian::native == std::endian::big);
    return width == 0 ? 1 : width;  // "w" alone is one code point
}

bool is_byte_format(const char* format) noexcept {
    return format == nullptr || std::strcmp(format, "B") == 0 || std::strcmp(format, "b") == 0 ||
           std::strcmp(format, "c") == 0;
}

// 1 where `texts` is a buffer of lines or of code points (opened, or -1 with
// an exception set), 0 where it exports no buffer or one of objects.
int open_buffer(PyObject* texts, Source& source) noexcept {
    if (!PyObject_CheckBuffer(texts)) return 0;
    if (PyObject_GetBuffer(texts, &source.view, PyBUF_RECORDS_RO) < 0) return -1;
    source.has_view = true;
    const Py_buffer& view = source.view;
    if (view.format != nullptr && std::strcmp(view.format, "O") == 0) {
        // numpy's object arrays: their str objects are read as any sequence's.
        PyBuffer_Release(&source.view);
        source.has_view = false;
        return 0;
    }
    if (view.itemsize == 1 && is_byte_format(view.format)) {
        if (view.ndim > 1 || !PyBuffer_IsContiguous(&view, 'C')) {
            PyErr_SetString(PyExc_ValueError, "texts: a buffer of lines must be one contiguous run of bytes");
            return -1;
        }
        source.kind = SourceKind::lines;
        source.buffer = std::string_view(static_cast<const char*>(view.buf), static_cast<std::size_t>(view.len));
        return 1;
    }
    bool swapped = false;
    const Py_ssize_t width = view.format != nullptr ? code_point_width(view.format, swapped) : 0;
    if (width > 0 && view.itemsize == 4 * width) {
        if (view.ndim != 1) {
            PyErr_Format(PyExc_ValueError, "texts: expected a 1-dimensional array, not %d dimensions", view.ndim);
            return -1;
        }
        source.kind = SourceKind::ucs4;
        source.rows = view.shape[0];
        source.base = static_cast<const char*>(view.buf);
        source.stride = view.strides[0];
        source.width = width;
        source.swapped = swapped;
        return 1;
    }
    PyErr_Format(PyExc_TypeError,
                 "texts: a buffer of format '%s' holds no texts (expected bytes of lines, or a numpy array of str)",
                 view.format != nullptr ? view.format : "B");
    return -1;
}

// --- sequences of str objects -------------------------------------------------

bool open_objects(PyObject* texts, Source& source) noexcept {
    if (PyList_CheckExact(texts) || PyTuple_CheckExact(texts)) {
        source.keep = Owned{Py_NewRef(texts)};
    } else {
        const Owned iterator{PyObject_GetIter(texts)};
        if (!iterator) {
            if (PyErr_ExceptionMatches(PyExc_TypeError)) {
                PyErr_Format(PyExc_TypeError,
                             "texts must be an iterable of str, a numpy or Arrow array of strings, or a buffer of "
                             "lines, not '%T'",
                             texts);
            }
            return false;
        }
        // A list of the call's own, which no other code can reach.
        source.keep = Owned{PySequence_List(iterator.get())};
        if (!source.keep) return false;
    }
    PyObject* sequence = source.keep.get();
    source.kind = SourceKind::objects;
    source.rows = PySequence_Fast_GET_SIZE(sequence);
    source.items = PySequence_Fast_ITEMS(sequence);
    source.needs_gil = PyList_CheckExact(sequence) && sequence == texts;
    return true;
}

}  // namespace

bool open_source(PyObject* texts, Source& source) noexcept {
    if (PyUnicode_Check(texts)) {
        PyErr_SetString(PyExc_TypeError,
                        "texts must be a column of texts, not one str (put it in a list, or encode lines as bytes)");
        return false;
    }
    if (const int arrow = open_arrow(texts, source); arrow != 0) return arrow > 0;
    if (const int buffer = open_buffer(texts, source); buffer != 0) return buffer > 0;
    return open_objects(texts, source);
}

}  // namespace kairodex::python
