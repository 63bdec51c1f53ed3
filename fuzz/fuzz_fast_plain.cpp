// Every fast path against its plain twin on the same input. A fast path
// either answers as the plain function does (the same value, the same error,
// the same bytes written) or declines, handing its input to the plain
// function it is given; here that function notes the hand-over, and the
// public function must then give the plain answer too.
//
// The first byte of an input picks a group: 0 the date grammar, 1 the time
// grammar, 2 the UTC date-time grammar, 3 the date-time grammar with offsets,
// 4 the day counts, steps, Unix counts and writers. For a grammar the rest of
// the input is the text, or, when the first byte divided by 5 is odd, drives
// a FuzzedDataProvider that writes a value's text form and changes a byte or
// two of it, so that texts near the fixed layouts come often. For group 4 the
// rest drives a FuzzedDataProvider. FAST_PLAIN_GROUP=N in the environment
// sends every input to group N, so that each can be run on its own;
// FAST_PLAIN_STATS=1 prints at exit how often the fast paths answered and
// declined.
#include "fuzz_support.hpp"

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdlib>
#include <memory>

#include "kairodex/datetime.hpp"
#include "kairodex/offset_datetime.hpp"
#include "kairodex/time.hpp"
#include "kairodex/utc_offset.hpp"

using namespace fuzz;

