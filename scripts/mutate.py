#!/usr/bin/env python3
"""Mutation testing of the C++ sources: which small faults do the tests catch?

Each mutant is one small change to one line of code (never to a comment, a
string or a character literal): a relational operator swapped, an arithmetic
or logical one, a constant moved by one, a condition made false, a statement
deleted. The mutants are drawn with a fixed seed, applied one at a time, and
each is run where it can be caught, stopping at the first environment that
catches it:

  src/lib          the core tests of the default build; for plain code also
                   those of the plain build (KAIRODEX_FAST=OFF), which takes
                   no fast path; for portable.hpp those of the portable build
                   (KAIRODEX_PORTABLE_ARITHMETIC=ON); then the Python suite
                   with the module rebuilt; for a change to a length guard or
                   a read, the core tests run under ASan and UBSan (the same
                   tests, and reads past the end besides) in place of the
                   default build's
  src/python       the Python suite with the module rebuilt

The core tests are built one binary per file (build-mutate/core-*), at -O0,
and a mutant meets the tests of its own file first (date.hpp: date_test).
A mutant whose build fails does not count, unless a static_assert failed: a
test that runs in the compiler caught it. Where every environment builds
exactly the same binaries as from the untouched sources, the mutant is
equivalent there by construction and no test is run. A run that outlives its
time limit (an endless loop) counts as caught. Mutants judged equivalent by
hand are listed in scripts/mutate-equivalent.txt and not counted as
survivors.

The tool runs inside the build root (scripts/dev mutate runs it there). Its
builds live in build-mutate/, beside its report (build-mutate/report.md).
The mutated file is restored after every mutant, and whatever ends the run
(an error, Ctrl-C, SIGTERM); a copy of the file being mutated is kept in
build-mutate/restore/ until then, and a later run puts it back first should
the machine have gone down meanwhile.
"""

from __future__ import annotations

import argparse
import dataclasses
import hashlib
import json
import os
import re
import shlex
import shutil
import signal
import subprocess
import sys
import time
from pathlib import Path

TOP = Path(__file__).resolve().parent.parent
WORK = TOP / "build-mutate"
RESTORE = WORK / "restore"
EQUIVALENT_FILE = TOP / "scripts" / "mutate-equivalent.txt"
PYTHON = os.environ.get("KAIRODEX_MUTATE_PYTHON", "python3.15")
SOURCE_SUFFIXES = (".hpp", ".cpp")

# ---------------------------------------------------------------------------
# Reading code: comments, strings and character literals blanked out
# ---------------------------------------------------------------------------


def code_only(text: str) -> str:
    """The text with every comment, string and character literal replaced by
    spaces (newlines kept), so that offsets stay those of the source."""
    out = list(text)
    i, n = 0, len(text)

    def blank(start: int, end: int) -> None:
        for k in range(start, min(end, n)):
            if out[k] != "\n":
                out[k] = " "

    while i < n:
        c = text[i]
        if text.startswith("//", i):
            end = text.find("\n", i)
            end = n if end < 0 else end
            # A backslash at the end continues a line comment.
            while end < n and end > 0 and text[end - 1] == "\\":
                nxt = text.find("\n", end + 1)
                end = n if nxt < 0 else nxt
            blank(i, end)
            i = end
        elif text.startswith("/*", i):
            end = text.find("*/", i + 2)
            end = n if end < 0 else end + 2
            blank(i, end)
            i = end
        elif c == '"' or (c == "R" and text.startswith('R"', i)) or re.match(r'(u8|u|U|L)R?"', text[i:i + 4]):
            # An identifier that merely ends in R, u or L is no prefix.
            if i > 0 and (text[i - 1].isalnum() or text[i - 1] == "_") and c != '"':
                i += 1
                continue
            m = re.match(r'(u8|u|U|L)?(R)?"', text[i:])
            if m is None:
                i += 1
                continue
            start = i
            i += m.end()
            if m.group(2):
                delim_end = text.find("(", i)
                delimiter = ")" + text[i:delim_end] + '"'
                end = text.find(delimiter, delim_end)
                end = n if end < 0 else end + len(delimiter)
            else:
                end = i
                while end < n and text[end] != '"':
                    end += 2 if text[end] == "\\" else 1
                end += 1
            blank(start, end)
            i = end
        elif c == "'":
            # A digit separator (1'000'000) belongs to a number.
            if i > 0 and (text[i - 1].isalnum() or text[i - 1] == "_") and i + 1 < n and text[i + 1].isalnum():
                j = i - 1
                while j >= 0 and (text[j].isalnum() or text[j] in "_'."):
                    j -= 1
                if text[j + 1].isdigit():
                    i += 1
                    continue
            end = i + 1
            while end < n and text[end] != "'":
                end += 2 if text[end] == "\\" else 1
            blank(i, end + 1)
            i = end + 1
        else:
            i += 1
    return "".join(out)


# ---------------------------------------------------------------------------
# Mutants
# ---------------------------------------------------------------------------


