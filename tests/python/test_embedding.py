"""The module where applications embed the interpreter: sub-interpreters,
isolated and legacy (the kind web servers use), before and after the main
interpreter imports the module, and an interpreter finalised and initialised
again. The classes are made once per process, in the main interpreter; every
other interpreter gets an ImportError and never a class of another's. Each
case runs in a fresh process, so that a crash fails the case, not the run."""
import os
import subprocess
from pathlib import Path

import kairodex
import pytest

SUB = "module kairodex does not support loading in subinterpreters"
AGAIN = ("module kairodex cannot be loaded again after the interpreter was re-initialized: "
         "its classes belong to the interpreter that was finalized")
WORKS = "12:30:45.5 2024-06-01T09:30:00+02:00 False Saturday"

SUBINTERPRETERS = r"""
import sys, _interpreters
kind, steps = sys.argv[1], sys.argv[2:]
USE = '''
from kairodex import OffsetDateTime, Time
print(Time.parse("12:30:45.5"), OffsetDateTime.parse("2024-06-01T09:30:00+02:00"),
      Time.parse is OffsetDateTime.parse, kairodex.Date(2024, 6, 1).weekday())
'''
for step in steps:
    if step == "main":
        import kairodex
        exec(USE)
        continue
    interp = _interpreters.create(_interpreters.new_config(kind))
    try:
        failure = _interpreters.exec(interp, "import kairodex\n" + USE)
    finally:
        _interpreters.destroy(interp)
    print(f"{failure.type.__name__}: {failure.msg}" if failure else "imported")
# What the reported crash did next: a class attribute of one class replaced,
# then the same name looked up on another.
from kairodex import OffsetDateTime, Time
Time.parse = None
print(OffsetDateTime.parse("2024-06-01T09:30:00+02:00").offset)
"""


@pytest.mark.parametrize("kind", ["isolated", "legacy"])
@pytest.mark.parametrize("steps", [["sub", "main"], ["main", "sub", "sub"], ["sub", "main", "sub"]],
                         ids=" ".join)
def test_subinterpreters_are_refused(run_python, kind, steps):
    proc = run_python(SUBINTERPRETERS, kind, *steps)
    assert proc.returncode == 0, proc.stderr
    expected = [WORKS if step == "main" else f"ImportError: {SUB}" for step in steps]
    assert proc.stdout.splitlines() == expected + ["+02:00"]


# The companion modules the same way, each after the main interpreter made
# the calendar classes: a sub-interpreter gets the companion's own refusal,
# never the calendar classes of another interpreter.
COMPANIONS = r"""
import sys, _interpreters
kind, module = sys.argv[1], sys.argv[2]
import kairodex, importlib
importlib.import_module(module)
interp = _interpreters.create(_interpreters.new_config(kind))
try:
    failure = _interpreters.exec(interp, f"import {module}")
finally:
    _interpreters.destroy(interp)
print(f"{failure.type.__name__}: {failure.msg}" if failure else "imported")
"""


@pytest.mark.parametrize("kind", ["isolated", "legacy"])
@pytest.mark.parametrize("module", ["kairodex_tz", "kairodex_columns"])
def test_companion_modules_are_refused_in_subinterpreters(run_python, kind, module):
    proc = run_python(COMPANIONS, kind, module)
    assert proc.returncode == 0, proc.stderr
    assert proc.stdout.splitlines() == [f"ImportError: module {module} does not support loading in subinterpreters"]


EMBED_STEPS = Path(kairodex.__file__).parent.parent / "embedding" / "embed_steps"


@pytest.mark.skipif(not EMBED_STEPS.exists(), reason="the embedding program is built with the module's tests only")
@pytest.mark.parametrize("steps, expected", [
    # finalised and initialised again, as an embedding application may
    ("main restart main restart main", [WORKS, AGAIN, AGAIN]),
    # the old C interface's sub-interpreters, on either side of a restart
    ("sub main sub restart sub main", [SUB, WORKS, SUB, SUB, AGAIN]),
    # the main interpreter never imported it before the restart
    ("restart main sub", [WORKS, SUB]),
])
def test_embedding_application(steps, expected):
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(
        filter(None, [str(Path(kairodex.__file__).parent), os.environ.get("PYTHONPATH")])))
    proc = subprocess.run([str(EMBED_STEPS), *steps.split()], capture_output=True, text=True, env=env, timeout=120)
    assert proc.returncode == 0, proc.stderr
    seen = [line.split(": ", 1) for line in proc.stdout.splitlines()]
    assert [where for where, _ in seen] == [s for s in steps.split() if s != "restart"]
    assert [what.removeprefix("ImportError: ") for _, what in seen] == expected
