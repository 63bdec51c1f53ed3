"""Hostile arguments for every parameter: odd strings, odd integers, numpy
scalars and None. Each must give its one expected exception, of exactly that
type, with the parameter's note, and nothing else."""
import operator

import pytest
from conftest import _interpreter_says
from catalogue import CALLABLE, CONSTRUCTOR, D, DT, DUR, ODT, OPERATOR, SAMPLES, THROUGH_NEW, Index, labels, members
from kairodex import Date, DateTime, OffsetDateTime, Time, UtcOffset

try:
    import numpy as np
except ImportError:  # not installed everywhere (the emulated roots): its cases drop out
    np = None

# Every parameter of every callable in the catalogue, with what it accepts
# (an integer width, "bool", "str" or a class name) and a valid argument; the
# constructors both ways they are reached.
PARAMETERS = [(m, i) for m in members(*CALLABLE) + THROUGH_NEW for i in range(len(m.params))]
PARAMETER_IDS = [f"{m.label}-{m.params[i].name}" for m, i in PARAMETERS]
INTEGERS = [(m, i) for m, i in PARAMETERS if m.params[i].accepts[0] in "iu"]
INTEGER_IDS = [f"{m.label}-{m.params[i].name}" for m, i in INTEGERS]

C_LONG = "Python int too large to convert to C long"


def call_with(member, index, value):
    """Calls with valid arguments, the one at `index` replaced by `value`."""
    args = [p.valid for p in member.params]
    args[index] = value
    return member.call(*args)


class IntWithBadIndex(int):
    def __index__(self):  # an int is read as an int; this is never asked
        raise AssertionError("__index__ of an int subclass was called")


# --- None and other wrong kinds --------------------------------------------

@pytest.mark.parametrize("member, index", PARAMETERS, ids=PARAMETER_IDS)
def test_none_for_every_parameter(member, index, raises_noted):
    param = member.params[index]
    call_with(member, index, param.valid)  # the valid arguments work
    if param.accepts[0] in "iu":
        message = _interpreter_says(lambda: operator.index(None))
    else:
        message = f"'None' is not an instance of '{param.accepts}'"
    raises_noted(TypeError, param.name, lambda: call_with(member, index, None), message)


@pytest.mark.parametrize("member, index", PARAMETERS, ids=PARAMETER_IDS)
def test_value_of_another_class_for_every_parameter(member, index, raises_noted):
    param = member.params[index]
    other = ODT if param.accepts == "Duration" else DUR
    expected = "integer" if param.accepts[0] in "iu" else param.accepts
    error = raises_noted(TypeError, param.name, lambda: call_with(member, index, other))
    assert expected in str(error) and type(other).__name__ in str(error)


# --- integers --------------------------------------------------------------

@pytest.mark.parametrize("member, index", INTEGERS, ids=INTEGER_IDS)
def test_integer_lookalikes_give_the_same_value(member, index):
    value = member.params[index].valid
    expected = call_with(member, index, value)
    lookalikes = [IntWithBadIndex(value), Index(value)]
    if np is not None:
        lookalikes += [np.array(value)]
        lookalikes += [t(value) for t in (np.int8, np.int16, np.int32, np.int64, np.uint8, np.uint16,
                                          np.uint32, np.uint64) if np.iinfo(t).min <= value <= np.iinfo(t).max]
    for lookalike in lookalikes:
        assert call_with(member, index, lookalike) == expected, type(lookalike)


def refuses_index(value):
    try:
        operator.index(value)
    except TypeError:
        return True
    return False


# numpy's ones that are not integers, as the installed numpy has them: its
# bool still has a (deprecated) __index__ in numpy 2.2, none in 2.4.
NUMPY_NOT_INTEGERS = tuple(filter(refuses_index, (np.bool_(True), np.float64(1.0), np.array([1])))) \
    if np is not None else ()


class OwnOverflow(OverflowError):
    pass


