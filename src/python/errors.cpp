// Error paths shared by every class: calendar failures as ValueError, the
// instance-type TypeError, and the internal-failure exception.
#include "errors.hpp"

namespace kairodex::python {

namespace {

// Created on the first internal failure of the process, then kept.
PyObject* panic_type = nullptr;

constexpr const char panic_doc[] =
    "Raised when the module's native code fails internally (a broken invariant).\n\n"
    "Like SystemExit, it derives from BaseException rather than Exception, so it\n"
    "usually propagates through the whole stack and ends the program.";

// The internal-failure exception type; null with an exception set where it
// cannot be created (memory has run out), and then tried again next time.
PyObject* panic_exception_type() noexcept {
    if (panic_type != nullptr) return panic_type;
    PyObject* created =
        PyErr_NewExceptionWithDoc("pyo3_runtime.PanicException", panic_doc, PyExc_BaseException, nullptr);
    if (created == nullptr) return nullptr;
    // Creating a class can run a garbage collection, and so Python code that
    // lets another thread in first.
    if (panic_type == nullptr) {
        panic_type = created;
    } else {
        Py_DECREF(created);
    }
    return panic_type;
}

}  // namespace

PyObject* raise_panic(const char* message, Pending pending) noexcept {
    PyObject* cause = PyErr_GetRaisedException();
    PyObject* type = panic_exception_type();
    if (type == nullptr) {
        // The failure that led here says more than the one from creating the type.
        if (cause != nullptr) {
            PyErr_Clear();
            PyErr_SetRaisedException(cause);
        }
        return nullptr;
    }
    if (cause != nullptr) {
        if (pending == Pending::Report) {
            PyErr_SetRaisedException(cause);
            PyErr_WriteUnraisable(nullptr);
        } else {
            Py_DECREF(cause);
        }
    }
    PyErr_SetString(type, message);
    return nullptr;
}

PyObject* raise_failure(const Failure& failure, CalendarError error, std::string_view argument) noexcept {
    const std::string_view fill = failure.quote_argument ? argument : name_of(error);
    const std::string_view text = failure.message;
    const std::size_t hole = text.find("{}");
    PyUnicodeWriter* writer = PyUnicodeWriter_Create(0);
    if (writer == nullptr) return nullptr;
    const bool written =
        hole == std::string_view::npos
            ? PyUnicodeWriter_WriteUTF8(writer, text.data(), static_cast<Py_ssize_t>(text.size())) == 0
            : PyUnicodeWriter_WriteUTF8(writer, text.data(), static_cast<Py_ssize_t>(hole)) == 0 &&
                  PyUnicodeWriter_WriteUTF8(writer, fill.data(), static_cast<Py_ssize_t>(fill.size())) == 0 &&
                  PyUnicodeWriter_WriteUTF8(writer, text.data() + hole + 2,
                                            static_cast<Py_ssize_t>(text.size() - hole - 2)) == 0;
    if (!written) {
        PyUnicodeWriter_Discard(writer);
        return nullptr;
    }
    PyObject* message = PyUnicodeWriter_Finish(writer);
    if (message == nullptr) return nullptr;
    PyErr_SetObject(failure.raises == Failure::Raises::OverflowError ? PyExc_OverflowError : PyExc_ValueError, message);
    Py_DECREF(message);
    return nullptr;
}

void raise_not_instance(PyObject* object, const char* expected) noexcept {
    if (object == Py_None) {
        PyErr_Format(PyExc_TypeError, "'None' is not an instance of '%s'", expected);
        return;
    }
    PyObject* qualname = PyType_GetQualName(Py_TYPE(object));
    if (qualname == nullptr) {
        // Where memory ran out, that is the error to raise; a name that cannot
        // be read (not UTF-8) is left out of the message.
        if (PyErr_ExceptionMatches(PyExc_MemoryError)) return;
        PyErr_Clear();
        PyErr_Format(PyExc_TypeError, "'<failed to extract type name>' object is not an instance of '%s'", expected);
        return;
    }
    PyErr_Format(PyExc_TypeError, "'%U' object is not an instance of '%s'", qualname, expected);
    Py_DECREF(qualname);
}

}  // namespace kairodex::python
