// The messages of the class parsers (DateTime.parse and its neighbours), of
// offsets and of an OffsetDateTime's text form, in one place: the classes
// raise them for a value, and kairodex_columns raises the same for a row of a
// column.
#pragma once

#include "errors.hpp"

namespace kairodex::python {

constexpr Failure invalid_datetime_string{
    "Invalid datetime string '{}'. Expected format: YYYY-MM-DDTHH:MM:SS[.fffffffff]Z", true};
constexpr Failure invalid_offset_datetime_string{
    "Invalid offset datetime string '{}'. Expected RFC 3339 format: "
    "YYYY-MM-DDTHH:MM:SS[.fffffffff][Z|\u00b1HH:MM]",
    true};
constexpr Failure invalid_date_string{"Invalid date string: {}"};
constexpr Failure invalid_time_string{"Invalid time string: {}"};

constexpr Failure invalid_offset{"Invalid offset: {}"};

// A value whose local reading lies beyond the representable years cannot be
// written; that is the caller's ValueError, not an internal failure.
constexpr Failure unrepresentable_offset_datetime{"OffsetDateTime local representation out of range: {}"};

}  // namespace kairodex::python
