// The entry shapes through which every Python call reaches a core operation:
// bind the arguments, convert them in parameter order, run the operation,
// turn its result into a new object or its failure into an exception.
//
// The rows of a class file (members.hpp) instantiate these templates with the
// parameter tables made from their signatures, their core operations and
// message templates; the C++ parameter types of an operation select the
// conversion of each argument.
#pragma once

#include "binding.hpp"
#include "convert.hpp"
#include "operation.hpp"

#include <cstddef>
#include <functional>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

namespace kairodex::python {

// ---------------------------------------------------------------------------
// Results and arguments
// ---------------------------------------------------------------------------

// A plain result becomes an object; a Result either an object or a ValueError.
template <const Failure* failure, class R>
PyObject* finish(const R& result, std::string_view argument = {}) noexcept {
    if constexpr (IsResult<R>::value) {
        static_assert(failure != nullptr, "a fallible operation needs a message template");
        if (!result) return raise_failure(*failure, result.error(), argument);
        return to_python(*result);
    } else {
        return to_python(result);
    }
}

// One bound argument into `value`; false, with the parameter's note added to
// the exception, where conversion fails. An absent argument keeps the value's
// initial zero unless the parameter's default is another integer.
template <const ParameterTable& table, std::size_t index, class T>
bool convert_argument(PyObject* object, T& value) noexcept {
    if (object == nullptr) {
        if constexpr (table.defaults[index] != 0) {
            static_assert(std::is_arithmetic_v<T> || std::is_same_v<T, i128>, "only integers have defaults");
            value = static_cast<T>(table.defaults[index]);
        }
        return true;
    }
    if (convert(object, value)) return true;
    add_parameter_note(table.names[index]);
    return false;
}

// Converts the bound arguments into `values`, in parameter order; the first
// failure stops.
template <const ParameterTable& table, class Tuple>
bool convert_arguments(const BoundArguments& bound, Tuple& values) noexcept {
    return [&]<std::size_t... I>(std::index_sequence<I...>) {
        return (convert_argument<table, I>(bound.slots[I], std::get<I>(values)) && ...);
    }(std::make_index_sequence<std::tuple_size_v<Tuple>>{});
}

// ---------------------------------------------------------------------------
// Entry shapes
// ---------------------------------------------------------------------------

// Class method with parameters (METH_FASTCALL | METH_KEYWORDS | METH_CLASS).
template <const ParameterTable& table, auto operation, const Failure* failure = nullptr>
PyObject* class_method_entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept {
    using Op = Operation<decltype(operation)>;
    BoundArguments bound;
    typename Op::arguments values{};
    if (!bind_arguments(table, args, nargs, kwnames, bound) || !convert_arguments<table>(bound, values)) {
        return nullptr;
    }
    return finish<failure>(std::apply(operation, values), text_argument(values));
}

// Method with parameters (METH_FASTCALL | METH_KEYWORDS); the operation's
// first parameter is the receiver's value.
template <const ParameterTable& table, auto operation, const Failure* failure = nullptr>
PyObject* method_entry(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept {
    using Op = Operation<decltype(operation)>;
    using Split = WithoutReceiver<typename Op::arguments>;
    BoundArguments bound;
    typename Split::type values{};
    if (!bind_arguments(table, args, nargs, kwnames, bound) || !convert_arguments<table>(bound, values)) {
        return nullptr;
    }
    const auto& receiver = value_of<typename Split::receiver>(self);
    return finish<failure>(std::apply([&](const auto&... a) { return operation(receiver, a...); }, values));
}

// Method without arguments (METH_NOARGS).
template <auto operation, const Failure* failure = nullptr>
PyObject* noargs_method_entry(PyObject* self, PyObject*) noexcept {
    using Receiver = std::tuple_element_t<0, typename Operation<decltype(operation)>::arguments>;
    return finish<failure>(operation(value_of<Receiver>(self)));
}

// Class method without arguments (METH_NOARGS | METH_CLASS).
template <auto operation, const Failure* failure = nullptr>
PyObject* noargs_class_method_entry(PyObject*, PyObject*) noexcept {
    return finish<failure>(operation());
}

// The value is computed and validated first, then an instance of the
// requested type is allocated; or the operation gives the instance itself (a
// new reference, or null with an exception set).
template <auto operation, const Failure* failure, class Arguments>
PyObject* construct(PyTypeObject* type, const Arguments& values) noexcept {
    const auto result = std::apply(operation, values);
    if constexpr (std::is_same_v<std::remove_cvref_t<decltype(result)>, PyObject*>) {
        return result;
    } else if constexpr (IsResult<std::remove_cvref_t<decltype(result)>>::value) {
        if (!result) return raise_failure(*failure, result.error());
        return new_instance(type, *result);
    } else {
        return new_instance(type, result);
    }
}

// Constructor (tp_new).
template <const ParameterTable& table, auto operation, const Failure* failure = nullptr>
PyObject* new_entry(PyTypeObject* type, PyObject* args, PyObject* kwargs) noexcept {
    BoundArguments bound;
    typename Operation<decltype(operation)>::arguments values{};
    if (!bind_arguments(table, args, kwargs, bound)) return nullptr;
    const HeldArguments held(bound);
    if (!convert_arguments<table>(bound, values)) return nullptr;
    return construct<operation, failure>(type, values);
}

// A call of the class itself (tp_vectorcall): the same binding, conversions
// and messages as the constructor, without the argument tuple and keyword
// dictionary that a call through tp_new needs. It must do what type.__call__
// does, tp_new and then tp_init: so only while both are the class's own (its
// constructor, and object's initialiser, which accepts these arguments and
// does nothing). Once Python code gives the class a __new__ or an __init__ of
// its own (a test double, say), calls go through type.__call__ itself.
template <const ParameterTable& table, auto operation, const Failure* failure = nullptr>
PyObject* vectorcall_entry(PyObject* type, PyObject* const* args, std::size_t nargsf, PyObject* kwnames) noexcept {
    auto* as_type = reinterpret_cast<PyTypeObject*>(type);
    if (as_type->tp_new != new_entry<table, operation, failure> ||
        as_type->tp_init != object_init.load(std::memory_order_relaxed)) [[unlikely]] {
        return call_through_type(type, args, nargsf, kwnames);
    }
    BoundArguments bound;
    typename Operation<decltype(operation)>::arguments values{};
    if (!bind_arguments(table, args, PyVectorcall_NARGS(nargsf), kwnames, bound) ||
        !convert_arguments<table>(bound, values)) {
        return nullptr;
    }
    return construct<operation, failure>(as_type, values);
}

// Read-only property: a member pointer or a function of the value.
template <class Value, auto field>
PyObject* getter_entry(PyObject* self, void*) noexcept {
    return to_python(std::invoke(field, value_of<Value>(self)));
}

// PyMethodDef and PyType_Slot hold untyped function pointers.
template <class F>
PyCFunction as_method(F* function) noexcept {
    return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(function));
}

template <class F>
void* as_slot(F* function) noexcept {
    return reinterpret_cast<void*>(function);
}

constexpr int fast_call = METH_FASTCALL | METH_KEYWORDS;

}  // namespace kairodex::python
