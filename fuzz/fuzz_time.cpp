// The time grammar against a reference reader, and the time text form back
// through the grammar.
#include "fuzz_support.hpp"

#include "kairodex/time.hpp"

using namespace fuzz;

namespace {

// "H:M:S[.F]": split at the first '.', then at exactly two ':'; the fraction
// has one to nine digits and is scaled to nanoseconds.
Result<Time> reference_parse(std::string_view text) {
    std::string_view clock = text;
    std::int64_t nanosecond = 0;
    if (const std::size_t dot = text.find('.'); dot != std::string_view::npos) {
        clock = text.substr(0, dot);
        const std::string_view fraction = text.substr(dot + 1);
        if (fraction.size() > 9 || !all_digits(fraction)) return CalendarError::InvalidTime;
        nanosecond = reference_number(fraction, 999999999);
        for (std::size_t i = fraction.size(); i < 9; ++i) nanosecond *= 10;
    }
    std::size_t colons[3];
    int count = 0;
    for (std::size_t i = 0; i < clock.size() && count < 3; ++i) {
        if (clock[i] == ':') colons[count++] = i;
    }
    if (count != 2) return CalendarError::InvalidTime;
    const std::int64_t hour = reference_number(clock.substr(0, colons[0]), 23);
    const std::int64_t minute = reference_number(clock.substr(colons[0] + 1, colons[1] - colons[0] - 1), 59);
    const std::int64_t second = reference_number(clock.substr(colons[1] + 1), 59);
    if (hour < 0 || minute < 0 || second < 0) return CalendarError::InvalidTime;
    return Time{static_cast<std::uint8_t>(hour), static_cast<std::uint8_t>(minute), static_cast<std::uint8_t>(second),
                static_cast<std::uint32_t>(nanosecond)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = as_text(data, size);
    const Result<Time> parsed = parse_time(text);
    const Result<Time> expected = reference_parse(text);
    FUZZ_CHECK(parsed.has_value() == expected.has_value());
    if (!parsed) {
        FUZZ_CHECK(parsed.error() == CalendarError::InvalidTime);
        return 0;
    }
    const Time time = *parsed;
    FUZZ_CHECK(time == *expected);
    FUZZ_CHECK(make_time(time.hour, time.minute, time.second, time.nanosecond));

    const std::string written = text_of(time, [](auto& out, Time t) { write_time(out, t); });
    const Result<Time> reread = parse_time(written);
    FUZZ_CHECK(reread && *reread == time);
    // The canonical form: two-digit fields and a fraction without trailing zeros.
    FUZZ_CHECK(written.size() == 8 || (written.size() > 9 && written.back() != '0'));
    FUZZ_CHECK(nanos_since_midnight(time) ==
               ((time.hour * 60u + time.minute) * 60u + time.second) * 1000000000ull + time.nanosecond);
    return 0;
}
