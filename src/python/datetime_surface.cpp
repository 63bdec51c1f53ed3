// Python surface of DateTime: a UTC instant with nanosecond resolution.
#include "members.hpp"
#include "text_failures.hpp"

#include "kairodex/clock.hpp"
#include "kairodex/datetime.hpp"

namespace kairodex::python {
namespace {

constexpr Failure invalid_timestamp{"Invalid timestamp: {}"};
constexpr Failure out_of_range{"DateTime out of range: {}"};
constexpr Failure clock_failed{"Failed to get current time: {}"};

constexpr DateTime combine(Date date, Time time) noexcept { return {date, time}; }

// The overloads for DateTime, picked out of those for OffsetDateTime.
constexpr Result<DateTime> (*add_duration_to)(DateTime, Duration) noexcept = add_duration;
constexpr Duration (*difference_of)(DateTime, DateTime) noexcept = difference;
// The order of instants, read off the fields (date, then time of day with
// its nanoseconds) as one key, without a count of nanoseconds since the epoch.
constexpr u128 (*order_of)(DateTime) noexcept = calendar_order;

PyMethodDef methods[] = {
    class_method<"from_unix_timestamp(secs, nanos=0)",
                 "Create a DateTime from Unix timestamp (seconds and nanoseconds).\n\nArgs:\n    secs: Seconds "
                 "since Unix epoch.\n    nanos: Additional nanoseconds (default=0).\n\nReturns:\n    DateTime: A new "
                 "DateTime instance.\n\nRaises:\n    ValueError: If the timestamp is invalid.",
                 from_unix_timestamp, &invalid_timestamp>(),
    method<"unix_timestamp()", "Get Unix timestamp (seconds since Unix epoch).", unix_timestamp>(),
    method<"unix_timestamp_nanos()", "Get Unix timestamp in nanoseconds.", unix_timestamp_nanos>(),
    method<"add_duration(dur)",
           "Add a duration to this DateTime.\n\nArgs:\n    dur: A Duration instance.\n\nReturns:\n    DateTime: A "
           "new DateTime instance.\n\nRaises:\n    ValueError: If the resulting datetime is out of range.",
           add_duration_to, &out_of_range>(),
    method<"difference(other)",
           "Calculate the difference between two DateTimes.\n\nArgs:\n    other: Another DateTime "
           "instance.\n\nReturns:\n    Duration: The duration between the two datetimes (self - other).",
           difference_of>(),
    class_method<"now_utc()", "Get the current UTC DateTime (requires std feature).", now_utc, &clock_failed>(),
    class_method<"parse(s)",
                 "Parse a DateTime from ISO 8601 / RFC 3339 UTC format.\n\nArgs:\n    s: The string to parse (e.g., "
                 "\"2024-01-01T12:00:00Z\").\n\nReturns:\n    DateTime: A new DateTime instance.\n\nRaises:\n    "
                 "ValueError: If the string is not a valid datetime.",
                 parse_datetime, &invalid_datetime_string>(),
    {},
};

[[maybe_unused]] const bool defined =
    define_class<DateTime>(value_class<DateTime, order_of, write_datetime<ReprBuffer>,
                                       ParseRepr<write_datetime<ReprBuffer>>::write<ReprBuffer, DateTime>>({
        .methods = methods,
        .getters = Fields<"DateTime(date, time)", &DateTime::date, &DateTime::time>::getters.data(),
        .constructor = constructor<"DateTime(date, time)", combine>(),
    }));

}  // namespace
}  // namespace kairodex::python