@dataclasses.dataclass
class Mutant:
    path: str  # relative to the checkout
    line: int  # 1-based, in the untouched file
    column: int  # 0-based offset of the change in the line
    operator: str  # family: relational, arithmetic, logical, constant, condition, statement
    description: str  # e.g. "`<` -> `<=` #1"
    original: str  # the whole line as it is
    mutated: str  # the whole line as the mutant has it

    @property
    def key(self) -> tuple[str, str, str]:
        return (self.path, self.original.strip(), self.description)

    @property
    def where(self) -> str:
        return f"{self.path}:{self.line}"


# Binary operators are spaced by .clang-format; template brackets, pointers
# and references are not, so " < " is a comparison and "<" alone is not.
RELATIONAL = {"<": ["<=", ">"], "<=": ["<", ">"], ">": [">=", "<"], ">=": [">", "<"], "==": ["!="], "!=": ["=="]}
ARITHMETIC = {"+": ["-"], "-": ["+"], "*": ["/"], "/": ["*"], "%": ["/"], "<<": [">>"], ">>": ["<<"],
              "&": ["|"], "|": ["&"], "^": ["|"]}
COMPOUND = {"+=": ["-="], "-=": ["+="], "*=": ["/="], "/=": ["*="], "|=": ["&="], "&=": ["|="], "<<=": [">>="],
            ">>=": ["<<="]}
LOGICAL = {"&&": ["||"], "||": ["&&"]}
SPACED = re.compile(r"(?<=\S) (<<=|>>=|<=|>=|==|!=|&&|\|\||\+=|-=|\*=|/=|\|=|&=|<<|>>|<|>|\+|-|\*|/|%|&|\||\^) (?=\S)")
INCREMENT = re.compile(r"\+\+|--")
NUMBER = re.compile(r"(?<![\w.'])(0[xX][0-9A-Fa-f']+|\d[\d']*)([uUlL]*)(?![\w.'])")
BOOLEAN = re.compile(r"\b(true|false)\b")
NEGATION = re.compile(r"!(?!=)")
CONDITION = re.compile(r"\b(if|while) \(")
KEYWORDS = {"return", "const", "constexpr", "auto", "static", "using", "typedef", "if", "for", "while", "else",
            "case", "break", "continue", "default", "switch", "do", "template", "class", "struct", "namespace",
            "public", "private", "protected", "friend", "enum", "inline", "explicit", "virtual", "goto",
            "static_assert", "throw", "delete", "new", "operator", "typename", "union", "extern", "thread_local",
            "constinit", "consteval", "noexcept", "volatile", "signed", "unsigned", "int", "char", "bool", "void",
            "long", "short", "double", "float", "size_t"}
STATEMENT = re.compile(r"^(\s*)([A-Za-z_]\w*)(\s*(\.|->|\(|\[|=|\+=|-=|\*=|/=|\|=|&=|<<=|>>=|\+\+|--)).*;\s*$")


def matching_paren(code: str, open_at: int) -> int:
    depth = 0
    for k in range(open_at, len(code)):
        if code[k] == "(":
            depth += 1
        elif code[k] == ")":
            depth -= 1
            if depth == 0:
                return k
    return -1


def platform_only(directive: str) -> bool:
    """Whether a condition holds only on a platform no environment here
    builds for natively (MSVC, Windows)."""
    for m in re.finditer(r"\b(_MSC_VER|_WIN32)\b", directive):
        before = directive[:m.start()].rstrip()
        if not (before.endswith("!defined(") or before.endswith("!")):
            return True
    return False


def skipped_lines(code_lines: list[str]) -> set[int]:
    """Preprocessor lines, and the lines of branches that only MSVC or
    Windows compile: 0-based indices."""
    skipped: set[int] = set()
    stack: list[bool] = []
    for index, line in enumerate(code_lines):
        stripped = line.strip()
        continued = index > 0 and (index - 1) in skipped and code_lines[index - 1].rstrip().endswith("\\")
        if stripped.startswith("#") or continued:
            skipped.add(index)
            directive = stripped[1:].strip()
            if directive.startswith("ifndef"):
                stack.append(False)
            elif directive.startswith(("ifdef", "if")):
                stack.append(platform_only(directive))
            elif directive.startswith("elif") and stack:
                stack[-1] = platform_only(directive)
            elif directive.startswith("else") and stack:
                stack[-1] = False
            elif directive.startswith("endif") and stack:
                stack.pop()
            continue
        if any(stack):
            skipped.add(index)
    return skipped


