import collections
import os
import subprocess
import sys
import textwrap

import kairodex
import pytest

MASK = (1 << 64) - 1


def _rotl(x, b):
    return ((x << b) | (x >> (64 - b))) & MASK


def _sip_round(v0, v1, v2, v3):
    v0 = (v0 + v1) & MASK; v1 = _rotl(v1, 13); v1 ^= v0; v0 = _rotl(v0, 32)
    v2 = (v2 + v3) & MASK; v3 = _rotl(v3, 16); v3 ^= v2
    v0 = (v0 + v3) & MASK; v3 = _rotl(v3, 21); v3 ^= v0
    v2 = (v2 + v1) & MASK; v1 = _rotl(v1, 17); v1 ^= v2; v2 = _rotl(v2, 32)
    return v0, v1, v2, v3


def siphash13(data: bytes) -> int:
    """Plain SipHash-1-3 with an all-zero key, as an independent reference."""
    v = [0x736F6D6570736575, 0x646F72616E646F6D, 0x6C7967656E657261, 0x7465646279746573]
    tail = len(data) - len(data) % 8
    for i in range(0, tail, 8):
        m = int.from_bytes(data[i:i + 8], "little")
        v[3] ^= m
        v = list(_sip_round(*v))
        v[0] ^= m
    b = ((len(data) & 0xFF) << 56) | int.from_bytes(data[tail:], "little")
    v[3] ^= b
    v = list(_sip_round(*v))
    v[0] ^= b
    v[2] ^= 0xFF
    for _ in range(3):
        v = list(_sip_round(*v))
    return v[0] ^ v[1] ^ v[2] ^ v[3]


def python_hash(data: bytes) -> int:
    """The hash the module gives a value whose hashed bytes are `data`."""
    digest = siphash13(data)
    if digest >= 0xFFFFFFFFFFFFFFFE:
        return -2
    return digest - (1 << 64) if digest >= 1 << 63 else digest


@pytest.fixture
def value_hash():
    return python_hash


@pytest.fixture
def run_python():
    """Runs a script in a fresh interpreter that finds the same built module,
    so a crash fails the test instead of ending the test run. The time limit
    only catches a hang: the allocation-failure sweeps of the import fork a
    child per failing allocation, which takes minutes under emulation or on
    a busy machine."""
    module_dir = os.path.dirname(kairodex.__file__)

    def run(script, *args):
        env = dict(os.environ)
        env["PYTHONPATH"] = os.pathsep.join(filter(None, [module_dir, env.get("PYTHONPATH")]))
        return subprocess.run(
            [sys.executable, "-c", textwrap.dedent(script), *args],
            capture_output=True, text=True, env=env, timeout=900,
        )

    return run


def _raises_noted(exc_type, parameter, call, message=None):
    with pytest.raises(BaseException) as info:
        call()
    assert type(info.value) is exc_type, repr(info.value)
    assert getattr(info.value, "__notes__", None) == [f"while processing '{parameter}'"]
    if message is not None:
        assert str(info.value) == message
    return info.value


@pytest.fixture
def raises_noted():
    """Checks that a call fails converting an argument: an exception of exactly
    `exc_type`, with the note that names the parameter, and the message if one
    is given. Returns the exception."""
    return _raises_noted


def _raises_value_error(call, message):
    with pytest.raises(ValueError) as info:
        call()
    assert type(info.value) is ValueError and info.value.args == (message,)


@pytest.fixture
def raises_value_error():
    """Checks that a call raises a plain ValueError with exactly this message."""
    return _raises_value_error


def _interpreter_says(call, *renames):
    """What the running interpreter itself says when `call` fails: its
    exception's text, each (its name, ours) of `renames` swapped in. Tests of
    texts that the interpreter writes take them from here, never from a copy
    of one version's wording."""
    try:
        call()
    except Exception as error:  # noqa: BLE001 - any exception's text
        text = str(error)
    else:
        raise AssertionError("the interpreter's reference call did not fail")
    for theirs, ours in renames:
        assert theirs in text, (theirs, text)
        text = text.replace(theirs, ours)
    return text


@pytest.fixture
def interpreter_says():
    return _interpreter_says


# The suites of the module's frame: references, failed allocations, threads,
# embedding, linkage, the stubs and the scripts. They look at how values are
# made, kept and freed, not at what the calendar arithmetic answers, so a build
# that changes only that arithmetic (the portable 128-bit integers, the core
# without its fast paths) leaves them out with -m "not frame".
FRAME_SUITES = {"test_nomemory", "test_leaks", "test_refleaks", "test_threads", "test_embedding", "test_linkage",
                "test_stubs", "test_bench_compare"}


def pytest_addoption(parser):
    parser.addoption("--zone-keys", type=int, default=0, metavar="N",
                     help="compare kairodex_tz with zoneinfo on an even sample of N keys (default: every key)")


def pytest_configure(config):
    config.addinivalue_line("markers", "frame: a suite of the module's frame rather than of its values")


def pytest_collection_modifyitems(items):
    for item in items:
        if item.module is not None and item.module.__name__ in FRAME_SUITES:
            item.add_marker(pytest.mark.frame)


def pytest_terminal_summary(terminalreporter):
    """The reasons of the skipped tests in one line, each with its count."""
    reasons = collections.Counter(
        report.longrepr[2].removeprefix("Skipped: ") for report in terminalreporter.stats.get("skipped", [])
        if isinstance(report.longrepr, tuple))
    if reasons:
        terminalreporter.write_line("skipped: " + "; ".join(f"{count} {reason}"
                                                            for reason, count in reasons.most_common()))
