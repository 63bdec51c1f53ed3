"""kairodex_columns against the classes. Every row a column reads is what the
class parser reads from the same text, counted in the column's unit, or it
fails as the class parser fails (or as the column's integers cannot hold it);
every text a column writes is the class's str. The rows come from the
project's corpora (the golden values, the fuzz seeds) and edge cases, in every
kind of input the module takes, in every unit."""
import ctypes
import functools
import inspect
import json
import os
import pathlib
import random
import re
import subprocess
import sys

import pytest

np = pytest.importorskip("numpy", reason="kairodex_columns hands back numpy arrays", exc_type=ImportError)
import kairodex_columns as kc  # noqa: E402
from hypothesis import given, settings  # noqa: E402
from hypothesis import strategies as st  # noqa: E402
from arrow_structs import ArrowArray, ArrowSchema, arrow_column_struct, arrow_rows  # noqa: E402
from kairodex import Date, DateTime, OffsetDateTime, Time  # noqa: E402

try:
    import pyarrow as pa
except ImportError:  # Debian builds it for CPython 3.14 alone
    pa = None

HERE = pathlib.Path(__file__).resolve().parent
ROOT = HERE.parents[1]
UNITS = ["ns", "us", "ms", "s"]
NANOS_IN = {"ns": 1, "us": 10**3, "ms": 10**6, "s": 10**9}
NAT = -(2**63)
COARSER = {"ns": "us", "us": "ms", "ms": "s"}

# --- the corpus ---------------------------------------------------------------------

EDGES = [
    "1677-09-21T00:12:43.145224193Z", "1677-09-21T00:12:43.145224192Z",  # NaT's count, and one after it
    "2262-04-11T23:47:16.854775807Z", "2262-04-11T23:47:16.854775808Z",  # the last of datetime64[ns]
    "+294247-01-10T04:00:54.775807Z", "+294247-01-10T04:00:54.775808Z",  # the last of datetime64[us]
    "2147483647-12-31T23:59:59.999999999Z", "-2147483648-01-01T00:00:00Z",  # kairodex's ends
    "2024-06-01T00:00:00.000000001Z", "2024-06-01T00:00:00.999999999Z", "2024-06-01T00:00:00.5Z",  # fractions
    "2024-06-01T00:00:00.0000000001Z", "2024-06-01T09:30:00.250-04:00", "2024-06-01 09:30:00z",
    " 2024-06-01T09:30:00+02:00\u3000", "\t2024-06-01T09:30:00Z\n", "2024-06-01T09:30:00-00:00",
    "2024-06-01T09:30:00+24:00", "2147483647-12-31T23:59:59-01:00", "2024-06-01T09:30:00\udc00",
    "", "x", "Z", "\x00", "2024-02-29", "2023-02-29", "-0001-12-31", "+0002024-6-1", "5881580-07-11",
    "5881580-07-12", "-5877641-06-23", "-5877641-06-24", "23:59:59.999999999", "24:00:00", "00:00:00.",
    "1:2:3.4", "12:30", "2024-06-01T09:30:00Z ", "２０２４-06-01", "2024-06-01T09:30:00\x85",
]


def corpus():
    texts = set(EDGES)
    with open(HERE / "golden" / "values.jsonl", encoding="utf-8") as golden:
        for line in golden:
            record = json.loads(line)
            if record.get("class") in ("Date", "Time", "DateTime", "OffsetDateTime") and \
                    isinstance(record["str"], str):  # (else the error of an unshowable value)
                texts.add(record["str"])
            elif len(record["e"]) == 2 and str(record["e"][0]).endswith(".parse") and isinstance(record["e"][1], str):
                texts.add(record["e"][1])
    for folder in ("date", "time", "datetime", "offset_datetime", "columns"):
        for path in sorted((ROOT / "fuzz" / "corpus" / folder).glob("*")):
            data = path.read_bytes()[1 if folder == "columns" else 0:]
            texts.add(data.decode("utf-8", "surrogateescape"))
    texts = sorted(texts)
    random.Random(7).shuffle(texts)
    return texts


