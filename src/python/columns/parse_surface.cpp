// Python surface of the column readers: parse_datetimes, parse_offset_datetimes,
// parse_dates and parse_times. Each opens its texts (sources.hpp), splits the
// rows over its threads, reads every row with the core's column kernel
// (kairodex/columns.hpp) straight into the output's memory, and then turns the
// first row that stopped it into the exception the class parser raises,
// prefixed with the row's place: "row 12: Invalid datetime string ...".
#include "members.hpp"
#include "text_failures.hpp"

#include <limits>

#include "columns/arrow_column.hpp"
#include "columns/functions.hpp"
#include "columns/numpy_bridge.hpp"
#include "columns/row_errors.hpp"
#include "columns/sources.hpp"
#include "columns/workers.hpp"
#include "kairodex/columns.hpp"

namespace kairodex::python {

using columns::Unit;

template <>
struct Choices<Unit> {
    static constexpr std::array<std::string_view, 4> words{"ns", "us", "ms", "s"};
};

// What a row that the grammar refuses, or whose value its column cannot
// hold, becomes: the call's exception, or a missing value.
enum class ErrorMode : std::uint8_t { raise, null };

template <>
struct Choices<ErrorMode> {
    static constexpr std::array<std::string_view, 2> words{"raise", "null"};
};

namespace {

enum class Reading : std::uint8_t { datetimes, offset_datetimes, dates, times };

// Rows below which a thread is not worth starting: a thread's start costs
// about as much as reading a thousand rows.
constexpr Py_ssize_t rows_per_thread = 1024;
constexpr std::size_t bytes_per_thread = 16 * 1024;

struct Share;

// What every share reads and where it writes: set before the threads start,
// read-only while they run.
struct Plan {
    Reading reading;
    Unit unit;
    bool null_on_error;
    bool date32;  // Arrow's date32: days in 32 bits
    const Source* source;
    void* values;           // std::int64_t, or std::int32_t for date32
    std::int32_t* offsets;  // offset_datetimes: the offsets' seconds
    void (*read)(const Plan&, Share&) noexcept;
};

// A thread's rows, and what it found. A share stops at its first row that
// stops the call; the rows after it are never looked at.
struct Share {
    Py_ssize_t begin = 0, end = 0;
    std::string_view bytes;  // lines: from the start of the share's first line
    Py_ssize_t missing = 0;
    Py_ssize_t stopped_at = -1;
    RowText::State stop = RowText::State::text;
    columns::RowFailure failure{};
    std::string_view text;  // the text of the row it stopped at (in the source or the scratch)
    Scratch scratch;
};

struct Job {
    Plan plan{};
    int count = 1;
    Share shares[max_threads];
};

template <class Value>
constexpr Value missing_value = std::numeric_limits<Value>::min();

// --- the kernel loop ------------------------------------------------------------

// One row: its value written, or the missing mark; false where it stops the share.
template <Reading reading, class Value, Unit unit>
KAIRODEX_ALWAYS_INLINE inline bool take_row(const Plan& plan, Share& share, Py_ssize_t row,
                                            const RowText& text) noexcept {
    Value* values = static_cast<Value*>(plan.values);
    if (text.state == RowText::State::text) [[likely]] {
        columns::RowFailure failure;
        if constexpr (reading == Reading::datetimes) {
            const auto count = columns::parse_datetime_in<unit>(text.text);
            if (count) [[likely]] {
                values[row] = *count;
                return true;
            }
            failure = count.error();
        } else if constexpr (reading == Reading::offset_datetimes) {
            const auto count = columns::parse_offset_datetime_in<unit>(text.text);
            if (count) [[likely]] {
                values[row] = count->count;
                plan.offsets[row] = count->offset_seconds;
                return true;
            }
            failure = count.error();
        } else if constexpr (reading == Reading::dates) {
            const auto days = columns::parse_days(text.text);
            if (days && (!plan.date32 || columns::fits_date32(*days))) [[likely]] {
                values[row] = static_cast<Value>(*days);
                return true;
            }
            failure = days ? columns::does_not_fit : days.error();
        } else {
            const auto nanos = columns::parse_nanos_since_midnight(text.text);
            if (nanos) [[likely]] {
                values[row] = *nanos;
                return true;
            }
            failure = nanos.error();
        }
        if (!plan.null_on_error) {
            share.stopped_at = row;
            share.stop = RowText::State::text;
            share.failure = failure;
            share.text = text.text;
            return false;
        }
    } else if (text.state != RowText::State::missing) {
        share.stopped_at = row;
        share.stop = text.state;
        return false;
    }
    values[row] = missing_value<Value>;
    if constexpr (reading == Reading::offset_datetimes) plan.offsets[row] = 0;
    ++share.missing;
    return true;
}

template <Reading reading, class Value, Unit unit, ArrowLayout layout>
void read_arrow(const Plan& plan, Share& share) noexcept {
    const Source& source = *plan.source;
    // The last chunk that starts at or before the share's first row.
    Py_ssize_t low = 0, high = source.chunk_count;
    while (high - low > 1) {
        const Py_ssize_t middle = low + (high - low) / 2;
        (source.chunks[static_cast<std::size_t>(middle)].first_row <= share.begin ? low : high) = middle;
    }
    Py_ssize_t row = share.begin;
    for (Py_ssize_t chunk = low; row < share.end; ++chunk) {
        const ArrowChunk& at = source.chunks[static_cast<std::size_t>(chunk)];
        const Py_ssize_t stop = std::min(share.end, at.first_row + static_cast<Py_ssize_t>(at.array->length));
        for (; row < stop; ++row) {
            if (!take_row<reading, Value, unit>(plan, share, row, arrow_text<layout>(*at.array, row - at.first_row))) {
                return;
            }
        }
    }
}

template <Reading reading, class Value, Unit unit>
void read_share(const Plan& plan, Share& share) noexcept {
    const Source& source = *plan.source;
    switch (source.kind) {
    case SourceKind::objects:
        for (Py_ssize_t row = share.begin; row < share.end; ++row) {
            if (!take_row<reading, Value, unit>(plan, share, row, str_text(source.items[row], share.scratch))) return;
        }
        return;
    case SourceKind::ucs4:
        if (share.begin < share.end && !share.scratch.reserve(4 * static_cast<std::size_t>(source.width))) {
            share.stopped_at = share.begin;
            share.stop = RowText::State::no_memory;
            return;
        }
        for (Py_ssize_t row = share.begin; row < share.end; ++row) {
            if (!take_row<reading, Value, unit>(plan, share, row, ucs4_text(source, row, share.scratch))) return;
        }
        return;
    case SourceKind::lines: {
        columns::Lines lines(share.bytes);
        Py_ssize_t row = share.begin;
        for (std::string_view line; lines.next(line); ++row) {
            if (!take_row<reading, Value, unit>(plan, share, row, RowText{line})) return;
        }
        return;
    }
    case SourceKind::arrow:
        switch (source.layout) {
        case ArrowLayout::offsets32: return read_arrow<reading, Value, unit, ArrowLayout::offsets32>(plan, share);
        case ArrowLayout::offsets64: return read_arrow<reading, Value, unit, ArrowLayout::offsets64>(plan, share);
        case ArrowLayout::views: return read_arrow<reading, Value, unit, ArrowLayout::views>(plan, share);
        }
    }
}

using ShareReader = void (*)(const Plan&, Share&) noexcept;

// The readings of instants in each unit, the others in none.
template <Reading reading>
ShareReader instants_reader(Unit unit) noexcept {
    switch (unit) {
    case Unit::ns: return read_share<reading, std::int64_t, Unit::ns>;
    case Unit::us: return read_share<reading, std::int64_t, Unit::us>;
    case Unit::ms: return read_share<reading, std::int64_t, Unit::ms>;
    case Unit::s: break;
    }
    return read_share<reading, std::int64_t, Unit::s>;
}

ShareReader reader_for(Reading reading, Unit unit, bool date32) noexcept {
    switch (reading) {
    case Reading::datetimes: return instants_reader<Reading::datetimes>(unit);
    case Reading::offset_datetimes: return instants_reader<Reading::offset_datetimes>(unit);
    case Reading::dates:
        return date32 ? read_share<Reading::dates, std::int32_t, Unit::ns>
                      : read_share<Reading::dates, std::int64_t, Unit::ns>;
    case Reading::times: return read_share<Reading::times, std::int64_t, Unit::ns>;
    }
    return nullptr;
}

void read_work(void* context, int index) noexcept {
    auto* job = static_cast<Job*>(context);
    job->plan.read(job->plan, job->shares[index]);
}

void count_work(void* context, int index) noexcept {
    Share& share = static_cast<Job*>(context)->shares[index];
    share.end = static_cast<Py_ssize_t>(columns::count_lines(share.bytes));
}

// --- splitting ------------------------------------------------------------------

int thread_count(std::int32_t threads, std::size_t work, std::size_t per_thread) noexcept {
    const std::size_t worth = work / per_thread > 0 ? work / per_thread : 1;
    std::size_t count = threads < max_threads ? static_cast<std::size_t>(threads) : max_threads;
    return static_cast<int>(count < worth ? count : worth);
}

void split_rows(Job& job, Py_ssize_t rows, std::int32_t threads) noexcept {
    job.count = thread_count(threads, static_cast<std::size_t>(rows), rows_per_thread);
    const Py_ssize_t each = rows / job.count, extra = rows % job.count;
    Py_ssize_t begin = 0;
    for (int i = 0; i < job.count; ++i) {
        job.shares[i].begin = begin;
        begin += each + (i < extra);
        job.shares[i].end = begin;
    }
}

// Each share from the start of a line; counted by the threads, as the rows
// that each share's first row comes after.
void split_lines(Job& job, std::string_view buffer, std::int32_t threads, bool release_gil) noexcept {
    job.count = thread_count(threads, buffer.size(), bytes_per_thread);
    std::size_t start = 0;
    for (int i = 0; i < job.count; ++i) {
        std::size_t end = buffer.size();
        if (i + 1 < job.count) {
            const std::size_t guess =
                buffer.size() / static_cast<std::size_t>(job.count) * static_cast<std::size_t>(i + 1);
            const std::size_t newline = guess > start ? buffer.find('\n', guess - 1) : buffer.find('\n', start);
            end = newline == std::string_view::npos ? buffer.size() : newline + 1;
        }
        // (Not substr, whose out_of_range throw would tie the module to the C++ library.)
        job.shares[i].bytes = std::string_view(buffer.data() + start, end - start);
        start = end;
    }
    run_split(job.count, count_work, &job, release_gil);
    Py_ssize_t rows = 0;
    for (int i = 0; i < job.count; ++i) {
        const Py_ssize_t count = job.shares[i].end;
        job.shares[i].begin = rows;
        rows += count;
        job.shares[i].end = rows;
    }
}

// --- failures -------------------------------------------------------------------

const Failure& text_failure(Reading reading) noexcept {
    switch (reading) {
    case Reading::datetimes: return invalid_datetime_string;
    case Reading::offset_datetimes: return invalid_offset_datetime_string;
    case Reading::dates: return invalid_date_string;
    case Reading::times: return invalid_time_string;
    }
    return invalid_datetime_string;
}

// The type of the column a reading fills, as its library names it.
const char* column_type_name(Reading reading, Unit unit, bool to_arrow) noexcept {
    static constexpr const char* numpy_names[] = {"datetime64[ns]", "datetime64[us]", "datetime64[ms]",
                                                  "datetime64[s]"};
    static constexpr const char* arrow_names[] = {"timestamp[ns, tz=UTC]", "timestamp[us, tz=UTC]",
                                                  "timestamp[ms, tz=UTC]", "timestamp[s, tz=UTC]"};
    if (reading == Reading::dates) return to_arrow ? "date32" : "datetime64[D]";
    return (to_arrow ? arrow_names : numpy_names)[static_cast<int>(unit)];
}

// The nearest unit that holds the row's instant: a coarser one where the
// count did not fit, a finer one where the fraction did not; null where
// none does.
const char* unit_that_holds(Reading reading, std::string_view text, Unit unit, columns::RowError error) noexcept {
    const int step = error == columns::RowError::DoesNotFit ? 1 : -1;
    for (int other = static_cast<int>(unit) + step; other >= 0 && other < 4; other += step) {
        const auto candidate = static_cast<Unit>(other);
        const bool holds = reading == Reading::datetimes
                               ? columns::parse_datetime_at(text, candidate).has_value()
                               : columns::parse_offset_datetime_at(text, candidate).has_value();
        if (holds) return Choices<Unit>::words[static_cast<std::size_t>(other)].data();
    }
    return nullptr;
}

// "row 12: " and the message of the class's parser, or of the column's type.
PyObject* raise_row_failure(const Plan& plan, bool to_arrow, Py_ssize_t row, columns::RowFailure failure,
                            std::string_view text) noexcept {
    const Owned shown{text_for_message(text)};
    if (!shown) return nullptr;
    if (failure.kind != columns::RowError::Text) {
        const char* type = column_type_name(plan.reading, plan.unit, to_arrow);
        const char* holder = plan.reading == Reading::datetimes || plan.reading == Reading::offset_datetimes
                                 ? unit_that_holds(plan.reading, text, plan.unit, failure.kind)
                                 : nullptr;
        const char* verb = failure.kind == columns::RowError::Finer ? "is finer than" : "does not fit";
        if (holder != nullptr) {
            return PyErr_Format(PyExc_ValueError, "row %zd: %U %s %s; use unit='%s'", row, shown.get(), verb, type,
                                holder);
        }
        return PyErr_Format(PyExc_ValueError, "row %zd: %U %s %s", row, shown.get(), verb, type);
    }
    return raise_at_row(row, text_failure(plan.reading), failure.cause, shown.get());
}

// Raises for the first row that stopped a share; false where none did.
bool raise_first_stop(const Job& job, bool to_arrow) noexcept {
    const Share* first = nullptr;
    for (int i = 0; i < job.count; ++i) {
        if (job.shares[i].stopped_at >= 0 && (first == nullptr || job.shares[i].stopped_at < first->stopped_at)) {
            first = &job.shares[i];
        }
    }
    if (first == nullptr) return false;
    switch (first->stop) {
    case RowText::State::no_memory: PyErr_NoMemory(); break;
    case RowText::State::not_text:
        PyErr_Format(PyExc_TypeError, "row %zd: expected a str or None, not %T", first->stopped_at,
                     job.plan.source->items[first->stopped_at]);
        break;
    default: raise_row_failure(job.plan, to_arrow, first->stopped_at, first->failure, first->text); break;
    }
    return true;
}

// --- results --------------------------------------------------------------------

// Where the values go: numpy arrays, or the buffers of Arrow columns.
struct Outputs {
    Owned values_array, offsets_array;
    RawArray<std::int64_t> values64;
    RawArray<std::int32_t> values32, offsets;
};

bool allocate(const Plan& plan, bool to_arrow, Py_ssize_t rows, Outputs& out, void*& values,
              std::int32_t*& offsets) noexcept {
    const bool with_offsets = plan.reading == Reading::offset_datetimes;
    void* offsets_data = nullptr;
    if (!to_arrow) {
        out.values_array = new_array(rows, Dtype::int64, values);
        if (!out.values_array) return false;
        if (with_offsets && !(out.offsets_array = new_array(rows, Dtype::int32, offsets_data))) return false;
        offsets = static_cast<std::int32_t*>(offsets_data);
        return true;
    }
    const auto count = static_cast<std::size_t>(rows);
    const bool allocated = (plan.date32 ? out.values32.allocate(count) : out.values64.allocate(count)) &&
                           (!with_offsets || out.offsets.allocate(count));
    if (!allocated) {
        PyErr_NoMemory();
        return false;
    }
    values = plan.date32 ? static_cast<void*>(out.values32.data()) : static_cast<void*>(out.values64.data());
    offsets = out.offsets.data();
    return true;
}

// A bit per row, 1 where the row has a value: from the missing marks.
template <class Value>
bool validity_of(const Value* values, Py_ssize_t rows, RawArray<std::uint8_t>& bits) noexcept {
    if (!bits.allocate(static_cast<std::size_t>(rows + 7) / 8)) return false;
    for (Py_ssize_t byte = 0; byte * 8 < rows; ++byte) {
        std::uint8_t set = 0;
        for (Py_ssize_t bit = 0; bit < 8 && byte * 8 + bit < rows; ++bit) {
            set |= static_cast<std::uint8_t>(values[byte * 8 + bit] != missing_value<Value>) << bit;
        }
        bits[static_cast<std::size_t>(byte)] = set;
    }
    return true;
}

ArrowType arrow_type(Reading reading, Unit unit) noexcept {
    static constexpr ArrowType instants[] = {{"tsn:UTC", "timestamp[ns, tz=UTC]"},
                                             {"tsu:UTC", "timestamp[us, tz=UTC]"},
                                             {"tsm:UTC", "timestamp[ms, tz=UTC]"},
                                             {"tss:UTC", "timestamp[s, tz=UTC]"}};
    switch (reading) {
    case Reading::dates: return {"tdD", "date32[day]"};
    case Reading::times: return {"ttn", "time64[ns]"};
    default: return instants[static_cast<int>(unit)];
    }
}

PyObject* arrow_results(const Plan& plan, Py_ssize_t rows, Py_ssize_t missing, Outputs& out) noexcept {
    RawArray<std::uint8_t> bits, offset_bits;
    if (missing > 0) {
        const bool made =
            plan.date32 ? validity_of(out.values32.data(), rows, bits) : validity_of(out.values64.data(), rows, bits);
        if (!made || (plan.reading == Reading::offset_datetimes && !offset_bits.allocate(bits.size()))) {
            return PyErr_NoMemory();
        }
        if (offset_bits.data() != nullptr) std::memcpy(offset_bits.data(), bits.data(), bits.size());
    }
    void* values =
        plan.date32 ? static_cast<void*>(out.values32.release()) : static_cast<void*>(out.values64.release());
    ColumnBuffers* buffers = make_column_buffers(arrow_type(plan.reading, plan.unit), rows, missing, bits, values);
    if (buffers == nullptr) return nullptr;
    Owned column{new_arrow_column(buffers)};
    if (!column || plan.reading != Reading::offset_datetimes) return column.release();
    buffers = make_column_buffers({"i", "int32"}, rows, missing, offset_bits, out.offsets.release());
    if (buffers == nullptr) return nullptr;
    const Owned offsets{new_arrow_column(buffers)};
    return offsets ? PyTuple_Pack(2, column.get(), offsets.get()) : nullptr;
}

PyObject* numpy_results(const Plan& plan, Outputs& out) noexcept {
    const Dtype dtype = plan.reading == Reading::dates   ? Dtype::datetime64_D
                        : plan.reading == Reading::times ? Dtype::timedelta64_ns
                                                         : instants_of(plan.unit);
    Owned values = view_as(out.values_array.get(), dtype);
    if (!values || plan.reading != Reading::offset_datetimes) return values.release();
    return PyTuple_Pack(2, values.get(), out.offsets_array.get());
}

// --- the operations ---------------------------------------------------------------

// Reads the rows of a caller's list while no Python code can change it: the
// GIL is held throughout (the threads, if any, read the str objects without
// needing it), and where there is no GIL the list's own lock. Code that ran
// while the output was made (a finaliser that a collection ran, say) may have
// changed the list already: it is read where it is now, and only at the size
// the output has. False with RuntimeError set where that size has changed.
bool read_list(Job& job, Source& source) noexcept {
    PyObject* list = source.keep.get();
    bool same_size = false;
    Py_BEGIN_CRITICAL_SECTION(list);
    same_size = PyList_GET_SIZE(list) == source.rows;
    if (same_size) {
        source.items = PySequence_Fast_ITEMS(list);
        run_split(job.count, read_work, &job, false);
    }
    Py_END_CRITICAL_SECTION();
    if (!same_size) PyErr_SetString(PyExc_RuntimeError, "texts: the list changed size while it was read");
    return same_size;
}

PyObject* parse_column(Reading reading, PyObject* texts, Unit unit, ErrorMode errors, std::int32_t threads,
                       bool to_arrow) noexcept {
    if (threads < 1) return PyErr_Format(PyExc_ValueError, "threads must be at least 1, not %d", threads);
    // numpy first: a caller without it learns so before any row is read.
    if (!to_arrow && numpy() == nullptr) return nullptr;
    Source source;
    if (!open_source(texts, source)) return nullptr;
    Job job;
    const bool date32 = to_arrow && reading == Reading::dates;
    job.plan = Plan{reading, unit,    errors == ErrorMode::null,        date32, &source,
                    nullptr, nullptr, reader_for(reading, unit, date32)};
    const bool release_gil = !source.needs_gil;
    if (source.kind == SourceKind::lines) {
        split_lines(job, source.buffer, threads, release_gil);
        source.rows = job.shares[job.count - 1].end;
    } else {
        split_rows(job, source.rows, threads);
    }
    Outputs out;
    if (!allocate(job.plan, to_arrow, source.rows, out, job.plan.values, job.plan.offsets)) return nullptr;
    if (release_gil) {
        run_split(job.count, read_work, &job, true);
    } else if (!read_list(job, source)) {
        return nullptr;
    }
    if (raise_first_stop(job, to_arrow)) return nullptr;
    Py_ssize_t missing = 0;
    for (int i = 0; i < job.count; ++i) missing += job.shares[i].missing;
    return to_arrow ? arrow_results(job.plan, source.rows, missing, out) : numpy_results(job.plan, out);
}

PyObject* parse_datetimes(PyObject* texts, Unit unit, ErrorMode errors, std::int32_t threads, bool to_arrow) noexcept {
    return parse_column(Reading::datetimes, texts, unit, errors, threads, to_arrow);
}

PyObject* parse_offset_datetimes(PyObject* texts, Unit unit, ErrorMode errors, std::int32_t threads,
                                 bool to_arrow) noexcept {
    return parse_column(Reading::offset_datetimes, texts, unit, errors, threads, to_arrow);
}

PyObject* parse_dates(PyObject* texts, ErrorMode errors, std::int32_t threads, bool to_arrow) noexcept {
    return parse_column(Reading::dates, texts, Unit::ns, errors, threads, to_arrow);
}

PyObject* parse_times(PyObject* texts, ErrorMode errors, std::int32_t threads, bool to_arrow) noexcept {
    return parse_column(Reading::times, texts, Unit::ns, errors, threads, to_arrow);
}

}  // namespace

PyMethodDef parse_functions[] = {
    function<"parse_datetimes(texts, *, unit='ns', errors='raise', threads=1, to_arrow=False)",
             "Read UTC date-times (DateTime.parse's grammar) into datetime64[unit] counts.\n\n"
             "Args:\n    texts: str objects (None for a missing row), a numpy array of str, Arrow strings,\n"
             "        or bytes of lines.\n    unit: 'ns', 'us', 'ms' or 's'.\n"
             "    errors: 'raise' (ValueError for the first bad row) or 'null' (NaT there).\n"
             "    threads: threads that read a buffer at once.\n"
             "    to_arrow: give an Arrow timestamp[unit, tz=UTC] column instead of a numpy array.",
             parse_datetimes>(),
    function<"parse_offset_datetimes(texts, *, unit='ns', errors='raise', threads=1, to_arrow=False)",
             "Read RFC 3339 date-times with offsets (OffsetDateTime.parse's grammar).\n\n"
             "Returns:\n    (instants, offsets): the UTC instants as datetime64[unit] and the offsets as int32\n"
             "    seconds (two Arrow columns with to_arrow=True). Arguments as for parse_datetimes.",
             parse_offset_datetimes>(),
    function<"parse_dates(texts, *, errors='raise', threads=1, to_arrow=False)",
             "Read dates (Date.parse's grammar) into datetime64[D] (Arrow: date32).\n\n"
             "Arguments as for parse_datetimes.",
             parse_dates>(),
    function<"parse_times(texts, *, errors='raise', threads=1, to_arrow=False)",
             "Read times of day (Time.parse's grammar) into timedelta64[ns] since midnight (Arrow:\n"
             "time64[ns]).\n\nArguments as for parse_datetimes.",
             parse_times>(),
    {},
};

}  // namespace kairodex::python
