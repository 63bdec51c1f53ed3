#include "text.hpp"

#include <cstdint>
#include <cstring>

namespace kairodex::python {

namespace {

// Copies `size` bytes, 4 to 7, in two overlapping words; returns whether
// every byte was ASCII.
bool copy_short_ascii(char* to, const char* from, std::size_t size) noexcept {
    const std::uint32_t high = move_word<std::uint32_t>(to, from, 0) | move_word<std::uint32_t>(to, from, size - 4);
    return (high & 0x80808080) == 0;
}

}  // namespace

PyObject* text_to_python_slowly(const ReprBuffer& buffer) noexcept {
    if (buffer.overflowed()) {
        PyErr_SetString(PyExc_ValueError, "Representation exceeds formatting buffer");
        return nullptr;
    }
    const std::string_view text = buffer.view();
    // A short ASCII text is copied in two words, checked on the way: the
    // weekdays' names and the offsets, 6 or 7 characters, the shortest text
    // forms there are. (Anything shorter is left to the decoder; a text of
    // eight or more comes here only when it is not ASCII.)
    if (text.size() >= 4 && text.size() < 8) {
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