def mutants_of(path: str, text: str) -> list[Mutant]:
    code = code_only(text)
    lines = text.split("\n")
    code_lines = code.split("\n")
    skipped = skipped_lines(code_lines)
    found: list[Mutant] = []

    def add(index: int, start: int, end: int, replacement: str, operator: str, description: str) -> None:
        line = lines[index]
        found.append(Mutant(path, index + 1, start, operator, description, line,
                            line[:start] + replacement + line[end:]))

    for index, code_line in enumerate(code_lines):
        if index in skipped or not code_line.strip():
            continue
        # Declarations of operators ("operator<", "operator+=") are no uses.
        if re.search(r"\boperator\s*\S+\s*\(", code_line) and "return" not in code_line and "{" not in code_line:
            continue
        seen: dict[str, int] = {}

        def nth(token: str) -> int:
            seen[token] = seen.get(token, 0) + 1
            return seen[token]

        for m in SPACED.finditer(code_line):
            token = m.group(1)
            start, end = m.start(1), m.end(1)
            # "operator<" and similar names: not an expression.
            if code_line[:m.start()].rstrip().endswith("operator"):
                continue
            k = nth(token)
            for table, family in ((RELATIONAL, "relational"), (ARITHMETIC, "arithmetic"), (COMPOUND, "arithmetic"),
                                  (LOGICAL, "logical")):
                for replacement in table.get(token, []):
                    add(index, start, end, replacement, family, f"`{token}` -> `{replacement}` #{k}")
        for m in INCREMENT.finditer(code_line):
            if code_line[:m.start()].rstrip().endswith("operator"):
                continue
            token = m.group(0)
            replacement = "--" if token == "++" else "++"
            add(index, m.start(), m.end(), replacement, "arithmetic", f"`{token}` -> `{replacement}` #{nth(token)}")
        for m in NUMBER.finditer(code_line):
            digits = m.group(1).replace("'", "")
            value = int(digits, 16) if digits[:2] in ("0x", "0X") else int(digits, 10)
            k = nth("number " + m.group(1))
            for delta in (1, -1):
                if value + delta < 0:
                    continue
                new = hex(value + delta) if digits[:2] in ("0x", "0X") else str(value + delta)
                add(index, m.start(1), m.end(1), new, "constant",
                    f"`{m.group(1)}` -> `{new}` #{k}")
        for m in BOOLEAN.finditer(code_line):
            token = m.group(1)
            replacement = "false" if token == "true" else "true"
            add(index, m.start(), m.end(), replacement, "constant", f"`{token}` -> `{replacement}` #{nth(token)}")
        for m in NEGATION.finditer(code_line):
            # "!x", "!(...)" and "!f(...)": the negation dropped.
            if code_line[m.start() - 1:m.start()] in ("!", "=", "<", ">") or code_line.startswith("operator", m.start() - 8):
                continue
            add(index, m.start(), m.end(), "", "logical", f"`!` deleted #{nth('!')}")
        for m in CONDITION.finditer(code_line):
            open_at = m.end() - 1
            close = matching_paren(code_line, open_at)
            if close < 0:
                continue
            # "if constexpr" and "if (init; cond)" are left alone.
            inner = code_line[open_at + 1:close]
            if ";" in inner:
                continue
            add(index, open_at + 1, close, "false", "condition", f"`{m.group(1)}` condition -> false #{nth(m.group(1))}")
        sm = STATEMENT.match(code_line)
        if sm and sm.group(2) not in KEYWORDS and "{" not in code_line and "}" not in code_line:
            # One whole statement on its line, no declaration: deleted.
            line = lines[index]
            indent = len(sm.group(1))
            found.append(Mutant(path, index + 1, indent, "statement", "statement deleted", line,
                                line[:indent] + ";"))
        # A guard on one line, "if (...) return ...;", deleted.
        gm = re.match(r"^(\s*)if \(", code_line)
        if gm and code_line.rstrip().endswith(";") and "{" not in code_line and " else" not in code_line:
            close = matching_paren(code_line, code_line.index("("))
            if close > 0:
                line = lines[index]
                found.append(Mutant(path, index + 1, len(gm.group(1)), "statement", "guard deleted", line,
                                    gm.group(1) + ";"))
    return found


# ---------------------------------------------------------------------------
# Environments
# ---------------------------------------------------------------------------


@dataclasses.dataclass
class Environment:
    name: str
    build: Path
    cmake_args: list[str]
    kind: str  # "core": one test binary per file of tests/core; "python": the module and pytest
    target: str = ""  # python: what a mutant rebuilds
    artifact: str = ""  # python: the binary compared with the untouched one
    run: list[str] = dataclasses.field(default_factory=list)
    env: dict[str, str] = dataclasses.field(default_factory=dict)
    configured: bool = False
    pristine: dict[str, str] = dataclasses.field(default_factory=dict)  # unit -> digest of its binary
    seconds: dict[str, float] = dataclasses.field(default_factory=dict)  # unit -> time of its untouched run


SANITIZE = "-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"


# The core tests, one binary per file, for the mutants of the core: a
# mutant is built and run first with the tests of its own file (date.hpp:
# date_test.cpp), which catch most mutants in a few seconds, and only then
# with the others. The project's own build makes them
# (KAIRODEX_CORE_TESTS_PER_FILE), at -O0, where they build in a third of the
# time and still run in seconds.

# The test file that a source file's mutants meet first.
HOME_TESTS = {
    "fast/day_count.hpp": "date_test", "fast/leap_year.hpp": "date_test", "fast/short_steps.hpp": "date_test",
    "fast/unix_nanos.hpp": "datetime_test", "fast/fixed_layout.hpp": "fixed_layout_test",
    "fast/digit_words.hpp": "text_buffer_test", "fast/text_words.hpp": "text_buffer_test",
    "text_scan.hpp": "date_test", "values.hpp": "calendar_order_test", "value_hash.hpp": "value_hasher_test",
    "clock.hpp": "datetime_test",
}


