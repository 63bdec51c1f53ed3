// Where the texts of a column come from, and how one row's text is had from
// there: str objects (a list, a tuple, any other iterable, numpy's object
// arrays), numpy's fixed-width str arrays, Arrow string arrays (one, or the
// chunks of a stream), and a buffer of lines. Every reader but that of str
// objects in a list reads its rows without the GIL and makes no Python object.
#pragma once

#include "reference.hpp"

#include <cstdint>
#include <cstring>
#include <string_view>
#include <type_traits>

#include "columns/arrow.hpp"
#include "columns/raw_memory.hpp"

namespace kairodex::python {

enum class SourceKind : std::uint8_t {
    objects,  // str objects, or None for a missing row
    ucs4,     // numpy's str arrays: fixed-width rows of code points, NUL-padded
    lines,    // a buffer of lines (columns::Lines)
    arrow,    // Arrow arrays of strings
};

// How Arrow arrays of strings lay out their rows.
enum class ArrowLayout : std::uint8_t {
    offsets32,  // "u": 32-bit offsets into one data buffer
    offsets64,  // "U": 64-bit offsets
    views,      // "vu": 16-byte views, short texts inline, others in variadic buffers
};

// One Arrow array of a column, and the place of its first row in the column.
struct ArrowChunk {
    const ArrowArray* array;
    Py_ssize_t first_row;
};

// The texts of a column, opened from the object a caller passed, and what
// keeps them alive and unchanged while they are read.
struct Source {
    SourceKind kind = SourceKind::objects;
    Py_ssize_t rows = 0;  // for lines, known once they are counted
    // Whether rows may be read only while no Python code runs: the str
    // objects of a caller's list, which any Python code could change.
    bool needs_gil = false;

    PyObject* const* items = nullptr;  // objects: borrowed from `keep`

    const char* base = nullptr;  // ucs4: the first row
    Py_ssize_t stride = 0;       //   bytes from one row to the next
    Py_ssize_t width = 0;        //   code points a row
    bool swapped = false;        //   of the other byte order

    std::string_view buffer;  // lines

    ArrowLayout layout = ArrowLayout::offsets32;  // arrow
    RawArray<ArrowChunk> chunks;
    Py_ssize_t chunk_count = 0;

    Source() noexcept = default;
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;
    ~Source();

