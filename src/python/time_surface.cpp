// Python surface of Time.
#include "members.hpp"
#include "text_failures.hpp"

#include "kairodex/time.hpp"

namespace kairodex::python {
namespace {

constexpr Failure invalid_time{"Invalid time: {}"};

using TimeFields =
    Fields<"Time(hour, minute, second, nanosecond=0)", &Time::hour, &Time::minute, &Time::second, &Time::nanosecond>;

PyMethodDef methods[] = {
    method<"seconds_since_midnight()", "Get total seconds since midnight (ignoring nanoseconds).",
           seconds_since_midnight>(),
    method<"nanos_since_midnight()", "Get total nanoseconds since midnight.", nanos_since_midnight>(),
    class_method<"parse(s)",
                 "Parse a time from ISO format (HH:MM:SS[.fffffffff]).\n\nArgs:\n    s: The string to "
                 "parse.\n\nReturns:\n    Time: A new Time instance.\n\nRaises:\n    ValueError: If the string is "
                 "not a valid time.",
                 parse_time, &invalid_time_string>(),
    {},
};

[[maybe_unused]] const bool defined = define_class<Time>(
    value_class<Time, nanos_since_midnight, write_time<ReprBuffer>, TimeFields::write_repr<ReprBuffer, Time>>({
        .methods = methods,
        .getters = TimeFields::getters.data(),
        .constructor = constructor<"Time(hour, minute, second, nanosecond=0)", make_time, &invalid_time>(),
    }));

}  // namespace
}  // namespace kairodex::python
