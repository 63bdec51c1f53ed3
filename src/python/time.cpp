// Python surface of Time.
#include "members.hpp"

#include "kairodex/time.hpp"

namespace kairodex::python {
namespace {

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

PyGetSetDef getters[] = {
    getter<"hour", &Time::hour>(),
    getter<"minute", &Time::minute>(),
    getter<"second", &Time::second>(),
    getter<"nanosecond", &Time::nanosecond>(),
    {},
};

const ClassSurface surface = value_class<Time, nanos_since_midnight, write_time<ReprBuffer>, write_repr<ReprBuffer>>({
    .methods = methods,
    .getters = getters,
    .constructor = constructor<"Time(hour, minute, second, nanosecond=0)", make_time, &invalid_time>(),
});

}  // namespace

template <>
const ClassSurface& surface_of<Time>() noexcept {
    return surface;
}

}  // namespace kairodex::python
