// Python surface of Date.
#include "members.hpp"

namespace kairodex::python {
namespace {

constexpr Failure invalid_date{"Invalid date: {}"};
constexpr Failure invalid_date_string{"Invalid date string: {}"};
constexpr Failure date_out_of_range{"Date out of range: {}"};

// The order of dates, read off the fields as one key.
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
    class_method<"from_days_since_unix_epoch(days)",
                 "Create a Date from days since Unix epoch (1970-01-01).\n\nArgs:\n    days: Days since Unix "
                 "epoch.\n\nReturns:\n    Date: A new Date instance.\n\nRaises:\n    ValueError: If the date is out "
                 "of range.",
                 from_days_since_unix_epoch, &invalid_date>(),
    class_method<"parse(s)",
                 "Parse a date from ISO format (YYYY-MM-DD).\n\nArgs:\n    s: The string to parse.\n\nReturns:\n    "
                 "Date: A new Date instance.\n\nRaises:\n    ValueError: If the string is not a valid date.",
                 parse_date, &invalid_date_string>(),
    method<"days_since_unix_epoch()", "Convert to days since Unix epoch (1970-01-01).", days_since_unix_epoch>(),
    method<"weekday()", "Get the weekday.", weekday>(),
    method<"ordinal()", "Get the day of the year (1-366).", ordinal>(),
    method<"add_days(days)",
           "Add days to the date.\n\nArgs:\n    days: Number of days to add (can be negative).\n\nReturns:\n    "
           "Date: A new Date instance.\n\nRaises:\n    ValueError: If the resulting date is out of range.",
           add_days, &date_out_of_range>(),
    {},
};

PyGetSetDef getters[] = {
    getter<"year", &Date::year>(),
    getter<"month", &Date::month>(),
    getter<"day", &Date::day>(),
    {},
};

const ClassSurface surface = value_class<Date, order_of, write_date<ReprBuffer>, write_repr<ReprBuffer>>({
    .methods = methods,
    .getters = getters,
    .constructor = constructor<"Date(year, month, day)", make_date, &invalid_date>(),
});

}  // namespace

template <>
const ClassSurface& surface_of<Date>() noexcept {
    return surface;
}

}  // namespace kairodex::python
