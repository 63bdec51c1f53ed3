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
#include "hash_bytes.hpp"

#include <cstdint>
#include <cstring>
#include <functional>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "kairodex/text_buffer.hpp"
#include "kairodex/value_hasher.hpp"

#if defined(__ELF__) && defined(__has_attribute)
#if __has_attribute(tls_model)
#define KAIRODEX_INITIAL_EXEC_TLS __attribute__((tls_model("initial-exec")))
#endif
#endif
#ifndef KAIRODEX_INITIAL_EXEC_TLS
#define KAIRODEX_INITIAL_EXEC_TLS
#endif

namespace kairodex::python {

// Marks the current thread as running module code for the length of a call.
class Entry {
  public:
    Entry() noexcept { ++depth_; }
    ~Entry() { --depth_; }
    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;

    static int depth() noexcept { return depth_; }

  private:
    // Defined here with a constant initialiser, so no call needs a TLS wrapper,
    // and, on ELF systems, in the initial-exec model, so no call needs
    // __tls_get_addr: one word of static TLS, which the loader keeps in
    // reserve for modules it opens.
    KAIRODEX_INITIAL_EXEC_TLS static inline constinit thread_local int depth_ = 0;
};

// ---------------------------------------------------------------------------
// Operation signatures
// ---------------------------------------------------------------------------

template <class F>
struct Operation;
template <class R, class... A>
struct Operation<R (*)(A...) noexcept> {
    using result = R;
    using arguments = std::tuple<std::remove_cvref_t<A>...>;
};
template <class R, class... A>
struct Operation<R (*)(A...)> : Operation<R (*)(A...) noexcept> {};

template <class T>
struct IsResult : std::false_type {};
template <class T>
struct IsResult<Result<T>> : std::true_type {};

// The value type of a result, plain or fallible.
template <class R>
struct Unwrapped {
    using type = R;
};
template <class T>
struct Unwrapped<Result<T>> {
    using type = T;
};

// The text argument of a call, quoted by parse failures.
template <class Tuple>
std::string_view text_argument(const Tuple& arguments) noexcept {
    std::string_view text;
    std::apply(
        [&](const auto&... a) {
            ((void)([&] {
                 if constexpr (std::is_same_v<std::remove_cvref_t<decltype(a)>, std::string_view>) text = a;
             }()),
             ...);
        },
        arguments);
    return text;
}

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

// Drops the first element type of a tuple (the receiver of a method).
template <class Tuple>
struct WithoutReceiver;
template <class Head, class... Tail>
struct WithoutReceiver<std::tuple<Head, Tail...>> {
    using receiver = Head;
    using type = std::tuple<Tail...>;
};

// ---------------------------------------------------------------------------
// Entry shapes
// ---------------------------------------------------------------------------

// Class method with parameters (METH_FASTCALL | METH_KEYWORDS | METH_CLASS).
template <const ParameterTable& table, auto operation, const Failure* failure = nullptr>
PyObject* class_method_entry(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept {
    Entry entry;
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
    Entry entry;
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
    Entry entry;
    using Receiver = std::tuple_element_t<0, typename Operation<decltype(operation)>::arguments>;
    return finish<failure>(operation(value_of<Receiver>(self)));
}

// Class method without arguments (METH_NOARGS | METH_CLASS).
template <auto operation, const Failure* failure = nullptr>
PyObject* noargs_class_method_entry(PyObject*, PyObject*) noexcept {
    Entry entry;
    return finish<failure>(operation());
}

// The value is computed and validated first, then an instance of the
// requested type is allocated.
template <auto operation, const Failure* failure, class Arguments>
PyObject* construct(PyTypeObject* type, const Arguments& values) noexcept {
    const auto result = std::apply(operation, values);
    if constexpr (IsResult<std::remove_cvref_t<decltype(result)>>::value) {
        if (!result) return raise_failure(*failure, result.error());
        return new_instance(type, *result);
    } else {
        return new_instance(type, result);
    }
}

// Constructor (tp_new).
template <const ParameterTable& table, auto operation, const Failure* failure = nullptr>
PyObject* new_entry(PyTypeObject* type, PyObject* args, PyObject* kwargs) noexcept {
    Entry entry;
    BoundArguments bound;
    typename Operation<decltype(operation)>::arguments values{};
    if (!bind_arguments(table, args, kwargs, bound)) return nullptr;
    const HeldArguments held(bound);
    if (!convert_arguments<table>(bound, values)) return nullptr;
    return construct<operation, failure>(type, values);
}

// A call of the class itself (tp_vectorcall): the same binding, conversions
// and messages as the constructor, without the argument tuple and keyword
// dictionary that a call through tp_new needs. (The initialiser that would
// follow tp_new is object's, which accepts these arguments and does nothing.)
template <const ParameterTable& table, auto operation, const Failure* failure = nullptr>
PyObject* vectorcall_entry(PyObject* type, PyObject* const* args, std::size_t nargsf, PyObject* kwnames) noexcept {
    Entry entry;
    BoundArguments bound;
    typename Operation<decltype(operation)>::arguments values{};
    if (!bind_arguments(table, args, PyVectorcall_NARGS(nargsf), kwnames, bound) ||
        !convert_arguments<table>(bound, values)) {
        return nullptr;
    }
    return construct<operation, failure>(reinterpret_cast<PyTypeObject*>(type), values);
}

// Read-only property: a member pointer or a function of the value.
template <class Value, auto field>
PyObject* getter_entry(PyObject* self, void*) noexcept {
    Entry entry;
    return to_python(std::invoke(field, value_of<Value>(self)));
}

// ---------------------------------------------------------------------------
// Protocol slots
// ---------------------------------------------------------------------------

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
    PyObject* result = PyUnicode_New(static_cast<Py_ssize_t>(text.size()), 127);
    if (result == nullptr) return nullptr;
    char* to = static_cast<char*>(PyUnicode_DATA(result));
    std::uint64_t high = move_word<std::uint64_t>(to, text.data(), text.size() - 8);
    for (std::size_t at = 0; at + 8 < text.size(); at += 8) high |= move_word<std::uint64_t>(to, text.data(), at);
    if ((high & 0x8080808080808080) == 0) return result;
    Py_DECREF(result);
    return text_to_python_slowly(buffer);
}

// A writer either always succeeds or returns a Result, whose failure is
// raised with `failure`.
template <class Value, auto write, const Failure* failure = nullptr>
PyObject* text_slot(PyObject* self) noexcept {
    Entry entry;
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
    Entry entry;
    return static_cast<Py_hash_t>(to_python_hash(value_digest(value_of<Value>(self))));
}

// Equality compares the whole value; ordering compares `order_key` of both
// values. Another type of operand is NotImplemented, never an error.
template <class Value, auto order_key>
PyObject* richcompare_slot(PyObject* self, PyObject* other, int op) noexcept {
    Entry entry;
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
