// Python surface of Duration: a signed 128-bit count of nanoseconds with
// exact arithmetic that refuses to wrap.
#include "members.hpp"

#include "kairodex/duration.hpp"

namespace kairodex::python {
namespace {

// A sum or difference beyond signed 128 bits is an error, not a wrap-around.
constexpr Failure out_of_range{"Duration out of range: {}", false, Failure::Raises::OverflowError};

constexpr i128 count_of(Duration duration) noexcept { return duration.nanos; }

// + and -: both operands must be durations; anything else is NotImplemented,
// so Python raises its own TypeError (also for `1 + d` and `sum()` without a start).
template <auto operation>
PyObject* binary_slot(PyObject* left, PyObject* right) noexcept {
    PyTypeObject* type = type_object<Duration>();
    if (type == nullptr) return nullptr;
    if (!is_instance(left, type) || !is_instance(right, type)) Py_RETURN_NOTIMPLEMENTED;
    return finish<&out_of_range>(operation(value_of<Duration>(left), value_of<Duration>(right)));
}
PyObject* negative_slot(PyObject* self) noexcept { return finish<&out_of_range>(negate(value_of<Duration>(self))); }

PyMethodDef methods[] = {
    class_method<"seconds(secs)", "Create a duration from seconds.", duration_from_seconds>(),
    class_method<"milliseconds(ms)", "Create a duration from milliseconds.", duration_from_milliseconds>(),
    class_method<"microseconds(us)", "Create a duration from microseconds.", duration_from_microseconds>(),
    class_method<"nanoseconds(ns)", "Create a duration from nanoseconds.", duration_from_nanoseconds>(),
    method<"total_seconds()", "Get total seconds as a float.", total_seconds>(),
    method<"total_nanos()", "Get total nanoseconds as an integer.", count_of>(),
    {},
};

const PyType_Slot arithmetic[] = {
    {Py_nb_negative, as_slot(negative_slot)},
    {Py_nb_add, as_slot(binary_slot<add>)},
    {Py_nb_subtract, as_slot(binary_slot<subtract>)},
};

[[maybe_unused]] const bool defined = define_class<Duration>(
    value_class<Duration, count_of, write_duration_str<ReprBuffer>, write_duration_repr<ReprBuffer>>({
        .methods = methods,
        .other_slots = arithmetic,
    }));

}  // namespace

}  // namespace kairodex::python
