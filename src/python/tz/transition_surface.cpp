// Python surface of Transition (a change of a zone's offset) and of the
// iterator that TimeZone.transitions returns.
#include "members.hpp"

#include "tz/zones.hpp"

namespace kairodex::python {
namespace {

// Transitions lie within kairodex's range: the core gives no others.
DateTime instant_of(tz::ZoneTransition transition) noexcept { return *from_unix_parts(transition.instant, 0); }
constexpr UtcOffset offset_before(tz::ZoneTransition transition) noexcept { return {transition.offset_before}; }
constexpr UtcOffset offset_after(tz::ZoneTransition transition) noexcept { return {transition.offset_after}; }
constexpr std::int64_t order_of(tz::ZoneTransition transition) noexcept { return transition.instant; }

// "+01:00", "-00:09:21": an offset to the second (a zone's first offset, its
// local mean time, often has seconds).
template <class Out>
void write_exact_offset(Out& out, std::int32_t seconds) noexcept {
    const std::uint32_t size =
        seconds < 0 ? 0u - static_cast<std::uint32_t>(seconds) : static_cast<std::uint32_t>(seconds);
    out.put(seconds < 0 ? '-' : '+');
    put_unsigned(out, size / 3600, 2);
    out.put(':');
    put_unsigned(out, size / 60 % 60, 2);
    if (size % 60 != 0) {
        out.put(':');
        put_unsigned(out, size % 60, 2);
    }
}

// "2024-03-31T01:00:00Z +01:00 -> +02:00".
template <class Out>
void write_text(Out& out, tz::ZoneTransition transition) noexcept {
    write_datetime(out, instant_of(transition));
    out.put(' ');
    write_exact_offset(out, transition.offset_before);
    out.put(" -> ");
    write_exact_offset(out, transition.offset_after);
}

// "<Transition 2024-03-31T01:00:00Z +01:00 -> +02:00>".
template <class Out>
void write_repr(Out& out, tz::ZoneTransition transition) noexcept {
    out.put("<Transition ");
    write_text(out, transition);
    out.put('>');
}

PyGetSetDef getters[] = {
    {"instant", getter_entry<tz::ZoneTransition, instant_of>, nullptr, nullptr, nullptr},
    {"offset_before", getter_entry<tz::ZoneTransition, offset_before>, nullptr, nullptr, nullptr},
    {"offset_after", getter_entry<tz::ZoneTransition, offset_after>, nullptr, nullptr, nullptr},
    {},
};

[[maybe_unused]] const bool defined = define_class<tz::ZoneTransition>(
    value_class<tz::ZoneTransition, order_of, write_text<ReprBuffer>, write_repr<ReprBuffer>>({.getters = getters}));

// --- the iterator -------------------------------------------------------------

TransitionRun& run_of(PyObject* self) noexcept { return reinterpret_cast<Instance<TransitionRun>*>(self)->value; }

// The next transition, or null without an exception at the end. One thread
// at a time moves the iteration on.
PyObject* next_of(PyObject* self) noexcept {
    TransitionRun& run = run_of(self);
    PyMutex_Lock(&run.lock);
    std::optional<tz::ZoneTransition> next;
    if (run.after < run.last) next = tz::next_transition(zone_of(run.zone).view, run.after);
    run.after = next && next->instant <= run.last ? next->instant : run.last;
    PyMutex_Unlock(&run.lock);
    if (!next || next->instant > run.last) return nullptr;
    return to_python(*next);
}

void dealloc_run(PyObject* self) noexcept {
    Py_DECREF(run_of(self).zone);
    dealloc_instance(self);
}

const PyType_Slot iteration_slots[] = {
    {Py_tp_iter, reinterpret_cast<void*>(&PyObject_SelfIter)},
    {Py_tp_iternext, reinterpret_cast<void*>(&next_of)},
};

[[maybe_unused]] const bool iterator_defined = define_class<TransitionRun>({
    .other_slots = iteration_slots,
    .dealloc = dealloc_run,
});

}  // namespace

// TimeZone.transitions(start, end): the transitions at whole seconds s with
// start <= s < end.
PyObject* zone_transitions(ZoneRef zone, DateTime start, DateTime end) noexcept {
    PyTypeObject* type = type_object<TransitionRun>();
    if (type == nullptr) return nullptr;
    const std::int64_t after = whole_seconds(start) - (start.time.nanosecond == 0);
    const std::int64_t last = whole_seconds(end) - (end.time.nanosecond == 0);
    // The iterator's reference to its zone is taken once the iterator exists.
    PyObject* run = new_instance(type, TransitionRun{zone.zone->self, after, last, {}});
    if (run != nullptr) Py_INCREF(zone.zone->self);
    return run;
}

}  // namespace kairodex::python
