// Where time zones come from: the zone files of the system, found as the
// standard library's zoneinfo finds them (its TZPATH, which PYTHONTZPATH sets,
// then the tzdata package), bytes handed over, the process's own zone; and
// the zones made so far, kept by key.
#pragma once

#include "convert.hpp"

namespace kairodex::python {

// TimeZone(key): the zone of the key, the same object on every call. Null
// with ValueError (a key that is no normalised relative path, refused before
// any file is looked at), ZoneNotFoundError or the data's ValueError.
PyObject* zone_for_key(Text key) noexcept;

// TimeZone.from_tzif(data, key=None): a new zone of the bytes (any object
// with the buffer protocol), never kept.
PyObject* zone_from_tzif(PyObject* data, PyObject* key) noexcept;

// TimeZone.local(): the process's zone: the TZ variable's (a key, a path
// after an optional ':', or a POSIX TZ rule), else /etc/localtime's (by its
// key where it links into a zone directory), else UTC.
PyObject* local_zone() noexcept;

// TimeZone.available(): every key of the zone directories and tzdata, as a
// frozenset.
PyObject* available_keys() noexcept;

// The exception types of the module, made with it (module.cpp).
extern PyObject* zone_not_found_error;
extern PyObject* ambiguous_time_error;
extern PyObject* skipped_time_error;

}  // namespace kairodex::python
