// Python surface of Date.
#include "entry.hpp"

namespace kairodex::python {
namespace {

constexpr ParameterTable new_parameters{"Date", "__new__", {"year", "month", "day"}, 3, 3};
constexpr ParameterTable from_days_parameters{"Date", "from_days_since_unix_epoch", {"days"}, 1, 1};
constexpr ParameterTable add_days_parameters{"Date", "add_days", {"days"}, 1, 1};
constexpr ParameterTable parse_parameters{"Date", "parse", {"s"}, 1, 1};

constexpr Failure invalid_date{"Invalid date: {}"};
constexpr Failure invalid_date_string{"Invalid date string: {}"};
constexpr Failure date_out_of_range{"Date out of range: {}"};

// The order of day counts, without counting days.
constexpr std::uint64_t (*order_of)(Date) noexcept = calendar_order;

template <class Out>
void write_repr(Out& out, Date date) noexcept {
    out.put("Date(year=");
    put_signed(out, date.year);
    out.put(", month=");
    put_unsigned(out, date.month);
    out.put(", day=");
    put_unsigned(out, date.day);
    out.put(')');
}

PyMethodDef methods[] = {
    {"from_days_since_unix_epoch",
     as_method(class_method<from_days_parameters, from_days_since_unix_epoch, &invalid_date>), fast_call | METH_CLASS,
     "from_days_since_unix_epoch($cls, days)\n--\n\nCreate a Date from days since Unix epoch "
     "(1970-01-01).\n\nArgs:\n    days: Days since Unix epoch.\n\nReturns:\n    Date: A new Date "
     "instance.\n\nRaises:\n    ValueError: If the date is out of range."},
    {"parse", as_method(class_method<parse_parameters, parse_date, &invalid_date_string>), fast_call | METH_CLASS,
     "parse($cls, s)\n--\n\nParse a date from ISO format (YYYY-MM-DD).\n\nArgs:\n    s: The string "
     "to parse.\n\nReturns:\n    Date: A new Date instance.\n\nRaises:\n    ValueError: If the "
     "string is not a valid date."},
    {"days_since_unix_epoch", as_method(method_noargs<days_since_unix_epoch>), METH_NOARGS,
     "days_since_unix_epoch($self)\n--\n\nConvert to days since Unix epoch (1970-01-01)."},
    {"weekday", as_method(method_noargs<weekday>), METH_NOARGS, "weekday($self)\n--\n\nGet the weekday."},
    {"ordinal", as_method(method_noargs<ordinal>), METH_NOARGS,
     "ordinal($self)\n--\n\nGet the day of the year (1-366)."},
    {"add_days", as_method(method<add_days_parameters, add_days, &date_out_of_range>), fast_call,
     "add_days($self, days)\n--\n\nAdd days to the date.\n\nArgs:\n    days: Number of days to add "
     "(can be negative).\n\nReturns:\n    Date: A new Date instance.\n\nRaises:\n    ValueError: If "
     "the resulting date is out of range."},
    {},
};

PyGetSetDef getters[] = {
    {"year", getter<Date, &Date::year>, nullptr, nullptr, nullptr},
    {"month", getter<Date, &Date::month>, nullptr, nullptr, nullptr},
    {"day", getter<Date, &Date::day>, nullptr, nullptr, nullptr},
    {},
};

PyType_Slot slots[] = {
    {Py_tp_base, &PyBaseObject_Type},
    {Py_tp_dealloc, as_slot(dealloc_instance)},
    {Py_tp_doc, const_cast<char*>("Date(year, month, day)\n--\n\n")},
    {Py_tp_methods, methods},
    {Py_tp_getset, getters},
    {Py_tp_new, as_slot(constructor<new_parameters, make_date, &invalid_date>)},
    {Py_tp_vectorcall, as_slot(constructor_call<new_parameters, make_date, &invalid_date>)},
    {Py_tp_str, as_slot(text_slot<Date, write_date<ReprBuffer>>)},
    {Py_tp_repr, as_slot(text_slot<Date, write_repr<ReprBuffer>>)},
    {Py_tp_richcompare, as_slot(richcompare_slot<Date, order_of>)},
    {Py_tp_hash, as_slot(hash_slot<Date>)},
    {0, nullptr},
};

}  // namespace

extern const ClassSpec date_class = {
    "kairodex.Date", "Date", 0, slots, instance_size<Date>, nullptr,
};

}  // namespace kairodex::python