CORPUS = corpus()


def utf8(text):
    """The bytes the module reads a str as (a lone surrogate as its three bytes)."""
    return text.encode("utf-8", "surrogatepass")


# --- what the classes say ------------------------------------------------------------

class Refused(Exception):
    """A row the column cannot hold: 'fit' (its count) or 'finer' (its fraction)."""


def scalar_instant(cls, text, unit):
    value = cls.parse(text)
    count, rest = divmod(value.unix_timestamp_nanos(), NANOS_IN[unit])
    if rest:
        raise Refused("finer")
    if not NAT < count < 2**63:
        raise Refused("fit")
    return (count, value.offset.as_seconds()) if cls is OffsetDateTime else count


def scalar_days(text, date32=False):
    days = Date.parse(text).days_since_unix_epoch()
    if date32 and not -(2**31) < days < 2**31:
        raise Refused("fit")
    return days


READERS = {
    "datetimes": (kc.parse_datetimes, lambda text, unit: scalar_instant(DateTime, text, unit)),
    "offset_datetimes": (kc.parse_offset_datetimes, lambda text, unit: scalar_instant(OffsetDateTime, text, unit)),
    "dates": (kc.parse_dates, lambda text, unit: scalar_days(text)),
    "times": (kc.parse_times, lambda text, unit: Time.parse(text).nanos_since_midnight()),
}
WITH_UNIT = ("datetimes", "offset_datetimes")
GOOD = {"datetimes": "2024-06-01T09:30:00Z", "offset_datetimes": "2024-06-01T09:30:00+02:00",
        "dates": "2024-06-01", "times": "09:30:00"}
CASES = [(reading, unit) for reading in READERS for unit in (UNITS if reading in WITH_UNIT else [None])]


def expected_rows(reading, unit, texts):
    """One expected row per text: a count (with its offset), or None where the
    class refuses it or the column cannot hold it; None texts are missing."""
    rows = []
    for text in texts:
        try:
            rows.append(None if text is None else READERS[reading][1](text, unit))
        except (ValueError, Refused):  # UnicodeEncodeError is a ValueError
            rows.append(None)
    return rows


def call(reading, unit, texts, **options):
    function = READERS[reading][0]
    return function(texts, unit=unit, **options) if unit else function(texts, **options)


def column_rows(reading, result):
    """The rows of a numpy result as expected_rows gives them."""
    if reading == "offset_datetimes":
        instants, offsets = result
        assert instants.dtype.kind == "M" and offsets.dtype == np.int32
        return [None if i == NAT else (int(i), int(o)) for i, o in zip(instants.view("int64"), offsets)]
    return [None if v == NAT else int(v) for v in result.view("int64")]


# --- the kinds of input -------------------------------------------------------------

def lines(separator, final, wrap=bytes):
    def make(texts):
        if any(t is None or "\n" in t or t.endswith("\r") for t in texts):
            return None  # not one row a line
        if not final and texts and texts[-1] == "":
            return None  # a last empty line needs its newline
        return wrap(separator.join(utf8(t) for t in texts) + (separator if final and texts else b""))
    return make


def numpy_str(texts):
    # numpy drops the NULs at the end of its str rows; it has no missing row.
    if any(t is None or t.endswith("\x00") for t in texts):
        return None
    return np.array(texts, dtype=f"U{max(map(len, texts), default=1)}")


def encodable(texts):
    return all(t is None or not any("\ud800" <= c <= "\udfff" for c in t) for t in texts)


def arrow(kind, chunked=False):
    def make(texts):
        if pa is None or not encodable(texts):
            return None
        array = pa.array(texts, type=getattr(pa, kind)())
        if chunked:
            half = len(texts) // 2
            return pa.chunked_array([array[:half], array[half:half], array[half:]], type=array.type)
        return array
    return make


def sliced_arrow(texts):
    if pa is None or not encodable(texts):
        return None
    return pa.array(["x"] + texts + ["y"], type=pa.string())[1:-1]


