// Python surface of OffsetDateTime: a UTC instant and the fixed offset it is
// shown in.
#include "entry.hpp"

#include "kairodex/offset_datetime.hpp"

namespace kairodex::python {
namespace {

constexpr ParameterTable from_utc_parameters{"OffsetDateTime", "from_utc", {"utc", "offset"}, 2, 2};
constexpr ParameterTable from_local_parameters{"OffsetDateTime", "from_local", {"date", "time", "offset"}, 3, 3};
constexpr ParameterTable add_duration_parameters{"OffsetDateTime", "add_duration", {"dur"}, 1, 1};
constexpr ParameterTable difference_parameters{"OffsetDateTime", "difference", {"other"}, 1, 1};
constexpr ParameterTable parse_parameters{"OffsetDateTime", "parse", {"s"}, 1, 1};

constexpr Failure invalid_local{"Invalid local datetime: {}"};
constexpr Failure local_out_of_range{"Local datetime out of range: {}"};
constexpr Failure out_of_range{"DateTime out of range: {}"};
constexpr Failure invalid_string{
    "Invalid offset datetime string '{}'. Expected RFC 3339 format: "
    "YYYY-MM-DDTHH:MM:SS[.fffffffff][Z|\u00b1HH:MM]",
    true};
// A value whose local reading lies beyond the representable years cannot be
// written; that is the caller's ValueError, not an internal failure.
constexpr Failure unrepresentable{"OffsetDateTime local representation out of range: {}"};

constexpr OffsetDateTime from_utc(DateTime utc, UtcOffset offset) noexcept { return {utc, offset}; }
constexpr std::int64_t instant_seconds(OffsetDateTime value) noexcept { return unix_timestamp(value.utc); }
constexpr i128 instant_nanos(OffsetDateTime value) noexcept { return unix_timestamp_nanos(value.utc); }
// The order of instants, read off the fields (date, then time of day with
// its nanoseconds) without a count of nanoseconds since the epoch.
constexpr u128 instant_order(OffsetDateTime value) noexcept { return calendar_order(value.utc); }

// The overloads for OffsetDateTime, picked out of those for DateTime.
constexpr Result<OffsetDateTime> (*add_duration_to)(OffsetDateTime, Duration) noexcept = add_duration;
constexpr Duration (*difference_of)(OffsetDateTime, OffsetDateTime) noexcept = difference;

// str, and repr as "OffsetDateTime.parse('...')".
template <bool as_repr>
PyObject* text_slot(PyObject* self) noexcept {
    Entry entry;
    ReprBuffer buffer;
    if constexpr (as_repr) buffer.put("OffsetDateTime.parse('");
    const Result<DateTime> local = write_offset_datetime(buffer, value_of<OffsetDateTime>(self));
    if (!local) return raise_failure(unrepresentable, local.error());
    if constexpr (as_repr) buffer.put("')");
    return text_to_python(buffer);
}

PyMethodDef methods[] = {
    {"from_utc", as_method(class_method<from_utc_parameters, from_utc>), fast_call | METH_CLASS,
     "from_utc($cls, utc, offset)\n--\n\nCreate an OffsetDateTime from a UTC DateTime and "
     "offset.\n\nArgs:\n    utc: A DateTime instance (in UTC).\n    offset: A UtcOffset "
     "instance.\n\nReturns:\n    OffsetDateTime: A new OffsetDateTime instance."},
    {"from_local", as_method(class_method<from_local_parameters, from_local, &invalid_local>), fast_call | METH_CLASS,
     "from_local($cls, date, time, offset)\n--\n\nCreate an OffsetDateTime from local date, time, "
     "and offset.\n\nArgs:\n    date: A Date instance (in local time).\n    time: A Time instance (in "
     "local time).\n    offset: A UtcOffset instance.\n\nReturns:\n    OffsetDateTime: A new "
     "OffsetDateTime instance.\n\nRaises:\n    ValueError: If the conversion fails."},
    {"to_local", as_method(method_noargs<to_local, &local_out_of_range>), METH_NOARGS,
     "to_local($self)\n--\n\nConvert to local DateTime.\n\nReturns:\n    DateTime: The local "
     "DateTime.\n\nRaises:\n    ValueError: If the conversion fails."},
    {"unix_timestamp", as_method(method_noargs<instant_seconds>), METH_NOARGS,
     "unix_timestamp($self)\n--\n\nGet Unix timestamp (seconds since Unix epoch)."},
    {"unix_timestamp_nanos", as_method(method_noargs<instant_nanos>), METH_NOARGS,
     "unix_timestamp_nanos($self)\n--\n\nGet Unix timestamp in nanoseconds."},
    {"add_duration", as_method(method<add_duration_parameters, add_duration_to, &out_of_range>), fast_call,
     "add_duration($self, dur)\n--\n\nAdd a duration.\n\nArgs:\n    dur: A Duration "
     "instance.\n\nReturns:\n    OffsetDateTime: A new OffsetDateTime instance.\n\nRaises:\n    "
     "ValueError: If the resulting datetime is out of range."},
    {"difference", as_method(method<difference_parameters, difference_of>), fast_call,
     "difference($self, other)\n--\n\nCalculate the difference between two "
     "OffsetDateTimes.\n\nArgs:\n    other: Another OffsetDateTime instance.\n\nReturns:\n    "
     "Duration: The duration between the two datetimes (self - other)."},
    {"parse", as_method(class_method<parse_parameters, parse_offset_datetime, &invalid_string>), fast_call | METH_CLASS,
     "parse($cls, s)\n--\n\nParse an OffsetDateTime from RFC 3339 format.\n\nArgs:\n    s: The "
     "string to parse.\n\nReturns:\n    OffsetDateTime: A new OffsetDateTime instance.\n\nRaises:\n "
     "   ValueError: If the string is not valid."},
    {},
};

PyGetSetDef getters[] = {
    {"utc", getter<OffsetDateTime, &OffsetDateTime::utc>, nullptr, nullptr, nullptr},
    {"offset", getter<OffsetDateTime, &OffsetDateTime::offset>, nullptr, nullptr, nullptr},
    {},
};

PyType_Slot slots[] = {
    {Py_tp_base, &PyBaseObject_Type},
    {Py_tp_dealloc, as_slot(dealloc_instance)},
    {Py_tp_methods, methods},
    {Py_tp_getset, getters},
    {Py_tp_str, as_slot(text_slot<false>)},
    {Py_tp_repr, as_slot(text_slot<true>)},
    {Py_tp_richcompare, as_slot(richcompare_slot<OffsetDateTime, instant_order>)},
    {Py_tp_hash, as_slot(hash_slot<OffsetDateTime>)},
    {0, nullptr},
};

}  // namespace

extern const ClassSpec offset_datetime_class = {
    "kairodex.OffsetDateTime",     "OffsetDateTime", Py_TPFLAGS_DISALLOW_INSTANTIATION, slots,
    instance_size<OffsetDateTime>, nullptr,
};

}  // namespace kairodex::python
