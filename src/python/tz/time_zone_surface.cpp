// Python surface of TimeZone: a named time zone, read once, asked about
// instants and about wall-clock readings.
#include "members.hpp"
#include "text.hpp"

#include "tz/sources.hpp"
#include "tz/zones.hpp"

namespace kairodex::python {

PyObject* zone_transitions(ZoneRef zone, DateTime start, DateTime end) noexcept;  // transition_surface.cpp

// How resolve picks the instant of a reading the clocks repeat or skip.
enum class Disambiguation : std::uint8_t { compatible, earlier, later, raise };

template <>
struct Choices<Disambiguation> {
    static constexpr std::array<std::string_view, 4> words{"compatible", "earlier", "later", "raise"};
};

namespace {

constexpr Failure invalid_local{"Invalid local datetime: {}"};

// One of the zone's own UtcOffset objects: offsets are values, and the
// zone's are made once.
PyObject* offset_at(ZoneRef zone, DateTime instant) noexcept {
    return Py_NewRef(offset_object(*zone.zone, whole_seconds(instant)));
}

PyObject* abbreviation_at(ZoneRef zone, DateTime instant) noexcept {
    return Py_NewRef(abbreviation_object(*zone.zone, tz::type_at(view_of(zone), whole_seconds(instant)).abbreviation));
}

bool is_dst_at(ZoneRef zone, DateTime instant) noexcept {
    return tz::offset_at(view_of(zone), whole_seconds(instant)).is_dst;
}

OffsetDateTime at(ZoneRef zone, DateTime instant) noexcept {
    return {instant, {tz::offset_at(view_of(zone), whole_seconds(instant)).utc_offset}};
}

// "2024-03-31T02:30:00" (with its fraction, where it has one), for messages.
Owned reading_text(Date date, Time time) noexcept {
    ReprBuffer buffer;
    write_date(buffer, date);
    buffer.put('T');
    write_time(buffer, time);
    return Owned{text_to_python(buffer)};
}

Owned offset_text(std::int32_t seconds) noexcept {
    ReprBuffer buffer;
    write_offset(buffer, UtcOffset{seconds});
    return Owned{text_to_python(buffer)};
}

// AmbiguousTimeError or SkippedTimeError, naming the reading, the zone and
// the two offsets.
PyObject* raise_not_one_instant(const ZoneObject& zone, Date date, Time time, const tz::LocalResolution& resolution,
                                std::int32_t first, std::int32_t second) noexcept {
    const Owned reading = reading_text(date, time);
    const Owned name{zone_name(zone)};
    const Owned before = offset_text(first), after = offset_text(second);
    if (!reading || !name || !before || !after) return nullptr;
    if (resolution.kind == tz::LocalKind::Repeated) {
        PyErr_Format(ambiguous_time_error, "%U is ambiguous in %U: the clocks show it at %U and again at %U",
                     reading.get(), name.get(), before.get(), after.get());
    } else {
        PyErr_Format(skipped_time_error, "%U does not exist in %U: the clocks skip it, going from %U to %U",
                     reading.get(), name.get(), before.get(), after.get());
    }
    return nullptr;
}

// The instant of a wall-clock reading: the one there is, or the earlier or
// the later of a repeated one; a skipped one moves on by the gap, or back.
// The offset is always the zone's at the instant found.
PyObject* resolve(ZoneRef zone, Date date, Time time, Disambiguation choice) noexcept {
    const std::int64_t local = days_since_unix_epoch(date) * 86400 + seconds_since_midnight(time);
    const tz::LocalResolution found = tz::resolve_local(view_of(zone), local);
    std::int64_t instant = found.earlier;
    if (found.kind != tz::LocalKind::Unique) {
        const bool skipped = found.kind == tz::LocalKind::Skipped;
        if (choice == Disambiguation::raise) {
            const std::int64_t first = found.earlier, last = found.later;
            const std::int32_t before =
                skipped ? found.transition.offset_before : static_cast<std::int32_t>(local - first);
            const std::int32_t after =
                skipped ? found.transition.offset_after : static_cast<std::int32_t>(local - last);
            return raise_not_one_instant(*zone.zone, date, time, found, before, after);
        }
        // compatible: the earlier of two, the later (on by the gap) of none.
        const bool later = choice == Disambiguation::later || (choice == Disambiguation::compatible && skipped);
        instant = later ? found.later : found.earlier;
    }
    const Result<DateTime> utc = from_unix_parts(instant, static_cast<std::int32_t>(time.nanosecond));
    if (!utc) return raise_failure(invalid_local, utc.error());
    // A reading that happens once is at the offset it was read with.
    if (found.kind == tz::LocalKind::Unique) {
        return to_python(OffsetDateTime{*utc, UtcOffset{static_cast<std::int32_t>(local - instant)}});
    }
    return to_python(at(zone, *utc));
}

// A transition as a Python object, or None.
PyObject* transition_or_none(const std::optional<tz::ZoneTransition>& transition) noexcept {
    return transition ? to_python(*transition) : Py_NewRef(Py_None);
}

PyObject* next_transition(ZoneRef zone, DateTime after) noexcept {
    return transition_or_none(tz::next_transition(view_of(zone), whole_seconds(after)));
}

// Strictly before `before`: a transition in the second that `before` falls
// into counts when `before` lies past that second's start.
PyObject* previous_transition(ZoneRef zone, DateTime before) noexcept {
    const std::int64_t seconds = whole_seconds(before) + (before.time.nanosecond > 0);
    return transition_or_none(tz::previous_transition(view_of(zone), seconds));
}

PyObject* key_of(ZoneRef zone) noexcept { return Py_NewRef(zone.zone->key); }

PyObject* repr_of(PyObject* self) noexcept {
    const ZoneObject& zone = zone_of(self);
    if (zone.key == Py_None) return zone_name(zone);
    return PyUnicode_FromFormat("TimeZone(%R)", zone.key);
}

PyObject* str_of(PyObject* self) noexcept { return zone_name(zone_of(self)); }

// Zones with keys are equal when their keys are; zones without, when their
// data are.
PyObject* richcompare(PyObject* self, PyObject* other, int op) noexcept {
    PyTypeObject* type = type_object<ZoneRef>();
    if (type == nullptr) return nullptr;
    if (!is_instance(other, type) || (op != Py_EQ && op != Py_NE)) Py_RETURN_NOTIMPLEMENTED;
    const ZoneObject &a = zone_of(self), &b = zone_of(other);
    int equal = 0;
    if ((a.key == Py_None) == (b.key == Py_None)) {
        equal = a.key == Py_None ? PyObject_RichCompareBool(a.data, b.data, Py_EQ)
                                 : PyObject_RichCompareBool(a.key, b.key, Py_EQ);
        if (equal < 0) return nullptr;
    }
    return to_python((equal != 0) == (op == Py_EQ));
}

Py_hash_t hash(PyObject* self) noexcept {
    const ZoneObject& zone = zone_of(self);
    return PyObject_Hash(zone.key == Py_None ? zone.data : zone.key);
}

PyMethodDef methods[] = {
    class_method<"from_tzif(data, key=None)",
                 "Read a time zone from TZif data (RFC 8536, versions 1 to 4).\n\nArgs:\n    data: The bytes of a "
                 "zone file.\n    key: The zone's key, or None.\n\nReturns:\n    TimeZone: A new TimeZone, never "
                 "one kept by key.\n\nRaises:\n    ValueError: If the data are not valid TZif data.",
                 zone_from_tzif, nullptr, ZoneRef>(),
    class_method<"local()",
                 "The process's time zone: the TZ variable's (a key, a file, or a POSIX TZ rule), else that of "
                 "/etc/localtime, else UTC.\n\nReturns:\n    TimeZone: The local time zone.",
                 local_zone, nullptr, ZoneRef>(),
    class_method<"available()",
                 "Every key of the time zone database, from the same places as TimeZone(key).\n\nReturns:\n    "
                 "frozenset: The keys.",
                 available_keys, nullptr, ZoneRef>(),
    method<"offset_at(instant)",
           "The zone's UTC offset at an instant.\n\nArgs:\n    instant: A DateTime (in UTC).\n\nReturns:\n    "
           "UtcOffset: The offset of local time from UTC then.",
           offset_at>(),
    method<"abbreviation_at(instant)",
           "The abbreviation of the zone's local time at an instant (\"CET\", \"EDT\").\n\nArgs:\n    instant: A "
           "DateTime (in UTC).\n\nReturns:\n    str: The abbreviation.",
           abbreviation_at>(),
    method<"is_dst_at(instant)",
           "Whether daylight saving time is in force at an instant.\n\nArgs:\n    instant: A DateTime (in "
           "UTC).\n\nReturns:\n    bool: True during daylight saving time.",
           is_dst_at>(),
    method<"at(instant)",
           "An instant as the zone's clocks show it.\n\nArgs:\n    instant: A DateTime (in UTC).\n\nReturns:\n    "
           "OffsetDateTime: The instant at the zone's offset then.",
           at>(),
    method<"resolve(date, time, disambiguate='compatible')",
           "The instant of a wall-clock reading in the zone.\n\nArgs:\n    date: A Date (local).\n    time: A Time "
           "(local).\n    disambiguate: For a reading the clocks show twice or skip: \"compatible\" (the earlier "
           "of two; a skipped one moves on by the gap), \"earlier\", \"later\" or \"raise\".\n\nReturns:\n    "
           "OffsetDateTime: The instant, at the zone's offset then.\n\nRaises:\n    AmbiguousTimeError: A repeated "
           "reading, with \"raise\".\n    SkippedTimeError: A skipped reading, with \"raise\".\n    ValueError: If "
           "the instant is out of range.",
           resolve>(),
    method<"next_transition(after)",
           "The first change of the zone's offset after an instant.\n\nArgs:\n    after: A DateTime (in "
           "UTC).\n\nReturns:\n    Transition | None: The change, or None if the offset never changes again.",
           next_transition>(),
    method<"previous_transition(before)",
           "The last change of the zone's offset before an instant.\n\nArgs:\n    before: A DateTime (in "
           "UTC).\n\nReturns:\n    Transition | None: The change, or None if there was none.",
           previous_transition>(),
    method<"transitions(start, end)",
           "The changes of the zone's offset from start (included) to end (excluded), in order.\n\nArgs:\n    "
           "start: A DateTime (in UTC).\n    end: A DateTime (in UTC).\n\nReturns:\n    Iterator[Transition]: The "
           "changes, computed as they are asked for.",
           zone_transitions>(),
    {},
};

PyGetSetDef getters[] = {
    {"key", getter_entry<ZoneRef, key_of>, nullptr, nullptr, nullptr},
    {},
};

[[maybe_unused]] const bool defined = define_class<ZoneRef>({
    .methods = methods,
    .getters = getters,
    .constructor = constructor<"TimeZone(key)", zone_for_key, nullptr, ZoneRef>(),
    .str = str_of,
    .repr = repr_of,
    .richcompare = richcompare,
    .hash = hash,
    .dealloc = dealloc_time_zone,
});

}  // namespace
}  // namespace kairodex::python