INPUTS = {
    "list": list,
    "tuple": tuple,
    "generator": lambda texts: (t for t in texts),
    "numpy-str": numpy_str,
    "numpy-str-strided": lambda texts: None if numpy_str(texts) is None else np.repeat(numpy_str(texts), 2)[::2],
    "numpy-object": lambda texts: np.array(texts, dtype=object),
    "bytes": lines(b"\n", final=True),
    "bytes-unterminated": lines(b"\n", final=False),
    "bytes-crlf": lines(b"\r\n", final=True),
    "bytearray": lines(b"\n", final=True, wrap=bytearray),
    "memoryview": lines(b"\n", final=False, wrap=memoryview),
    "arrow-string": arrow("string"),
    "arrow-large-string": arrow("large_string"),
    "arrow-string-view": arrow("string_view"),
    "arrow-chunked": arrow("string", chunked=True),
    "arrow-sliced": sliced_arrow,
}


def made(kind, texts):
    if kind.startswith("arrow") and pa is None:
        pytest.skip("pyarrow is not installed for this interpreter")
    data = INPUTS[kind](texts)
    assert data is not None, f"{kind} cannot hold these rows"
    return data


@functools.cache
def representable(kind):
    """The rows of the corpus that the kind of input can hold."""
    return [t for t in CORPUS if INPUTS[kind]([t]) is not None]


# --- rows agree with the classes ------------------------------------------------------

@pytest.mark.parametrize("kind", INPUTS)
@pytest.mark.parametrize("reading, unit", CASES)
def test_rows_are_the_classes_values(reading, unit, kind):
    if kind.startswith("arrow") and pa is None:
        pytest.skip("pyarrow is not installed for this interpreter")
    texts = representable(kind)
    assert len(texts) > 300
    got = column_rows(reading, call(reading, unit, made(kind, texts), errors="null"))
    assert got == expected_rows(reading, unit, texts)


@pytest.mark.parametrize("reading, unit", CASES)
def test_missing_rows_stay_missing(reading, unit):
    texts = [None, GOOD[reading], None]
    got = column_rows(reading, call(reading, unit, np.array(texts, dtype=object)))
    assert got[0] is None and got[2] is None


@pytest.mark.parametrize("reading, unit", CASES)
@pytest.mark.parametrize("kind", ["list", "numpy-str", "bytes", "arrow-string"])
def test_empty_columns(reading, unit, kind):
    data = made(kind, []) if kind != "numpy-str" else np.array([], dtype="U1")
    assert column_rows(reading, call(reading, unit, data)) == []
    columns = call(reading, unit, data, to_arrow=True)
    assert [len(c) for c in (columns if reading == "offset_datetimes" else [columns])] in ([0], [0, 0])


# --- errors -----------------------------------------------------------------------------

def scalar_message(cls, text):
    with pytest.raises(ValueError) as info:
        cls.parse(text)
    return str(info.value)


CLASSES = {"datetimes": DateTime, "offset_datetimes": OffsetDateTime, "dates": Date, "times": Time}


@pytest.mark.parametrize("kind", ["list", "numpy-str", "bytes", "arrow-string-view"])
@pytest.mark.parametrize("bad", ["x", "2024-06-01T09:30:00+24:00", "2024-13-01", "12:60:00", "", " "])
@pytest.mark.parametrize("reading", READERS)
def test_first_bad_row_raises_the_class_message(reading, bad, kind):
    try:
        CLASSES[reading].parse(bad)
    except ValueError:
        pass
    else:
        pytest.skip(f"{bad!r} is a valid {reading} row")
    texts = [GOOD[reading]] * 5 + [bad] + [GOOD[reading], bad]
    with pytest.raises(ValueError) as info:
        READERS[reading][0](made(kind, texts))
    assert type(info.value) is ValueError
    assert str(info.value) == f"row 5: {scalar_message(CLASSES[reading], bad)}"