LIKELY_TESTS = ["datetime_test", "offset_datetime_test", "date_test", "time_test", "text_buffer_test",
                "fixed_layout_test", "utc_offset_test", "duration_test"]


def core_units() -> list[str]:
    return sorted(p.stem for p in (TOP / "tests" / "core").glob("*.cpp"))


def home_units(mutant: Mutant) -> list[str]:
    relative = mutant.path.removeprefix("src/lib/kairodex/")
    home = HOME_TESTS.get(relative, Path(relative).stem + "_test")
    return [home] if home in core_units() else []


def environments(python: str) -> dict[str, Environment]:
    python_path = shutil.which(python) or python
    project = ["-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release", "-DCMAKE_CXX_FLAGS_RELEASE=-O0 -DNDEBUG",
               "-DKAIRODEX_WERROR=ON", f"-DPython_EXECUTABLE={python_path}"]
    core = ["-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release", "-DCMAKE_CXX_FLAGS_RELEASE=-O0 -DNDEBUG",
            "-DKAIRODEX_WERROR=ON", "-DKAIRODEX_BUILD_MODULE=OFF", "-DKAIRODEX_CORE_TESTS_PER_FILE=ON"]
    pytest = [python, "-m", "pytest", "-x", "-q", "-p", "no:cacheprovider", "--hypothesis-seed=0"]
    values = pytest + ["tests/python", "-m", "not frame"]
    envs = {
        "default": Environment("default", WORK / "core-default", core, "core"),
        "plain": Environment("plain", WORK / "core-plain", core + ["-DKAIRODEX_FAST=OFF"], "core"),
        "portable": Environment("portable", WORK / "core-portable",
                                core + ["-DKAIRODEX_PORTABLE_ARITHMETIC=ON"], "core"),
        "sanitize": Environment("sanitize", WORK / "core-sanitize",
                                core + ["-DCMAKE_CXX_COMPILER=g++", f"-DCMAKE_CXX_FLAGS={SANITIZE} -g",
                                        f"-DCMAKE_EXE_LINKER_FLAGS={SANITIZE}"], "core",
                                env={"ASAN_OPTIONS": "detect_leaks=0:abort_on_error=1",
                                     "UBSAN_OPTIONS": "print_stacktrace=1:halt_on_error=1"}),
        # For a mutant of the core: the value suites, leaving out the frame's
        # (leaks, failed allocations, threads, embedding; the "frame" mark of
        # tests/python/conftest.py), which take most of the suite's time and
        # see the core's results no more closely.
        "python": Environment("python", WORK / "default", project, "python", "kairodex", "python/{module}",
                              values, {"PYTHONPATH": "{build}/python"}),
        # For a mutant of the frame: the whole suite, the quick value suites
        # first. Not test_linkage.py: it checks the libraries an optimised
        # build needs, and at -O0 the statically linked C++ runtime brings
        # more of its own (thread-local storage, call_once) than any shipped
        # build does.
        "python-full": Environment("python-full", WORK / "default", project, "python", "kairodex",
                                   "python/{module}",
                                   ["sh", "-c", shlex.join(values) + " && " + shlex.join(
                                       pytest + ["tests/python", "-m", "frame",
                                                 "--ignore=tests/python/test_linkage.py"])],
                                   {"PYTHONPATH": "{build}/python"}),
    }
    return envs


# Lines that guard a length or read memory: their mutants also run under the
# sanitizers, which see a read past the end that no result shows.
GUARD = re.compile(r"size\(\)|\.empty\(\)|\blength\b|load|memcpy|remove_prefix|remove_suffix|\b(text|bytes|rest|field)\[|\bat\b")


def stages_for(mutant: Mutant) -> list[str]:
    path = mutant.path
    if path.startswith("src/python/"):
        return ["python-full"]
    # The sanitizer build runs the same tests as the default one and sees
    # reads past the end besides: it takes the default build's place for the
    # mutants of lengths and reads.
    default = "sanitize" if GUARD.search(mutant.original) else "default"
    stages = [default]
    if path.endswith("portable.hpp"):
        stages = ["portable", default]
    elif "/fast/" not in path:
        # Plain code that the default build's fast paths may bypass.
        stages.append("plain")
    stages.append("python")
    return stages


# ---------------------------------------------------------------------------
# Running
# ---------------------------------------------------------------------------


def log(message: str) -> None:
    print(f"mutate: {message}", file=sys.stderr, flush=True)


def run(command: list[str], timeout: float | None, env: dict[str, str] | None = None,
        capture: Path | None = None) -> tuple[int | None, float]:
    """Return code (None when the time ran out) and seconds taken."""
    start = time.monotonic()
    full_env = dict(os.environ)
    if env:
        full_env.update(env)
    with open(capture or os.devnull, "w") as out:
        process = subprocess.Popen(command, cwd=TOP, env=full_env, stdout=out, stderr=subprocess.STDOUT,
                                   start_new_session=True)
        try:
            code = process.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()
            code = None
        except BaseException:
            os.killpg(process.pid, signal.SIGKILL)
            process.wait()
            raise
    return code, time.monotonic() - start


