"""What kairodex runs on, for the pages: read from docs/data/support.toml.

The pages never write an interpreter, a wheel or the version by hand; they
take them from here:

- substitutions for the prose: ``|interpreters|`` ("CPython 3.13, 3.14 and
  3.15"), ``|interpreters-or|``, ``|free-threaded|`` ("free-threaded CPython
  3.13"), ``|untested-free-threaded|``, ``|wheel-systems|``, ``|sdist|`` (the
  source archive's name, as code) and ``|release-state|`` ("not yet
  released", or the date, from CHANGELOG.md's heading of the version);
- ``.. support-matrix::``: every system and interpreter, how kairodex
  installs there and how it is tested;
- ``.. wheel-list::``: the wheels, one per interpreter and system;
- ``.. versioned-code:: LANGUAGE``: a code block in which ``{version}``,
  ``{sdist}`` and ``{wheel:ABI}`` (the wheel of that ABI tag, say cp315, for
  the first system with wheels) are filled in.

The generated tables sit in a ``kairodex-support`` container, which
docs/test_site.py leaves out when it reads the hand-written text for claims.

The same functions give README.md's wheel table and the package's
classifiers, which docs/test_site.py checks; run as a script with
``--write-readme`` this file rewrites the README's table from the list.
"""

import re
import sys
import tomllib
from dataclasses import dataclass
from pathlib import Path

TOP = Path(__file__).resolve().parent.parent.parent
TABLE = TOP / "docs" / "data" / "support.toml"
PYPROJECT = TOP / "pyproject.toml"
CHANGELOG = TOP / "CHANGELOG.md"
README = TOP / "README.md"
# The README's wheel table lies between these two lines.
README_START = "<!-- The wheels, from docs/data/support.toml: python3 docs/_ext/kairodex_support.py --write-readme -->"
README_END = "<!-- end of the wheels -->"


@dataclass(frozen=True)
class Interpreter:
    name: str  # "3.13", "3.13t"
    tag: str  # the wheel's Python tag, "cp313"
    abi: str  # the wheel's ABI tag, "cp313t"
    free_threaded: bool
    supported: bool

    @property
    def version(self) -> str:
        return self.name.removesuffix("t")

    @property
    def label(self) -> str:
        return f"CPython {self.version}" + (", free-threaded" if self.free_threaded else "")


@dataclass(frozen=True)
class Group:
    interpreters: tuple[Interpreter, ...]
    install: str  # "wheel" or "source"
    tested: str
    environments: tuple[str, ...]


@dataclass(frozen=True)
class System:
    name: str
    wheel_tag: str | None
    classifier: str | None
    needs: str | None
    groups: tuple[Group, ...]


@dataclass(frozen=True)
class Wheel:
    interpreter: Interpreter
    system: System
    name: str


@dataclass(frozen=True)
class Support:
    version: str
    interpreters: tuple[Interpreter, ...]
    systems: tuple[System, ...]

    @property
    def sdist(self) -> str:
        return f"kairodex-{self.version}.tar.gz"

    def supported(self, free_threaded: bool | None = None) -> list[Interpreter]:
        return [i for i in self.interpreters
                if i.supported and (free_threaded is None or i.free_threaded == free_threaded)]

    def unsupported(self) -> list[Interpreter]:
        return [i for i in self.interpreters if not i.supported]

    def wheels(self) -> list[Wheel]:
        """Every wheel, by interpreter in the list's order, then by system."""
        found = [Wheel(interpreter, system,
                       f"kairodex-{self.version}-{interpreter.tag}-{interpreter.abi}-{system.wheel_tag}.whl")
                 for system in self.systems for group in system.groups if group.install == "wheel"
                 for interpreter in group.interpreters]
        order = {interpreter: n for n, interpreter in enumerate(self.interpreters)}
        return sorted(found, key=lambda w: (order[w.interpreter], self.systems.index(w.system)))

    def wheel_systems(self) -> list[System]:
        return [s for s in self.systems if any(g.install == "wheel" for g in s.groups)]

    def classifiers(self) -> set[str]:
        """The classifiers that the list decides: the Python versions, and the
        operating systems with wheels."""
        versions = {f"Programming Language :: Python :: {i.version}" for i in self.supported()}
        return versions | {s.classifier for s in self.wheel_systems()}

    def environments(self) -> set[str]:
        return {e for s in self.systems for g in s.groups for e in g.environments}


def english(items: list[str], conjunction: str = "and") -> str:
    """'a', 'a and b', 'a, b and c'."""
    return items[0] if len(items) == 1 else f"{', '.join(items[:-1])} {conjunction} {items[-1]}"


