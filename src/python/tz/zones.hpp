// A time zone as kairodex_tz holds it: its TZif data read once into the
// tables the core answers from (src/lib/kairodex/tz), its abbreviations made
// into str objects once, and its key. A TimeZone instance is the object
// header and a pointer to one of these, which it owns.
#pragma once

#include "instance.hpp"
#include "reference.hpp"

#include <cstdint>
#include <string_view>

#include "kairodex/datetime.hpp"
#include "kairodex/tz/posix_rule.hpp"
#include "kairodex/tz/tzif.hpp"
#include "kairodex/tz/zone.hpp"

namespace kairodex::python {

struct ZoneObject {
    tz::ZoneView view;  // into `tables`, with `rule` where the data has one
    tz::PosixRule rule;
    PyObject* key;   // str, or None for a zone read from bytes without one
    PyObject* data;  // the TZif bytes: the rule's names point into them
    // The abbreviations as str: the table's by where they start in its
    // characters, then the rule's standard and daylight saving names.
    PyObject** abbreviations;
    std::size_t abbreviation_count;
    // Each type's offset as a kairodex.UtcOffset, the rule's two after the
    // table's (tz::type_index_at): offset_at hands out these, as a value
    // needs no object of its own.
    PyObject** offsets;
    void* tables;          // one block for every table of `view`
    std::uint16_t* index;  // the index of its transitions, or null
    PyObject* self;        // the TimeZone that owns the zone (no reference: it is the owner)
};

inline const ZoneObject& zone_of(PyObject* time_zone) noexcept { return *value_of<ZoneRef>(time_zone).zone; }
inline const tz::ZoneView& view_of(ZoneRef zone) noexcept { return zone.zone->view; }

// A new TimeZone from TZif bytes (a bytes object) and its key (a str, or None):
// null with ValueError saying what is wrong with the data.
PyObject* new_time_zone(PyObject* data, PyObject* key) noexcept;

// TimeZone's deallocator: the zone, then the instance.
void dealloc_time_zone(PyObject* self) noexcept;

// The abbreviation the core's answer points at, as the zone's own str
// (borrowed).
PyObject* abbreviation_object(const ZoneObject& zone, std::string_view abbreviation) noexcept;

// Seconds since the Unix epoch, counted down to the second before or at the
// instant: offsets change on whole seconds.
constexpr std::int64_t whole_seconds(DateTime instant) noexcept { return unix_timestamp(instant); }

// The zone's UtcOffset at the instant (borrowed).
inline PyObject* offset_object(const ZoneObject& zone, std::int64_t unix_seconds) noexcept {
    return zone.offsets[tz::type_index_at(zone.view, unix_seconds)];
}

// The zone's name in messages: its key, or what stands for a zone without one.
PyObject* zone_name(const ZoneObject& zone) noexcept;

}  // namespace kairodex::python
