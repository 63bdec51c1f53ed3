#include "entry.hpp"

#include <cstdint>
#include <cstring>

namespace kairodex::python {

namespace {

// Moves the `Word` at `at` and returns it.
template <class Word>
Word move_word(char* to, const char* from, std::size_t at) noexcept {
    Word word;
    std::memcpy(&word, from + at, sizeof word);
    std::memcpy(to + at, &word, sizeof word);
    return word;
}

// Copies `size` bytes (at least 2) a word at a time, the last word overlapping
// the one before where the size is not a multiple of the word; returns whether
// every byte was ASCII (the high bits of all words ORed together are zero).
bool copy_ascii(char* to, const char* from, std::size_t size) noexcept {
    if (size >= 8) {
        std::uint64_t high = 0;
        std::size_t at = 0;
        for (; at + 8 <= size; at += 8) high |= move_word<std::uint64_t>(to, from, at);
        if (at < size) high |= move_word<std::uint64_t>(to, from, size - 8);
        return (high & 0x8080808080808080) == 0;
    }
    if (size >= 4) {
        const std::uint32_t high = move_word<std::uint32_t>(to, from, 0) | move_word<std::uint32_t>(to, from, size - 4);
        return (high & 0x80808080) == 0;
    }
    const std::uint16_t high = move_word<std::uint16_t>(to, from, 0) | move_word<std::uint16_t>(to, from, size - 2);
    return (high & 0x8080) == 0;
}

}  // namespace

PyObject* text_to_python(const ReprBuffer& buffer) noexcept {
    if (buffer.overflowed()) {
        PyErr_SetString(PyExc_ValueError, "Representation exceeds formatting buffer");
        return nullptr;
    }
    const std::string_view text = buffer.view();
    // The text forms are ASCII: such a text becomes a one-byte str by a plain
    // copy, without the decoder, checked on the way. (Single characters are
    // left to the decoder, which hands out its shared objects for them.)
    if (text.size() > 1) {
        PyObject* result = PyUnicode_New(static_cast<Py_ssize_t>(text.size()), 127);
        if (result == nullptr) return nullptr;
        if (copy_ascii(static_cast<char*>(PyUnicode_DATA(result)), text.data(), text.size())) return result;
        Py_DECREF(result);  // not ASCII after all: the decoder says what it is
    }
    PyObject* result = PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "strict");
    if (result == nullptr && PyErr_ExceptionMatches(PyExc_UnicodeDecodeError)) {
        PyErr_SetString(PyExc_ValueError, "Invalid UTF-8 in representation");
    }
    return result;
}

}  // namespace kairodex::python
