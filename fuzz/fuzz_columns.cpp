// The column kernel against the scalar path: every row a column reads is the
// value the class parser reads from the same text, counted in the column's
// unit by plain 128-bit arithmetic here, or it fails as that path fails (the
// grammar's error, a count that does not fit, a fraction finer than the
// unit); its fast path answers as its plain path; a count written back gives
// the bytes the class's text form gives. The lines of the input, split as a
// buffer of rows, are checked against a split written out by hand, and every
// line is read as a row too.
//
// The first byte picks the unit (its low two bits); the rest is the text.
#include "fuzz_support.hpp"

#include <vector>

#include "kairodex/columns.hpp"

using namespace fuzz;
using columns::RowError;
using columns::RowResult;
using columns::Unit;

namespace {

// The reference count of an instant: its nanoseconds since the epoch divided
// by the unit's, exactly, or the failure the kernel must report.
RowResult<std::int64_t> reference_count(DateTime instant, Unit unit) {
    const i128 nanos = unix_timestamp_nanos(instant);
    const i128 step = nanos_per_second / columns::per_second(unit);
    if (nanos % step != 0) return columns::RowFailure{RowError::Finer, CalendarError::OutOfRange};
    const i128 count = nanos / step;
    if (count <= INT64_MIN || count > INT64_MAX) return columns::does_not_fit;
    return static_cast<std::int64_t>(count);
}

columns::CountUnit count_unit(Unit unit) {
    switch (unit) {
    case Unit::ns: return columns::CountUnit::ns;
    case Unit::us: return columns::CountUnit::us;
    case Unit::ms: return columns::CountUnit::ms;
    case Unit::s: return columns::CountUnit::seconds;
    }
    return columns::CountUnit::ns;
}

template <class T>
void check_same(const RowResult<T>& got, const RowResult<T>& expected) {
    FUZZ_CHECK(got.has_value() == expected.has_value());
    if (!got) {
        FUZZ_CHECK(got.error().kind == expected.error().kind);
        if (got.error().kind == RowError::Text) FUZZ_CHECK(got.error().cause == expected.error().cause);
    }
}

void check_datetime_row(std::string_view text, Unit unit) {
    const RowResult<std::int64_t> fast = columns::parse_datetime_at(text, unit);
    const RowResult<std::int64_t> plain = columns::plain_parse_datetime_at(text, unit);
    const Result<DateTime> scalar = parse_datetime(text);
    const RowResult<std::int64_t> expected =
        scalar ? reference_count(*scalar, unit) : columns::RowFailure{RowError::Text, scalar.error()};
    check_same(fast, expected);
    check_same(plain, expected);
    if (!fast) return;
    FUZZ_CHECK(*fast == *expected && *plain == *expected);
    const Result<DateTime> back = columns::instant_from_count(*fast, count_unit(unit));
    FUZZ_CHECK(back && *back == *scalar);
    FUZZ_CHECK(text_of(*back, [](auto& out, DateTime v) { write_datetime(out, v); }) ==
               text_of(*scalar, [](auto& out, DateTime v) { write_datetime(out, v); }));
}

void check_offset_datetime_row(std::string_view text, Unit unit) {
    const RowResult<columns::OffsetCount> fast = columns::parse_offset_datetime_at(text, unit);
    const RowResult<columns::OffsetCount> plain = columns::plain_parse_offset_datetime_at(text, unit);
    const Result<OffsetDateTime> scalar = parse_offset_datetime(text);
    RowResult<columns::OffsetCount> expected = columns::RowFailure{RowError::Text, CalendarError::InvalidDate};
    if (!scalar) {
        expected = columns::RowFailure{RowError::Text, scalar.error()};
    } else if (const RowResult<std::int64_t> count = reference_count(scalar->utc, unit); !count) {
        expected = count.error();
    } else {
        expected = columns::OffsetCount{*count, scalar->offset.seconds};
    }
    check_same(fast, expected);
    check_same(plain, expected);
    if (!fast) return;
    FUZZ_CHECK(fast->count == expected->count && fast->offset_seconds == expected->offset_seconds);
    FUZZ_CHECK(plain->count == expected->count && plain->offset_seconds == expected->offset_seconds);
    const Result<DateTime> utc = columns::instant_from_count(fast->count, count_unit(unit));
    FUZZ_CHECK(utc && *utc == scalar->utc);
    const auto write = [](auto& out, OffsetDateTime v) { FUZZ_CHECK(write_offset_datetime(out, v)); };
    FUZZ_CHECK(text_of(OffsetDateTime{*utc, UtcOffset{fast->offset_seconds}}, write) == text_of(*scalar, write));
}

void check_date_row(std::string_view text) {
    const RowResult<std::int64_t> days = columns::parse_days(text);
    const Result<Date> scalar = parse_date(text);
    FUZZ_CHECK(days.has_value() == scalar.has_value());
    if (!days) {
        FUZZ_CHECK(days.error().kind == RowError::Text && days.error().cause == scalar.error());
        return;
    }
    FUZZ_CHECK(*days == plain_days_since_unix_epoch(*scalar));
    FUZZ_CHECK(columns::fits_date32(*days) == (*days >= -2147483647 && *days <= 2147483647));
    const Result<Date> back = columns::date_from_count(*days, columns::CountUnit::days);
    FUZZ_CHECK(back && *back == *scalar);
    FUZZ_CHECK(text_of(*back, [](auto& out, Date v) { write_date(out, v); }) ==
               text_of(*scalar, [](auto& out, Date v) { write_date(out, v); }));
}

void check_time_row(std::string_view text) {
    const RowResult<std::int64_t> nanos = columns::parse_nanos_since_midnight(text);
    const Result<Time> scalar = parse_time(text);
    FUZZ_CHECK(nanos.has_value() == scalar.has_value());
    if (!nanos) {
        FUZZ_CHECK(nanos.error().kind == RowError::Text && nanos.error().cause == scalar.error());
        return;
    }
    FUZZ_CHECK(*nanos == static_cast<std::int64_t>(nanos_since_midnight(*scalar)));
    const Result<Time> back = columns::time_from_count(*nanos, columns::CountUnit::ns);
    FUZZ_CHECK(back && *back == *scalar);
    FUZZ_CHECK(text_of(*back, [](auto& out, Time v) { write_time(out, v); }) ==
               text_of(*scalar, [](auto& out, Time v) { write_time(out, v); }));
}

// The lines as a reader would split them by hand: at every '\n', the piece
// after a final one dropped, each piece's last '\r' dropped.
std::vector<std::string_view> reference_lines(std::string_view buffer) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= buffer.size(); ++i) {
        if (i < buffer.size() && buffer[i] != '\n') continue;
        if (i == buffer.size() && start == buffer.size()) break;
        std::string_view line = buffer.substr(start, i - start);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        lines.push_back(line);
        start = i + 1;
    }
    return lines;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const auto unit = static_cast<Unit>(data[0] & 3);
    const std::string_view text = as_text(data + 1, size - 1);

    check_datetime_row(text, unit);
    check_offset_datetime_row(text, unit);
    check_date_row(text);
    check_time_row(text);

    const std::vector<std::string_view> expected = reference_lines(text);
    FUZZ_CHECK(columns::count_lines(text) == expected.size());
    FUZZ_CHECK(columns::plain_count_lines(text) == expected.size());
    columns::Lines lines(text);
    std::size_t row = 0;
    for (std::string_view line; lines.next(line); ++row) {
        FUZZ_CHECK(row < expected.size() && line == expected[row]);
        // The first lines as rows too (all of a long input would slow every
        // run down for little: the rows are the whole input's kernel again).
        if (expected.size() > 1 && row < 8) {
            check_datetime_row(line, unit);
            check_offset_datetime_row(line, unit);
        }
    }
    FUZZ_CHECK(row == expected.size());
    return 0;
}
