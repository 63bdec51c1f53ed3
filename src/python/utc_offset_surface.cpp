// Python surface of UtcOffset.
#include "members.hpp"
#include "text_failures.hpp"

#include "kairodex/utc_offset.hpp"

namespace kairodex::python {
namespace {

constexpr std::int32_t seconds_of(UtcOffset offset) noexcept { return offset.seconds; }

template <class Out>
void write_repr(Out& out, UtcOffset offset) noexcept {
    out.put("UtcOffset.from_seconds(");
    put_signed(out, offset.seconds);
    out.put(')');
}

PyMethodDef methods[] = {
    class_method<"from_seconds(seconds)",
                 "Create a UtcOffset from total seconds.\n\nArgs:\n    seconds: Total seconds offset from UTC "
                 "(roughly -86400 to +86400).\n\nReturns:\n    UtcOffset: A new UtcOffset instance.\n\nRaises:\n    "
                 "ValueError: If the offset is out of range.",
                 offset_from_seconds, &invalid_offset>(),
    class_method<"from_hours_minutes(sign_positive, hours, minutes)",
                 "Create a UtcOffset from hours and minutes.\n\nArgs:\n    sign_positive: True for positive offset, "
                 "False for negative.\n    hours: Hours component (0-23).\n    minutes: Minutes component "
                 "(0-59).\n\nReturns:\n    UtcOffset: A new UtcOffset instance.\n\nRaises:\n    ValueError: If the "
                 "offset is out of range.",
                 offset_from_hours_minutes, &invalid_offset>(),
    method<"as_seconds()", "Get the offset as seconds.", seconds_of>(),
    method<"is_utc()", "Check if this is UTC (offset = 0).", is_utc>(),
    {},
};

[[maybe_unused]] const bool defined = define_class<UtcOffset>(
    value_class<UtcOffset, seconds_of, write_offset<ReprBuffer>, write_repr<ReprBuffer>>({.methods = methods}));

}  // namespace

}  // namespace kairodex::python
