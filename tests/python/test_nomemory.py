"""Allocation failures, injected with the interpreter's own test hooks
(`_testcapi.set_nomemory`): the k-th allocation fails, or every one from the
k-th on (for the import also four from the k-th on), for each k from 0 until
the call comes through. Every operation of
the leak suite's catalogue, and the import and first use of each class in a
fresh process, must then either give its usual outcome or raise MemoryError
(at import, where a class cannot be registered, the module's internal-failure
exception): never a crash, a SystemError or another wrong answer, nothing
leaked, and the module works afterwards."""
import gc
import json
import sys

import pytest

_testcapi = pytest.importorskip("_testcapi", reason="the interpreter's test modules are not installed")
if not hasattr(_testcapi, "set_nomemory"):
    pytest.skip("this _testcapi has no allocation-failure hooks", allow_module_level=True)

if sys.version_info < (3, 14):
    # There, the interpreter's own code is not proof against these failures:
    # a comparison of two weekdays, which runs none of the module's code,
    # raises SystemError, and re-importing a plain .py module crashes.
    pytest.skip("CPython 3.13 itself fails under injected allocation failures", allow_module_level=True)

import catalogue  # noqa: E402
import kairodex  # noqa: E402
from catalogue import DT, OPERATIONS, OFF, TRACKED  # noqa: E402
from kairodex import Date, DateTime, Duration, OffsetDateTime, Time, UtcOffset  # noqa: E402

SWEEPS = 20  # whole sweeps in one round of the leak check
ROUNDS = 10  # at most
TOLERANCE = 10  # blocks; a block lost at any one k shows as 20 in every round
# Beyond the most allocations any one call here makes: a sweep that runs past
# it never comes through at all.
MAX_K = 2000
REGISTRATION_FAILURES = ("failed to create type object for `", "could not append __name__ to __all__")


def take_kept_blocks():
    """Instances of every class, enough to take all the blocks the module keeps
    for reuse (a few dozen per size), so that the new instances of the call
    under test come from the allocator, where the failures are."""
    n = range(40)
    return (
        [Date.from_days_since_unix_epoch(i) for i in n], [Time(0, 0, 0, i) for i in n],
        [Duration.nanoseconds(i) for i in n], [UtcOffset.from_seconds(i) for i in n],
        [OffsetDateTime.from_utc(DateTime.from_unix_timestamp(i), OFF) for i in n],
        [DateTime.from_unix_timestamp(i) for i in n],  # after the line above, which gives a block back
        # The time zones' transition iterators, the one size of their own.
        [catalogue.ZONE.transitions(DT, DT) for i in n] if catalogue.kairodex_tz else [],
    )


def attempt(operation, start, stop):
    held = take_kept_blocks()
    _testcapi.set_nomemory(start, stop)
    try:
        return operation()
    finally:
        # Off before anything else runs, the unwinding of the caller included.
        _testcapi.remove_mem_hooks()
        # The catalogue's reimport puts the module back itself, but that store
        # into sys.modules can run out of memory too (a KeyError on the next
        # reimport): the test's doing, not the module's.
        sys.modules["kairodex"] = kairodex
        del held


def outcome(call):
    """("returned", value) or ("raised", (type, message)). Notes are left out:
    the module drops a parameter's note that it cannot attach, by design."""
    try:
        return "returned", call()
    except BaseException as error:  # noqa: BLE001 - PanicException is a BaseException
        chain, seen = error, []
        while chain is not None and len(seen) < 10:
            seen.append(type(chain))
            chain = chain.__cause__ or chain.__context__
        assert SystemError not in seen, f"SystemError in the chain of {error!r}"
        return "raised", (type(error), str(error))