namespace {

constexpr int group_count = 5;
int forced_group = -1;

// Whether the last fast call handed over, and the counts for the statistics.
bool declined = false;
unsigned long long answered_count = 0, declined_count = 0;

template <auto plain, class... Args>
auto declined_to(Args... args) noexcept {
    declined = true;
    return plain(args...);
}

// Runs one fast call, noting whether it declined.
template <class Call>
auto watched(Call call) {
    declined = false;
    auto result = call();
    ++(declined ? declined_count : answered_count);
    return result;
}

template <class T>
void check_same(const Result<T>& fast, const Result<T>& plain) {
    FUZZ_CHECK(fast.has_value() == plain.has_value());
    if (plain) {
        FUZZ_CHECK(*fast == *plain);
    } else {
        FUZZ_CHECK(fast.error() == plain.error());
    }
}

// A text grammar: the fast reader and the public one against the plain one.
template <auto fast_read, auto public_read, auto plain_read>
void check_grammar(std::string_view text) {
    const auto plain = plain_read(text);
    check_same(watched([&] { return fast_read(text); }), plain);
    check_same(public_read(text), plain);
}

// What a writer leaves in a buffer that already holds `filled` bytes: its
// bytes, or only the mark when the text did not fit (a marked buffer's text
// is refused whole, so what it holds then does not matter).
using Buffer = TextBuffer<64>;

template <class Write>
std::string written(std::size_t filled, Write write) {
    Buffer out;
    for (std::size_t i = 0; i < filled; ++i) out.put('x');
    write(out);
    return out.overflowed() ? std::string("overflowed") : std::string(out.view());
}

template <class Fast, class Plain>
void check_writer(std::size_t filled, Fast fast, Plain plain) {
    const std::string fast_text = watched([&] { return written(filled, fast); });
    FUZZ_CHECK(fast_text == written(filled, plain));
}

// A count from the whole 64-bit range, from a range, or within a few units
// of either end of it.
std::int64_t pick(FuzzedDataProvider& in, std::int64_t low, std::int64_t high) {
    switch (in.ConsumeIntegralInRange(0, 2)) {
    case 0: return in.ConsumeIntegral<std::int64_t>();
    case 1: return in.ConsumeIntegralInRange(low, high);
    default: {
        const std::int64_t end = in.ConsumeBool() ? low : high;
        std::int64_t near = 0;
        return __builtin_add_overflow(end, in.ConsumeIntegralInRange<std::int64_t>(-3, 3), &near) ? end : near;
    }
    }
}

Date pick_date(FuzzedDataProvider& in) {
    const auto year = static_cast<year_t>(pick(in, INT32_MIN, INT32_MAX));
    const auto month = in.ConsumeIntegralInRange<month_t>(1, 12);
    return Date{year, month, in.ConsumeIntegralInRange<day_t>(1, days_in_month(year, month))};
}

Time pick_time(FuzzedDataProvider& in) {
    // Every fraction length as often as any other.
    static constexpr std::uint32_t units[] = {1000000000, 100000000, 10000000, 1000000, 100000,
                                              10000,      1000,      100,      10,      1};
    const std::uint32_t unit = units[in.ConsumeIntegralInRange<std::size_t>(0, 9)];
    return Time{in.ConsumeIntegralInRange<std::uint8_t>(0, 23), in.ConsumeIntegralInRange<std::uint8_t>(0, 59),
                in.ConsumeIntegralInRange<std::uint8_t>(0, 59),
                in.ConsumeIntegralInRange<std::uint32_t>(0, 1000000000 / unit - 1) * unit % 1000000000};
}

void check_numbers(FuzzedDataProvider& in) {
    const auto year = static_cast<year_t>(pick(in, INT32_MIN, INT32_MAX));
    FUZZ_CHECK(fast::is_leap_year(year) == plain_is_leap_year(year));

    // Day counts both ways.
    const std::int64_t days = pick(in, min_days_since_unix_epoch, max_days_since_unix_epoch);
    const Result<Date> from_days = plain_from_days_since_unix_epoch(days);
    check_same(fast::from_days_since_unix_epoch(days), from_days);
    const Date date = from_days ? *from_days : pick_date(in);
    FUZZ_CHECK(fast::days_since_unix_epoch(date) == plain_days_since_unix_epoch(date));

    // Steps of days, mostly short ones.
    const std::int64_t step = in.ConsumeBool() ? in.ConsumeIntegralInRange<std::int64_t>(-40, 40)
                                               : pick(in, -max_days_since_unix_epoch, max_days_since_unix_epoch);
    check_same(watched([&] { return fast::add_days<declined_to<plain_add_days, Date, std::int64_t>>(date, step); }),
               plain_add_days(date, step));

    // Nanosecond counts, split by 64-bit divisions where they fit.
    const i128 nanos = in.ConsumeBool()
                           ? i128{pick(in, INT64_MIN, INT64_MAX)}
                           : static_cast<i128>(static_cast<u128>(in.ConsumeIntegral<std::uint64_t>()) << 64 |
                                               in.ConsumeIntegral<std::uint64_t>());
    const Result<DateTime> from_nanos = plain_from_unix_nanos(nanos);
    if (const auto parts = fast::try_split_unix_nanos(nanos)) {
        ++answered_count;
        check_same(from_unix_parts(parts->seconds, parts->adjust), from_nanos);
    } else {
        ++declined_count;
    }
    check_same(from_unix_nanos(nanos), from_nanos);

    // Moves by an offset (a day at most) and by more.
    const DateTime value{date, pick_time(in)};
    const std::int64_t seconds = in.ConsumeBool() ? in.ConsumeIntegralInRange<std::int64_t>(-86400, 86400)
                                                  : in.ConsumeIntegralInRange<std::int64_t>(-400000, 400000);
    const Result<DateTime> moved = impl::plain_move_seconds(value, seconds);
    check_same(watched([&] {
                   return fast::move_seconds<declined_to<impl::plain_move_seconds, DateTime, std::int64_t>>(value,
                                                                                                            seconds);
               }),
               moved);
    const int minutes = in.ConsumeIntegralInRange(-1439, 1439);
    check_same(fast::move_minutes(value, minutes), impl::plain_move_seconds(value, std::int64_t{minutes} * 60));

    // The writers, into buffers filled to any point, so that their texts end
    // at, before and past the last byte.
    const auto filled = in.ConsumeIntegralInRange<std::size_t>(0, Buffer::capacity);
    const UtcOffset offset{in.ConsumeBool() ? 0 : in.ConsumeIntegralInRange(-max_offset_seconds, max_offset_seconds)};
    check_writer(
        filled, [&](Buffer& out) { fast::write_date<declined_to<plain_write_date<Buffer>, Buffer&, Date>>(out, date); },
        [&](Buffer& out) { plain_write_date(out, date); });
    check_writer(
        filled, [&](Buffer& out) { fast::write_time(out, value.time); },
        [&](Buffer& out) { plain_write_time(out, value.time); });
    check_writer(
        filled, [&](Buffer& out) { fast::write_offset(out, offset); },
        [&](Buffer& out) { plain_write_offset(out, offset); });
    check_writer(
        filled,
        [&](Buffer& out) {
            fast::write_local_with_offset<
                declined_to<plain_write_local_with_offset<Buffer>, Buffer&, DateTime, UtcOffset>>(out, value, offset);
        },
        [&](Buffer& out) { plain_write_local_with_offset(out, value, offset); });
    const u128 number = static_cast<u128>(nanos) >> in.ConsumeIntegralInRange(0, 127);
    const int width = in.ConsumeIntegralInRange(1, 39);
    check_writer(
        filled,
        [&](Buffer& out) {
            fast::put_unsigned<declined_to<plain_put_unsigned<Buffer>, Buffer&, u128, int>>(out, number, width);
        },
        [&](Buffer& out) { plain_put_unsigned(out, number, width); });
}

// A value's text form with up to two bytes replaced, inserted or removed.
std::string near_layout(FuzzedDataProvider& in, int group) {
    TextBuffer<128> out;
    Date date = pick_date(in);
    if (in.ConsumeBool()) date = Date{in.ConsumeIntegralInRange(0, 9999), date.month, std::min<day_t>(date.day, 28)};
    const DateTime value{date, pick_time(in)};
    switch (group) {
    case 0: plain_write_date(out, value.date); break;
    case 1: plain_write_time(out, value.time); break;
    case 2: plain_write_local_with_offset(out, value, UtcOffset{0}); break;
    default:
        plain_write_local_with_offset(out, value,
                                      UtcOffset{in.ConsumeIntegralInRange(-1439, 1439) * 60 * in.ConsumeBool()});
    }
    std::string text(out.view());
    for (int changes = in.ConsumeIntegralInRange(0, 2); changes > 0 && !text.empty(); --changes) {
        const auto at = in.ConsumeIntegralInRange<std::size_t>(0, text.size() - 1);
        const char byte = in.ConsumeBool() ? "0123456789-:.TtZz+ "[in.ConsumeIntegralInRange(0, 18)]
                                           : static_cast<char>(in.ConsumeIntegral<std::uint8_t>());
        switch (in.ConsumeIntegralInRange(0, 2)) {
        case 0: text[at] = byte; break;
        case 1: text.insert(at, 1, byte); break;
        default: text.erase(at, 1);
        }
    }
    return text;
}

void print_statistics() {
    std::fprintf(stderr, "fast paths: %llu answered, %llu declined\n", answered_count, declined_count);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (const char* group = std::getenv("FAST_PLAIN_GROUP")) forced_group = std::atoi(group) % group_count;
    if (std::getenv("FAST_PLAIN_STATS") != nullptr) std::atexit(print_statistics);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const int group = forced_group >= 0 ? forced_group : data[0] % group_count;
    std::string_view text = as_text(data + 1, size - 1);
    std::unique_ptr<char[]> made;  // of exactly the text's size, so that ASan sees a read past it
    if (group < 4 && data[0] / group_count % 2 == 1) {
        FuzzedDataProvider in(data + 1, size - 1);
        const std::string near = near_layout(in, group);
        made.reset(new char[near.size()]);
        std::copy(near.begin(), near.end(), made.get());
        text = std::string_view(made.get(), near.size());
    }
    switch (group) {
    case 0:
        check_grammar<fast::parse_date<declined_to<plain_parse_date, std::string_view>>, parse_date, plain_parse_date>(
            text);
        break;
    case 1:
        check_grammar<fast::parse_time<declined_to<plain_parse_time, std::string_view>>, parse_time, plain_parse_time>(
            text);
        break;
    case 2:
        check_grammar<fast::parse_datetime<declined_to<plain_parse_datetime, std::string_view>>, parse_datetime,
                      plain_parse_datetime>(text);
        break;
    case 3:
        check_grammar<fast::parse_offset_datetime<declined_to<plain_parse_offset_datetime, std::string_view>>,
                      parse_offset_datetime, plain_parse_offset_datetime>(text);
        break;
    default: {
        FuzzedDataProvider in(data + 1, size - 1);
        check_numbers(in);
    }
    }
    return 0;
}
