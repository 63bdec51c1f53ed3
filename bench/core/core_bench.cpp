// Every fast path of the calendar core beside the plain code it stands in
// for, on the same inputs in the same binary: what each trick buys. The day
// counts also run beside the C++ library's own calendar, std::chrono's
// year_month_day and sys_days, over the years it holds. The closing table
// gives each row's ratios. A few 128-bit operations without a fast path run
// alone, for bench/portable_cost.py.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "core/value_hasher.hpp"  // the tests' byte-stream hash
#include "kairodex/date.hpp"
#include "kairodex/datetime.hpp"
#include "kairodex/offset_datetime.hpp"
#include "kairodex/text_buffer.hpp"
#include "kairodex/time.hpp"
#include "kairodex/utc_offset.hpp"
#include "kairodex/value_hash.hpp"

namespace {

using namespace kairodex;

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
    std::vector<std::chrono::year_month_day> ymd_chrono, ymd_modern;
    std::vector<year_t> years;
    std::vector<Time> times;
    std::vector<DateTime> datetimes;
    std::vector<OffsetDateTime> offset_datetimes;
    // Nanosecond counts within 64 bits (the years 1677 to 2262), and counts
    // of 128-bit durations up to about 10^20 ns.
    std::vector<i128> nanos;
    std::vector<u128> counts;
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
        in.nanos.push_back(uniform(INT64_MIN, INT64_MAX));
        in.counts.push_back(static_cast<u128>(uniform(0, INT64_MAX)) * static_cast<u128>(uniform(1, 10)));

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

// One pass over the table per 4096 iterations; every result is kept. The
// operation is inlined into the loop, whatever the compiler would choose for
// it in this file (as it is into the module's entries), so that no row pays a
// call the others do not; what is out of line in the core stays out of line.
#if defined(__GNUC__) || defined(__clang__)
#define KAIRODEX_BENCH_FLATTEN [[gnu::flatten]]
#else
#define KAIRODEX_BENCH_FLATTEN
#endif
template <class F>
KAIRODEX_BENCH_FLATTEN void run(benchmark::State& state, F f) {
    std::size_t i = 0;
    for (auto _ : state) {
        auto result = f(i++ & input_mask);
        benchmark::DoNotOptimize(result);
    }
}

// ---------------------------------------------------------------------------
// The pairs
// ---------------------------------------------------------------------------

// The fast side of a row is the core's public function, as the module calls
// it: its fast path, inlined into the loop, and the plain code for what it
// declines (none of these inputs).
static_assert(fast::enabled, "the core benchmark needs the fast paths (KAIRODEX_FAST)");

using Buffer = TextBuffer<128>;

// A text writer's buffer, kept as the result.
template <class Write>
Buffer written(Write write) {
    Buffer out;
    write(out);
    return out;
}

void register_pairs() {
    const Inputs& in = inputs();
    auto pair = [](const std::string& operation, auto fast_side, auto plain_side) {
        benchmark::RegisterBenchmark(operation + "/fast", [fast_side](benchmark::State& s) { run(s, fast_side); });
        benchmark::RegisterBenchmark(operation + "/plain", [plain_side](benchmark::State& s) { run(s, plain_side); });
    };
    // A pair and the C++ library's calendar on the same inputs.
    auto trio = [&pair](const std::string& operation, auto fast_side, auto plain_side, auto library) {
        pair(operation, fast_side, plain_side);
        benchmark::RegisterBenchmark(operation + "/chrono", [library](benchmark::State& s) { run(s, library); });
    };

    // clang-format off: one row per entry, the fast path above the plain code (and chrono)
    pair("days_since_unix_epoch:all_years",
         [&](std::size_t i) { return days_since_unix_epoch(in.dates_full[i]); },
         [&](std::size_t i) { return plain_days_since_unix_epoch(in.dates_full[i]); });
    trio("days_since_unix_epoch:-32767..32767",
         [&](std::size_t i) { return days_since_unix_epoch(in.dates_chrono[i]); },
         [&](std::size_t i) { return plain_days_since_unix_epoch(in.dates_chrono[i]); },
         [&](std::size_t i) { return chrono_peer::days_from_civil(in.ymd_chrono[i]); });
    trio("days_since_unix_epoch:1900-2100",
         [&](std::size_t i) { return days_since_unix_epoch(in.dates_modern[i]); },
         [&](std::size_t i) { return plain_days_since_unix_epoch(in.dates_modern[i]); },
         [&](std::size_t i) { return chrono_peer::days_from_civil(in.ymd_modern[i]); });
    pair("from_days_since_unix_epoch:all_years",
         [&](std::size_t i) { return from_days_since_unix_epoch(in.days_full[i]); },
         [&](std::size_t i) { return plain_from_days_since_unix_epoch(in.days_full[i]); });
    trio("from_days_since_unix_epoch:-32767..32767",
         [&](std::size_t i) { return from_days_since_unix_epoch(in.days_chrono[i]); },
         [&](std::size_t i) { return plain_from_days_since_unix_epoch(in.days_chrono[i]); },
         [&](std::size_t i) { return chrono_peer::civil_from_days(in.days_chrono[i]); });
    trio("from_days_since_unix_epoch:1900-2100",
         [&](std::size_t i) { return from_days_since_unix_epoch(in.days_modern[i]); },
         [&](std::size_t i) { return plain_from_days_since_unix_epoch(in.days_modern[i]); },
         [&](std::size_t i) { return chrono_peer::civil_from_days(in.days_modern[i]); });
    pair("is_leap_year",
         [&](std::size_t i) { return is_leap_year(in.years[i]); },
         [&](std::size_t i) { return plain_is_leap_year(in.years[i]); });
    pair("add_days:1",
         [&](std::size_t i) { return add_days(in.dates_modern[i], 1); },
         [&](std::size_t i) { return plain_add_days(in.dates_modern[i], 1); });
    pair("from_unix_nanos:64-bit",
         [&](std::size_t i) { return from_unix_nanos(in.nanos[i]); },
         [&](std::size_t i) { return plain_from_unix_nanos(in.nanos[i]); });
    pair("to_local",
         [&](std::size_t i) {
             const OffsetDateTime& v = in.offset_datetimes[i];
             return impl::move_seconds(v.utc, v.offset.seconds);
         },
         [&](std::size_t i) {
             const OffsetDateTime& v = in.offset_datetimes[i];
             return impl::plain_move_seconds(v.utc, v.offset.seconds);
         });

    pair("move_minutes",
         [&](std::size_t i) {
             const OffsetDateTime& v = in.offset_datetimes[i];
             return fast::move_minutes(v.utc, v.offset.seconds / 60);
         },
         [&](std::size_t i) {
             const OffsetDateTime& v = in.offset_datetimes[i];
             return impl::plain_move_seconds(v.utc, v.offset.seconds);
         });

    pair("parse_date",
         [&](std::size_t i) { return parse_date(in.date_texts[i]); },
         [&](std::size_t i) { return plain_parse_date(in.date_texts[i]); });
    pair("parse_time",
         [&](std::size_t i) { return parse_time(in.time_texts[i]); },
         [&](std::size_t i) { return plain_parse_time(in.time_texts[i]); });
    pair("parse_datetime",
         [&](std::size_t i) { return parse_datetime(in.datetime_texts[i]); },
         [&](std::size_t i) { return plain_parse_datetime(in.datetime_texts[i]); });
    pair("parse_offset_datetime",
         [&](std::size_t i) {
             return parse_offset_datetime(in.offset_datetime_texts[i]);
         },
         [&](std::size_t i) { return plain_parse_offset_datetime(in.offset_datetime_texts[i]); });
    pair("parse_offset_datetime:one_layout",
         [&](std::size_t i) { return parse_offset_datetime(in.log_texts[i]); },
         [&](std::size_t i) { return plain_parse_offset_datetime(in.log_texts[i]); });

    pair("write_date",
         [&](std::size_t i) {
             return written([&](Buffer& out) { write_date(out, in.dates_modern[i]); });
         },
         [&](std::size_t i) { return written([&](Buffer& out) { plain_write_date(out, in.dates_modern[i]); }); });
    pair("write_time",
         [&](std::size_t i) { return written([&](Buffer& out) { write_time(out, in.times[i]); }); },
         [&](std::size_t i) { return written([&](Buffer& out) { plain_write_time(out, in.times[i]); }); });
    pair("write_offset",
         [&](std::size_t i) {
             return written([&](Buffer& out) { write_offset(out, in.offset_datetimes[i].offset); });
         },
         [&](std::size_t i) {
             return written([&](Buffer& out) { plain_write_offset(out, in.offset_datetimes[i].offset); });
         });
    pair("write_datetime",
         [&](std::size_t i) {
             return written([&](Buffer& out) {
                 write_datetime(out, in.datetimes[i]);
             });
         },
         [&](std::size_t i) {
             return written([&](Buffer& out) { plain_write_local_with_offset(out, in.datetimes[i], UtcOffset{0}); });
         });
    pair("write_local_with_offset",
         [&](std::size_t i) {
             const OffsetDateTime& v = in.offset_datetimes[i];
             return written([&](Buffer& out) {
                 write_local_with_offset(out, v.utc, v.offset);
             });
         },
         [&](std::size_t i) {
             const OffsetDateTime& v = in.offset_datetimes[i];
             return written([&](Buffer& out) { plain_write_local_with_offset(out, v.utc, v.offset); });
         });
    pair("put_unsigned",
         [&](std::size_t i) {
             return written([&](Buffer& out) { put_unsigned(out, in.counts[i]); });
         },
         [&](std::size_t i) { return written([&](Buffer& out) { plain_put_unsigned(out, in.counts[i], 1); }); });

    pair("value_hash:datetime",
         [&](std::size_t i) {
             const DateTime& v = in.datetimes[i];
             return digest_of_fields(v.date.year, v.date.month, v.date.day, v.time.hour, v.time.minute,
                                     v.time.second, v.time.nanosecond);
         },
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
             return h.finish();
         });
    // clang-format on

