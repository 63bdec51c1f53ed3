// Text forms into Python: every str and repr is written into a fixed 128-byte
// buffer, then becomes a str, copied a word at a time where it can be.
#pragma once

#include "reference.hpp"

#include <cstdint>
#include <cstring>
#include <string_view>

#include "kairodex/text_buffer.hpp"

namespace kairodex::python {

// Every text form is written into a fixed 128-byte buffer, then becomes a str.
using ReprBuffer = TextBuffer<128>;

// Moves the `Word` at `from + at` to `to + at` and returns it.
template <class Word>
Word move_word(char* to, const char* from, std::size_t at) noexcept {
    Word word;
    std::memcpy(&word, from + at, sizeof word);
    std::memcpy(to + at, &word, sizeof word);
    return word;
}

// The text as a str, by whatever way suits it: overflow, texts of fewer than
// eight characters and texts that are not ASCII (which no text form is).
PyObject* text_to_python_slowly(const ReprBuffer& buffer) noexcept;

// The text as a str. A text of eight ASCII characters or more, which is
// nearly every text form, becomes a one-byte str by a copy a word at a time
// (the last word overlapping the one before where the length is not a
// multiple of eight), its high bits checked on the way: no decoder, no call
// but the allocation. Anything else goes the slow way.
inline PyObject* text_to_python(const ReprBuffer& buffer) noexcept {
    const std::string_view text = buffer.view();
    if (buffer.overflowed() || text.size() < 8) return text_to_python_slowly(buffer);
    Owned result{PyUnicode_New(static_cast<Py_ssize_t>(text.size()), 127)};
    if (!result) return nullptr;
    char* to = static_cast<char*>(PyUnicode_DATA(result.get()));
    std::uint64_t high = move_word<std::uint64_t>(to, text.data(), text.size() - 8);
    for (std::size_t at = 0; at + 8 < text.size(); at += 8) high |= move_word<std::uint64_t>(to, text.data(), at);
    if ((high & 0x8080808080808080) == 0) return result.release();
    return text_to_python_slowly(buffer);
}

}  // namespace kairodex::python