HUGE_INDEX_MESSAGE = {"u8": C_LONG, "i32": C_LONG, "i128": "Python int larger than 128 bits"}


@pytest.mark.parametrize("member, index", INTEGERS, ids=INTEGER_IDS)
def test_hostile_index(member, index, raises_noted):
    name, accepts = member.params[index].name, member.params[index].accepts
    attempt = lambda value: lambda: call_with(member, index, value)  # noqa: E731
    raises_noted(ZeroDivisionError, name, attempt(Index(ZeroDivisionError("boom"))), "boom")
    raises_noted(OwnOverflow, name, attempt(Index(OwnOverflow("mine"))), "mine")  # never the range's own text
    raises_noted(TypeError, name, attempt(Index("7")))
    raises_noted(TypeError, name, attempt(Index(7.0)))
    for huge in (2**200, -2**200):
        raises_noted(OverflowError, name, attempt(Index(huge)), HUGE_INDEX_MESSAGE.get(accepts))
        raises_noted(OverflowError, name, attempt(huge), HUGE_INDEX_MESSAGE.get(accepts))
    for not_integer in NUMPY_NOT_INTEGERS + (1.0, "1", b"1"):
        raises_noted(TypeError, name, attempt(not_integer))


# --- arguments freed under the call -----------------------------------------

# The first argument's __index__ empties every dictionary that holds it, the
# keyword dictionary that tp_new receives among them (reachable through the
# collector), so that the later arguments, held by that dictionary alone, are
# freed unless the call holds them: one freed before it was converted ends
# the process at once, before it is used after being freed.
EMPTIED_UNDER_THE_CALL = r"""
import gc, os, sys
import kairodex
cls, how, names = getattr(kairodex, sys.argv[1]), sys.argv[2], sys.argv[3].split(",")
values = [int(v) for v in sys.argv[4].split(",")]

class Clearer:
    def __init__(self, value):
        self.value = value
    def __index__(self):
        for holder in gc.get_referrers(self):
            if isinstance(holder, dict) and names[-1] in holder:
                holder.clear()
        return self.value

class Victim:
    converted = False
    def __init__(self, value):
        self.value = value
    def __index__(self):
        self.converted = True
        return self.value
    def __del__(self):
        if not self.converted:
            os._exit(3)

def arguments():
    return {names[0]: Clearer(values[0]), **{n: Victim(v) for n, v in zip(names[1:], values[1:])}}

made = type.__call__(cls, **arguments()) if how == "call" else cls.__new__(cls, **arguments())
print(made == cls(*values))
"""

INTEGER_CONSTRUCTORS = [m for m in members(CONSTRUCTOR) if all(p.accepts[0] in "iu" for p in m.params)]


@pytest.mark.parametrize("how", ["call", "new"], ids=["type.__call__", "__new__"])
@pytest.mark.parametrize("member", INTEGER_CONSTRUCTORS, ids=labels(INTEGER_CONSTRUCTORS))
def test_keyword_dictionary_emptied_while_converting(run_python, member, how):
    proc = run_python(EMPTIED_UNDER_THE_CALL, member.cls.__name__, how, ",".join(p.name for p in member.params),
                      ",".join(str(p.valid) for p in member.params))
    assert (proc.returncode, proc.stdout, proc.stderr) == (0, "True\n", "")


@pytest.mark.parametrize("member", members(CONSTRUCTOR), ids=labels(members(CONSTRUCTOR)))
def test_keyword_names_that_are_not_str(member):
    # type.__call__ hands the dictionary over as it is; a call of the class
    # has the interpreter refuse such names itself: the same message.
    with pytest.raises(TypeError) as direct:
        member.cls(**{1: 2})
    with pytest.raises(TypeError) as through_new:
        type.__call__(member.cls, **{1: 2})
    assert through_new.value.args == direct.value.args
    assert not hasattr(through_new.value, "__notes__")


