// Error paths shared by every class: calendar failures as ValueError, the
// instance-type TypeError, and the internal-failure exception.
#include "errors.hpp"
#include "reference.hpp"

#include <atomic>

namespace kairodex::python {

namespace {

// Created on the first internal failure of the process, then kept; the
// first thread to store it wins, where several fail at once.
std::atomic<PyObject*> panic_type = nullptr;

constexpr const char panic_doc[] =
    "Raised when the module's native code fails internally (a broken invariant).\n\n"
    "Like SystemExit, it derives from BaseException rather than Exception, so it\n"
    "usually propagates through the whole stack and ends the program.";

// The internal-failure exception type; null with an exception set where it
// cannot be created (memory has run out), and then tried again next time.
PyObject* panic_exception_type() noexcept {
    if (PyObject* type = panic_type.load(std::memory_order_acquire)) return type;
    Owned created{PyErr_NewExceptionWithDoc("pyo3_runtime.PanicException", panic_doc, PyExc_BaseException, nullptr)};
    if (!created) return nullptr;
    // Another thread may have made one meanwhile: creating a class can run a
    // garbage collection, and so Python code that lets another thread in
    // first; and without a GIL threads run at once anyway.
    PyObject* expected = nullptr;
    if (panic_type.compare_exchange_strong(expected, created.get(), std::memory_order_acq_rel))
        return created.release();
    return expected;
}

}  // namespace

PyObject* raise_panic(const char* message, Pending pending) noexcept {
    Owned cause{PyErr_GetRaisedException()};
    PyObject* type = panic_exception_type();
    if (type == nullptr) {
        // The failure that led here says more than the one from creating the type.
        if (cause) {
            PyErr_Clear();
            PyErr_SetRaisedException(cause.release());
        }
        return nullptr;
    }
    if (cause && pending == Pending::Report) {
        PyErr_SetRaisedException(cause.release());
        PyErr_WriteUnraisable(nullptr);
    }
    PyErr_SetString(type, message);
    return nullptr;
}

bool write_failure(PyUnicodeWriter* writer, const Failure& failure, std::string_view fill, PyObject* quoted) noexcept {
    const std::string_view text = failure.message;
    const std::size_t hole = text.find("{}");
    if (hole == std::string_view::npos) {
        return PyUnicodeWriter_WriteUTF8(writer, text.data(), static_cast<Py_ssize_t>(text.size())) == 0;
    }
    return PyUnicodeWriter_WriteUTF8(writer, text.data(), static_cast<Py_ssize_t>(hole)) == 0 &&
           (quoted != nullptr
                ? PyUnicodeWriter_Format(writer, "%U", quoted) == 0
                : PyUnicodeWriter_WriteUTF8(writer, fill.data(), static_cast<Py_ssize_t>(fill.size())) == 0) &&
           PyUnicodeWriter_WriteUTF8(writer, text.data() + hole + 2, static_cast<Py_ssize_t>(text.size() - hole - 2)) ==
               0;
}

PyObject* raise_failure(const Failure& failure, CalendarError error, std::string_view argument) noexcept {
    // Nothing reserved: the writer grows as the message is written (a short one).
    PyUnicodeWriter* writer = PyUnicodeWriter_Create(0);
    if (writer == nullptr) return nullptr;
    if (!write_failure(writer, failure, failure.quote_argument ? argument : name_of(error))) {
        PyUnicodeWriter_Discard(writer);
        return nullptr;
    }
    const Owned message{PyUnicodeWriter_Finish(writer)};
    if (!message) return nullptr;
    PyErr_SetObject(failure.raises == Failure::Raises::OverflowError ? PyExc_OverflowError : PyExc_ValueError,
                    message.get());
    return nullptr;
}

void raise_not_instance(PyObject* object, const char* expected) noexcept {
    if (object == Py_None) {
        PyErr_Format(PyExc_TypeError, "'None' is not an instance of '%s'", expected);
        return;
    }
    const Owned qualname{PyType_GetQualName(Py_TYPE(object))};
    if (!qualname) {
        // Where memory ran out, that is the error to raise; a name that cannot
        // be read (not UTF-8) is left out of the message.
        if (PyErr_ExceptionMatches(PyExc_MemoryError)) return;
        PyErr_Clear();
        PyErr_Format(PyExc_TypeError, "'<failed to extract type name>' object is not an instance of '%s'", expected);
        return;
    }
    PyErr_Format(PyExc_TypeError, "'%U' object is not an instance of '%s'", qualname.get(), expected);
}

}  // namespace kairodex::python
