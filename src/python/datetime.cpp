// Python surface of DateTime: a UTC instant with nanosecond resolution.
#include "entry.hpp"

#include "kairodex/datetime.hpp"

#include "kairodex/clock.hpp"

namespace kairodex::python {
namespace {

constexpr ParameterTable new_parameters{"DateTime", "__new__", {"date", "time"}, 2, 2};
constexpr ParameterTable from_unix_timestamp_parameters{"DateTime", "from_unix_timestamp", {"secs", "nanos"}, 2, 1};
constexpr ParameterTable add_duration_parameters{"DateTime", "add_duration", {"dur"}, 1, 1};
constexpr ParameterTable difference_parameters{"DateTime", "difference", {"other"}, 1, 1};
constexpr ParameterTable parse_parameters{"DateTime", "parse", {"s"}, 1, 1};

constexpr Failure invalid_timestamp{"Invalid timestamp: {}"};
constexpr Failure out_of_range{"DateTime out of range: {}"};
constexpr Failure clock_failed{"Failed to get current time: {}"};
constexpr Failure invalid_string{"Invalid datetime string '{}'. Expected format: YYYY-MM-DDTHH:MM:SS[.fffffffff]Z",
                                 true};

constexpr DateTime combine(Date date, Time time) noexcept { return {date, time}; }

// The overloads for DateTime, picked out of those for OffsetDateTime.
constexpr Result<DateTime> (*add_duration_to)(DateTime, Duration) noexcept = add_duration;
constexpr Duration (*difference_of)(DateTime, DateTime) noexcept = difference;
// The order of instants, read off the fields (date, then time of day with
// its nanoseconds) without a count of nanoseconds since the epoch.
constexpr u128 (*order_of)(DateTime) noexcept = calendar_order;

template <class Out>
void write_repr(Out& out, DateTime value) noexcept {
    out.put("DateTime.parse('");
    write_datetime(out, value);
    out.put("')");
}

PyMethodDef methods[] = {
    {"from_unix_timestamp",
     as_method(class_method<from_unix_timestamp_parameters, from_unix_timestamp, &invalid_timestamp>),
     fast_call | METH_CLASS,
     "from_unix_timestamp($cls, secs, nanos=0)\n--\n\nCreate a DateTime from Unix timestamp (seconds "
     "and nanoseconds).\n\nArgs:\n    secs: Seconds since Unix epoch.\n    nanos: Additional "
     "nanoseconds (default=0).\n\nReturns:\n    DateTime: A new DateTime instance.\n\nRaises:\n    "
     "ValueError: If the timestamp is invalid."},
    {"unix_timestamp", as_method(method_noargs<unix_timestamp>), METH_NOARGS,
     "unix_timestamp($self)\n--\n\nGet Unix timestamp (seconds since Unix epoch)."},
    {"unix_timestamp_nanos", as_method(method_noargs<unix_timestamp_nanos>), METH_NOARGS,
     "unix_timestamp_nanos($self)\n--\n\nGet Unix timestamp in nanoseconds."},
    {"add_duration", as_method(method<add_duration_parameters, add_duration_to, &out_of_range>), fast_call,
     "add_duration($self, dur)\n--\n\nAdd a duration to this DateTime.\n\nArgs:\n    dur: A Duration "
     "instance.\n\nReturns:\n    DateTime: A new DateTime instance.\n\nRaises:\n    ValueError: If the "
     "resulting datetime is out of range."},
    {"difference", as_method(method<difference_parameters, difference_of>), fast_call,
     "difference($self, other)\n--\n\nCalculate the difference between two DateTimes.\n\nArgs:\n    "
     "other: Another DateTime instance.\n\nReturns:\n    Duration: The duration between the two "
     "datetimes (self - other)."},
    {"now_utc", as_method(class_method_noargs<now_utc, &clock_failed>), METH_NOARGS | METH_CLASS,
     "now_utc($cls)\n--\n\nGet the current UTC DateTime (requires std feature)."},
    {"parse", as_method(class_method<parse_parameters, parse_datetime, &invalid_string>), fast_call | METH_CLASS,
     "parse($cls, s)\n--\n\nParse a DateTime from ISO 8601 / RFC 3339 UTC format.\n\nArgs:\n    s: The "
     "string to parse (e.g., \"2024-01-01T12:00:00Z\").\n\nReturns:\n    DateTime: A new DateTime "
     "instance.\n\nRaises:\n    ValueError: If the string is not a valid datetime."},
    {},
};

PyGetSetDef getters[] = {
    {"date", getter<DateTime, &DateTime::date>, nullptr, nullptr, nullptr},
    {"time", getter<DateTime, &DateTime::time>, nullptr, nullptr, nullptr},
    {},
};

PyType_Slot slots[] = {
    {Py_tp_base, &PyBaseObject_Type},
    {Py_tp_dealloc, as_slot(dealloc_instance)},
    {Py_tp_doc, const_cast<char*>("DateTime(date, time)\n--\n\n")},
    {Py_tp_methods, methods},
    {Py_tp_getset, getters},
    {Py_tp_new, as_slot(constructor<new_parameters, combine>)},
    {Py_tp_vectorcall, as_slot(constructor_call<new_parameters, combine>)},
    {Py_tp_str, as_slot(text_slot<DateTime, write_datetime<ReprBuffer>>)},
    {Py_tp_repr, as_slot(text_slot<DateTime, write_repr<ReprBuffer>>)},
    {Py_tp_richcompare, as_slot(richcompare_slot<DateTime, order_of>)},
    {Py_tp_hash, as_slot(hash_slot<DateTime>)},
    {0, nullptr},
};

}  // namespace

extern const ClassSpec datetime_class = {
    "kairodex.DateTime", "DateTime", 0, slots, instance_size<DateTime>, nullptr,
};

}  // namespace kairodex::python