REFUSALS = [
    # (reading, unit, to_arrow, text, message after "row 1: ")
    ("datetimes", "ns", False, "2262-04-12T00:00:00Z",
     "2262-04-12T00:00:00Z does not fit datetime64[ns]; use unit='us'"),
    ("datetimes", "ns", False, "2262-04-11T23:47:16.854775808Z",
     "2262-04-11T23:47:16.854775808Z does not fit datetime64[ns]"),  # no coarser unit keeps its nanoseconds
    ("datetimes", "ns", False, "1677-09-21T00:12:43.145224192Z",
     "1677-09-21T00:12:43.145224192Z does not fit datetime64[ns]"),  # NaT's count
    ("datetimes", "ns", True, "1600-01-01T00:00:00Z",
     "1600-01-01T00:00:00Z does not fit timestamp[ns, tz=UTC]; use unit='us'"),
    ("datetimes", "us", False, "+294247-01-11T00:00:00Z",
     "+294247-01-11T00:00:00Z does not fit datetime64[us]; use unit='ms'"),
    ("datetimes", "ms", False, "-292275055-05-16T16:47:04.191Z",
     "-292275055-05-16T16:47:04.191Z does not fit datetime64[ms]"),
    ("datetimes", "ms", False, "-292275056-01-01T00:00:00Z",
     "-292275056-01-01T00:00:00Z does not fit datetime64[ms]; use unit='s'"),
    ("offset_datetimes", "ns", False, "2262-04-12T01:00:00+01:00",
     "2262-04-12T01:00:00+01:00 does not fit datetime64[ns]; use unit='us'"),
    ("datetimes", "s", False, "2024-06-01T09:30:00.5Z",
     "2024-06-01T09:30:00.5Z is finer than datetime64[s]; use unit='ms'"),
    ("datetimes", "ms", False, "2024-06-01T09:30:00.000000001Z",
     "2024-06-01T09:30:00.000000001Z is finer than datetime64[ms]; use unit='ns'"),
    ("offset_datetimes", "us", True, "2024-06-01T09:30:00.0000001-01:00",
     "2024-06-01T09:30:00.0000001-01:00 is finer than timestamp[us, tz=UTC]; use unit='ns'"),
    ("dates", None, True, "5881580-07-12", "5881580-07-12 does not fit date32"),
    ("dates", None, True, "-5877641-06-23", "-5877641-06-23 does not fit date32"),  # the count that marks a null
]


@pytest.mark.parametrize("reading, unit, to_arrow, text, message", REFUSALS)
def test_values_the_column_cannot_hold(reading, unit, to_arrow, text, message):
    texts = [GOOD[reading], text, text]
    with pytest.raises(ValueError) as info:
        call(reading, unit, texts, to_arrow=to_arrow)
    assert str(info.value) == f"row 1: {message}"
    # With errors="null" the rows are missing instead.
    result = call(reading, unit, texts, to_arrow=to_arrow, errors="null")
    if to_arrow:
        assert (result[0] if reading == "offset_datetimes" else result).null_count == 2
    else:
        assert column_rows(reading, result)[1:] == [None, None]


def test_rows_of_the_other_kinds_are_refused():
    with pytest.raises(TypeError, match=r"^row 1: expected a str or None, not int$"):
        kc.parse_datetimes(["2024-06-01T09:30:00Z", 5])
    with pytest.raises(TypeError, match=r"^row 0: expected a str or None, not bytes$"):
        kc.parse_dates([b"2024-06-01"], errors="null")  # not a bad text: a caller's mistake


@pytest.mark.parametrize("texts, error, message", [
    ("2024-06-01", TypeError, "not one str"),
    (5, TypeError,
     "texts must be an iterable of str, a numpy or Arrow array of strings, or a buffer of lines, not 'int'"),
    (np.zeros(3), TypeError, "a buffer of format 'd' holds no texts"),
    (np.array([["2024-06-01"]]), ValueError, "expected a 1-dimensional array, not 2 dimensions"),
    (np.frombuffer(b"a\nb\n", dtype="u1").reshape(2, 2), ValueError, "one contiguous run of bytes"),
])
def test_inputs_that_are_no_column(texts, error, message):
    with pytest.raises(error, match=message):
        kc.parse_dates(texts)


