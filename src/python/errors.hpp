// Error paths shared by every class: calendar failures as ValueError (or
// OverflowError) from a message template, the instance-type TypeError, and the
// internal-failure exception.
#pragma once

#include "classes.hpp"

#include <cstdint>
#include <string_view>

#include "kairodex/calendar_error.hpp"

namespace kairodex::python {

// A message template: "{}" stands for the error kind's name, or for the
// argument text where `quote_argument` is set.
struct Failure {
    enum class Raises : std::uint8_t { ValueError, OverflowError };

    std::string_view message;
    bool quote_argument = false;
    Raises raises = Raises::ValueError;
};

// Writes the failure's template with its "{}" filled by the str `quoted`
// where one is given, else by the UTF-8 `fill`. False where the writer fails.
bool write_failure(PyUnicodeWriter* writer, const Failure& failure, std::string_view fill,
                   PyObject* quoted = nullptr) noexcept;

// Raises the failure's exception with the template filled in. Always returns null.
KAIRODEX_SLOW_PATH PyObject* raise_failure(const Failure& failure, CalendarError error,
                                           std::string_view argument = {}) noexcept;

// What raise_panic does with the exception already set, if any, when it
// replaces it: drops it, or first reports it through sys.unraisablehook.
enum class Pending : std::uint8_t { Drop, Report };

// Raises the internal-failure exception with `message` in place of the
// exception already set. Where that exception type cannot be created (memory
// has run out), the exception already set propagates instead, or where there
// is none, the one that creating the type raised. Always returns null, with an
// exception set.
KAIRODEX_SLOW_PATH PyObject* raise_panic(const char* message, Pending pending = Pending::Drop) noexcept;

// Raises TypeError "'{}' object is not an instance of '{}'" (or the None
// form); MemoryError instead where the object's type name cannot be had.
KAIRODEX_SLOW_PATH void raise_not_instance(PyObject* object, const char* expected) noexcept;

}  // namespace kairodex::python