def fill(words: list[str], environment: Environment, module: str) -> list[str]:
    return [w.format(build=environment.build, module=module) for w in words]


class Runner:
    def __init__(self, args: argparse.Namespace):
        self.args = args
        self.envs = environments(args.python)
        self.module = ""
        self.logs = WORK / "logs"
        self.ready: set[str] = set()

    def module_name(self, environment: Environment) -> str:
        found = sorted((environment.build / "python").glob("kairodex*.so"))
        return found[0].name if found else "kairodex.so"

    def configure(self, environment: Environment, log_file: Path) -> None:
        if environment.configured:
            return
        environment.build.mkdir(parents=True, exist_ok=True)
        source = TOP
        if not (environment.build / "build.ninja").exists():
            code, _ = run(["cmake", "-S", str(source), "-B", str(environment.build)] + environment.cmake_args,
                          None, capture=log_file)
            if code != 0:
                raise SystemExit(f"mutate: configuring {environment.build} failed, see {log_file}")
        environment.configured = True

    def build(self, environment: Environment, log_file: Path, targets: list[str]) -> bool:
        self.configure(environment, log_file)
        code, _ = run(["cmake", "--build", str(environment.build), "--target", *targets, "--", "-j2"],
                      self.args.build_timeout, capture=log_file)
        return code == 0

    def binary(self, environment: Environment, unit: str) -> Path:
        if environment.kind == "core":
            return environment.build / unit
        return environment.build / environment.artifact.format(module=self.module_name(environment))

    def digest(self, environment: Environment, unit: str) -> str:
        path = self.binary(environment, unit)
        return hashlib.sha256(path.read_bytes()).hexdigest() if path.exists() else ""

    def test(self, environment: Environment, unit: str, log_file: Path, timeout: float | None) -> int | None:
        env = {k: v.format(build=environment.build) for k, v in environment.env.items()}
        if environment.kind == "core":
            command = [str(self.binary(environment, unit)), "--gtest_brief=1"]
        else:
            command = fill(environment.run, environment, self.module_name(environment))
        code, _ = run(command, timeout, env, capture=log_file)
        return code

    def units(self, environment: Environment) -> list[str]:
        return core_units() if environment.kind == "core" else [environment.name]

    def targets(self, environment: Environment, units: list[str]) -> list[str]:
        return units if environment.kind == "core" else [environment.target]

    def baseline(self, names: list[str]) -> None:
        """Builds each environment from the untouched sources, runs its tests
        (which must pass) and notes its binaries and their times: each one
        when a mutant first needs it, so a run builds no environment it does
        not use."""
        self.logs.mkdir(parents=True, exist_ok=True)
        for name in [n for n in names if n not in self.ready]:
            self.ready.add(name)
            environment = self.envs[name]
            log_file = self.logs / f"baseline-{name}.log"
            log(f"baseline: building {name} in {environment.build.relative_to(TOP)}")
            # Everything at first: the Python suite also runs the embedding
            # program beside the module.
            if not self.build(environment, log_file, ["all"]):
                raise SystemExit(f"mutate: the untouched sources do not build ({name}), see {log_file}")
            for unit in self.units(environment):
                environment.pristine[unit] = self.digest(environment, unit)
                start = time.monotonic()
                code = self.test(environment, unit, log_file, None)
                environment.seconds[unit] = time.monotonic() - start
                if code != 0:
                    raise SystemExit(f"mutate: the tests fail on the untouched sources ({name} {unit}), "
                                     f"see {log_file}")
            log(f"baseline: {name} passes in {sum(environment.seconds.values()):.0f} s")

    def timeout(self, environment: Environment, unit: str) -> float:
        return max(30.0, self.args.timeout_factor * environment.seconds.get(unit, 0.0))

    def steps(self, mutant: Mutant) -> list[tuple[str, list[str]]]:
        """Environments and the test units of each, in the order they run."""
        steps: list[tuple[str, list[str]]] = []
        for name in stages_for(mutant):
            environment = self.envs[name]
            if environment.kind != "core":
                steps.append((name, [name]))
                continue
            home = home_units(mutant)
            if home:
                steps.append((name, home))
            # Then two at a time (the two cores), those that read and write
            # most of the core first, so that a mutant stops where it is caught.
            rest = [unit for unit in LIKELY_TESTS if unit in core_units() and unit not in home]
            rest += [unit for unit in core_units() if unit not in home and unit not in rest]
            steps.extend((name, rest[i:i + 2]) for i in range(0, len(rest), 2))
        return steps

    def judge(self, mutant: Mutant, number: int) -> dict:
        """Applies the mutant, runs it through its stages, restores the file."""
        result = {"outcome": "survived", "stage": "", "identical": [], "seconds": 0.0}
        start = time.monotonic()
        log_file = self.logs / f"mutant-{number:04d}.log"
        target = TOP / mutant.path
        original = target.read_bytes()
        text = original.decode()
        lines = text.split("\n")
        assert lines[mutant.line - 1] == mutant.original, f"{mutant.where} changed since the mutants were drawn"
        lines[mutant.line - 1] = mutant.mutated
        mutated = "\n".join(lines).encode()
        RESTORE.mkdir(parents=True, exist_ok=True)
        saved = RESTORE / mutant.path.replace("/", "__")
        (RESTORE / "path").write_text(mutant.path)
        saved.write_bytes(original)
        try:
            write_touching(target, mutated)
            built: set[str] = set()  # environments that built the mutant
            tested_any = False
            decided = False
            for name, units in self.steps(mutant):
                environment = self.envs[name]
                if name not in self.ready:
                    # An environment's first use: built and run from the
                    # untouched sources first.
                    write_touching(target, original)
                    self.baseline([name])
                    write_touching(target, mutated)
                if not self.build(environment, log_file, self.targets(environment, units)):
                    if compile_time_test_failed(log_file):
                        # A test that runs in the compiler: a static_assert.
                        result["outcome"], result["stage"] = "killed", f"{name} (static_assert)"
                    elif built - {name}:
                        # Built elsewhere, refused here (a warning is an
                        # error): the build of this environment catches it.
                        result["outcome"], result["stage"] = "killed", f"{name} (build)"
                    else:
                        result["outcome"], result["stage"] = "did not compile", name
                    decided = True
                    break
                built.add(name)
                for unit in units:
                    if self.digest(environment, unit) == environment.pristine[unit]:
                        continue
                    tested_any = True
                    code = self.test(environment, unit, log_file, self.timeout(environment, unit))
                    if code != 0:
                        where = name if environment.kind != "core" else f"{name} {unit}"
                        result["outcome"] = "killed"
                        result["stage"] = where + (" (timeout)" if code is None else "")
                        decided = True
                        break
                if decided:
                    break
            if not decided and not tested_any:
                result["outcome"] = "identical binaries"
                result["identical"] = sorted(built)
        finally:
            write_touching(target, original)
            saved.unlink()
        result["seconds"] = time.monotonic() - start
        return result


