// CPython 3.14's text writer for 3.13 (see compat.hpp): the one part of the
// version layer that needs definitions besides the export hooks
// (compat_export.cpp).
#include "compat.hpp"
#include "reference.hpp"

#include <cstdarg>
#include <cstring>

#if PY_VERSION_HEX < 0x030E0000

struct PyUnicodeWriter {
    PyObject* pieces;  // a list of str
};

PyUnicodeWriter* PyUnicodeWriter_Create(Py_ssize_t) noexcept {
    auto* writer = static_cast<PyUnicodeWriter*>(PyMem_Malloc(sizeof(PyUnicodeWriter)));
    if (writer == nullptr) {
        PyErr_NoMemory();
        return nullptr;
    }
    writer->pieces = PyList_New(0);
    if (writer->pieces == nullptr) {
        PyMem_Free(writer);
        return nullptr;
    }
    return writer;
}

namespace {

// Appends a new reference; -1 where there is none or it cannot be kept.
int append_piece(PyUnicodeWriter* writer, PyObject* new_piece) noexcept {
    const kairodex::python::Owned piece{new_piece};
    return piece ? PyList_Append(writer->pieces, piece.get()) : -1;
}

}  // namespace

// A negative size, as 3.14's writer has it, means up to the terminating NUL.
int PyUnicodeWriter_WriteUTF8(PyUnicodeWriter* writer, const char* text, Py_ssize_t size) noexcept {
    if (size < 0) size = static_cast<Py_ssize_t>(std::strlen(text));
    return append_piece(writer, PyUnicode_DecodeUTF8(text, size, "strict"));
}

int PyUnicodeWriter_Format(PyUnicodeWriter* writer, const char* format, ...) noexcept {
    std::va_list arguments;
    va_start(arguments, format);
    PyObject* piece = PyUnicode_FromFormatV(format, arguments);
    va_end(arguments);
    return append_piece(writer, piece);
}

PyObject* PyUnicodeWriter_Finish(PyUnicodeWriter* writer) noexcept {
    const kairodex::python::Owned empty{PyUnicode_FromStringAndSize(nullptr, 0)};
    PyObject* text = empty ? PyUnicode_Join(empty.get(), writer->pieces) : nullptr;
    PyUnicodeWriter_Discard(writer);
    return text;
}

void PyUnicodeWriter_Discard(PyUnicodeWriter* writer) noexcept {
    if (writer == nullptr) return;
    Py_DECREF(writer->pieces);
    PyMem_Free(writer);
}

#endif
