// Binding of Python call arguments to a callable's named parameters.
#pragma once

#include "classes.hpp"

#include <atomic>
#include <cstdint>

namespace kairodex::python {

constexpr int max_parameters = 6;

// The parameters of a callable that takes arguments, made from the signature
// in its row (members.hpp). The first `positional` may be given by position or
// by keyword, the others by keyword only; the first `required` have no
// default, the others an integer one (0 also where the default is a word or
// None: the converted value's own default then stands for it).
struct ParameterTable {
    const char* label;  // "Date.__new__", "Duration.seconds", "parse_dates": messages say "{label}()"
    const char* names[max_parameters];
    int count;
    int positional;
    int required;
    std::int64_t defaults[max_parameters];
};

// Borrowed references, one per parameter; empty (null) where a defaulted
// parameter was not given.
struct BoundArguments {
    PyObject* slots[max_parameters] = {};
};

// Strong references to bound arguments for as long as it lives. The tuple and
// dictionary form borrows its arguments from the keyword dictionary, which
// code run while an earlier argument converts (its __index__) can reach and
// empty; the vectorcall form's arguments belong to the caller throughout.
class HeldArguments {
  public:
    explicit HeldArguments(const BoundArguments& bound) noexcept : bound_(bound) {
        for (PyObject* object : bound_.slots) Py_XINCREF(object);
    }
    ~HeldArguments() {
        for (PyObject* object : bound_.slots) Py_XDECREF(object);
    }
    HeldArguments(const HeldArguments&) = delete;
    HeldArguments& operator=(const HeldArguments&) = delete;

  private:
    const BoundArguments& bound_;
};

// The vectorcall form, every case. False with TypeError set on a signature error.
KAIRODEX_SLOW_PATH bool bind_any_arguments(const ParameterTable& table, PyObject* const* args, Py_ssize_t nargs,
                                           PyObject* kwnames, BoundArguments& bound) noexcept;

// The vectorcall form. A call with no keywords and an accepted number of
// positional arguments, nearly every call, needs no checks and is bound inline.
inline bool bind_arguments(const ParameterTable& table, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                           BoundArguments& bound) noexcept {
    if (kwnames == nullptr && nargs >= table.required && nargs <= table.positional) {
        // A fixed trip count (the table's), so the copy stays a few moves.
        for (int i = 0; i < table.count; ++i) bound.slots[i] = i < nargs ? args[i] : nullptr;
        return true;
    }
    return bind_any_arguments(table, args, nargs, kwnames, bound);
}

// The tuple/dictionary form of constructors; the same rules and messages.
KAIRODEX_SLOW_PATH bool bind_arguments(const ParameterTable& table, PyObject* args, PyObject* kwargs,
                                       BoundArguments& bound) noexcept;

// object's initialiser, which a class's own call compares its tp_init with;
// set before the first class is made (a copy of PyBaseObject_Type's, which
// the module reaches through one more load).
extern std::atomic<initproc> object_init;

// type.__call__(type, *args, **kwargs) for a vectorcall: what a class's own
// call does once Python code has replaced the class's __new__ or __init__.
KAIRODEX_SLOW_PATH PyObject* call_through_type(PyObject* type, PyObject* const* args, std::size_t nargsf,
                                               PyObject* kwnames) noexcept;

// Attaches the note "while processing '{}'" to the pending exception.
KAIRODEX_SLOW_PATH void add_parameter_note(const char* parameter) noexcept;

}  // namespace kairodex::python
