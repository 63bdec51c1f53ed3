// Day counts and Unix counts: every count in range converts to fields that
// agree with the plain calendar and convert back exactly; every count outside
// it fails with OutOfRange and nothing else.
#include "fuzz_support.hpp"

#include <fuzzer/FuzzedDataProvider.h>

#include "kairodex/datetime.hpp"
#include "kairodex/offset_datetime.hpp"

using namespace fuzz;

namespace {

constexpr i128 nanos_per_s = 1000000000;
constexpr i128 min_nanos = i128{min_unix_timestamp} * nanos_per_s;
constexpr i128 max_nanos = i128{max_unix_timestamp} * nanos_per_s + 999999999;

// A count drawn three ways: any 64-bit value (nearly always out of range),
// one spread over the range, or one within a few units of either end.
std::int64_t pick(FuzzedDataProvider& in, std::int64_t low, std::int64_t high) {
    switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0: return in.ConsumeIntegral<std::int64_t>();
    case 1: return in.ConsumeIntegralInRange(low, high);
    default: {
        const std::int64_t delta = in.ConsumeIntegralInRange<std::int64_t>(-3, 3);
        return (in.ConsumeBool() ? low : high) + delta;
    }
    }
}

i128 pick_nanos(FuzzedDataProvider& in) {
    const i128 seconds = pick(in, min_unix_timestamp, max_unix_timestamp);
    const i128 sub = in.ConsumeIntegralInRange<std::int64_t>(-1999999999, 1999999999);
    if (in.ConsumeIntegralInRange(0, 7) == 0) {  // now and then the whole 128-bit width
        return static_cast<i128>((static_cast<u128>(in.ConsumeIntegral<std::uint64_t>()) << 64) |
                                 in.ConsumeIntegral<std::uint64_t>());
    }
    return seconds * nanos_per_s + sub;
}

void check_days(std::int64_t days) {
    const Result<Date> date = from_days_since_unix_epoch(days);
    if (days < min_days_since_unix_epoch || days > max_days_since_unix_epoch) {
        FUZZ_CHECK(!date && date.error() == CalendarError::OutOfRange);
        return;
    }
    FUZZ_CHECK(date && *date == *plain_from_days_since_unix_epoch(days));
    FUZZ_CHECK(make_date(date->year, date->month, date->day));
    FUZZ_CHECK(days_since_unix_epoch(*date) == days);
    FUZZ_CHECK(weekday(*date).number == ((days % 7 + 7) % 7 + 3) % 7);
    FUZZ_CHECK(ordinal(*date) == days - plain_days_since_unix_epoch(Date{date->year, 1, 1}) + 1);
}

void check_instant(i128 nanos) {
    const Result<DateTime> value = from_unix_nanos(nanos);
    if (nanos < min_nanos || nanos > max_nanos) {
        FUZZ_CHECK(!value && value.error() == CalendarError::OutOfRange);
        return;
    }
    FUZZ_CHECK(value && unix_timestamp_nanos(*value) == nanos);
    FUZZ_CHECK(make_time(value->time.hour, value->time.minute, value->time.second, value->time.nanosecond));
    // Fields to text and back, over the whole range.
    const std::string text = text_of(*value, [](auto& out, DateTime v) { write_datetime(out, v); });
    const Result<DateTime> reread = parse_datetime(text);
    FUZZ_CHECK(reread && *reread == *value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);

    // Days, and days added to a date.
    const std::int64_t days = pick(in, min_days_since_unix_epoch, max_days_since_unix_epoch);
    check_days(days);
    const std::int64_t step = pick(in, -max_days_since_unix_epoch, max_days_since_unix_epoch);
    if (const Result<Date> start = from_days_since_unix_epoch(days)) {
        const Result<Date> moved = add_days(*start, step);
        std::int64_t sum = 0;
        if (__builtin_add_overflow(days, step, &sum)) {
            FUZZ_CHECK(!moved && moved.error() == CalendarError::OutOfRange);
        } else {
            const Result<Date> direct = from_days_since_unix_epoch(sum);
            FUZZ_CHECK(moved.has_value() == direct.has_value() && (!moved || *moved == *direct));
        }
    }

    // Unix seconds with a nanosecond part of either sign.
    const std::int64_t seconds = pick(in, min_unix_timestamp, max_unix_timestamp);
    const std::int32_t nanos = in.ConsumeIntegral<std::int32_t>();
    const Result<DateTime> stamped = from_unix_timestamp(seconds, nanos);
    const i128 total = i128{seconds} * nanos_per_s + nanos;
    FUZZ_CHECK(stamped.has_value() == (total >= min_nanos && total <= max_nanos));
    if (stamped) FUZZ_CHECK(unix_timestamp_nanos(*stamped) == total);
    if (!stamped) FUZZ_CHECK(stamped.error() == CalendarError::OutOfRange);

    // Nanosecond counts, clock readings and 100 ns ticks since 1601.
    const i128 a = pick_nanos(in);
    check_instant(a);
    const std::int64_t reading_nanos = in.ConsumeIntegral<std::int64_t>();
    const Result<DateTime> reading = from_clock_reading(seconds, reading_nanos);
    const Result<DateTime> same = from_unix_nanos(i128{seconds} * nanos_per_s + reading_nanos);
    FUZZ_CHECK(reading.has_value() == same.has_value() && (!reading || *reading == *same));
    const std::uint64_t ticks = in.ConsumeIntegral<std::uint64_t>();
    const Result<DateTime> from_ticks = from_filetime_ticks(ticks);
    FUZZ_CHECK(from_ticks && unix_timestamp_nanos(*from_ticks) ==
                                 (static_cast<i128>(ticks) - i128{filetime_ticks_at_unix_epoch}) * 100);

    // A duration moves an instant; the difference gives the duration back.
    const i128 b = pick_nanos(in);
    if (const Result<DateTime> start = from_unix_nanos(a)) {
        // Mostly the span to another instant; now and then any 128-bit span,
        // whose sum with the start may overflow.
        const Duration span{b >= min_nanos && b <= max_nanos ? b - a : b};
        i128 end = 0;
        const bool overflows = __builtin_add_overflow(a, span.nanos, &end);
        const Result<DateTime> moved = add_duration(*start, span);
        FUZZ_CHECK(moved.has_value() == (!overflows && end >= min_nanos && end <= max_nanos));
        if (moved) FUZZ_CHECK(difference(*moved, *start) == span && unix_timestamp_nanos(*moved) == end);
        if (!moved) FUZZ_CHECK(moved.error() == CalendarError::OutOfRange);

        // Local readings at any offset convert back to the same instant.
        const UtcOffset offset{in.ConsumeIntegralInRange(-max_offset_seconds, max_offset_seconds)};
        const OffsetDateTime shown{*start, offset};
        const Result<DateTime> local = to_local(shown);
        const i128 local_nanos = a + i128{offset.seconds} * nanos_per_s;
        FUZZ_CHECK(local.has_value() == (local_nanos >= min_nanos && local_nanos <= max_nanos));
        if (local) {
            const Result<OffsetDateTime> back = from_local(local->date, local->time, offset);
            FUZZ_CHECK(back && *back == shown);
        }
    }
    return 0;
}
