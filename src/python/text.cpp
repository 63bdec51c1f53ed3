#include "text.hpp"

#include <cstdint>
#include <cstring>

namespace kairodex::python {

namespace {

// Copies `size` bytes, 2 to 7, in two overlapping words; returns whether
// every byte was ASCII.
bool copy_short_ascii(char* to, const char* from, std::size_t size) noexcept {
    if (size >= 4) {
        const std::uint32_t high = move_word<std::uint32_t>(to, from, 0) | move_word<std::uint32_t>(to, from, size - 4);
        return (high & 0x80808080) == 0;
    }
    const std::uint16_t high = move_word<std::uint16_t>(to, from, 0) | move_word<std::uint16_t>(to, from, size - 2);
    return (high & 0x8080) == 0;
}

}  // namespace

PyObject* text_to_python_slowly(const ReprBuffer& buffer) noexcept {
    if (buffer.overflowed()) {
        PyErr_SetString(PyExc_ValueError, "Representation exceeds formatting buffer");
        return nullptr;
    }
    const std::string_view text = buffer.view();
    // A short ASCII text is copied in two words, checked on the way. (Single
    // characters are left to the decoder, which hands out its shared objects
    // for them; and a text of eight or more comes here only when it is not
    // ASCII.)
    if (text.size() > 1 && text.size() < 8) {
        Owned result{PyUnicode_New(static_cast<Py_ssize_t>(text.size()), 127)};
        if (!result) return nullptr;
        if (copy_short_ascii(static_cast<char*>(PyUnicode_DATA(result.get())), text.data(), text.size())) {
            return result.release();
        }
        // Not ASCII after all: the decoder says what it is.
    }
    PyObject* result = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "strict");
    if (result == nullptr && PyErr_ExceptionMatches(PyExc_UnicodeDecodeError)) {
        PyErr_SetString(PyExc_ValueError, "Invalid UTF-8 in representation");
    }
    return result;
}

}  // namespace kairodex::python