def version_list(interpreters: list[Interpreter], conjunction: str = "and") -> str:
    """'CPython 3.13, 3.14 and 3.15'."""
    return "CPython " + english([i.version for i in interpreters], conjunction)


def project_version(pyproject: Path = PYPROJECT) -> str:
    return tomllib.loads(pyproject.read_text(encoding="utf-8"))["project"]["version"]


def load(table: Path = TABLE, pyproject: Path = PYPROJECT) -> Support:
    """The list, checked for what would make the pages wrong."""
    data = tomllib.loads(table.read_text(encoding="utf-8"))
    interpreters = tuple(Interpreter(i["name"], i["tag"], i["abi"], i.get("free_threaded", False),
                                     i.get("supported", True)) for i in data["interpreter"])
    by_name = {i.name: i for i in interpreters}
    systems = []
    for s in data["system"]:
        groups = []
        for g in s.get("group", []):
            unknown = [name for name in g["interpreters"] if name not in by_name]
            if unknown:
                raise ValueError(f"{table.name}: {s['name']} names unknown interpreters {unknown}")
            if g["install"] not in ("wheel", "source"):
                raise ValueError(f"{table.name}: {s['name']}: install is 'wheel' or 'source', not {g['install']!r}")
            if g["install"] == "wheel" and not s.get("wheel_tag"):
                raise ValueError(f"{table.name}: {s['name']} has wheels but no wheel_tag")
            members = tuple(by_name[name] for name in g["interpreters"])
            if any(not i.supported for i in members):
                raise ValueError(f"{table.name}: {s['name']} tests an interpreter marked unsupported")
            groups.append(Group(members, g["install"], " ".join(g["tested"].split()),
                                tuple(g.get("environments", ()))))
        named = [i for g in groups for i in g.interpreters]
        if len(named) != len(set(named)):
            raise ValueError(f"{table.name}: {s['name']} names an interpreter twice")
        systems.append(System(s["name"], s.get("wheel_tag"), s.get("classifier"),
                              " ".join(s["needs"].split()) if "needs" in s else None, tuple(groups)))
    return Support(project_version(pyproject), interpreters, tuple(systems))


def release_state(version: str, changelog: Path = CHANGELOG) -> str:
    """From the changelog's heading of the version: 'not yet released' while
    it says "## 0.2.0 (unreleased)", 'released 2027-01-15' once it says
    "## 0.2.0 (2027-01-15)"."""
    heading = re.search(rf"^## {re.escape(version)}(?: \((.*)\))?$", changelog.read_text(encoding="utf-8"), re.M)
    if heading is None:
        raise ValueError(f"{changelog.name} has no heading '## {version}'")
    when = heading.group(1)
    return "not yet released" if when in (None, "unreleased") else f"released {when}"


# ---- the README ----------------------------------------------------------------

def readme_table(support: Support) -> str:
    """The README's wheel table, between its two marker lines."""
    lines = [README_START, "| Python | System | Wheel |", "|---|---|---|"]
    lines += [f"| {w.interpreter.label} | {w.system.name} | `{w.name}` |" for w in support.wheels()]
    return "\n".join(lines + [README_END])


def readme_block(text: str) -> str | None:
    match = re.search(re.escape(README_START) + r".*?" + re.escape(README_END), text, re.S)
    return match.group(0) if match else None


def write_readme(support: Support, readme: Path = README) -> bool:
    """Rewrites the README's table; whether it changed."""
    text = readme.read_text(encoding="utf-8")
    block = readme_block(text)
    if block is None:
        raise SystemExit(f"{readme} has no line {README_START!r}")
    new = text.replace(block, readme_table(support))
    readme.write_text(new, encoding="utf-8")
    return new != text


# ---- the pages -------------------------------------------------------------------

def substitutions(support: Support) -> dict[str, str]:
    free, unsupported = support.supported(free_threaded=True), support.unsupported()
    return {
        "interpreters": version_list(support.supported(free_threaded=False)),
        "interpreters-or": version_list(support.supported(free_threaded=False), "or"),
        "free-threaded": "free-threaded " + version_list(free) if free else "no free-threaded CPython",
        "untested-free-threaded": "free-threaded " + version_list(unsupported) if unsupported else "none",
        "wheel-systems": english([s.name for s in support.wheel_systems()]),
        "sdist": f"``{support.sdist}``",
        "release-state": release_state(support.version),
    }


