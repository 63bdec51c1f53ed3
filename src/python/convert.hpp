// Conversion of bound arguments to core values, one overload per kind, and of
// core results back to Python objects. Every `convert` returns false with the
// converting call's own exception set.
#pragma once

#include "errors.hpp"
#include "instance.hpp"

#include <cstdint>
#include <string_view>

#include "kairodex/portable.hpp"

namespace kairodex::python {

// Every case, with CPython's own conversions and messages.
KAIRODEX_SLOW_PATH bool convert_any(PyObject* object, std::uint8_t& out) noexcept;      // unsigned 8-bit
KAIRODEX_SLOW_PATH bool convert_any(PyObject* object, std::int32_t& out) noexcept;      // signed 32-bit
KAIRODEX_SLOW_PATH bool convert_any(PyObject* object, std::uint32_t& out) noexcept;     // unsigned 32-bit
KAIRODEX_SLOW_PATH bool convert_any(PyObject* object, std::int64_t& out) noexcept;      // signed 64-bit
KAIRODEX_SLOW_PATH bool convert_any(PyObject* object, i128& out) noexcept;              // signed 128-bit
KAIRODEX_SLOW_PATH bool convert_any(PyObject* object, std::string_view& out) noexcept;  // text, as UTF-8
bool convert(PyObject* object, bool& out) noexcept;                                     // bool (numpy's too)

// An int of one digit (magnitude below 2^30), read in place. Anything else,
// int subclasses and objects with __index__ included, is left to convert_any.
inline bool compact_value(PyObject* object, long long& out) noexcept {
    if (!PyLong_Check(object)) return false;
    const auto* number = reinterpret_cast<PyLongObject*>(object);
    if (!PyUnstable_Long_IsCompact(number)) return false;
    out = PyUnstable_Long_CompactValue(number);
    return true;
}

// The common cases inline, needing neither a call nor an overflow check: a
// compact int in range, an ASCII str (which is its own UTF-8).
inline bool convert(PyObject* object, std::uint8_t& out) noexcept {
    if (long long value = 0; compact_value(object, value) && value >= 0 && value <= UINT8_MAX) {
        out = static_cast<std::uint8_t>(value);
        return true;
    }
    return convert_any(object, out);
}

inline bool convert(PyObject* object, std::int32_t& out) noexcept {
    if (long long value = 0; compact_value(object, value)) {
        out = static_cast<std::int32_t>(value);
        return true;
    }
    return convert_any(object, out);
}

inline bool convert(PyObject* object, std::uint32_t& out) noexcept {
    if (long long value = 0; compact_value(object, value) && value >= 0) {
        out = static_cast<std::uint32_t>(value);
        return true;
    }
    return convert_any(object, out);
}

inline bool convert(PyObject* object, std::int64_t& out) noexcept {
    if (long long value = 0; compact_value(object, value)) {
        out = value;
        return true;
    }
    return convert_any(object, out);
}

inline bool convert(PyObject* object, i128& out) noexcept {
    if (long long value = 0; compact_value(object, value)) {
        out = value;
        return true;
    }
    return convert_any(object, out);
}

inline bool convert(PyObject* object, std::string_view& out) noexcept {
    if (PyUnicode_Check(object) && PyUnicode_IS_COMPACT_ASCII(object)) {
        out = std::string_view(static_cast<const char*>(PyUnicode_DATA(object)),
                               static_cast<std::size_t>(PyUnicode_GET_LENGTH(object)));
        return true;
    }
    return convert_any(object, out);
}

// Any object, borrowed for the call: for an operation that takes Python
// objects as they are (an iterable of texts, say).
inline bool convert(PyObject* object, PyObject*& out) noexcept {
    out = object;
    return true;
}

// A str argument as UTF-8 together with the object itself, for an operation
// that needs both (a key to look up, and to keep).
struct Text {
    PyObject* object;
    std::string_view utf8;
};

inline bool convert(PyObject* object, Text& out) noexcept {
    if (!convert(object, out.utf8)) return false;
    out.object = object;
    return true;
}

// A parameter that takes one of a few words ("ns", "us", ...): an enum whose
// words a specialisation of Choices lists in the order of its values, from 0.
template <class Enum>
struct Choices;

template <class Enum>
concept Choice = std::is_enum_v<Enum> && requires { Choices<Enum>::words; };

// Raises ValueError "expected one of 's', 'ms', 'us' or 'ns', not 'x'".
KAIRODEX_SLOW_PATH void raise_not_a_choice(PyObject* object, const std::string_view* words, std::size_t count) noexcept;

template <Choice Enum>
bool convert(PyObject* object, Enum& out) noexcept {
    std::string_view text;
    if (!convert(object, text)) return false;
    constexpr auto& words = Choices<Enum>::words;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (text == words[i]) {
            out = static_cast<Enum>(i);
            return true;
        }
    }
    raise_not_a_choice(object, words.data(), words.size());
    return false;
}

// An instance of one of the module's classes (or a subtype): its value record.
template <ValueClass Value>
bool convert(PyObject* object, Value& out) noexcept {
    PyTypeObject* type = type_object<Value>();
    if (type == nullptr) return false;
    if (!is_instance(object, type)) {
        raise_not_instance(object, class_name_of<Value>);
        return false;
    }
    out = value_of<Value>(object);
    return true;
}

// --- results ---------------------------------------------------------------

inline PyObject* to_python(bool value) noexcept { return Py_NewRef(value ? Py_True : Py_False); }
inline PyObject* to_python(double value) noexcept { return PyFloat_FromDouble(value); }
inline PyObject* to_python(std::int64_t value) noexcept { return PyLong_FromLongLong(value); }
inline PyObject* to_python(std::uint64_t value) noexcept { return PyLong_FromUnsignedLongLong(value); }
inline PyObject* to_python(std::int32_t value) noexcept { return PyLong_FromLong(value); }
inline PyObject* to_python(std::uint32_t value) noexcept { return PyLong_FromUnsignedLong(value); }
inline PyObject* to_python(std::uint16_t value) noexcept { return PyLong_FromLong(value); }
inline PyObject* to_python(std::uint8_t value) noexcept { return PyLong_FromLong(value); }
PyObject* to_python(i128 value) noexcept;

// An object the operation made: a new reference, or null with an exception set.
inline PyObject* to_python(PyObject* made) noexcept { return made; }

// Text, as UTF-8.
inline PyObject* to_python(std::string_view text) noexcept {
    return PyUnicode_DecodeUTF8(text.data(), static_cast<Py_ssize_t>(text.size()), "strict");
}

// The seven Weekday class attributes, Monday first, held by the module for
// the life of the process (so rebinding `Weekday.MONDAY` changes nothing);
// set when the Weekday class is created.
extern PyObject* weekday_objects[7];

// One of them, borrowed; null with an exception set when the Weekday class
// could not be created.
inline PyObject* weekday_object(Weekday weekday) noexcept {
    if (type_object<Weekday>() == nullptr) return nullptr;
    return weekday_objects[weekday.number % 7];
}

// Weekdays are the class attributes themselves, so that identity comparison
// with `Weekday.MONDAY` holds.
inline PyObject* to_python(Weekday value) noexcept { return Py_XNewRef(weekday_object(value)); }

template <ValueClass Value>
PyObject* to_python(const Value& value) noexcept {
    return new_instance(value);
}

}  // namespace kairodex::python