def compile_time_test_failed(log_file: Path) -> bool:
    text = log_file.read_text(errors="replace")
    return "static assertion failed" in text or "non-constant condition for static assertion" in text


def write_touching(path: Path, data: bytes) -> None:
    path.write_bytes(data)
    now = time.time_ns()
    os.utime(path, ns=(now, now))


def restore_leftover() -> None:
    """Puts back a file that an earlier run, ended by force, left mutated."""
    if not RESTORE.exists():
        return
    marker = RESTORE / "path"
    for saved in RESTORE.iterdir():
        if saved.name == "path":
            continue
        relative = saved.name.replace("__", "/")
        log(f"restoring {relative}, left mutated by an earlier run")
        write_touching(TOP / relative, saved.read_bytes())
        saved.unlink()
    if marker.exists():
        marker.unlink()


# ---------------------------------------------------------------------------
# Equivalent mutants judged by hand
# ---------------------------------------------------------------------------


def read_equivalent() -> dict[tuple[str, str, str], str]:
    """scripts/mutate-equivalent.txt: one mutant a line, fields separated by
    " | ": file, the line's text (stripped), the mutation as the report
    names it, the reason."""
    judged: dict[tuple[str, str, str], str] = {}
    if not EQUIVALENT_FILE.exists():
        return judged
    for number, line in enumerate(EQUIVALENT_FILE.read_text().splitlines(), 1):
        if not line.strip() or line.startswith("#"):
            continue
        # The code line may hold " | " itself: the file is the first field,
        # the mutation and the reason the last two.
        first = line.split(" | ", 1)
        fields = [first[0].strip()] + [f.strip() for f in first[-1].rsplit(" | ", 2)] if len(first) == 2 else []
        if len(fields) != 4:
            raise SystemExit(f"mutate: {EQUIVALENT_FILE.name}:{number}: four fields separated by ' | ' expected")
        judged[(fields[0], fields[1], fields[2])] = fields[3]
    return judged


# ---------------------------------------------------------------------------
# The run
# ---------------------------------------------------------------------------


def source_files(paths: list[str]) -> list[str]:
    files: list[str] = []
    for given in paths:
        path = (TOP / given).resolve()
        if path.is_file():
            files.append(str(path.relative_to(TOP)))
        else:
            files.extend(str(p.relative_to(TOP)) for p in sorted(path.rglob("*")) if p.suffix in SOURCE_SUFFIXES)
    return sorted(set(files))


def draw(paths: list[str], budget: int, seed: int) -> list[Mutant]:
    every: list[Mutant] = []
    for path in source_files(paths):
        every.extend(mutants_of(path, (TOP / path).read_text()))
    # Each mutant's place is a hash of the seed and its key (file, line text,
    # mutation), not a shuffle of the whole list: an edit elsewhere adds or
    # removes mutants without moving the others, so a sample stays the same
    # sample while tests are added and dead code is removed.
    def rank(mutant: Mutant) -> tuple[str, int]:
        key = "\0".join((str(seed), *mutant.key))
        return hashlib.sha256(key.encode()).hexdigest(), mutant.line

    every.sort(key=rank)
    return every[:budget] if budget > 0 else every


