// The kairodex_tz module: named time zones over the IANA database; its
// classes (TimeZone, Transition) and its three exceptions.
#include "errors.hpp"

#include <atomic>

#include "tz/sources.hpp"

namespace kairodex::python {

const char module_doc[] =
    "Named time zones (the IANA time zone database) for kairodex's values: offsets at instants, the instants of\n"
    "wall-clock readings, and the transitions between them.";

namespace {

struct ExceptionRow {
    PyObject*& type;
    const char* name;  // "kairodex_tz.ZoneNotFoundError"
    PyObject* base;
    const char* doc;
};

// Made once, with the first module object, and kept for the process, as the
// classes are.
int make_exception(const ExceptionRow& row) noexcept {
    if (row.type != nullptr) return 0;
    row.type = PyErr_NewExceptionWithDoc(row.name, row.doc, row.base, nullptr);
    return row.type == nullptr ? -1 : 0;
}

}  // namespace

int add_module_members(PyObject* module) noexcept {
    const ExceptionRow rows[] = {
        {zone_not_found_error, "kairodex_tz.ZoneNotFoundError", PyExc_KeyError,
         "No time zone has the key: no zone file of that name, and none in tzdata."},
        {ambiguous_time_error, "kairodex_tz.AmbiguousTimeError", PyExc_ValueError,
         "A wall-clock reading the zone's clocks show twice (they were turned back over it)."},
        {skipped_time_error, "kairodex_tz.SkippedTimeError", PyExc_ValueError,
         "A wall-clock reading the zone's clocks never show (they were turned forward over it)."},
    };
    for (const ExceptionRow& row : rows) {
        if (make_exception(row) < 0 || add_public(module, row.name + sizeof "kairodex_tz", row.type) < 0) return -1;
    }
    return 0;
}

}  // namespace kairodex::python
