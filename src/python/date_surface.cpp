// Python surface of Date.
#include "members.hpp"
#include "text_failures.hpp"

namespace kairodex::python {
namespace {

constexpr Failure invalid_date{"Invalid date: {}"};
constexpr Failure date_out_of_range{"Date out of range: {}"};

// The order of dates, read off the fields as one key.
constexpr std::uint64_t (*order_of)(Date) noexcept = calendar_order;

using DateFields = Fields<"Date(year, month, day)", &Date::year, &Date::month, &Date::day>;

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

[[maybe_unused]] const bool defined =
    define_class<Date>(value_class<Date, order_of, write_date<ReprBuffer>, DateFields::write_repr<ReprBuffer, Date>>({
        .methods = methods,
        .getters = DateFields::getters.data(),
        .constructor = constructor<"Date(year, month, day)", make_date, &invalid_date>(),
    }));

}  // namespace
}  // namespace kairodex::python