def save_results(results: list[tuple[Mutant, dict]]) -> None:
    entries = [dict(result, key=list(mutant.key), where=mutant.where) for mutant, result in results]
    (WORK / "results.json").write_text(json.dumps(entries, indent=1) + "\n")


def write_report(path: Path, args: argparse.Namespace, results: list[tuple[Mutant, dict]], total: int,
                 elapsed: float) -> dict:
    counts: dict[str, int] = {}
    per_file: dict[str, dict[str, int]] = {}
    per_operator: dict[str, dict[str, int]] = {}
    for mutant, result in results:
        outcome = result["outcome"]
        counts[outcome] = counts.get(outcome, 0) + 1
        for table, key in ((per_file, mutant.path), (per_operator, mutant.operator)):
            row = table.setdefault(key, {})
            row[outcome] = row.get(outcome, 0) + 1
    killed = counts.get("killed", 0)
    survived = counts.get("survived", 0)
    score = killed / (killed + survived) if killed + survived else 1.0
    columns = ["killed", "survived", "equivalent", "identical binaries", "did not compile", "code removed"]
    lines = [
        "# Mutation run",
        "",
        f"Paths: {' '.join(args.paths)}; seed {args.seed}; {len(results)} of {total} mutants drawn; "
        f"{elapsed / 60:.1f} min.",
        "",
        f"**Score: {killed} killed of {killed + survived} non-equivalent mutants that compile ({score:.1%}).** "
        f"Equivalent: {counts.get('equivalent', 0)} judged by hand (scripts/mutate-equivalent.txt), "
        f"{counts.get('identical binaries', 0)} building the same binaries everywhere; "
        f"{counts.get('did not compile', 0)} did not compile; {counts.get('code removed', 0)} went with code "
        f"removed since.",
        "",
    ]
    for title, table in (("File", per_file), ("Operator", per_operator)):
        lines.append(f"| {title} | " + " | ".join(columns) + " |")
        lines.append("|---" * (len(columns) + 1) + "|")
        for key in sorted(table):
            lines.append(f"| {key} | " + " | ".join(str(table[key].get(c, 0)) for c in columns) + " |")
        lines.append("")
    lines.append("## Survivors")
    lines.append("")
    for mutant, result in results:
        if result["outcome"] == "survived":
            lines.append(f"- {mutant.where} {mutant.operator}: {mutant.description} "
                         f"(ran: {', '.join(stages_for(mutant))})")
            lines.append(f"  - `{mutant.original.strip()}`")
            lines.append(f"  + `{mutant.mutated.strip()}`")
            lines.append(f"  key: `{mutant.path} | {mutant.original.strip()} | {mutant.description}`")
    lines.append("")
    lines.append("## Equivalent")
    lines.append("")
    for mutant, result in results:
        if result["outcome"] in ("equivalent", "identical binaries"):
            why = result.get("reason") or "the same binaries in " + ", ".join(result["identical"])
            lines.append(f"- {mutant.where}: {mutant.description} in `{mutant.original.strip()}`: {why}")
    lines.append("")
    lines.append("## Killed, by where")
    lines.append("")
    stages: dict[str, int] = {}
    for _, result in results:
        if result["outcome"] == "killed":
            stages[result["stage"]] = stages.get(result["stage"], 0) + 1
    for stage in sorted(stages):
        lines.append(f"- {stage}: {stages[stage]}")
    path.write_text("\n".join(lines) + "\n")
    return {"killed": killed, "survived": survived, "score": score, **counts}


def set_top(top: Path) -> None:
    global TOP, WORK, RESTORE, EQUIVALENT_FILE
    TOP = top
    WORK = TOP / "build-mutate"
    RESTORE = WORK / "restore"
    EQUIVALENT_FILE = TOP / "scripts" / "mutate-equivalent.txt"


