"""bench/compare.py's statements and report, without timing anything.

The checkout's bench/ is not in the source archive, and the floor module
(_kairodex_floor) is built only with the benchmarks: `scripts/dev bench` runs
this file with it importable before it times, the plain test run without it.
"""

import importlib.util
import json
import math
import sys
from pathlib import Path

import pytest

COMPARE = Path(__file__).resolve().parents[2] / "bench" / "compare.py"
CHARTS = Path(__file__).resolve().parents[2] / "docs" / "charts.py"

if not COMPARE.exists():
    pytest.skip("no bench/ beside the tests (a source archive)", allow_module_level=True)


def _load(path, name):
    found = importlib.util.spec_from_file_location(name, path)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


compare = _load(COMPARE, "bench_compare")

LIBRARIES = ("kairodex", "floor", "datetime", "ciso8601", "pendulum")
ROWS = [dict(zip(("name",) + LIBRARIES, row)) for row in compare.ROWS]
needs_floor = pytest.mark.skipif(compare.floor is None, reason="the floor module is built by scripts/dev bench")


def _run(statement):
    return eval(statement, compare.NAMESPACE)


def _shape(statement):
    """What an implementation must make for the statement's result: its kind
    and, for new objects, their size (so the allocation is the same)."""
    result = _run(statement)
    if isinstance(result, bool):
        return "bool"
    if isinstance(result, (int, str)):
        return type(result).__name__, sys.getsizeof(result)
    if result is _run(statement):
        return "kept object"
    return "new object", sys.getsizeof(result)


@pytest.mark.parametrize("row", ROWS, ids=[row["name"] for row in ROWS])
def test_every_statement_of_a_row_runs(row):
    assert row["floor"], "every operation has a floor statement"
    for library in LIBRARIES:
        statement = row[library]
        if statement is None or library == "floor" and compare.floor is None:
            continue
        if library in ("ciso8601", "pendulum") and not compare.available(library):
            continue
        _run(statement)


@needs_floor
@pytest.mark.parametrize("row", ROWS, ids=[row["name"] for row in ROWS])
def test_a_floor_makes_what_its_operation_makes(row):
    assert _shape(row["floor"]) == _shape(row["kairodex"])


@needs_floor
@pytest.mark.parametrize("statement", compare.NO_ARGUMENTS)
def test_a_no_argument_floor_makes_what_its_method_makes(statement):
    own_floor = dict(compare.no_argument_floors())[statement]
    assert _shape(own_floor) == _shape(statement)


@needs_floor
def test_floor_values_compare_hash_and_add_by_their_keys():
    ns = compare.NAMESPACE
    fd, fd2 = ns["fd"], ns["fd2"]
    assert (fd == fd2, fd != fd2, fd < fd2, fd <= fd2, fd > fd2, fd >= fd2) == (False, True, True, True, False, False)
    assert fd == ns["Value24"].from_int(fd.number()) and hash(fd) == hash(ns["Value24"].from_int(fd.number()))
    assert (fd == 19875) is False and fd.__lt__(1) is NotImplemented
    assert (ns["fdur"] + ns["fdur"]).number() == 2 * ns["fdur"].number()
    with pytest.raises(TypeError):
        ns["fdur"] + 1
    with pytest.raises(TypeError):
        ns["fx"].with_instance(ns["fd"])  # another size of value
    with pytest.raises(TypeError):
        ns["Value32"](1, 2)  # built from two Value24, not from ints
    with pytest.raises(OverflowError):
        ns["Value24"](2024, 2**40)
    with pytest.raises(TypeError):
        ns["Value24"](2024, 6, day=1)


@pytest.fixture(params=["with the floor", "without the floor"])
def report(request, monkeypatch, tmp_path, capsys):
    """compare.py's printed report and JSON, with made-up times: a statement
    takes 10 ns, plus 1 ns per character (so that each row's figures differ)."""
    if request.param == "with the floor" and compare.floor is None:
        pytest.skip("the floor module is built by scripts/dev bench")
    if request.param == "without the floor":
        monkeypatch.setattr(compare, "floor", None)
    monkeypatch.setattr(compare, "measure", lambda statements, repeat, target: [
        (10.0 + len(s), 12.0 + len(s)) for s in statements])
    out = tmp_path / "compare.json"
    compare.main(["--json", str(out)])
    return capsys.readouterr().out, json.loads(out.read_text(encoding="utf-8"))


