#include "binding.hpp"
#include "reference.hpp"

#include <cstring>

namespace kairodex::python {
namespace {

const char* was_or_were(Py_ssize_t n) noexcept { return n == 1 ? "was" : "were"; }

bool too_many_positional(const ParameterTable& t, Py_ssize_t nargs) noexcept {
    if (t.required == t.positional) {
        PyErr_Format(PyExc_TypeError, "%s() takes %d positional arguments but %zd %s given", t.label, t.positional,
                     nargs, was_or_were(nargs));
    } else {
        PyErr_Format(PyExc_TypeError, "%s() takes from %d to %d positional arguments but %zd %s given", t.label,
                     t.required, t.positional, nargs, was_or_were(nargs));
    }
    return false;
}

// "'a'", "'a' and 'b'", "'a', 'b', and 'c'".
bool missing_arguments(const ParameterTable& t, const BoundArguments& bound) noexcept {
    const char* missing[max_parameters];
    int k = 0;
    for (int i = 0; i < t.required; ++i) {
        if (bound.slots[i] == nullptr) missing[k++] = t.names[i];
    }
    PyUnicodeWriter* writer = PyUnicodeWriter_Create(0);
    if (writer == nullptr) return false;
    int status = PyUnicodeWriter_Format(writer, "%s() missing %d required positional %s: ", t.label, k,
                                        k == 1 ? "argument" : "arguments");
    for (int i = 0; i < k && status == 0; ++i) {
        const char* separator = i == 0 ? "" : (i < k - 1 ? " " : " and ");
        status = PyUnicodeWriter_Format(writer, "%s'%s'%s", separator, missing[i], (k > 2 && i < k - 1) ? "," : "");
    }
    if (status < 0) {
        PyUnicodeWriter_Discard(writer);
        return false;
    }
    if (const Owned message{PyUnicodeWriter_Finish(writer)}) PyErr_SetObject(PyExc_TypeError, message.get());
    return false;
}

// Places one keyword argument; false with TypeError set.
bool bind_keyword(const ParameterTable& t, PyObject* name, PyObject* value, BoundArguments& bound) noexcept {
    // Only a dictionary handed to the constructor as it is (type.__call__,
    // Date.__new__) can hold other keys; the interpreter says the same of
    // Date(**{1: 2}).
    if (!PyUnicode_Check(name)) {
        PyErr_SetString(PyExc_TypeError, "keywords must be strings");
        return false;
    }
    Py_ssize_t size = 0;
    const char* text = PyUnicode_AsUTF8AndSize(name, &size);
    if (text == nullptr) {
        // A name with no UTF-8 form (a lone surrogate) matches no parameter.
        if (!PyErr_ExceptionMatches(PyExc_UnicodeEncodeError)) return false;
        PyErr_Clear();
    }
    for (int i = 0; text != nullptr && i < t.count; ++i) {
        if (std::strlen(t.names[i]) == static_cast<std::size_t>(size) &&
            std::memcmp(t.names[i], text, static_cast<std::size_t>(size)) == 0) {
            if (bound.slots[i] != nullptr) {
                PyErr_Format(PyExc_TypeError, "%s() got multiple values for argument '%s'", t.label, t.names[i]);
                return false;
            }
            bound.slots[i] = value;
            return true;
        }
    }
    PyErr_Format(PyExc_TypeError, "%s() got an unexpected keyword argument '%U'", t.label, name);
    return false;
}

bool check_required(const ParameterTable& t, Py_ssize_t nargs, const BoundArguments& bound) noexcept {
    if (nargs >= t.required) return true;
    for (int i = 0; i < t.required; ++i) {
        if (bound.slots[i] == nullptr) return missing_arguments(t, bound);
    }
    return true;
}

}  // namespace

bool bind_any_arguments(const ParameterTable& t, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                        BoundArguments& bound) noexcept {
    for (Py_ssize_t i = 0; i < nargs && i < t.positional; ++i) bound.slots[i] = args[i];
    if (nargs > t.positional) return too_many_positional(t, nargs);
    if (kwnames != nullptr) {
        const Py_ssize_t nkw = PyTuple_GET_SIZE(kwnames);
        for (Py_ssize_t i = 0; i < nkw; ++i) {
            if (!bind_keyword(t, PyTuple_GET_ITEM(kwnames, i), args[nargs + i], bound)) return false;
        }
    }
    return check_required(t, nargs, bound);
}

bool bind_arguments(const ParameterTable& t, PyObject* args, PyObject* kwargs, BoundArguments& bound) noexcept {
    const Py_ssize_t nargs = PyTuple_GET_SIZE(args);
    for (Py_ssize_t i = 0; i < nargs && i < t.positional; ++i) bound.slots[i] = PyTuple_GET_ITEM(args, i);
    if (nargs > t.positional) return too_many_positional(t, nargs);
    if (kwargs != nullptr) {
        Py_ssize_t position = 0;
        PyObject *name, *value;
        while (PyDict_Next(kwargs, &position, &name, &value)) {
            if (!bind_keyword(t, name, value, bound)) return false;
        }
    }
    return check_required(t, nargs, bound);
}

std::atomic<initproc> object_init = nullptr;

PyObject* call_through_type(PyObject* type, PyObject* const* args, std::size_t nargsf, PyObject* kwnames) noexcept {
    const Py_ssize_t nargs = PyVectorcall_NARGS(nargsf);
    const Owned positional{PyTuple_New(nargs)};
    if (!positional) return nullptr;
    for (Py_ssize_t i = 0; i < nargs; ++i) PyTuple_SET_ITEM(positional.get(), i, Py_NewRef(args[i]));
    Owned keywords;
    if (kwnames != nullptr && PyTuple_GET_SIZE(kwnames) > 0) {
        keywords = Owned{PyDict_New()};
        if (!keywords) return nullptr;
        for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(kwnames); ++i) {
            if (PyDict_SetItem(keywords.get(), PyTuple_GET_ITEM(kwnames, i), args[nargs + i]) < 0) return nullptr;
        }
    }
    return PyType_Type.tp_call(type, positional.get(), keywords.get());
}

void add_parameter_note(const char* parameter) noexcept {
    PyObject* exception = PyErr_GetRaisedException();  // raised again at the end, which takes it back
    if (exception == nullptr) return;
    const Owned note{PyUnicode_FromFormat("while processing '%s'", parameter)};
    const Owned result{note ? PyObject_CallMethod(exception, "add_note", "O", note.get()) : nullptr};
    if (!result) PyErr_Clear();  // a note that cannot be attached is dropped, never raised
    PyErr_SetRaisedException(exception);
}

}  // namespace kairodex::python
