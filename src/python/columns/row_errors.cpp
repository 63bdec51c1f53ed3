#include "reference.hpp"

#include "columns/row_errors.hpp"

namespace kairodex::python {

PyObject* raise_at_row(Py_ssize_t row, const Failure& failure, CalendarError error, PyObject* quoted) noexcept {
    PyUnicodeWriter* writer = PyUnicodeWriter_Create(0);
    if (writer == nullptr) return nullptr;
    const bool written = PyUnicodeWriter_Format(writer, "row %zd: ", row) == 0 &&
                         write_failure(writer, failure, name_of(error), failure.quote_argument ? quoted : nullptr);
    if (!written) {
        PyUnicodeWriter_Discard(writer);
        return nullptr;
    }
    const Owned finished{PyUnicodeWriter_Finish(writer)};
    if (finished) PyErr_SetObject(PyExc_ValueError, finished.get());
    return nullptr;
}

PyObject* text_for_message(std::string_view text) noexcept {
    const auto size = static_cast<Py_ssize_t>(text.size());
    PyObject* decoded = PyUnicode_DecodeUTF8(text.data(), size, "surrogatepass");
    if (decoded != nullptr || !PyErr_ExceptionMatches(PyExc_UnicodeDecodeError)) return decoded;
    PyErr_Clear();
    return PyUnicode_DecodeUTF8(text.data(), size, "backslashreplace");
}

}  // namespace kairodex::python