def test_the_report_has_a_line_and_a_record_per_operation(report):
    text, data = report
    # The time zone rows, against zoneinfo, in a list of their own after the others.
    assert [op["name"] for op in data["operations"] + data["zones"]] == [row["name"] for row in ROWS]
    assert {op["name"] for op in data["zones"]} == (compare.ZONE_NAMES if compare.kairodex_tz else set())
    for row, op in zip(ROWS, data["operations"] + data["zones"]):
        assert any(line.startswith(row["name"] + " ") for line in text.splitlines())
        other = op["zoneinfo" if row["name"] in compare.ZONE_NAMES else "datetime"]
        assert other["speedup"] == pytest.approx((10 + len(row["datetime"])) / (10 + len(row["kairodex"])))
        if data["floor_module"] is None:
            assert "floor" not in op and "own_cost_ns" not in op
        else:
            assert op["own_cost_ns"] == pytest.approx(len(row["kairodex"]) - len(row["floor"]))
    speedups = [op["datetime"]["speedup"] for op in data["operations"]]
    assert data["geometric_mean_speedup"] == pytest.approx(math.exp(sum(map(math.log, speedups)) / len(speedups)))
    if data["floor_module"] is None:
        assert "floor and own-cost columns are left out" in text
    else:
        at_floor = [op["datetime"]["min_ns"] / op["floor"]["min_ns"] for op in data["operations"]]
        assert data["geometric_mean_speedup_at_floor"] == pytest.approx(
            math.exp(sum(map(math.log, at_floor)) / len(at_floor)))
        largest = [entry["own_cost_ns"] for entry in data["largest_own_costs"]]
        assert largest == sorted(largest, reverse=True)
        assert largest[0] == max(op["own_cost_ns"] for op in data["operations"])
    slower = {entry["name"] for entry in data["slower_than_datetime"]}
    assert slower == {op["name"] for op in data["operations"] if op["datetime"]["speedup"] < 1}
    if compare.available("ciso8601"):
        names = [entry["name"] for entry in data["against_ciso8601"]]
        assert "OffsetDateTime.parse" in names
        assert "OffsetDateTime.parse / ciso8601.parse_datetime(OFFSET_TEXT)" in text


# With the figures that `scripts/dev bench --json` writes (the floor's
# included), not under the plain run's memory checkers, which need not see
# matplotlib.
@needs_floor
def test_the_documentation_draws_from_the_json(report, tmp_path):
    pytest.importorskip("matplotlib")
    _, data = report
    charts = _load(CHARTS, "docs_charts")
    written = charts.draw(tmp_path / "compare.json", tmp_path / "charts")
    assert all(path.exists() for path in written)
    table = (tmp_path / "charts" / "operations.rst").read_text(encoding="utf-8")
    zones = (tmp_path / "charts" / "zones.rst").read_text(encoding="utf-8")
    assert all(f"``{row['name']}``" in (zones if row["name"] in compare.ZONE_NAMES else table) for row in ROWS)
    # A header cell per column, and as many cells in every row.
    columns = 4 + (2 if data["floor_module"] else 0)  # besides the operation
    assert table.count("\n   * - ") == len(data["operations"]) + 1
    assert table.count("\n     - ") == columns * (len(data["operations"]) + 1)
    zones_internals = (tmp_path / "charts" / "zones-internals.rst").read_text(encoding="utf-8")
    if data["zones"]:
        assert zones.count("\n     - ") == 2 * (len(data["zones"]) + 1)
        assert zones_internals.count("\n     - ") == (3 if data["floor_module"] else 2) * (len(data["zones"]) + 1)
    assert ("     - own cost\n" in table) == bool(data["floor_module"])
