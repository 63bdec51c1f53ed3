// Python surface of OffsetDateTime: a UTC instant and the fixed offset it is
// shown in.
#include "members.hpp"
#include "text_failures.hpp"

#include "kairodex/offset_datetime.hpp"

namespace kairodex::python {
namespace {

constexpr Failure invalid_local{"Invalid local datetime: {}"};
constexpr Failure local_out_of_range{"Local datetime out of range: {}"};
constexpr Failure out_of_range{"DateTime out of range: {}"};

constexpr OffsetDateTime from_utc(DateTime utc, UtcOffset offset) noexcept { return {utc, offset}; }
constexpr std::int64_t instant_seconds(OffsetDateTime value) noexcept { return unix_timestamp(value.utc); }
constexpr i128 instant_nanos(OffsetDateTime value) noexcept { return unix_timestamp_nanos(value.utc); }
// The order of instants, read off the fields (date, then time of day with
// its nanoseconds) as one key, without a count of nanoseconds since the epoch.
constexpr u128 instant_order(OffsetDateTime value) noexcept { return calendar_order(value.utc); }

// The overloads for OffsetDateTime, picked out of those for DateTime.
constexpr Result<OffsetDateTime> (*add_duration_to)(OffsetDateTime, Duration) noexcept = add_duration;
constexpr Duration (*difference_of)(OffsetDateTime, OffsetDateTime) noexcept = difference;

PyMethodDef methods[] = {
    class_method<"from_utc(utc, offset)",
                 "Create an OffsetDateTime from a UTC DateTime and offset.\n\nArgs:\n    utc: A DateTime instance (in "
                 "UTC).\n    offset: A UtcOffset instance.\n\nReturns:\n    OffsetDateTime: A new OffsetDateTime "
                 "instance.",
                 from_utc>(),
    class_method<"from_local(date, time, offset)",
                 "Create an OffsetDateTime from local date, time, and offset.\n\nArgs:\n    date: A Date instance (in "
                 "local time).\n    time: A Time instance (in local time).\n    offset: A UtcOffset "
                 "instance.\n\nReturns:\n    OffsetDateTime: A new OffsetDateTime instance.\n\nRaises:\n    "
                 "ValueError: If the conversion fails.",
                 from_local, &invalid_local>(),
    method<"to_local()",
           "Convert to local DateTime.\n\nReturns:\n    DateTime: The local DateTime.\n\nRaises:\n    ValueError: If "
           "the conversion fails.",
           to_local, &local_out_of_range>(),
    method<"unix_timestamp()", "Get Unix timestamp (seconds since Unix epoch).", instant_seconds>(),
    method<"unix_timestamp_nanos()", "Get Unix timestamp in nanoseconds.", instant_nanos>(),
    method<"add_duration(dur)",
           "Add a duration.\n\nArgs:\n    dur: A Duration instance.\n\nReturns:\n    OffsetDateTime: A new "
           "OffsetDateTime instance.\n\nRaises:\n    ValueError: If the resulting datetime is out of range.",
           add_duration_to, &out_of_range>(),
    method<"difference(other)",
           "Calculate the difference between two OffsetDateTimes.\n\nArgs:\n    other: Another OffsetDateTime "
           "instance.\n\nReturns:\n    Duration: The duration between the two datetimes (self - other).",
           difference_of>(),
    class_method<"parse(s)",
                 "Parse an OffsetDateTime from RFC 3339 format.\n\nArgs:\n    s: The string to parse.\n\nReturns:\n  "
                 "  OffsetDateTime: A new OffsetDateTime instance.\n\nRaises:\n    ValueError: If the string is not "
                 "valid.",
                 parse_offset_datetime, &invalid_offset_datetime_string>(),
    {},
};

using Written = ParseRepr<write_offset_datetime<ReprBuffer>>;

[[maybe_unused]] const bool defined = define_class<OffsetDateTime>(
    value_class<OffsetDateTime, instant_order, write_offset_datetime<ReprBuffer>,
                Written::write<ReprBuffer, OffsetDateTime>, &unrepresentable_offset_datetime>({
        .methods = methods,
        .getters = Fields<"OffsetDateTime(utc, offset)", &OffsetDateTime::utc, &OffsetDateTime::offset>::getters.data(),
    }));

}  // namespace
}  // namespace kairodex::python