@pytest.mark.parametrize("options, error, message", [
    ({"unit": "m"}, ValueError, "expected one of 'ns', 'us', 'ms' or 's', not 'm'"),
    ({"errors": "ignore"}, ValueError, "expected one of 'raise' or 'null', not 'ignore'"),
    ({"threads": 0}, ValueError, "threads must be at least 1, not 0"),
    ({"to_arrow": 1}, TypeError, "'int' object is not an instance of 'bool'"),
])
def test_options(options, error, message, raises_noted):
    if "threads" in options:
        with pytest.raises(error, match=message):
            kc.parse_datetimes([], **options)
    else:
        raises_noted(error, next(iter(options)), lambda: kc.parse_datetimes([], **options), message)


def test_signatures():
    assert str(inspect.signature(kc.parse_datetimes)) == \
        "(texts, *, unit='ns', errors='raise', threads=1, to_arrow=False)"
    assert str(inspect.signature(kc.parse_times)) == "(texts, *, errors='raise', threads=1, to_arrow=False)"
    assert str(inspect.signature(kc.format_offset_datetimes)) == "(instants, offsets)"
    with pytest.raises(TypeError, match="takes 1 positional argument"):
        kc.parse_datetimes([], "ns")


# --- threads ------------------------------------------------------------------------------

@pytest.mark.parametrize("kind", ["list", "tuple", "numpy-str", "bytes", "bytes-crlf", "arrow-chunked"])
@pytest.mark.parametrize("reading, unit", [("offset_datetimes", "us"), ("dates", None)])
def test_threads_give_the_same_columns(reading, unit, kind):
    texts = (representable(kind) * 12)[:9000]
    data = made(kind, texts)
    results = [column_rows(reading, call(reading, unit, data, errors="null", threads=threads))
               for threads in (1, 2, 3, 4)]
    assert all(result == results[0] for result in results)
    assert results[0] == expected_rows(reading, unit, texts)
    # Bad rows in every share: the first one is raised.
    with pytest.raises(ValueError) as info:
        call(reading, unit, data, threads=4)
    first = next(i for i, row in enumerate(results[0]) if row is None)
    assert str(info.value).startswith(f"row {first}: ")


# --- Arrow ---------------------------------------------------------------------------------

needs_pyarrow = pytest.mark.skipif(pa is None, reason="pyarrow is not installed for this interpreter")


@needs_pyarrow
@pytest.mark.parametrize("reading, unit, arrow_type", [
    ("datetimes", "ns", "timestamp[ns, tz=UTC]"), ("datetimes", "s", "timestamp[s, tz=UTC]"),
    ("offset_datetimes", "ms", "timestamp[ms, tz=UTC]"), ("dates", None, "date32[day]"), ("times", None, "time64[ns]"),
])
def test_arrow_columns_through_pyarrow(reading, unit, arrow_type):
    texts = representable("arrow-string")
    numpy_result = column_rows(reading, call(reading, unit, texts, errors="null"))
    if reading == "dates":  # date32 holds fewer days than datetime64[D]
        numpy_result = [None if row is None or not -(2**31) < row < 2**31 else row for row in numpy_result]
    result = call(reading, unit, pa.array(texts), errors="null", to_arrow=True)
    columns = result if reading == "offset_datetimes" else (result,)
    arrays = [pa.array(column) for column in columns]
    assert str(arrays[0].type) == arrow_type == columns[0].type
    assert arrays[0].null_count == columns[0].null_count == numpy_result.count(None) > 0
    counts = arrays[0].cast(pa.int32() if reading == "dates" else pa.int64()).to_pylist()
    if reading == "offset_datetimes":
        counts = [None if c is None else (c, o) for c, o in zip(counts, arrays[1].to_pylist())]
        assert arrays[1].type == pa.int32()
    assert counts == numpy_result


