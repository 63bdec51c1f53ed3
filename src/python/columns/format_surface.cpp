// Python surface of the column writers: format_datetimes,
// format_offset_datetimes, format_dates and format_times. Each row is written
// by the writer of the class's str into the same buffer, so that every text
// is exactly the one str() gives for the value; a missing row (NaT) is None.
#include "members.hpp"
#include "text_failures.hpp"

#include "columns/functions.hpp"
#include "columns/numpy_bridge.hpp"
#include "columns/row_errors.hpp"
#include "kairodex/columns.hpp"
#include "kairodex/offset_datetime.hpp"

namespace kairodex::python {
namespace {

// Raises "row 3: datetime64[s] count 9223372036854775807 lies outside
// DateTime's years"; always false, for the writers to return.
bool raise_outside(Py_ssize_t row, const Counts& counts, const char* what) noexcept {
    PyErr_Format(PyExc_ValueError, "row %zd: %S count %lld %s", row, counts.dtype.get(),
                 static_cast<long long>(counts[row]), what);
    return false;
}

i128 count_at(const Counts& counts, Py_ssize_t row) noexcept { return i128{counts[row]} * counts.multiple; }

// A list of one text (or None) per row: `write(buffer, row)` writes the
// row's text and returns true, or returns false with an exception set.
template <class Write>
PyObject* write_rows(const Counts& counts, Write write) noexcept {
    Owned list{PyList_New(counts.rows)};
    if (!list) return nullptr;
    for (Py_ssize_t row = 0; row < counts.rows; ++row) {
        PyObject* text = nullptr;
        if (counts[row] == columns::not_a_time) {
            text = Py_NewRef(Py_None);
        } else {
            ReprBuffer buffer;
            if (!write(buffer, row)) return nullptr;
            text = text_to_python(buffer);
            if (text == nullptr) return nullptr;
        }
        PyList_SET_ITEM(list.get(), row, text);
    }
    return list.release();
}

PyObject* format_datetimes(PyObject* instants) noexcept {
    Counts counts;
    if (!open_counts(instants, CountKind::instants, "instants", counts)) return nullptr;
    return write_rows(counts, [&](ReprBuffer& buffer, Py_ssize_t row) {
        const Result<DateTime> instant = columns::instant_from_count(count_at(counts, row), counts.unit);
        if (!instant) return raise_outside(row, counts, "lies outside DateTime's years");
        write_datetime(buffer, *instant);
        return true;
    });
}

PyObject* format_offset_datetimes(PyObject* instants, PyObject* offsets) noexcept {
    Counts counts, seconds;
    if (!open_counts(instants, CountKind::instants, "instants", counts) ||
        !open_counts(offsets, CountKind::integers, "offsets", seconds)) {
        return nullptr;
    }
    if (counts.rows != seconds.rows) {
        return PyErr_Format(PyExc_ValueError, "instants and offsets differ in length: %zd and %zd", counts.rows,
                            seconds.rows);
    }
    return write_rows(counts, [&](ReprBuffer& buffer, Py_ssize_t row) {
        const Result<DateTime> instant = columns::instant_from_count(count_at(counts, row), counts.unit);
        if (!instant) return raise_outside(row, counts, "lies outside DateTime's years");
        const Result<UtcOffset> offset = seconds[row] >= INT32_MIN && seconds[row] <= INT32_MAX
                                             ? offset_from_seconds(static_cast<std::int32_t>(seconds[row]))
                                             : Result<UtcOffset>{CalendarError::OutOfRange};
        if (!offset) {
            raise_at_row(row, invalid_offset, offset.error());
            return false;
        }
        const Result<DateTime> local = write_offset_datetime(buffer, OffsetDateTime{*instant, *offset});
        if (!local) {
            raise_at_row(row, unrepresentable_offset_datetime, local.error());
            return false;
        }
        return true;
    });
}

PyObject* format_dates(PyObject* days) noexcept {
    Counts counts;
    if (!open_counts(days, CountKind::instants, "days", counts)) return nullptr;
    return write_rows(counts, [&](ReprBuffer& buffer, Py_ssize_t row) {
        const Result<Date> date = columns::date_from_count(count_at(counts, row), counts.unit);
        if (!date) return raise_outside(row, counts, "lies outside Date's years");
        write_date(buffer, *date);
        return true;
    });
}

PyObject* format_times(PyObject* times) noexcept {
    Counts counts;
    if (!open_counts(times, CountKind::spans, "times", counts)) return nullptr;
    return write_rows(counts, [&](ReprBuffer& buffer, Py_ssize_t row) {
        const Result<Time> time = columns::time_from_count(count_at(counts, row), counts.unit);
        if (!time) return raise_outside(row, counts, "is no time of day (at least 0, less than 24 hours)");
        write_time(buffer, *time);
        return true;
    });
}

}  // namespace

PyMethodDef format_functions[] = {
    function<"format_datetimes(instants)",
             "Write datetime64 instants (any unit) as str(DateTime) writes them: a list of str,\n"
             "None for NaT.",
             format_datetimes>(),
    function<"format_offset_datetimes(instants, offsets)",
             "Write datetime64 instants with their offsets (integer seconds) as str(OffsetDateTime)\n"
             "writes them: a list of str, None for NaT.",
             format_offset_datetimes>(),
    function<"format_dates(days)",
             "Write datetime64 days (the UTC date of each instant, in a finer unit) as str(Date)\n"
             "writes them: a list of str, None for NaT.",
             format_dates>(),
    function<"format_times(times)",
             "Write timedelta64 spans since midnight as str(Time) writes them: a list of str, None\n"
             "for NaT.",
             format_times>(),
    {},
};

}  // namespace kairodex::python
