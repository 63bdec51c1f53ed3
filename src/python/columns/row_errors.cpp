#include "reference.hpp"

#include "columns/row_errors.hpp"

namespace kairodex::python {

PyObject* raise_at_row(Py_ssize_t row, const Failure& failure, CalendarError error, PyObject* quoted) noexcept {
    const std::string_view message = failure.message;
    const std::size_t hole = message.find("{}");
    const std::string_view kind = name_of(error);
    PyUnicodeWriter* writer = PyUnicodeWriter_Create(0);
    if (writer == nullptr) return nullptr;
    bool written = PyUnicodeWriter_Format(writer, "row %zd: ", row) == 0;
    if (hole == std::string_view::npos) {
        written =
            written && PyUnicodeWriter_WriteUTF8(writer, message.data(), static_cast<Py_ssize_t>(message.size())) == 0;
    } else {
        const bool quote = failure.quote_argument && quoted != nullptr;
        written = written && PyUnicodeWriter_WriteUTF8(writer, message.data(), static_cast<Py_ssize_t>(hole)) == 0 &&
                  (quote ? PyUnicodeWriter_Format(writer, "%U", quoted) == 0
                         : PyUnicodeWriter_WriteUTF8(writer, kind.data(), static_cast<Py_ssize_t>(kind.size())) == 0) &&
                  PyUnicodeWriter_WriteUTF8(writer, message.data() + hole + 2,
                                            static_cast<Py_ssize_t>(message.size() - hole - 2)) == 0;
    }
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