def sweep(label, operation, reference):
    """Runs every case; returns (cases, wrong outcomes)."""
    cases, wrong = 0, []
    bound = 0  # where every allocation from there on may fail: the call needs no more
    for form in ("from k on", "only k"):
        for k in range(MAX_K):
            got = outcome(lambda: attempt(operation, k, 0 if form == "from k on" else k + 1))
            cases += 1
            if got == reference or (label == "DateTime.now_utc" and got[0] == "returned" and type(got[1]) is DateTime):
                if k >= bound:
                    bound = k
                    break
            elif not (got[0] == "raised" and got[1][0] is MemoryError):
                if label == "import" and got[1][0].__name__ == "PanicException" and \
                        got[1][1].startswith(REGISTRATION_FAILURES):
                    continue
                wrong.append((form, k, got))
        else:
            wrong.append((form, MAX_K, "never came through"))
    return cases, wrong


IDS = [op[0] for op in OPERATIONS]


@pytest.mark.parametrize("label, operation, expected", OPERATIONS, ids=IDS)
def test_call_gives_its_outcome_or_memory_error(label, operation, expected):
    reference = outcome(operation)
    assert reference[0] == ("returned" if expected is None else "raised")
    cases, wrong = sweep(label, operation, reference)
    assert cases > 1
    assert wrong == [], f"{len(wrong)} of {cases} cases"
    assert outcome(operation) == reference or label == "DateTime.now_utc"


@pytest.mark.parametrize("label, operation, expected", OPERATIONS, ids=IDS)
def test_failed_calls_leave_nothing_behind(label, operation, expected):
    reference = outcome(operation)
    sweep(label, operation, reference)  # caches and free lists filled first
    gc.collect()
    references = [sys.getrefcount(obj) for obj in TRACKED]
    # A leak grows in every round. Caches (the interpreter's specialised code
    # among them, which retries after a failed allocation less and less often)
    # stop growing after a few. What exists before the rounds is left out of
    # their collections, which then walk what the rounds made alone.
    growth = []
    gc.freeze()
    try:
        for _ in range(ROUNDS):
            blocks = sys.getallocatedblocks()
            for _ in range(SWEEPS):
                sweep(label, operation, reference)
            gc.collect()
            growth.append(sys.getallocatedblocks() - blocks)
            if growth[-1] < TOLERANCE:
                break
    finally:
        gc.unfreeze()
    assert min(growth) < TOLERANCE, growth
    assert [sys.getrefcount(obj) for obj in TRACKED] == references


# --- import and first use, each case in a fresh process -----------------------

# A first use of each class: the calls a program makes first, whose results
# have a fixed repr.
FIRST_USES = {
    "Weekday": "Weekday.MONDAY, Weekday.SUNDAY.number_from_monday(), str(Weekday.FRIDAY), repr(Weekday.FRIDAY), "
               "hash(Weekday.MONDAY) == hash(Weekday.MONDAY)",
    "Date": "Date(2024, 2, 29), Date.parse('2024-02-29'), str(Date(2024, 2, 29)), Date(2024, 2, 29).add_days(1), "
            "Date(2024, 2, 29).weekday(), hash(Date(2024, 2, 29)), Date(1, 1, 1) < Date(2, 1, 1)",
    "Time": "Time(12, 30, 45, 500), Time.parse('12:30:45.5'), str(Time(1, 2, 3)), Time(1, 2, 3).nanos_since_midnight(), "
            "hash(Time(1, 2, 3)), Time(1, 2, 3) < Time(1, 2, 4)",
    "Duration": "Duration.seconds(90), Duration.nanoseconds(2**100), str(Duration.milliseconds(-5)), "
                "Duration.seconds(1) + Duration.seconds(2), Duration.seconds(1).total_nanos(), hash(Duration.seconds(1))",
    "DateTime": "DateTime.parse('2024-01-01T12:00:00Z'), DateTime.from_unix_timestamp(86400, 5), "
                "str(DateTime.from_unix_timestamp(0)), DateTime.from_unix_timestamp(0).unix_timestamp_nanos(), "
                "type(DateTime.now_utc()).__name__",
    "UtcOffset": "UtcOffset.from_seconds(3600), UtcOffset.from_hours_minutes(True, 5, 30), str(UtcOffset.from_seconds(0)), "
                 "UtcOffset.from_seconds(-60).as_seconds(), UtcOffset.from_seconds(0).is_utc()",
    "OffsetDateTime": "OffsetDateTime.parse('2024-06-01T09:30:00+02:00'), "
                      "str(OffsetDateTime.parse('2024-06-01T09:30:00.25-05:30')), "
                      "OffsetDateTime.parse('2024-06-01T09:30:00+02:00').to_local(), "
                      "OffsetDateTime.parse('2024-06-01T09:30:00Z').unix_timestamp()",
}