# --- bool ------------------------------------------------------------------

@pytest.mark.parametrize("sign, expected", [
    (True, 60), (False, -60),
] + ([(np.bool_(True), 60), (np.bool_(False), -60), (np.True_, 60), (np.array(True)[()], 60)]
     if np is not None else []))
def test_bool_accepts_python_and_numpy_bools(sign, expected):
    assert UtcOffset.from_hours_minutes(sign, 0, 1).as_seconds() == expected
    assert UtcOffset.from_hours_minutes(sign_positive=sign, hours=0, minutes=1).as_seconds() == expected


class Truthy:
    def __bool__(self):
        return True


@pytest.mark.parametrize("sign, type_name", [
    (1, "int"), (0, "int"),
    ("True", "str"), (1.0, "float"), (Truthy(), "Truthy"), (IntWithBadIndex(1), "IntWithBadIndex"),
] + ([(np.int64(1), "int64"), (np.uint8(0), "uint8"), (np.array(True), "ndarray")] if np is not None else []))
def test_bool_refuses_everything_else(sign, type_name, raises_noted):
    raises_noted(TypeError, "sign_positive", lambda: UtcOffset.from_hours_minutes(sign, 1, 0),
                   f"'{type_name}' object is not an instance of 'bool'")


def numpy_named(name, module="numpy", **body):
    """An instance of a class that names itself like a numpy type."""
    return type(name, (), {"__module__": module, **body})()


def fails(error):
    def truth(self):
        raise error
    return truth


@pytest.mark.parametrize("sign, outcome", [
    (numpy_named("bool_", __bool__=lambda self: True), 3600),
    (numpy_named("bool", __bool__=lambda self: False), -3600),
    (numpy_named("bool_", __bool__=fails(ZeroDivisionError("boom"))), ZeroDivisionError),
    (numpy_named("bool_", __bool__=lambda self: 1), TypeError),
    (numpy_named("bool_"), "object of type '<class 'numpy.bool_'>' does not define a '__bool__' conversion"),
    (numpy_named("bool_", "numpy.core", __bool__=lambda self: True), "'bool_' object is not an instance of 'bool'"),
    (numpy_named("int64", __bool__=lambda self: True), "'int64' object is not an instance of 'bool'"),
], ids=["true", "false", "raising", "not-a-bool", "no-truth-slot", "other-module", "other-name"])
def test_bool_goes_by_numpy_type_names_and_truth_slot(sign, outcome, raises_noted):
    call = lambda: UtcOffset.from_hours_minutes(sign, 1, 0)  # noqa: E731
    if isinstance(outcome, int):
        assert call().as_seconds() == outcome
    elif isinstance(outcome, str):
        raises_noted(TypeError, "sign_positive", call, outcome)
    else:
        raises_noted(outcome, "sign_positive", call)


# --- text ------------------------------------------------------------------

PARSERS = [
    (Date.parse, "2024-01-01", lambda s: "Invalid date string: InvalidDate"),
    (Time.parse, "12:00:00", lambda s: "Invalid time string: InvalidTime"),
    (DateTime.parse, "2024-01-01T12:00:00Z",
     lambda s: f"Invalid datetime string '{s}'. Expected format: YYYY-MM-DDTHH:MM:SS[.fffffffff]Z"),
    (OffsetDateTime.parse, "2024-01-01T12:00:00+01:00",
     lambda s: f"Invalid offset datetime string '{s}'. Expected RFC 3339 format: "
               "YYYY-MM-DDTHH:MM:SS[.fffffffff][Z|\u00b1HH:MM]"),
]
PARSER_IDS = ["Date", "Time", "DateTime", "OffsetDateTime"]
MEGABYTE = 2**20


def test_every_text_parameter_has_its_parser_cases():
    takes_text = [m.target for m in members(*CALLABLE) if any(p.accepts == "str" for p in m.params)]
    assert takes_text == [parse for parse, _, _ in PARSERS]


