import random

import pytest

from kairodex import DateTime, Duration

MAX = 2**127 - 1
MIN = -2**127
ns = Duration.nanoseconds


def raises_out_of_range(operation):
    with pytest.raises(OverflowError) as info:
        operation()
    assert info.value.args == ("Duration out of range: OutOfRange",)


# Construction -----------------------------------------------------------------

@pytest.mark.parametrize("make, arg, total", [
    (Duration.seconds, -1, -1000000000),
    (Duration.seconds, 2**63 - 1, 9223372036854775807000000000),
    (Duration.seconds, -2**63, -9223372036854775808000000000),
    (Duration.milliseconds, 1500, 1500000000),
    (Duration.milliseconds, -2**63, -2**63 * 10**6),
    (Duration.microseconds, -7, -7000),
    (Duration.microseconds, 2**63 - 1, (2**63 - 1) * 1000),
    (Duration.nanoseconds, MAX, MAX),
    (Duration.nanoseconds, MIN, MIN),
    (Duration.nanoseconds, 2**64 + 1, 2**64 + 1),
    (Duration.nanoseconds, -2**64 - 1, -2**64 - 1),
    (Duration.nanoseconds, -1, -1),
])
def test_class_methods_scale_exactly(make, arg, total):
    assert make(arg).total_nanos() == total


def test_arguments_by_keyword():
    assert Duration.seconds(secs=2) == Duration.milliseconds(ms=2000) == \
        Duration.microseconds(us=2000000) == Duration.nanoseconds(ns=2000000000)


# Out of the argument's width is a conversion error, never a ValueError.
@pytest.mark.parametrize("make, arg, exc, message, param", [
    (Duration.seconds, 2**63, OverflowError, None, "secs"),
    (Duration.milliseconds, -2**63 - 1, OverflowError, None, "ms"),
    (Duration.microseconds, 2**64, OverflowError, None, "us"),
    (Duration.nanoseconds, 2**127, OverflowError, "Python int larger than 128 bits", "ns"),
    (Duration.nanoseconds, MIN - 1, OverflowError, "Python int larger than 128 bits", "ns"),
    (Duration.seconds, 1.5, TypeError, None, "secs"),
    (Duration.nanoseconds, "1", TypeError, None, "ns"),
])
def test_conversion_failures(make, arg, exc, message, param, raises_noted):
    raises_noted(exc, param, lambda: make(arg), message)  # exactly exc: never a ValueError


def test_no_constructor(interpreter_says):
    with pytest.raises(TypeError) as info:
        Duration(5)
    assert str(info.value) == interpreter_says(lambda: type(iter(range(0)))(5),
                                               ("range_iterator", "kairodex.Duration"))


# Reading back -----------------------------------------------------------------

def awkward_counts():
    """Counts whose conversion to binary64 needs rounding: ties, just-off-ties, sticky low bits."""
    counts = [0, 1, 999999999, 10**9, 2**53, 2**53 + 1, 2**53 + 3, 2**54 + 2, 2**54 + 6, 2**63 + 1,
              2**64 - 1, 2**64 + 1, 2**100 + 2**47, 2**100 + 3 * 2**47, 2**100 + 2**47 + 1,
              2**100 + 2**47 - 1, 2**116 + 2**63, 2**116 + 2**63 + 1, 2**127 - 2**73, 2**127 - 2**74 - 1,
              (2**53 - 1) << 74, MAX]
    rng = random.Random(4242)
    for bits in range(54, 128):
        counts += [rng.getrandbits(bits) | 1 | (1 << (bits - 1)) for _ in range(8)]
        counts.append((1 << (bits - 1)) | (1 << (bits - 54)))  # exact halfway, even significand
    return counts + [-c for c in counts] + [MIN, MIN + 1]


def test_total_seconds_matches_float_division():
    for n in awkward_counts():
        assert ns(n).total_seconds() == float(n) / 1e9, n


@pytest.mark.parametrize("d, seconds", [
    (Duration.milliseconds(1500), 1.5),
    (ns(1), 1e-09),
    (ns(MAX), 1.7014118346046924e+29),
    (ns(MIN), -1.7014118346046924e+29),
    (ns(-1), -1e-09),
])
def test_total_seconds_examples(d, seconds):
    assert d.total_seconds() == seconds


def test_total_nanos_over_the_whole_range():
    for n in awkward_counts():
        assert ns(n).total_nanos() == n


# Arithmetic -------------------------------------------------------------------

@pytest.mark.parametrize("a, b", [(MAX, 0), (MIN, MAX), (MAX, MIN), (MIN, 0), (2**64, -2**64 - 1),
                                  (MAX - 5, 5), (MIN + 5, -5), (-1, MIN + 1)])