    // The 128-bit paths alone, without a plain twin: bench/portable_cost.py
    // reads them, and the fast sides above, from a native and a
    // portable-arithmetic build side by side.
    auto single = [](const std::string& operation, auto core) {
        benchmark::RegisterBenchmark(operation + "/core", [core](benchmark::State& s) { run(s, core); });
    };
    single("unix_timestamp_nanos", [&](std::size_t i) { return unix_timestamp_nanos(in.datetimes[i]); });
    single("add_duration", [&](std::size_t i) {
        return add_duration(in.datetimes[i], Duration{unix_timestamp_nanos(in.datetimes[(i + 1) & input_mask]) / 4});
    });
    single("difference",
           [&](std::size_t i) { return difference(in.datetimes[i], in.datetimes[(i + 1) & input_mask]); });
    single("total_seconds", [&](std::size_t i) { return total_seconds(difference(in.datetimes[i], in.datetimes[0])); });
    single("write_duration", [&](std::size_t i) {
        return written([&](Buffer& out) { write_duration_repr(out, difference(in.datetimes[i], in.datetimes[0])); });
    });
}

// The console output, then one line per row: the times, and the plain code's
// and chrono's over the fast path's. A repeated benchmark (--benchmark_repetitions) counts
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
        std::fprintf(out, "\n%-42s %12s %12s %9s %12s %9s\n", "operation", "fast ns", "plain ns", "speed-up",
                     "chrono ns", "speed-up");
        for (const std::string& name : order_) {
            const std::string suffix = "/fast";
            if (name.size() < suffix.size() || name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
                continue;
            const std::string operation = name.substr(0, name.size() - suffix.size());
            const auto plain = best_.find(operation + "/plain");
            if (plain == best_.end()) continue;
            const double fast = best_[name];
            std::fprintf(out, "%-42s %12.2f %12.2f %8.2fx", operation.c_str(), fast, plain->second,
                         plain->second / fast);
            if (const auto library = best_.find(operation + "/chrono"); library != best_.end()) {
                std::fprintf(out, " %12.2f %8.2fx", library->second, library->second / fast);
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