class Text(str):
    def __str__(self):
        return "2024-01-01"


@pytest.mark.parametrize("parse, valid, message", PARSERS, ids=PARSER_IDS)
def test_text_lookalikes_are_read_as_their_characters(parse, valid, message, raises_noted):
    expected = parse(valid)
    assert parse(Text(valid)) == expected
    not_texts = [valid.encode(), bytearray(valid.encode()), memoryview(valid.encode())]
    if np is not None:
        assert parse(np.str_(valid)) == expected
        not_texts.append(np.bytes_(valid))
    for not_text in not_texts:
        raises_noted(TypeError, "s", lambda: parse(not_text),
                       f"'{type(not_text).__name__}' object is not an instance of 'str'")


@pytest.mark.parametrize("parse, valid, message", PARSERS, ids=PARSER_IDS)
def test_lone_surrogates_fail_to_encode(parse, valid, message, raises_noted):
    for text in ("\ud800", "\udfff" + valid, valid + "\udc80", valid[:4] + "\udbff\udc00" + valid[4:]):
        error = raises_noted(UnicodeEncodeError, "s", lambda: parse(text))
        assert error.encoding == "utf-8"


@pytest.mark.parametrize("parse, valid, message", PARSERS, ids=PARSER_IDS)
def test_nul_bytes_are_ordinary_invalid_characters(parse, valid, message):
    for text in ("\0", "\0" + valid, valid + "\0", valid[:4] + "\0" + valid[5:], valid.replace("0", "\0")):
        with pytest.raises(ValueError) as info:
            parse(text)
        assert type(info.value) is ValueError and info.value.args == (message(text),)


@pytest.mark.parametrize("parse, valid, message", PARSERS, ids=PARSER_IDS)
def test_megabyte_texts(parse, valid, message):
    for text in ("9" * MEGABYTE, "-" * MEGABYTE, ":" * MEGABYTE, valid * (MEGABYTE // len(valid)),
                 valid + "\u3000" * MEGABYTE + "x", "\U0001F600" * MEGABYTE):
        with pytest.raises(ValueError) as info:
            parse(text)
        assert type(info.value) is ValueError and info.value.args == (message(text),)
    # Any number of leading zeros is still one number.
    assert parse("0" * MEGABYTE + valid) == parse(valid)


def test_offset_datetime_trims_a_megabyte_of_white_space():
    text = " \t\n\u00a0\u2003\u3000" * (MEGABYTE // 6)
    assert OffsetDateTime.parse(text + "2024-01-01T12:00:00Z" + text) == OffsetDateTime.parse("2024-01-01T12:00:00Z")
    with pytest.raises(ValueError):
        OffsetDateTime.parse(text)


# --- operators -------------------------------------------------------------

HOSTILE_OPERANDS = [None, 1, "1", DT]
if np is not None:
    HOSTILE_OPERANDS += [np.int64(1), np.float64(1.0), np.bool_(True), np.array(1)]


@pytest.mark.parametrize("operand", HOSTILE_OPERANDS, ids=repr)
def test_foreign_operands_are_not_implemented(operand):
    for operation in (lambda: DUR + operand, lambda: operand + DUR, lambda: DUR - operand,
                      lambda: operand - DUR, lambda: D < operand, lambda: DUR >= operand):
        with pytest.raises(TypeError):
            operation()
    for value in [v for v in SAMPLES.values() if type(v) is not type(operand)]:
        assert not (value == operand)
        assert value != operand


BINARY_OPERATORS = [m for m in members(OPERATOR) if m.params]


@pytest.mark.parametrize("member", BINARY_OPERATORS, ids=labels(BINARY_OPERATORS))
def test_every_binary_operator_declines_foreign_operands(member):
    for operand in HOSTILE_OPERANDS:
        if type(operand) is not member.cls:
            assert member.target(operand) is NotImplemented, operand
