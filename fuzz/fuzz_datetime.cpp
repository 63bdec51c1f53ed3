// The UTC date-time grammar: accepted texts come back through the text form,
// and wherever both grammars apply it agrees with the RFC 3339 reader.
#include "fuzz_support.hpp"

#include "kairodex/datetime.hpp"
#include "kairodex/offset_datetime.hpp"

using namespace fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = as_text(data, size);
    const Result<DateTime> parsed = parse_datetime(text);

    // A text without surrounding white space that ends in 'Z' or 'z' means the
    // same to both readers: either both refuse it, or both read one instant.
    if (!text.empty() && (text.back() == 'Z' || text.back() == 'z') &&
        impl::trim_white_space(text).size() == text.size()) {
        const Result<OffsetDateTime> with_offset = parse_offset_datetime(text);
        FUZZ_CHECK(parsed.has_value() == with_offset.has_value());
        if (parsed) FUZZ_CHECK(with_offset->utc == *parsed && with_offset->offset.seconds == 0);
    }
    if (!parsed) {
        FUZZ_CHECK(parsed.error() == CalendarError::InvalidDate);
        return 0;
    }
    const DateTime value = *parsed;
    FUZZ_CHECK(make_date(value.date.year, value.date.month, value.date.day));
    FUZZ_CHECK(make_time(value.time.hour, value.time.minute, value.time.second, value.time.nanosecond));

    const std::string written = text_of(value, [](auto& out, DateTime v) { write_datetime(out, v); });
    FUZZ_CHECK(written.size() <= 37);
    const Result<DateTime> reread = parse_datetime(written);
    FUZZ_CHECK(reread && *reread == value);

    // Every readable instant is in range, so the Unix count converts back.
    const Result<DateTime> from_count = from_unix_nanos(unix_timestamp_nanos(value));
    FUZZ_CHECK(from_count && *from_count == value);
    return 0;
}
