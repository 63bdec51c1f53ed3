#include "entry.hpp"

namespace kairodex::python {

PyObject* text_to_python(const ReprBuffer& buffer) noexcept {
    if (buffer.overflowed()) {
        PyErr_SetString(PyExc_ValueError, "Representation exceeds formatting buffer");
        return nullptr;
    }
    const std::string_view text = buffer.view();
    PyObject* result = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "strict");
    if (result == nullptr && PyErr_ExceptionMatches(PyExc_UnicodeDecodeError)) {
        PyErr_SetString(PyExc_ValueError, "Invalid UTF-8 in representation");
    }
    return result;
}

}  // namespace kairodex::python