    // What keeps the rows: the sequence of objects, the buffer's exporter, the
    // Arrow capsules; arrays taken from an Arrow stream are released here.
    Owned keep;
    Py_buffer view{};
    bool has_view = false;
    Owned schema_capsule, array_capsule, stream_capsule;
    RawArray<ArrowArray> stream_arrays;
    Py_ssize_t stream_array_count = 0;
};

// Opens `texts` as a column's source; false with an exception set where it is
// none.
bool open_source(PyObject* texts, Source& source) noexcept;

// ---------------------------------------------------------------------------
// One row's text
// ---------------------------------------------------------------------------

struct RowText {
    enum class State : std::uint8_t { text, missing, not_text, no_memory };
    std::string_view text;
    State state = State::text;
};

// Where a row's text is written when it is not in the source as UTF-8 (code
// points of a numpy array, a str that is not ASCII): one per worker.
using Scratch = RawArray<char>;

// Code points as UTF-8 into `out`, which holds 4 bytes for each. A lone
// surrogate is written as its three bytes (as the "surrogatepass" handler
// writes it), so that no grammar takes it and its message shows it; a value
// past U+10FFFF, which no str holds but a numpy array may, as a byte that
// UTF-8 never uses.
template <class Unit>
std::size_t encode_utf8(const Unit* units, std::size_t count, char* out, bool swapped = false) noexcept {
    char* at = out;
    for (std::size_t i = 0; i < count; ++i) {
        Unit unit;
        std::memcpy(&unit, units + i, sizeof unit);  // a numpy row may be aligned to its bytes alone
        std::uint32_t c = unit;
        if constexpr (sizeof(Unit) == 4) {
            if (swapped) c = c >> 24 | (c >> 8 & 0xFF00) | (c << 8 & 0xFF0000) | c << 24;
        }
        if (c < 0x80) {
            *at++ = static_cast<char>(c);
        } else if (c < 0x800) {
            *at++ = static_cast<char>(0xC0 | c >> 6);
            *at++ = static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *at++ = static_cast<char>(0xE0 | c >> 12);
            *at++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
            *at++ = static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x110000) {
            *at++ = static_cast<char>(0xF0 | c >> 18);
            *at++ = static_cast<char>(0x80 | (c >> 12 & 0x3F));
            *at++ = static_cast<char>(0x80 | (c >> 6 & 0x3F));
            *at++ = static_cast<char>(0x80 | (c & 0x3F));
        } else {
            *at++ = static_cast<char>(0xFF);
        }
    }
    return static_cast<std::size_t>(at - out);
}

// A str object's text: in place where it is ASCII, else encoded into the
// scratch. Reads only what the str object holds, which never changes.
inline RowText str_text(PyObject* item, Scratch& scratch) noexcept {
    if (item == Py_None) return {{}, RowText::State::missing};
    if (!PyUnicode_Check(item)) return {{}, RowText::State::not_text};
    const auto length = static_cast<std::size_t>(PyUnicode_GET_LENGTH(item));
    if (PyUnicode_IS_COMPACT_ASCII(item)) return {{static_cast<const char*>(PyUnicode_DATA(item)), length}};
    if (!scratch.reserve(4 * length)) return {{}, RowText::State::no_memory};
    const void* data = PyUnicode_DATA(item);
    std::size_t size = 0;
    switch (PyUnicode_KIND(item)) {
    case PyUnicode_1BYTE_KIND: size = encode_utf8(static_cast<const Py_UCS1*>(data), length, scratch.data()); break;
    case PyUnicode_2BYTE_KIND: size = encode_utf8(static_cast<const Py_UCS2*>(data), length, scratch.data()); break;
    default: size = encode_utf8(static_cast<const Py_UCS4*>(data), length, scratch.data()); break;
    }
    return {{scratch.data(), size}};
}

// A row of a numpy str array: its code points up to the NUL padding (numpy
// drops trailing NULs, and keeps any other). Nearly every row is ASCII and is
// narrowed in one pass that also finds out whether it is; the scratch holds
// 4 bytes for each code point of a row.
inline RowText ucs4_text(const Source& source, Py_ssize_t row, Scratch& scratch) noexcept {
    const auto* units = reinterpret_cast<const std::uint32_t*>(source.base + row * source.stride);
    const auto width = static_cast<std::size_t>(source.width);
    char* out = scratch.data();
    std::uint32_t high = 0;
    for (std::size_t i = 0; i < width; ++i) {
        std::uint32_t c;
        std::memcpy(&c, units + i, sizeof c);
        high |= c;
        out[i] = static_cast<char>(c);
    }
    if (source.swapped) high = ~std::uint32_t{0};
    std::size_t length = width;
    if (high < 0x80) {
        while (length > 0 && out[length - 1] == '\0') --length;
        return {{out, length}};
    }
    // Not ASCII: the code points again, through the encoder.
    while (length > 0) {
        std::uint32_t c;
        std::memcpy(&c, units + length - 1, sizeof c);
        if (c != 0) break;
        --length;
    }
    return {{out, encode_utf8(units, length, out, source.swapped)}};
}

// Row `index` of an Arrow array of the layout; null entries are missing.
template <ArrowLayout layout>
RowText arrow_text(const ArrowArray& array, std::int64_t index) noexcept {
    const std::int64_t at = array.offset + index;
    const auto* validity = static_cast<const std::uint8_t*>(array.buffers[0]);
    if (validity != nullptr && array.null_count != 0 && (validity[at >> 3] >> (at & 7) & 1) == 0) {
        return {{}, RowText::State::missing};
    }
    if constexpr (layout == ArrowLayout::views) {
        // 16 bytes a view: the length, then a text of up to 12 bytes in
        // place, or its first 4 bytes, its buffer's index among the variadic
        // buffers (which follow the views) and its place there.
        const char* view = static_cast<const char*>(array.buffers[1]) + 16 * at;
        std::int32_t length, buffer, offset;
        std::memcpy(&length, view, 4);
        if (length <= 12) return {{view + 4, static_cast<std::size_t>(length)}};
        std::memcpy(&buffer, view + 8, 4);
        std::memcpy(&offset, view + 12, 4);
        const auto* data = static_cast<const char*>(array.buffers[2 + buffer]);
        return {{data + offset, static_cast<std::size_t>(length)}};
    } else {
        using Offset = std::conditional_t<layout == ArrowLayout::offsets32, std::int32_t, std::int64_t>;
        const auto* offsets = static_cast<const Offset*>(array.buffers[1]);
        const auto* data = static_cast<const char*>(array.buffers[2]);
        return {{data + offsets[at], static_cast<std::size_t>(offsets[at + 1] - offsets[at])}};
    }
}

}  // namespace kairodex::python
