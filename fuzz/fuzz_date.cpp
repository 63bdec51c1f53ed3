// The date grammar against a reference reader, and the date text form back
// through the grammar.
#include "fuzz_support.hpp"

using namespace fuzz;

namespace {

// "[+-]Y-M-D": the first byte is never a separator, so a leading '-' signs
// the year; exactly two separators after it.
Result<Date> reference_parse(std::string_view text) {
    if (text.empty()) return CalendarError::InvalidDate;
    std::size_t separators[3];
    int count = 0;
    for (std::size_t i = 1; i < text.size() && count < 3; ++i) {
        if (text[i] == '-') separators[count++] = i;
    }
    if (count != 2) return CalendarError::InvalidDate;
    std::string_view year_field = text.substr(0, separators[0]);
    const bool negative = year_field[0] == '-';
    if (negative || year_field[0] == '+') year_field.remove_prefix(1);
    const std::int64_t magnitude = reference_number(year_field, negative ? 2147483648 : 2147483647);
    const std::int64_t month = reference_number(text.substr(separators[0] + 1, separators[1] - separators[0] - 1), 12);
    const std::int64_t day = reference_number(text.substr(separators[1] + 1), 31);
    if (magnitude < 0 || month < 1 || day < 1) return CalendarError::InvalidDate;
    const std::int64_t year = negative ? -magnitude : magnitude;
    if (day > days_in_month(static_cast<year_t>(year), static_cast<month_t>(month))) return CalendarError::InvalidDate;
    return Date{static_cast<year_t>(year), static_cast<month_t>(month), static_cast<day_t>(day)};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text = as_text(data, size);
    const Result<Date> parsed = parse_date(text);
    const Result<Date> expected = reference_parse(text);
    FUZZ_CHECK(parsed.has_value() == expected.has_value());
    if (!parsed) {
        FUZZ_CHECK(parsed.error() == CalendarError::InvalidDate);
        return 0;
    }
    const Date date = *parsed;
    FUZZ_CHECK(date == *expected);

    // The text form reads back to the same date, and is its own text form.
    const std::string written = text_of(date, [](auto& out, Date d) { write_date(out, d); });
    const Result<Date> reread = parse_date(written);
    FUZZ_CHECK(reread && *reread == date);
    FUZZ_CHECK(text_of(*reread, [](auto& out, Date d) { write_date(out, d); }) == written);

    // The day count agrees with the plain one and converts back.
    const std::int64_t days = days_since_unix_epoch(date);
    FUZZ_CHECK(days == plain_days_since_unix_epoch(date));
    const Result<Date> back = from_days_since_unix_epoch(days);
    FUZZ_CHECK(back && *back == date);
    return 0;
}
