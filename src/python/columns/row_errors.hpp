// The exception of a row: "row 12: " and then the message that the class
// raises for the same value, from the same template (text_failures.hpp).
#pragma once

#include "errors.hpp"

#include <string_view>

namespace kairodex::python {

// Raises ValueError "row {row}: {message}", the template's hole filled with
// `quoted` where the template quotes its argument, else with the error
// kind's name. Always returns null.
PyObject* raise_at_row(Py_ssize_t row, const Failure& failure, CalendarError error,
                       PyObject* quoted = nullptr) noexcept;

// A row's text as a str for a message: its bytes as UTF-8, a lone surrogate
// (which a str may hold) as it was, any other byte that is not UTF-8 (which
// a buffer may hold) escaped. Null with an exception set.
PyObject* text_for_message(std::string_view text) noexcept;

}  // namespace kairodex::python