class CtypesStrings:
    """A producer of Arrow strings ("u") that is no Arrow library: its structs
    made with ctypes, handed out through __arrow_c_array__ in capsules."""

    def __init__(self, texts, offset=0):
        data = b"".join(utf8(t) for t in texts if t is not None)
        ends, at = [0], 0
        for t in texts:
            at += 0 if t is None else len(utf8(t))
            ends.append(at)
        bits = sum(1 << i for i, t in enumerate(texts) if t is not None)
        self.validity = ctypes.create_string_buffer(bits.to_bytes(len(texts) // 8 + 1, "little"))
        self.offsets = (ctypes.c_int32 * len(ends))(*ends)
        self.data = ctypes.create_string_buffer(data or b"\0")
        self.buffers = (ctypes.c_void_p * 3)(ctypes.addressof(self.validity), ctypes.addressof(self.offsets),
                                             ctypes.addressof(self.data))
        self.released = []
        self.release_schema = ArrowSchema._fields_[7][1](lambda s: self.released.append("schema"))
        self.release_array = ArrowArray._fields_[8][1](lambda a: self.released.append("array"))
        self.schema = ArrowSchema(b"u", b"", None, 2, 0, None, None, self.release_schema, None)
        nulls = texts[offset:].count(None)
        self.array = ArrowArray(len(texts) - offset, nulls, offset, 3, 0, self.buffers, None, None,
                                self.release_array, None)

    def __arrow_c_array__(self, requested_schema=None):
        new = ctypes.pythonapi.PyCapsule_New
        new.restype, new.argtypes = ctypes.py_object, [ctypes.c_void_p, ctypes.c_char_p, ctypes.c_void_p]
        return (new(ctypes.addressof(self.schema), b"arrow_schema", None),
                new(ctypes.addressof(self.array), b"arrow_array", None))


@pytest.mark.parametrize("offset", [0, 3])
def test_arrow_through_ctypes_structs(offset):
    texts = ["x", None, "2024-06-01", "2024-06-01", None, "2024-13-01", "2024-02-29", "\u3000"] * 3
    producer = CtypesStrings(texts, offset)
    got = column_rows("dates", kc.parse_dates(producer, errors="null"))
    assert got == expected_rows("dates", None, texts[offset:])
    # The column comes back through the same interface: its struct read with ctypes.
    column = kc.parse_dates(producer, errors="null", to_arrow=True)
    assert len(column) == len(texts) - offset
    schema, array, capsules = arrow_column_struct(column)
    assert (schema.format, schema.n_children, array.length, array.n_buffers, array.offset) == \
        (b"tdD", 0, len(texts) - offset, 2, 0)
    assert array.null_count == column.null_count == got.count(None)
    assert arrow_rows(column) == got
    # A consumer that moves the array out and releases it: the column's
    # memory lives on for the column and for a second export.
    array.release(ctypes.byref(array))
    assert not array.release
    del capsules, column
    assert "array" not in producer.released  # the producer's own struct is its own to release


def test_arrow_column_outlives_its_object():
    column = kc.parse_datetimes(["2024-06-01T09:30:00Z"] * 3, to_arrow=True)
    schema, array, capsules = arrow_column_struct(column)
    assert repr(column) == "<ArrowColumn timestamp[ns, tz=UTC], 3 rows, 0 nulls>"
    del column
    assert not array.buffers[0]  # no row is missing: no validity bitmap
    assert ctypes.cast(array.buffers[1], ctypes.POINTER(ctypes.c_int64))[2] == 1717234200 * 10**9
    array.release(ctypes.byref(array))


@pytest.mark.parametrize("result, message", [
    (lambda: (pa.array([1, 2]) if pa else None),
     "texts must be Arrow strings (format 'u', 'U' or 'vu'), not an Arrow array of format 'l'"),
    (lambda: (pa.array(["a"]).dictionary_encode() if pa else None), "with a dictionary"),
])
def test_arrow_arrays_of_other_types(result, message):
    if pa is None:
        pytest.skip("pyarrow is not installed for this interpreter")
    with pytest.raises(TypeError) as info:
        kc.parse_dates(result())
    assert message in str(info.value)


# --- writing --------------------------------------------------------------------------------

WRITERS = {"datetimes": kc.format_datetimes, "offset_datetimes": lambda pair: kc.format_offset_datetimes(*pair),
           "dates": kc.format_dates, "times": kc.format_times}


@pytest.mark.parametrize("reading, unit", CASES)
def test_written_texts_are_the_classes_str(reading, unit):
    texts = CORPUS
    expected = [None if row is None else str(CLASSES[reading].parse(text))
                for text, row in zip(texts, expected_rows(reading, unit, texts))]
    assert WRITERS[reading](call(reading, unit, texts, errors="null")) == expected


@pytest.mark.parametrize("values, dtype, written", [
    (["2024-06-01T09:30", "NaT"], "M8[m]", ["2024-06-01T09:30:00Z", None]),
    (["2024", "-0001"], "M8[Y]", ["2024-01-01T00:00:00Z", "-001-01-01T00:00:00Z"]),
    (["2024-06"], "M8[M]", ["2024-06-01T00:00:00Z"]),
    (["2024-06-06"], "M8[W]", ["2024-06-06T00:00:00Z"]),
    ([123456789], "M8[10ms]", ["1970-01-15T06:56:07.89Z"]),
    (["1969-12-31T23:59:59.999999999"], ">M8[ns]", ["1969-12-31T23:59:59.999999999Z"]),
    ([2**62], "M8[s]", ValueError("row 0: datetime64[s] count 4611686018427387904 lies outside DateTime's years")),
    (["2024-06-01"], "M8[ps]", ValueError("instants: a unit of datetime64[ps] cannot be written")),
    ([1], "int64", TypeError("instants must be an array of datetime64, not of int64")),
])
def test_instants_of_every_unit(values, dtype, written):
    array = np.array(values, dtype=dtype)
    if isinstance(written, Exception):
        with pytest.raises(type(written), match=re.escape(str(written))):
            kc.format_datetimes(array)
    else:
        assert kc.format_datetimes(array) == written
        assert kc.format_datetimes(np.repeat(array, 2)[::2]) == written  # strided


@pytest.mark.parametrize("call_, error, message", [
    (lambda: kc.format_dates(np.array(["1969-12-31T23:59:59.999999999"], "M8[ns]")), None, ["1969-12-31"]),
    (lambda: kc.format_times(np.array([86400 * 10**9 - 1, np.timedelta64("NaT")], "m8[ns]")), None,
     ["23:59:59.999999999", None]),
    (lambda: kc.format_times(np.array([86400], "m8[s]")), ValueError,
     "row 0: timedelta64[s] count 86400 is no time of day"),
    (lambda: kc.format_times(np.array([-1], "m8[ns]")), ValueError,
     "row 0: timedelta64[ns] count -1 is no time of day"),
    (lambda: kc.format_times(np.array([1], "m8[M]")), ValueError, "is no time of day"),
    (lambda: kc.format_offset_datetimes(np.array(["2024-06-01T07:30"], "M8[s]"), np.array([7200], "i2")), None,
     ["2024-06-01T09:30:00+02:00"]),
    (lambda: kc.format_offset_datetimes(np.array(["2024-06-01"], "M8[s]"), np.array([86401])), ValueError,
     "row 0: Invalid offset: OutOfRange"),
    (lambda: kc.format_offset_datetimes(np.array([67767976233532799], "M8[s]"), np.array([3600])), ValueError,
     "row 0: OffsetDateTime local representation out of range: OutOfRange"),
    (lambda: kc.format_offset_datetimes(np.array(["2024-06-01"], "M8[s]"), np.array([0, 0])), ValueError,
     "instants and offsets differ in length: 1 and 2"),
    (lambda: kc.format_offset_datetimes(np.array(["2024-06-01"], "M8[s]"), np.array([0], "u8")), TypeError,
     "offsets must be an array of integers that int64 holds"),
    (lambda: kc.format_dates(np.zeros((1, 1), "M8[D]")), ValueError, "days must be 1-dimensional, not of 2 dimensions"),
])
def test_writing_other_units_and_bad_values(call_, error, message):
    if error is None:
        assert call_() == message
    else:
        with pytest.raises(error, match=re.escape(message)):
            call_()


# --- near the fixed layouts --------------------------------------------------------------

@st.composite
def stamps(draw):
    """Stamps of the fixed layouts and small changes to them."""
    fields = [f"{draw(st.integers(0, 9999)):04}", "-", f"{draw(st.integers(0, 13)):02}", "-",
              f"{draw(st.integers(0, 32)):02}", draw(st.sampled_from("T t")), f"{draw(st.integers(0, 24)):02}", ":",
              f"{draw(st.integers(0, 60)):02}", ":", f"{draw(st.integers(0, 60)):02}",
              draw(st.sampled_from(["", "." + "1234567890"[:draw(st.integers(0, 10))]])),
              draw(st.sampled_from(["Z", "z", "", "+00:00", "-05:30", "+23:59", "+24:00", "+0530", " "]))]
    text = "".join(fields)
    if draw(st.booleans()) and text:
        at = draw(st.integers(0, len(text) - 1))
        text = text[:at] + draw(st.sampled_from(["", "0", ":", "-", ".", "T", "\u3000"])) + text[at + 1:]
    return text


@settings(max_examples=300, deadline=None)
@given(st.lists(stamps(), max_size=20), st.sampled_from(UNITS))
def test_texts_near_the_fixed_layouts(texts, unit):
    for reading in READERS:
        r_unit = unit if reading in WITH_UNIT else None
        expected = expected_rows(reading, r_unit, texts)
        assert column_rows(reading, call(reading, r_unit, texts, errors="null")) == expected
        if (buffer := INPUTS["bytes"](texts)) is not None:
            assert column_rows(reading, call(reading, r_unit, buffer, errors="null")) == expected


# --- without numpy -------------------------------------------------------------------------

def test_import_without_numpy(run_python):
    result = run_python("""
        import sys
        sys.modules["numpy"] = None  # as if it were not installed
        import kairodex_columns
        column = kairodex_columns.parse_dates(["2024-06-01", None], to_arrow=True)
        print(len(column), column.null_count)
        for call in (lambda: kairodex_columns.parse_dates(["2024-06-01"]),
                     lambda: kairodex_columns.format_dates([1])):
            try:
                call()
            except ImportError as error:
                print(error, "|", type(error.__cause__).__name__)
        """)
    assert result.returncode == 0, result.stderr
    lines = result.stdout.splitlines()
    assert lines[0] == "2 1"
    assert lines[1:] == ["kairodex_columns needs numpy for numpy arrays: pip install 'kairodex[columns]' "
                         "(or pass to_arrow=True for Arrow arrays) | ModuleNotFoundError"] * 2


def test_stubs_describe_the_module(tmp_path):
    """mypy's stubtest: every name, parameter and default of kairodex_columns.pyi
    is the module's, where the module and its stubs are found."""
    pytest.importorskip("mypy.stubtest", reason="mypy is not installed for this interpreter", exc_type=ImportError)
    (tmp_path / "none.ini").write_text("[mypy]\n")  # not the checkout's configuration, if it has one
    result = subprocess.run(
        [sys.executable, "-m", "mypy.stubtest", "--mypy-config-file", str(tmp_path / "none.ini"), "kairodex_columns"],
        cwd=tmp_path, capture_output=True, text=True, timeout=600,
        env={**os.environ, "PYTHONPATH": str(pathlib.Path(kc.__file__).parent), "MYPY_CACHE_DIR": str(tmp_path)})
    assert result.returncode == 0, result.stdout + result.stderr