# Runs in a fresh interpreter: forks a child per case, so that each starts from
# the same state, and prints one JSON record per case, the first one without
# any failure. A child that dies is a record too.
FRESH_SCRIPT = r"""
import ctypes, gc, json, os, sys
import _testcapi

target, uses, limit, library = sys.argv[1], json.loads(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
# The shared library is mapped here once, which involves no allocation by the
# interpreter: each child's import then finds it mapped, and runs the rest of
# the import (finder, loader, module creation, module body) as a fresh process
# does.
ctypes.PyDLL(library)
# The first report of an unraisable exception imports the traceback machinery
# for good, and that of an AttributeError the machinery of its suggestions:
# done here once, so that the children's block counts compare. (A class
# attribute that cannot be stored for want of memory raises AttributeError:
# the interpreter's setattr on types says so for any failure of its dict.)
stderr, sys.stderr = sys.stderr, open(os.devnull, "w")
_testcapi.err_writeunraisable(MemoryError(), None)
_testcapi.err_writeunraisable(AttributeError("no attribute 'X'", name="X", obj=object), None)
sys.stderr.close()
sys.stderr = stderr
afterwards = {name: compile("(" + use + ",)", name, "eval") for name, use in uses.items()}
gc.collect()
gc.freeze()  # what is there now stays out of the children's collections
if target != "import":
    import kairodex
    first_use = eval("lambda: (" + uses[target] + ",)", dict(vars(kairodex)))

def call(start, stop):
    if start is not None:
        _testcapi.set_nomemory(start, stop)
    try:
        if target == "import":
            import kairodex
            return kairodex.__all__
        return first_use()
    finally:
        _testcapi.remove_mem_hooks()

def case(start, stop):
    gc.collect()
    before = sys.getallocatedblocks()
    record = {"k": start}
    try:
        record["returned"] = repr(call(start, stop))
    except BaseException as error:
        record["raised"] = [type(error).__name__, str(error)]
        del error
    # Afterwards: the module as a clean process has it.
    import kairodex
    namespace = dict(vars(kairodex))
    record["afterwards"] = {name: repr(eval(code, namespace)) for name, code in afterwards.items()}
    del namespace
    gc.collect()
    record["blocks"] = sys.getallocatedblocks() - before
    record["types"] = sorted(o.__qualname__ for o in gc.get_objects()
                             if isinstance(o, type) and vars(o).get("__module__") == "kairodex")
    days = [getattr(kairodex.Weekday, day) for day in ("MONDAY", "SUNDAY")]
    record["references"] = [sys.getrefcount(o) for o in [getattr(kairodex, n) for n in kairodex.__all__] + days]
    return record

def forked(start, stop=0):
    read, write = os.pipe()
    pid = os.fork()
    if pid == 0:
        os.close(read)
        try:
            data = json.dumps(case(start, stop))
        except BaseException as error:
            data = json.dumps({"k": start, "harness": repr(error)})
        with os.fdopen(write, "w") as out:
            out.write(data)
        os._exit(0)
    os.close(write)
    with os.fdopen(read) as pipe:
        data = pipe.read()
    _, status = os.waitpid(pid, 0)
    if status != 0 or not data:
        return {"k": start, "died": os.waitstatus_to_exitcode(status)}
    return json.loads(data)

def outcome(record):
    return record.get("returned"), record.get("raised")

reference = forked(None)
print(json.dumps(reference), flush=True)
# For the import also four allocations from the k-th on, then memory again:
# a class's creation fails, then the failure type's, and then the message
# is made after all.
windows = {"from k on": 0, "only k": 1, **({"4 from k": 4} if target == "import" else {})}
bound = 0
for form, width in windows.items():
    for k in range(limit):
        record = forked(k, k + width if width else 0)
        record["form"] = form
        print(json.dumps(record), flush=True)
        if outcome(record) == outcome(reference) and k >= bound:
            bound = k
            break
"""

