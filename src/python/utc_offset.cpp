// Python surface of UtcOffset.
#include "entry.hpp"

#include "kairodex/utc_offset.hpp"

namespace kairodex::python {
namespace {

constexpr ParameterTable from_seconds_parameters{"UtcOffset", "from_seconds", {"seconds"}, 1, 1};
constexpr ParameterTable from_hours_minutes_parameters{
    "UtcOffset", "from_hours_minutes", {"sign_positive", "hours", "minutes"}, 3, 3};

constexpr Failure invalid_offset{"Invalid offset: {}"};

constexpr std::int32_t seconds_of(UtcOffset offset) noexcept { return offset.seconds; }

template <class Out>
void write_repr(Out& out, UtcOffset offset) noexcept {
    out.put("UtcOffset.from_seconds(");
    put_signed(out, offset.seconds);
    out.put(')');
}

PyMethodDef methods[] = {
    {"from_seconds", as_method(class_method<from_seconds_parameters, offset_from_seconds, &invalid_offset>),
     fast_call | METH_CLASS,
     "from_seconds($cls, seconds)\n--\n\nCreate a UtcOffset from total seconds.\n\nArgs:\n    seconds: "
     "Total seconds offset from UTC (roughly -86400 to +86400).\n\nReturns:\n    UtcOffset: A new "
     "UtcOffset instance.\n\nRaises:\n    ValueError: If the offset is out of range."},
    {"from_hours_minutes",
     as_method(class_method<from_hours_minutes_parameters, offset_from_hours_minutes, &invalid_offset>),
     fast_call | METH_CLASS,
     "from_hours_minutes($cls, sign_positive, hours, minutes)\n--\n\nCreate a UtcOffset from hours and "
     "minutes.\n\nArgs:\n    sign_positive: True for positive offset, False for negative.\n    hours: "
     "Hours component (0-23).\n    minutes: Minutes component (0-59).\n\nReturns:\n    UtcOffset: A "
     "new UtcOffset instance.\n\nRaises:\n    ValueError: If the offset is out of range."},
    {"as_seconds", as_method(method_noargs<seconds_of>), METH_NOARGS,
     "as_seconds($self)\n--\n\nGet the offset as seconds."},
    {"is_utc", as_method(method_noargs<is_utc>), METH_NOARGS,
     "is_utc($self)\n--\n\nCheck if this is UTC (offset = 0)."},
    {},
};

PyType_Slot slots[] = {
    {Py_tp_base, &PyBaseObject_Type},
    {Py_tp_dealloc, as_slot(dealloc_instance)},
    {Py_tp_methods, methods},
    {Py_tp_str, as_slot(text_slot<UtcOffset, write_offset<ReprBuffer>>)},
    {Py_tp_repr, as_slot(text_slot<UtcOffset, write_repr<ReprBuffer>>)},
    {Py_tp_richcompare, as_slot(richcompare_slot<UtcOffset, seconds_of>)},
    {Py_tp_hash, as_slot(hash_slot<UtcOffset>)},
    {0, nullptr},
};

}  // namespace

extern const ClassSpec utc_offset_class = {
    "kairodex.UtcOffset", "UtcOffset", Py_TPFLAGS_DISALLOW_INSTANTIATION, slots, instance_size<UtcOffset>, nullptr,
};

}  // namespace kairodex::python
