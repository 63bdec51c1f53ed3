// Python surface of Time.
#include "entry.hpp"

#include "kairodex/time.hpp"

namespace kairodex::python {
namespace {

constexpr ParameterTable new_parameters{"Time", "__new__", {"hour", "minute", "second", "nanosecond"}, 4, 3};
constexpr ParameterTable parse_parameters{"Time", "parse", {"s"}, 1, 1};

constexpr Failure invalid_time{"Invalid time: {}"};
constexpr Failure invalid_time_string{"Invalid time string: {}"};

template <class Out>
void write_repr(Out& out, Time time) noexcept {
    out.put("Time(hour=");
    put_unsigned(out, time.hour);
    out.put(", minute=");
    put_unsigned(out, time.minute);
    out.put(", second=");
    put_unsigned(out, time.second);
    out.put(", nanosecond=");
    put_unsigned(out, time.nanosecond);
    out.put(')');
}

PyMethodDef methods[] = {
    {"seconds_since_midnight", as_method(method_noargs<seconds_since_midnight>), METH_NOARGS,
     "seconds_since_midnight($self)\n--\n\nGet total seconds since midnight (ignoring nanoseconds)."},
    {"nanos_since_midnight", as_method(method_noargs<nanos_since_midnight>), METH_NOARGS,
     "nanos_since_midnight($self)\n--\n\nGet total nanoseconds since midnight."},
    {"parse", as_method(class_method<parse_parameters, parse_time, &invalid_time_string>), fast_call | METH_CLASS,
     "parse($cls, s)\n--\n\nParse a time from ISO format (HH:MM:SS[.fffffffff]).\n\nArgs:\n    s: "
     "The string to parse.\n\nReturns:\n    Time: A new Time instance.\n\nRaises:\n    ValueError: "
     "If the string is not a valid time."},
    {},
};

PyGetSetDef getters[] = {
    {"hour", getter<Time, &Time::hour>, nullptr, nullptr, nullptr},
    {"minute", getter<Time, &Time::minute>, nullptr, nullptr, nullptr},
    {"second", getter<Time, &Time::second>, nullptr, nullptr, nullptr},
    {"nanosecond", getter<Time, &Time::nanosecond>, nullptr, nullptr, nullptr},
    {},
};

PyType_Slot slots[] = {
    {Py_tp_base, &PyBaseObject_Type},
    {Py_tp_dealloc, as_slot(dealloc_instance)},
    {Py_tp_doc, const_cast<char*>("Time(hour, minute, second, nanosecond=0)\n--\n\n")},
    {Py_tp_methods, methods},
    {Py_tp_getset, getters},
    {Py_tp_new, as_slot(constructor<new_parameters, make_time, &invalid_time>)},
    {Py_tp_vectorcall, as_slot(constructor_call<new_parameters, make_time, &invalid_time>)},
    {Py_tp_str, as_slot(text_slot<Time, write_time<ReprBuffer>>)},
    {Py_tp_repr, as_slot(text_slot<Time, write_repr<ReprBuffer>>)},
    {Py_tp_richcompare, as_slot(richcompare_slot<Time, nanos_since_midnight>)},
    {Py_tp_hash, as_slot(hash_slot<Time>)},
    {0, nullptr},
};

}  // namespace

extern const ClassSpec time_class = {
    "kairodex.Time", "Time", 0, slots, instance_size<Time>, nullptr,
};

}  // namespace kairodex::python
