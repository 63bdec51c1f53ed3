// The calendar core beside a textbook baseline written here from the classic
// algorithms: era-based day counts with plain divisions, sscanf grammars,
// snprintf text forms and a reference SipHash-1-3 over a serialised record.
// The day-count conversions also run beside the C++ library's own calendar,
// std::chrono's year_month_day and sys_days, over the years it holds. All
// sides of a row run in the same binary on the same inputs, and the closing
// table gives each row's ratios.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <map>
#include <optional>
#include <ostream>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "kairodex/date.hpp"
#include "kairodex/datetime.hpp"
#include "kairodex/offset_datetime.hpp"
#include "kairodex/text_buffer.hpp"
#include "kairodex/time.hpp"
#include "kairodex/utc_offset.hpp"
#include "kairodex/value_hasher.hpp"

namespace {

using namespace kairodex;

// ---------------------------------------------------------------------------
// Baseline
// ---------------------------------------------------------------------------

namespace baseline {

struct Civil {
    std::int64_t year;
    unsigned month, day;
};

struct Clock {
    unsigned hour, minute, second, nanosecond;
};

// An instant as a timestamp parser returns it: seconds, nanoseconds, offset.
struct Instant {
    std::int64_t seconds;
    unsigned nanosecond;
    int offset_seconds;
};

bool is_leap(std::int64_t y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

unsigned days_in_month(std::int64_t y, unsigned m) {
    static const unsigned lengths[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && is_leap(y) ? 29 : lengths[m - 1];
}

// Era-based conversion: 400-year eras of 146097 days, the year starting on
// 1 March, 719468 days from 0000-03-01 to 1970-01-01.
std::int64_t days_from_civil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);                 // [0, 399]
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;  // [0, 365]
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;            // [0, 146096]
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::optional<Civil> civil_from_days(std::int64_t z) {
    if (z < min_days_since_unix_epoch || z > max_days_since_unix_epoch) return std::nullopt;
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const auto doe = static_cast<unsigned>(z - era * 146097);                    // [0, 146096]
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;  // [0, 399]
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);                // [0, 365]
    const unsigned mp = (5 * doy + 2) / 153;                                     // [0, 11]
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return Civil{static_cast<std::int64_t>(yoe) + era * 400 + (m <= 2), m, d};
}

bool valid(const Civil& c) {
    return c.year >= INT32_MIN && c.year <= INT32_MAX && c.month >= 1 && c.month <= 12 && c.day >= 1 &&
           c.day <= days_in_month(c.year, c.month);
}

// Each scanner reads its field group at `p` and returns the position after
// it, or null.
const char* scan_date(const char* p, Civil& c) {
    long long y = 0;
    int n = -1;
    if (std::sscanf(p, "%lld-%u-%u%n", &y, &c.month, &c.day, &n) != 3 || n < 0) return nullptr;
    c.year = y;
    return valid(c) ? p + n : nullptr;
}

const char* scan_time(const char* p, Clock& t) {
    int n = -1;
    if (std::sscanf(p, "%u:%u:%u%n", &t.hour, &t.minute, &t.second, &n) != 3 || n < 0) return nullptr;
    if (t.hour > 23 || t.minute > 59 || t.second > 59) return nullptr;
    p += n;
    t.nanosecond = 0;
    if (*p == '.') {
        char digits[10];
        int k = -1;
        if (std::sscanf(p + 1, "%9[0-9]%n", digits, &k) != 1 || k < 0) return nullptr;
        unsigned value = 0;
        std::sscanf(digits, "%u", &value);
        for (int i = k; i < 9; ++i) value *= 10;
        t.nanosecond = value;
        p += 1 + k;
    }
    return p;
}

std::optional<Civil> parse_date(const char* text) {
    Civil c{};
    const char* end = scan_date(text, c);
    if (end == nullptr || *end != '\0') return std::nullopt;
    return c;
}

std::optional<Clock> parse_time(const char* text) {
    Clock t{};
    const char* end = scan_time(text, t);
    if (end == nullptr || *end != '\0') return std::nullopt;
    return t;
}

std::optional<Instant> parse_datetime(const char* text) {
    Civil c{};
    Clock t{};
    const char* p = scan_date(text, c);
    if (p == nullptr || (*p != 'T' && *p != ' ')) return std::nullopt;
    p = scan_time(p + 1, t);
    if (p == nullptr || (*p != 'Z' && *p != 'z') || p[1] != '\0') return std::nullopt;
    return Instant{days_from_civil(c.year, c.month, c.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second,
                   t.nanosecond, 0};
}

std::optional<Instant> parse_offset_datetime(const char* text) {
    Civil c{};
    Clock t{};
    const char* p = scan_date(text, c);
    if (p == nullptr || (*p != 'T' && *p != ' ')) return std::nullopt;
    p = scan_time(p + 1, t);
    if (p == nullptr) return std::nullopt;
    int offset = 0;
    if (*p == 'Z' || *p == 'z') {
        ++p;
    } else {
        char sign = 0;
        unsigned hours = 0, minutes = 0;
        int n = -1;
        if (std::sscanf(p, "%c%2u:%2u%n", &sign, &hours, &minutes, &n) != 3 || n < 0) return std::nullopt;
        if ((sign != '+' && sign != '-') || hours > 23 || minutes > 59) return std::nullopt;
        offset = static_cast<int>(hours * 3600 + minutes * 60) * (sign == '-' ? -1 : 1);
        p += n;
    }
    if (*p != '\0') return std::nullopt;
    const std::int64_t local =
        days_from_civil(c.year, c.month, c.day) * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
    return Instant{local - offset, t.nanosecond, offset};
}

// The nine fraction digits without their trailing zeros, after a '.'.
int format_fraction(char* out, std::size_t size, unsigned nanosecond) {
    if (nanosecond == 0) return 0;
    int n = std::snprintf(out, size, ".%09u", nanosecond);
    while (out[n - 1] == '0') out[--n] = '\0';
    return n;
}

int format_date(char* out, std::size_t size, const Civil& c) {
    return std::snprintf(out, size, "%04lld-%02u-%02u", static_cast<long long>(c.year), c.month, c.day);
}

int format_time(char* out, std::size_t size, const Clock& t) {
    const int n = std::snprintf(out, size, "%02u:%02u:%02u", t.hour, t.minute, t.second);
    return n + format_fraction(out + n, size - static_cast<std::size_t>(n), t.nanosecond);
}

int format_datetime(char* out, std::size_t size, const Civil& c, const Clock& t) {
    int n = std::snprintf(out, size, "%04lld-%02u-%02uT%02u:%02u:%02u", static_cast<long long>(c.year), c.month, c.day,
                          t.hour, t.minute, t.second);
    n += format_fraction(out + n, size - static_cast<std::size_t>(n), t.nanosecond);
    out[n++] = 'Z';
    out[n] = '\0';
    return n;
}

// The local reading of an instant at its offset, then its text.
int format_offset_datetime(char* out, std::size_t size, const Instant& instant) {
    const std::int64_t local = instant.seconds + instant.offset_seconds;
    const std::int64_t day = (local >= 0 ? local : local - 86399) / 86400;
    const auto second_of_day = static_cast<unsigned>(local - day * 86400);
    const std::optional<Civil> c = civil_from_days(day);
    if (!c) return -1;
    int n = std::snprintf(out, size, "%04lld-%02u-%02uT%02u:%02u:%02u", static_cast<long long>(c->year), c->month,
                          c->day, second_of_day / 3600, second_of_day / 60 % 60, second_of_day % 60);
    n += format_fraction(out + n, size - static_cast<std::size_t>(n), instant.nanosecond);
    if (instant.offset_seconds == 0) {
        out[n++] = 'Z';
        out[n] = '\0';
        return n;
    }
    const unsigned magnitude = static_cast<unsigned>(std::abs(instant.offset_seconds));
    return n + std::snprintf(out + n, size - static_cast<std::size_t>(n), "%c%02u:%02u",
                             instant.offset_seconds < 0 ? '-' : '+', magnitude / 3600, magnitude % 3600 / 60);
}

// Reference SipHash-1-3 with a zero key over a byte string.
std::uint64_t siphash13(const std::uint8_t* data, std::size_t size) {
    std::uint64_t v0 = 0x736f6d6570736575, v1 = 0x646f72616e646f6d;
    std::uint64_t v2 = 0x6c7967656e657261, v3 = 0x7465646279746573;
    auto rotl = [](std::uint64_t x, int b) { return (x << b) | (x >> (64 - b)); };
    // clang-format off: the four lines of a SipHash round, as it is usually written
    auto round = [&] {
        v0 += v1; v1 = rotl(v1, 13); v1 ^= v0; v0 = rotl(v0, 32);
        v2 += v3; v3 = rotl(v3, 16); v3 ^= v2;
        v0 += v3; v3 = rotl(v3, 21); v3 ^= v0;
        v2 += v1; v1 = rotl(v1, 17); v1 ^= v2; v2 = rotl(v2, 32);
    };
    // clang-format on
    const std::size_t whole = size - size % 8;
    for (std::size_t i = 0; i < whole; i += 8) {
        std::uint64_t m = 0;
        std::memcpy(&m, data + i, 8);
        v3 ^= m;
        round();
        v0 ^= m;
    }
    std::uint64_t b = static_cast<std::uint64_t>(size & 0xff) << 56;
    for (std::size_t i = whole; i < size; ++i) b |= static_cast<std::uint64_t>(data[i]) << (8 * (i - whole));
    v3 ^= b;
    round();
    v0 ^= b;
    v2 ^= 0xff;
    round();
    round();
    round();
    return v0 ^ v1 ^ v2 ^ v3;
}

// The 13 bytes of a date-time record: year, month, day, hour, minute,
// second, nanosecond, little-endian at their own widths.
std::uint64_t hash_datetime(const DateTime& v) {
    std::uint8_t bytes[13];
    std::memcpy(bytes, &v.date.year, 4);
    bytes[4] = v.date.month;
    bytes[5] = v.date.day;
    bytes[6] = v.time.hour;
    bytes[7] = v.time.minute;
    bytes[8] = v.time.second;
    std::memcpy(bytes + 9, &v.time.nanosecond, 4);
    return siphash13(bytes, sizeof bytes);
}

}  // namespace baseline

// ---------------------------------------------------------------------------
// The C++ library's calendar: neither direction checks its input
// ---------------------------------------------------------------------------

namespace chrono_peer {

std::int64_t days_from_civil(const std::chrono::year_month_day& date) {
    return std::chrono::sys_days{date}.time_since_epoch().count();
}

std::chrono::year_month_day civil_from_days(std::int64_t days) {
    return std::chrono::year_month_day{std::chrono::sys_days{std::chrono::days{days}}};
}

}  // namespace chrono_peer

// ---------------------------------------------------------------------------
// Inputs: a power-of-two table of each kind, drawn once with a fixed seed
// ---------------------------------------------------------------------------

constexpr std::size_t input_count = 4096;
constexpr std::size_t input_mask = input_count - 1;

struct Inputs {
    // every year / -32767 ..= 32767, std::chrono::year's range / 1900 ..= 2100
    std::vector<std::int64_t> days_full, days_chrono, days_modern;
    std::vector<Date> dates_full, dates_chrono, dates_modern;
    std::vector<baseline::Civil> civil_full, civil_chrono, civil_modern;
    std::vector<std::chrono::year_month_day> ymd_chrono, ymd_modern;
    std::vector<year_t> years;
    std::vector<Time> times;
    std::vector<DateTime> datetimes;
    std::vector<OffsetDateTime> offset_datetimes;
    std::vector<baseline::Instant> instants;
    std::vector<std::string> date_texts, time_texts, datetime_texts, offset_datetime_texts;
    // One layout throughout, as in a log: microseconds and a numeric offset.
    std::vector<std::string> log_texts;
};

template <std::size_t N>
std::string text_of(const TextBuffer<N>& buffer) {
    return std::string(buffer.view());
}

Inputs make_inputs() {
    Inputs in;
    std::mt19937_64 random(20240601);
    auto uniform = [&](std::int64_t low, std::int64_t high) {
        return std::uniform_int_distribution<std::int64_t>(low, high)(random);
    };
    constexpr std::int64_t day_1900 = -25567, day_2100 = 47846;                 // 1900-01-01, 2100-12-31
    constexpr std::int64_t day_0001 = -719162, day_9999 = 2932896;              // 0001-01-01, 9999-12-31
    constexpr std::uint32_t fraction_units[] = {1000000000, 1000000, 1000, 1};  // 0, 3, 6, 9 digits
    const std::int64_t day_chrono_first = days_since_unix_epoch(Date{-32767, 1, 1});
    const std::int64_t day_chrono_last = days_since_unix_epoch(Date{32767, 12, 31});

    for (std::size_t i = 0; i < input_count; ++i) {
        in.days_full.push_back(uniform(min_days_since_unix_epoch, max_days_since_unix_epoch));
        in.days_chrono.push_back(uniform(day_chrono_first, day_chrono_last));
        in.days_modern.push_back(uniform(day_1900, day_2100));
        in.years.push_back(static_cast<year_t>(uniform(INT32_MIN, INT32_MAX)));

        const auto unit = fraction_units[uniform(0, 3)];
        const Time time{static_cast<std::uint8_t>(uniform(0, 23)), static_cast<std::uint8_t>(uniform(0, 59)),
                        static_cast<std::uint8_t>(uniform(0, 59)),
                        static_cast<std::uint32_t>(uniform(0, nanos_per_second / unit - 1)) * unit % nanos_per_second};
        in.times.push_back(time);
        const DateTime datetime{*from_days_since_unix_epoch(uniform(day_0001, day_9999)), time};
        in.datetimes.push_back(datetime);
        // Z, or a whole quarter hour within +-14:00.
        const UtcOffset offset{uniform(0, 3) == 0 ? 0 : static_cast<std::int32_t>(uniform(-56, 56) * 900)};
        const OffsetDateTime offset_datetime{datetime, offset};
        in.offset_datetimes.push_back(offset_datetime);
        in.instants.push_back({unix_timestamp(datetime), time.nanosecond, offset.seconds});

        TextBuffer<128> date_text, time_text, datetime_text, offset_datetime_text;
        write_date(date_text, datetime.date);
        write_time(time_text, time);
        write_datetime(datetime_text, datetime);
        (void)write_offset_datetime(offset_datetime_text, offset_datetime);
        in.date_texts.push_back(text_of(date_text));
        in.time_texts.push_back(text_of(time_text));
        in.datetime_texts.push_back(text_of(datetime_text));
        in.offset_datetime_texts.push_back(text_of(offset_datetime_text));

        const Time log_time{time.hour, time.minute, time.second,
                            static_cast<std::uint32_t>(uniform(0, 99999) * 10 + uniform(1, 9)) * 1000};
        const UtcOffset log_offset{static_cast<std::int32_t>(uniform(1, 56) * 900 * (uniform(0, 1) ? 1 : -1))};
        TextBuffer<128> log_text;
        (void)write_offset_datetime(log_text, OffsetDateTime{DateTime{datetime.date, log_time}, log_offset});
        in.log_texts.push_back(text_of(log_text));
    }
    for (std::int64_t d : in.days_full) in.dates_full.push_back(*from_days_since_unix_epoch(d));
    for (std::int64_t d : in.days_chrono) in.dates_chrono.push_back(*from_days_since_unix_epoch(d));
    for (std::int64_t d : in.days_modern) in.dates_modern.push_back(*from_days_since_unix_epoch(d));
    for (const Date& d : in.dates_full) in.civil_full.push_back({d.year, d.month, d.day});
    for (const Date& d : in.dates_chrono) in.civil_chrono.push_back({d.year, d.month, d.day});
    for (const Date& d : in.dates_modern) in.civil_modern.push_back({d.year, d.month, d.day});
    auto ymd = [](const Date& d) {
        return std::chrono::year_month_day{std::chrono::year{d.year}, std::chrono::month{d.month},
                                           std::chrono::day{d.day}};
    };
    for (const Date& d : in.dates_chrono) in.ymd_chrono.push_back(ymd(d));
    for (const Date& d : in.dates_modern) in.ymd_modern.push_back(ymd(d));
    return in;
}

const Inputs& inputs() {
    static const Inputs in = make_inputs();
    return in;
}

// One pass over the table per 4096 iterations; every result is kept.
template <class F>
void run(benchmark::State& state, F f) {
    std::size_t i = 0;
    for (auto _ : state) {
        auto result = f(i++ & input_mask);
        benchmark::DoNotOptimize(result);
    }
}

// ---------------------------------------------------------------------------
// The pairs
// ---------------------------------------------------------------------------

void register_pairs() {
    const Inputs& in = inputs();
    auto pair = [](const std::string& operation, auto ours, auto theirs) {
        benchmark::RegisterBenchmark(operation + "/kairodex", [ours](benchmark::State& s) { run(s, ours); });
        benchmark::RegisterBenchmark(operation + "/baseline", [theirs](benchmark::State& s) { run(s, theirs); });
    };
    // A pair and the C++ library's calendar on the same inputs.
    auto trio = [&pair](const std::string& operation, auto ours, auto theirs, auto library) {
        pair(operation, ours, theirs);
        benchmark::RegisterBenchmark(operation + "/chrono", [library](benchmark::State& s) { run(s, library); });
    };

    // clang-format off: one row per entry, ours above the baseline (and chrono)
    pair("days_since_unix_epoch:all_years",
         [&](std::size_t i) { return days_since_unix_epoch(in.dates_full[i]); },
         [&](std::size_t i) {
             const auto& c = in.civil_full[i];
             return baseline::days_from_civil(c.year, c.month, c.day);
         });
    trio("days_since_unix_epoch:-32767..32767",
         [&](std::size_t i) { return days_since_unix_epoch(in.dates_chrono[i]); },
         [&](std::size_t i) {
             const auto& c = in.civil_chrono[i];
             return baseline::days_from_civil(c.year, c.month, c.day);
         },
         [&](std::size_t i) { return chrono_peer::days_from_civil(in.ymd_chrono[i]); });
    trio("days_since_unix_epoch:1900-2100",
         [&](std::size_t i) { return days_since_unix_epoch(in.dates_modern[i]); },
         [&](std::size_t i) {
             const auto& c = in.civil_modern[i];
             return baseline::days_from_civil(c.year, c.month, c.day);
         },
         [&](std::size_t i) { return chrono_peer::days_from_civil(in.ymd_modern[i]); });
    pair("from_days_since_unix_epoch:all_years",
         [&](std::size_t i) { return from_days_since_unix_epoch(in.days_full[i]); },
         [&](std::size_t i) { return baseline::civil_from_days(in.days_full[i]); });
    trio("from_days_since_unix_epoch:-32767..32767",
         [&](std::size_t i) { return from_days_since_unix_epoch(in.days_chrono[i]); },
         [&](std::size_t i) { return baseline::civil_from_days(in.days_chrono[i]); },
         [&](std::size_t i) { return chrono_peer::civil_from_days(in.days_chrono[i]); });
    trio("from_days_since_unix_epoch:1900-2100",
         [&](std::size_t i) { return from_days_since_unix_epoch(in.days_modern[i]); },
         [&](std::size_t i) { return baseline::civil_from_days(in.days_modern[i]); },
         [&](std::size_t i) { return chrono_peer::civil_from_days(in.days_modern[i]); });
    pair("is_leap_year",
         [&](std::size_t i) { return is_leap_year(in.years[i]); },
         [&](std::size_t i) { return baseline::is_leap(in.years[i]); });

    pair("parse_date",
         [&](std::size_t i) { return parse_date(in.date_texts[i]); },
         [&](std::size_t i) { return baseline::parse_date(in.date_texts[i].c_str()); });
    pair("parse_time",
         [&](std::size_t i) { return parse_time(in.time_texts[i]); },
         [&](std::size_t i) { return baseline::parse_time(in.time_texts[i].c_str()); });
    pair("parse_datetime",
         [&](std::size_t i) { return parse_datetime(in.datetime_texts[i]); },
         [&](std::size_t i) { return baseline::parse_datetime(in.datetime_texts[i].c_str()); });
    pair("parse_offset_datetime",
         [&](std::size_t i) { return parse_offset_datetime(in.offset_datetime_texts[i]); },
         [&](std::size_t i) { return baseline::parse_offset_datetime(in.offset_datetime_texts[i].c_str()); });

    pair("parse_offset_datetime:one_layout",
         [&](std::size_t i) { return parse_offset_datetime(in.log_texts[i]); },
         [&](std::size_t i) { return baseline::parse_offset_datetime(in.log_texts[i].c_str()); });

    pair("write_date",
         [&](std::size_t i) {
             TextBuffer<128> out;
             write_date(out, in.dates_modern[i]);
             return out;
         },
         [&](std::size_t i) {
             char out[128];
             baseline::format_date(out, sizeof out, in.civil_modern[i]);
             return std::to_array(out);
         });
    pair("write_time",
         [&](std::size_t i) {
             TextBuffer<128> out;
             write_time(out, in.times[i]);
             return out;
         },
         [&](std::size_t i) {
             const Time& t = in.times[i];
             char out[128];
             baseline::format_time(out, sizeof out, {t.hour, t.minute, t.second, t.nanosecond});
             return std::to_array(out);
         });
    pair("write_datetime",
         [&](std::size_t i) {
             TextBuffer<128> out;
             write_datetime(out, in.datetimes[i]);
             return out;
         },
         [&](std::size_t i) {
             const DateTime& v = in.datetimes[i];
             char out[128];
             baseline::format_datetime(out, sizeof out, {v.date.year, v.date.month, v.date.day},
                                       {v.time.hour, v.time.minute, v.time.second, v.time.nanosecond});
             return std::to_array(out);
         });
    pair("write_offset_datetime",
         [&](std::size_t i) {
             TextBuffer<128> out;
             (void)write_offset_datetime(out, in.offset_datetimes[i]);
             return out;
         },
         [&](std::size_t i) {
             char out[128];
             baseline::format_offset_datetime(out, sizeof out, in.instants[i]);
             return std::to_array(out);
         });

    pair("value_hash:datetime",
         [&](std::size_t i) {
             const DateTime& v = in.datetimes[i];
             ValueHasher h;
             h.write_le(v.date.year);
             h.write_le(v.date.month);
             h.write_le(v.date.day);
             h.write_le(v.time.hour);
             h.write_le(v.time.minute);
             h.write_le(v.time.second);
             h.write_le(v.time.nanosecond);
             return to_python_hash(h.finish());
         },
         [&](std::size_t i) { return baseline::hash_datetime(in.datetimes[i]); });
    // clang-format on

    // The 128-bit paths alone, without a baseline: bench/portable_cost.py
    // reads them from a native and a portable-arithmetic build side by side.
    auto single = [](const std::string& operation, auto ours) {
        benchmark::RegisterBenchmark(operation + "/kairodex", [ours](benchmark::State& s) { run(s, ours); });
    };
    single("unix_timestamp_nanos", [&](std::size_t i) { return unix_timestamp_nanos(in.datetimes[i]); });
    single("add_duration", [&](std::size_t i) {
        return add_duration(in.datetimes[i], Duration{unix_timestamp_nanos(in.datetimes[(i + 1) & input_mask]) / 4});
    });
    single("difference",
           [&](std::size_t i) { return difference(in.datetimes[i], in.datetimes[(i + 1) & input_mask]); });
    single("total_seconds", [&](std::size_t i) { return total_seconds(difference(in.datetimes[i], in.datetimes[0])); });
    single("write_duration", [&](std::size_t i) {
        TextBuffer<128> out;
        write_duration_repr(out, difference(in.datetimes[i], in.datetimes[0]));
        return out;
    });
}

// The console output, then one line per row: the times, and the baseline's and
// chrono's over ours. A repeated benchmark (--benchmark_repetitions) counts
// with its median.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.skipped) continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type != Run::RT_Iteration && !median) continue;
            const std::string name = run.run_name.str();
            const double ns = run.GetAdjustedCPUTime() * ns_per_unit(run.time_unit);
            if (best_.find(name) == best_.end()) order_.push_back(name);
            if (median || !medians_.contains(name)) best_[name] = ns;
            if (median) medians_.insert(name);
        }
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::FILE* out = stdout;
        GetOutputStream().flush();
        std::fflush(out);
        std::fprintf(out, "\n%-42s %12s %12s %9s %12s %9s\n", "operation", "kairodex ns", "baseline ns", "speed-up",
                     "chrono ns", "speed-up");
        for (const std::string& name : order_) {
            const std::string suffix = "/kairodex";
            if (name.size() < suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
                continue;
            const std::string operation = name.substr(0, name.size() - suffix.size());
            const auto theirs = best_.find(operation + "/baseline");
            if (theirs == best_.end()) continue;
            const double ours = best_[name];
            std::fprintf(out, "%-42s %12.2f %12.2f %8.2fx", operation.c_str(), ours, theirs->second,
                         theirs->second / ours);
            if (const auto library = best_.find(operation + "/chrono"); library != best_.end()) {
                std::fprintf(out, " %12.2f %8.2fx", library->second, library->second / ours);
            }
            std::fprintf(out, "\n");
        }
    }

  private:
    static double ns_per_unit(benchmark::TimeUnit unit) {
        switch (unit) {
        case benchmark::kSecond: return 1e9;
        case benchmark::kMillisecond: return 1e6;
        case benchmark::kMicrosecond: return 1e3;
        default: return 1.0;
        }
    }

    std::map<std::string, double> best_;
    std::set<std::string> medians_;
    std::vector<std::string> order_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    register_pairs();
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