def main() -> int:
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("paths", nargs="*", default=["src/lib", "src/python"])
    parser.add_argument("--budget", type=int, default=0, help="mutants to run (0: all)")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--report", type=Path, default=WORK / "report.md")
    parser.add_argument("--list", action="store_true", help="list the mutants drawn, run nothing")
    parser.add_argument("--match", help="only the mutants whose 'file:line mutation: line => mutated line' this regex finds")
    parser.add_argument("--python", default=PYTHON)
    parser.add_argument("--timeout-factor", type=float, default=5.0,
                        help="a run may take this many times the untouched run's time")
    parser.add_argument("--build-timeout", type=float, default=900.0)
    parser.add_argument("--tree", type=Path, default=None,
                        help="mutate this copy of the checkout instead of the checkout itself")
    parser.add_argument("--resume", type=Path, default=None,
                        help="results.json of an earlier run: its killed mutants, those that built the same binaries "
                             "and those that did not build are taken as they were (tests are only ever added), "
                             "the survivors run again")
    parser.add_argument("--report-only", action="store_true",
                        help="run nothing: the report of the --resume file's mutants (as far as the sample runs "
                             "unbroken) with the equivalent mutants as the list has them now")
    parser.add_argument("--fail-on-survivor", action="store_true",
                        help="exit with status 1 when a non-equivalent mutant survives")
    args = parser.parse_args()
    if args.tree is not None:
        set_top(args.tree.resolve())
        if args.report == parser.get_default("report"):
            args.report = WORK / "report.md"

    restore_leftover()
    mutants = draw(args.paths, 0, args.seed)
    if args.match:
        pattern = re.compile(args.match)
        mutants = [m for m in mutants if pattern.search(f"{m.where} {m.description}: {m.original.strip()} => {m.mutated.strip()}")]
    total = len(mutants)
    if args.budget > 0:
        mutants = mutants[:args.budget]
    if args.list:
        for mutant in mutants:
            print(f"{mutant.where}: {mutant.operator}: {mutant.description}: {mutant.mutated.strip()}")
        print(f"{len(mutants)} of {total} mutants", file=sys.stderr)
        return 0
    judged = read_equivalent()
    earlier: dict[tuple[str, str, str], dict] = {}
    if args.resume is not None:
        for entry in json.loads(args.resume.read_text()):
            if entry["outcome"] in ("killed", "identical binaries", "did not compile"):
                earlier[tuple(entry["key"])] = entry

    if args.report_only:
        if args.resume is None:
            parser.error("--report-only needs --resume")
        # The earlier run's mutants in its order, found again by their keys;
        # a mutant whose line is gone went with code removed since.
        # Lines of the same text share a key: the one at the line the earlier
        # run noted is taken where there still is one.
        current: dict[tuple[str, str, str], list[Mutant]] = {}
        for mutant in draw(args.paths, 0, args.seed):
            current.setdefault(mutant.key, []).append(mutant)
        results = []
        for entry in json.loads(args.resume.read_text())[:args.budget or None]:
            key = tuple(entry["key"])
            if key in current:
                line = int(entry["where"].rsplit(":", 1)[1])
                mutant = next((m for m in current[key] if m.line == line), current[key][0])
            else:
                path, original, description = key
                mutant = Mutant(path, int(entry["where"].rsplit(":", 1)[1]), 0, "removed", description, original, "")
                entry = dict(entry, outcome="code removed")
            if key in judged:
                entry = {"outcome": "equivalent", "reason": judged[key], "stage": "", "identical": [],
                         "seconds": entry.get("seconds", 0)}
            results.append((mutant, entry))
        WORK.mkdir(parents=True, exist_ok=True)
        summary = write_report(args.report, args, results, total, sum(r.get("seconds", 0) for _, r in results))
        log(f"{len(results)} mutants: {summary['killed']} killed, {summary['survived']} survived "
            f"({summary['score']:.1%}); report: {args.report}")
        return 0

    # Signals end the run through the finally blocks that restore the file.
    def stop(signum, frame):
        raise KeyboardInterrupt(f"signal {signum}")

    for signum in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, stop)

    WORK.mkdir(parents=True, exist_ok=True)
    before = {path: hashlib.sha256((TOP / path).read_bytes()).hexdigest()
              for path in sorted({mutant.path for mutant in mutants})}
    runner = Runner(args)
    start = time.monotonic()
    results: list[tuple[Mutant, dict]] = []
    try:
        for number, mutant in enumerate(mutants, 1):
            if mutant.key in judged:
                result = {"outcome": "equivalent", "reason": judged[mutant.key], "stage": "", "identical": []}
            elif mutant.key in earlier:
                result = dict(earlier[mutant.key])
                result["stage"] = (result.get("stage") or "") + " (earlier run)"
            else:
                result = runner.judge(mutant, number)
            results.append((mutant, result))
            log(f"[{number}/{len(mutants)}] {mutant.where} {mutant.description}: {result['outcome']}"
                f"{' in ' + result['stage'] if result.get('stage') else ''}"
                f" ({result.get('seconds', 0):.0f} s)")
            write_report(args.report, args, results, total, time.monotonic() - start)
            save_results(results)
    except KeyboardInterrupt:
        log("interrupted; the sources are as they were")
        write_report(args.report, args, results, total, time.monotonic() - start)
        return 130
    finally:
        restore_leftover()
    # Every file as it was before the run, byte for byte.
    changed = [path for path, digest in before.items()
               if hashlib.sha256((TOP / path).read_bytes()).hexdigest() != digest]
    if changed:
        log(f"these files differ from before the run: {' '.join(changed)}")
        return 2
    summary = write_report(args.report, args, results, total, time.monotonic() - start)
    (WORK / "summary.json").write_text(json.dumps(summary, indent=1) + "\n")
    log(f"{summary['killed']} killed, {summary['survived']} survived ({summary['score']:.1%}); "
        f"report: {args.report.relative_to(TOP) if args.report.is_relative_to(TOP) else args.report}")
    if args.fail_on_survivor and summary["survived"]:
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
