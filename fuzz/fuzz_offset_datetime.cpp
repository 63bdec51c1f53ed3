// The RFC 3339 reader: accepted texts come back through the text form, white
// space at either end changes nothing, and the offset is the one written.
#include "fuzz_support.hpp"

#include "kairodex/offset_datetime.hpp"

using namespace fuzz;

namespace {

std::string text_of(OffsetDateTime value) {
    TextBuffer<128> out;
    const Result<DateTime> local = write_offset_datetime(out, value);
    FUZZ_CHECK(local && !out.overflowed());
    return std::string(out.view());
}

// The offset a numeric suffix ("+HH:MM", "+H:M", "+HH:", "+HH", "+HHMM")
// denotes, or nothing when it is not one.
bool reference_offset(std::string_view suffix, std::int32_t& seconds) {
    if (suffix.size() < 3 || (suffix[0] != '+' && suffix[0] != '-')) return false;
    const std::string_view body = suffix.substr(1);
    std::string_view hours = body, minutes;
    if (const std::size_t colon = body.find(':'); colon != std::string_view::npos) {
        hours = body.substr(0, colon);
        minutes = body.substr(colon + 1);
        if (hours.empty() || hours.size() > 2 || minutes.size() > 2) return false;
    } else if (body.size() == 4) {
        hours = body.substr(0, 2);
        minutes = body.substr(2);
    } else if (body.size() != 2) {
        return false;
    }
    const std::int64_t h = reference_number(hours, 23);
    const std::int64_t m = minutes.empty() ? 0 : reference_number(minutes, 59);
    if (h < 0 || m < 0) return false;
    seconds = static_cast<std::int32_t>((h * 60 + m) * 60) * (suffix[0] == '-' ? -1 : 1);
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = as_text(data, size);
    const Result<OffsetDateTime> parsed = parse_offset_datetime(text);

    // White space of any script around the text is ignored.
    const std::string wrapped = "\t \u3000" + std::string(text) + "\u00a0\n\u2029";
    const Result<OffsetDateTime> wrapped_parsed = parse_offset_datetime(wrapped);
    FUZZ_CHECK(parsed.has_value() == wrapped_parsed.has_value());
    if (!parsed) {
        FUZZ_CHECK(parsed.error() == CalendarError::InvalidDate || parsed.error() == CalendarError::OutOfRange);
        return 0;
    }
    const OffsetDateTime value = *parsed;
    FUZZ_CHECK(*wrapped_parsed == value);

    // The offset is whole minutes below a day, and it is what the text says.
    const std::string_view trimmed = impl::trim_white_space(text);
    std::int32_t expected_offset = 0;
    if (trimmed.back() != 'Z' && trimmed.back() != 'z') {
        FUZZ_CHECK(reference_offset(trimmed.substr(trimmed.find_last_of("+-")), expected_offset));
    }
    FUZZ_CHECK(value.offset.seconds == expected_offset);
    FUZZ_CHECK(value.offset.seconds % 60 == 0 && value.offset.seconds > -86400 && value.offset.seconds < 86400);

    // The local reading is representable (it was read), converts back to the
    // same instant, and the text form reads back to the same value.
    const Result<DateTime> local = to_local(value);
    FUZZ_CHECK(local);
    const Result<OffsetDateTime> rebuilt = from_local(local->date, local->time, value.offset);
    FUZZ_CHECK(rebuilt && *rebuilt == value);
    const std::string written = text_of(value);
    const Result<OffsetDateTime> reread = parse_offset_datetime(written);
    FUZZ_CHECK(reread && *reread == value);
    FUZZ_CHECK(text_of(*reread) == written);
    return 0;
}
