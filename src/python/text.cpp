#include "entry.hpp"

#include <cstring>

namespace kairodex::python {

PyObject* text_to_python(const ReprBuffer& buffer) noexcept {
    if (buffer.overflowed()) {
        PyErr_SetString(PyExc_ValueError, "Representation exceeds formatting buffer");
        return nullptr;
    }
    const std::string_view text = buffer.view();
    // The text forms are ASCII: such a text becomes a one-byte str by a plain
    // copy, without the decoder. (Single characters are left to the decoder,
    // which hands out its shared objects for them.)
    bool ascii = true;
    for (const char c : text) ascii &= static_cast<unsigned char>(c) < 0x80;
    if (ascii && text.size() > 1) {
        PyObject* result = PyUnicode_New(static_cast<Py_ssize_t>(text.size()), 127);
        if (result != nullptr) std::memcpy(PyUnicode_DATA(result), text.data(), text.size());
        return result;
    }
    PyObject* result = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "strict");
    if (result == nullptr && PyErr_ExceptionMatches(PyExc_UnicodeDecodeError)) {
        PyErr_SetString(PyExc_ValueError, "Invalid UTF-8 in representation");
    }
    return result;
}

}  // namespace kairodex::python