def test_in_range_results_are_exact(a, b):
    assert (ns(a) + ns(b)).total_nanos() == a + b
    assert (ns(a + b) - ns(b)).total_nanos() == a


# One step beyond either end of the range, for each operator.
@pytest.mark.parametrize("operation", [
    lambda: ns(MAX) + ns(1),
    lambda: ns(1) + ns(MAX),
    lambda: ns(MIN) + ns(-1),
    lambda: ns(MAX) + ns(MAX),
    lambda: ns(MIN) + ns(MIN),
    lambda: ns(MIN) - ns(1),
    lambda: ns(MAX) - ns(-1),
    lambda: ns(0) - ns(MIN),
    lambda: ns(-1) - ns(MAX) - ns(1),
    lambda: ns(MAX) - ns(MIN),
    lambda: -ns(MIN),
])
def test_overflow_raises(operation):
    raises_out_of_range(operation)


def test_edges_reached_without_overflow():
    assert -ns(MAX) == ns(MIN + 1) and -(-ns(MAX)) == ns(MAX) and -ns(0) == ns(0)
    assert ns(-1) - ns(MAX) == ns(MIN)
    assert ns(MAX - 1) + ns(1) == ns(MAX)
    assert ns(MIN) - ns(MIN) == ns(0)


def test_augmented_assignment_makes_a_new_object():
    d = original = Duration.seconds(1)
    d += Duration.seconds(2)
    assert d == Duration.seconds(3) and original == Duration.seconds(1) and d is not original
    d -= Duration.seconds(5)
    assert d.total_nanos() == -2 * 10**9


# Foreign operands: + and - refuse them, so Python raises its own TypeError.
@pytest.mark.parametrize("operation", [
    lambda d: d + 1, lambda d: 1 + d, lambda d: d - 1, lambda d: 1 - d, lambda d: d + 1.0,
    lambda d: d * 2, lambda d: 2 * d, lambda d: d / 2, lambda d: d // 2, lambda d: +d, lambda d: abs(d),
    lambda d: sum([d, d]), lambda d: d + DateTime.from_unix_timestamp(0),
    lambda d: DateTime.from_unix_timestamp(0) - d, lambda d: d < 1, lambda d: d >= None,
])
def test_foreign_operands_raise_type_error(operation):
    with pytest.raises(TypeError):
        operation(Duration.seconds(1))


def test_sum_with_a_duration_start():
    parts = [Duration.seconds(1), Duration.milliseconds(-250), ns(7)]
    assert sum(parts, Duration.seconds(0)) == ns(750000007)


def test_every_duration_is_true():
    assert bool(ns(0)) is True


# Comparison and hash ----------------------------------------------------------

def test_comparisons_follow_signed_counts():
    values = sorted(set(awkward_counts()))
    objects = [ns(v) for v in values]
    assert sorted(objects[::-1]) == objects
    for a, b in zip(objects, objects[1:]):
        assert a < b and a <= b and b > a and b >= a and a != b and not a == b


def test_equality_with_other_types():
    d = Duration.seconds(1)
    assert (d == 1) is False and (d != 1) is True and (d == 1.0) is False
    assert d == Duration.milliseconds(1000) and hash(d) == hash(Duration.milliseconds(1000))


@pytest.mark.parametrize("d, value", [
    (ns(0), 8556445246977061536),
    (ns(1), -8559946577813192710),
    (ns(-1), 3819785013809161115),
    (Duration.seconds(1), 1911279753773646808),
])
def test_known_hashes(d, value):
    assert hash(d) == value


def test_hash_spreads_over_high_bits():
    assert len({hash(ns(1 << i)) for i in range(127)} | {hash(ns(MIN))}) == 128


# Text -------------------------------------------------------------------------

@pytest.mark.parametrize("d, text, rep", [
    (Duration.milliseconds(-1500), "Duration(-1500000000 ns)", "Duration.nanoseconds(-1500000000)"),
    (ns(0), "Duration(0 ns)", "Duration.nanoseconds(0)"),
    (ns(MIN), f"Duration({MIN} ns)", "Duration.nanoseconds(-170141183460469231731687303715884105728)"),
    (ns(MAX), f"Duration({MAX} ns)", f"Duration.nanoseconds({MAX})"),
    (ns(2**64), "Duration(18446744073709551616 ns)", "Duration.nanoseconds(18446744073709551616)"),
])
def test_text_forms(d, text, rep):
    assert str(d) == text
    assert repr(d) == rep
    assert eval(rep, {"Duration": Duration}) == d