# A case may keep what the process keeps anyway: the internal-failure exception
# type, created on the first internal failure, and the interpreter's spare
# MemoryError objects. A class left half made would be found by the census of
# type objects, a lost reference by the reference counts.
SPARE_BLOCKS = 32
_fresh_runs = {}


def fresh_run(run_python, target):
    """The reference record and the records of every case, run once per target."""
    if target not in _fresh_runs:
        proc = run_python(FRESH_SCRIPT, target, json.dumps(FIRST_USES), str(MAX_K), kairodex.__file__)
        assert proc.returncode == 0, proc.stderr[-3000:]
        records = [json.loads(line) for line in proc.stdout.splitlines()]
        _fresh_runs[target] = records[0], records[1:], proc.stderr
    return _fresh_runs[target]


def fresh_problems(target, reference, case):
    if "died" in case or "harness" in case:
        return [case]
    problems = []
    raised = case.get("raised")
    if not (case.get("returned") == reference["returned"] or raised == ["MemoryError", ""]
            or (target == "import" and raised and raised[0] == "PanicException"
                and raised[1].startswith(REGISTRATION_FAILURES))):
        problems.append(("outcome", case.get("returned"), raised))
    for key in ("afterwards", "types", "references"):
        if case[key] != reference[key]:
            problems.append((key, case[key]))
    if case["blocks"] - reference["blocks"] > SPARE_BLOCKS:
        problems.append(("blocks", case["blocks"] - reference["blocks"]))
    return [(case["form"], case["k"], *problems)] if problems else []


@pytest.mark.parametrize("target", ["import", *FIRST_USES])
def test_fresh_process_import_and_first_use(run_python, target):
    reference, cases, stderr = fresh_run(run_python, target)
    assert "returned" in reference, reference
    problems = [p for case in cases for p in fresh_problems(target, reference, case)]
    assert problems == [], f"{len(problems)} of {len(cases)} cases, first {problems[:3]}; stderr: {stderr[-2000:]}"
    # Every form was swept until the call came through.
    last = {case["form"]: case for case in cases}
    assert set(last) >= {"from k on", "only k"}
    assert all(case.get("returned") == reference["returned"] for case in last.values())


def test_import_propagates_memory_error_where_the_failure_type_cannot_be_made(run_python):
    # When every allocation from the k-th on fails, the internal-failure
    # exception type cannot be created either: the MemoryError that stopped
    # the class's creation is what the import raises.
    _, cases, _ = fresh_run(run_python, "import")
    failed = [case for case in cases if case["form"] == "from k on" and "returned" not in case]
    assert len(failed) > 100
    assert {tuple(case.get("raised", ("died", case.get("died")))) for case in failed} == {("MemoryError", "")}


def test_import_raises_the_failure_exception_where_a_class_cannot_be_made(run_python):
    # When only the k-th allocation fails, the type can be created afterwards:
    # a failed class creation raises it, for every class in turn.
    _, cases, _ = fresh_run(run_python, "import")
    messages = {case["raised"][1] for case in cases if case.get("raised", [""])[0] == "PanicException"}
    assert {f"failed to create type object for `{name}`" for name in FIRST_USES} <= messages
