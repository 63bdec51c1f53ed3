// The protocol slots every value class shares: str and repr through the text
// buffer, the value hash, and rich comparison by the class's ordering key.
#pragma once

#include "entry.hpp"
#include "hash_bytes.hpp"
#include "text.hpp"

#include <type_traits>

#include "kairodex/value_hash.hpp"

namespace kairodex::python {

// A writer either always succeeds or returns a Result, whose failure is
// raised with `failure`.
template <class Value, auto write, const Failure* failure = nullptr>
PyObject* text_slot(PyObject* self) noexcept {
    ReprBuffer buffer;
    if constexpr (std::is_void_v<decltype(write(buffer, value_of<Value>(self)))>) {
        write(buffer, value_of<Value>(self));
    } else {
        static_assert(failure != nullptr, "a fallible writer needs a message template");
        if (const auto written = write(buffer, value_of<Value>(self)); !written) {
            return raise_failure(*failure, written.error());
        }
    }
    return text_to_python(buffer);
}

template <class Value>
Py_hash_t hash_slot(PyObject* self) noexcept {
    return static_cast<Py_hash_t>(to_python_hash(value_digest(value_of<Value>(self))));
}

// Equality compares the whole value; ordering compares `order_key` of both
// values. Another type of operand is NotImplemented, never an error.
template <class Value, auto order_key>
PyObject* richcompare_slot(PyObject* self, PyObject* other, int op) noexcept {
    PyTypeObject* type = type_object<Value>();
    if (type == nullptr) return nullptr;
    if (!is_instance(other, type)) Py_RETURN_NOTIMPLEMENTED;
    const Value& a = value_of<Value>(self);
    const Value& b = value_of<Value>(other);
    switch (op) {
    case Py_EQ: return to_python(a == b);
    case Py_NE: return to_python(!(a == b));
    case Py_LT: return to_python(order_key(a) < order_key(b));
    case Py_LE: return to_python(order_key(a) <= order_key(b));
    case Py_GT: return to_python(order_key(a) > order_key(b));
    case Py_GE: return to_python(order_key(a) >= order_key(b));
    default: Py_RETURN_NOTIMPLEMENTED;
    }
}

}  // namespace kairodex::python
