// Python surface of Duration: a signed 128-bit count of nanoseconds with
// exact arithmetic that refuses to wrap.
#include "entry.hpp"

#include "kairodex/duration.hpp"

namespace kairodex::python {
namespace {

constexpr ParameterTable seconds_parameters{"Duration", "seconds", {"secs"}, 1, 1};
constexpr ParameterTable milliseconds_parameters{"Duration", "milliseconds", {"ms"}, 1, 1};
constexpr ParameterTable microseconds_parameters{"Duration", "microseconds", {"us"}, 1, 1};
constexpr ParameterTable nanoseconds_parameters{"Duration", "nanoseconds", {"ns"}, 1, 1};

// A sum or difference beyond signed 128 bits is an error, not a wrap-around.
constexpr Failure out_of_range{"Duration out of range: {}", false, Failure::Raises::OverflowError};

constexpr i128 count_of(Duration duration) noexcept { return duration.nanos; }

// + and -: both operands must be durations; anything else is NotImplemented,
// so Python raises its own TypeError (also for `1 + d` and `sum()` without a start).
template <auto operation>
PyObject* binary_slot(PyObject* left, PyObject* right) noexcept {
    Entry entry;
    PyTypeObject* type = type_object(ClassId::Duration);
    if (type == nullptr) return nullptr;
    if (!is_instance(left, type) || !is_instance(right, type)) Py_RETURN_NOTIMPLEMENTED;
    return finish<&out_of_range>(operation(value_of<Duration>(left), value_of<Duration>(right)));
}
PyObject* negative_slot(PyObject* self) noexcept {
    Entry entry;
    return finish<&out_of_range>(negate(value_of<Duration>(self)));
}

PyMethodDef methods[] = {
    {"seconds", as_method(class_method<seconds_parameters, duration_from_seconds>), fast_call | METH_CLASS,
     "seconds($cls, secs)\n--\n\nCreate a duration from seconds."},
    {"milliseconds", as_method(class_method<milliseconds_parameters, duration_from_milliseconds>),
     fast_call | METH_CLASS, "milliseconds($cls, ms)\n--\n\nCreate a duration from milliseconds."},
    {"microseconds", as_method(class_method<microseconds_parameters, duration_from_microseconds>),
     fast_call | METH_CLASS, "microseconds($cls, us)\n--\n\nCreate a duration from microseconds."},
    {"nanoseconds", as_method(class_method<nanoseconds_parameters, duration_from_nanoseconds>), fast_call | METH_CLASS,
     "nanoseconds($cls, ns)\n--\n\nCreate a duration from nanoseconds."},
    {"total_seconds", as_method(method_noargs<total_seconds>), METH_NOARGS,
     "total_seconds($self)\n--\n\nGet total seconds as a float."},
    {"total_nanos", as_method(method_noargs<count_of>), METH_NOARGS,
     "total_nanos($self)\n--\n\nGet total nanoseconds as an integer."},
    {},
};

PyType_Slot slots[] = {
    {Py_tp_base, &PyBaseObject_Type},
    {Py_tp_dealloc, as_slot(dealloc_instance)},
    {Py_tp_methods, methods},
    {Py_nb_negative, as_slot(negative_slot)},
    {Py_nb_add, as_slot(binary_slot<add>)},
    {Py_nb_subtract, as_slot(binary_slot<subtract>)},
    {Py_tp_str, as_slot(text_slot<Duration, write_duration_str<ReprBuffer>>)},
    {Py_tp_repr, as_slot(text_slot<Duration, write_duration_repr<ReprBuffer>>)},
    {Py_tp_richcompare, as_slot(richcompare_slot<Duration, count_of>)},
    {Py_tp_hash, as_slot(hash_slot<Duration>)},
    {0, nullptr},
};

}  // namespace

extern const ClassSpec duration_class = {
    "kairodex.Duration", "Duration", Py_TPFLAGS_DISALLOW_INSTANTIATION, slots, instance_size<Duration>, nullptr,
};

}  // namespace kairodex::python