def short_labels(interpreters) -> str:
    """'3.13, 3.14, 3.15 and free-threaded 3.13'."""
    free = [i.version for i in interpreters if i.free_threaded]
    parts = [i.version for i in interpreters if not i.free_threaded]
    return english(parts + ([f"free-threaded {english(free)}"] if free else []))


def support_matrix(support: Support) -> list[str]:
    """reST of the table: each system's groups of interpreters, then what no
    group names (built from the source archive, not tested), then the
    interpreters that are not supported anywhere."""
    rows = []
    for system in support.systems:
        for group in system.groups:
            install = "wheel" if group.install == "wheel" else "source archive"
            rows.append((system.name, short_labels(group.interpreters), install, group.tested))
    # Each supported interpreter on the systems where no group names it, those
    # with the same systems in one row.
    untested: dict[tuple[System, ...], list[Interpreter]] = {}
    for interpreter in support.supported():
        absent = tuple(s for s in support.systems if not any(interpreter in g.interpreters for g in s.groups))
        if absent:
            untested.setdefault(absent, []).append(interpreter)
    for absent, interpreters in untested.items():
        present = [s.name for s in support.systems if s not in absent]
        where = english([s.name for s in absent]) if len(absent) <= 2 or not present else f"any but {english(present)}"
        rows.append((where, short_labels(interpreters), "source archive", "not tested"))
    if support.unsupported():
        rows.append(("any", short_labels(support.unsupported()), "none: the build stops",
                     "neither built nor tested"))
    lines = [".. list-table::", "   :header-rows: 1", "   :widths: 20 18 14 48", "",
             "   * - System", "     - Python", "     - Install", "     - How it is tested"]
    previous = None
    for system, *cells in rows:
        # A system's name once, over its first row.
        lines.append(f"   * - {system if system != previous else ''}".rstrip())
        lines += [f"     - {cell}" for cell in cells]
        previous = system
    return lines


def wheel_list(support: Support) -> list[str]:
    lines = [".. list-table::", "   :header-rows: 1", "   :widths: 22 20 58", "",
             "   * - Python", "     - System", "     - Wheel"]
    for wheel in support.wheels():
        lines += [f"   * - {wheel.interpreter.label}", f"     - {wheel.system.name}", f"     - ``{wheel.name}``"]
    for system in support.wheel_systems():
        if system.needs:
            lines += ["", f"On {system.name}, the wheels need {system.needs}"]
    return lines


def fill(support: Support, line: str) -> str:
    """{version}, {sdist} and {wheel:ABI} in a line of a versioned code block."""
    def one(match: re.Match) -> str:
        key = match.group(1)
        if key == "version":
            return support.version
        if key == "sdist":
            return support.sdist
        abi = key.removeprefix("wheel:")
        for wheel in support.wheels():
            if wheel.interpreter.abi == abi:
                return wheel.name
        raise ValueError(f"no wheel for {abi} in {TABLE.name}")
    return re.sub(r"\{(version|sdist|wheel:[a-z0-9]+)\}", one, line)


def setup(app):
    from docutils import nodes
    from docutils.parsers.rst import Directive
    from docutils.statemachine import StringList
    from sphinx.directives.code import CodeBlock

    def generated(directive: Directive, lines: list[str]) -> list:
        directive.state.document.settings.env.note_dependency(str(TABLE))
        box = nodes.container(classes=["kairodex-support"])
        directive.state.nested_parse(StringList(lines, source=str(TABLE)), directive.content_offset, box)
        return [box]

    class SupportMatrix(Directive):
        def run(self):
            return generated(self, support_matrix(load()))

    class WheelList(Directive):
        def run(self):
            return generated(self, wheel_list(load()))

    class VersionedCode(CodeBlock):
        def run(self):
            self.env.note_dependency(str(TABLE))
            support = load()
            self.content = StringList([fill(support, line) for line in self.content], items=self.content.items)
            return super().run()

    def prolog(app, config):
        definitions = "\n".join(f".. |{name}| replace:: {text}" for name, text in substitutions(load()).items())
        config.rst_prolog = (config.rst_prolog or "") + "\n" + definitions + "\n"

    app.connect("config-inited", prolog)
    app.add_directive("support-matrix", SupportMatrix)
    app.add_directive("wheel-list", WheelList)
    app.add_directive("versioned-code", VersionedCode)
    return {"parallel_read_safe": True, "parallel_write_safe": True}


if __name__ == "__main__":
    if sys.argv[1:] != ["--write-readme"]:
        raise SystemExit("usage: python3 docs/_ext/kairodex_support.py --write-readme")
    print("README.md:", "table rewritten" if write_readme(load()) else "table unchanged")
