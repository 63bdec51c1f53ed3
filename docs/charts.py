"""Charts and tables of the performance page, from `bench/compare.py --json` output.

    python3.15 docs/charts.py [JSON [OUT_DIR]]

Reads the figures (default docs/data/compare.json) and writes into OUT_DIR
(default docs/_charts) four PNG charts and four reST fragments that the
performance pages include: a table of every operation and the figures at a
glance, each once for the performance page (libraries.rst, summary.rst) and
once with the floors and the own costs, for the performance internals page
(operations.rst, summary-internals.rst). docs/conf.py calls `draw`
on every build, so the pictures and the tables always show the committed
numbers; to show new numbers, replace the JSON:

    scripts/dev bench --json docs/data/compare.json
"""

import json
import sys
from pathlib import Path

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
from matplotlib.patches import Patch  # noqa: E402
from matplotlib.ticker import FixedLocator, NullLocator  # noqa: E402

LIBRARIES = ["kairodex", "datetime", "ciso8601", "pendulum"]
COLOURS = {"kairodex": "#2a7ab9", "datetime": "#e08b2c", "ciso8601": "#5aa05a", "pendulum": "#9a6fb0",
           "floor": "#9a9a9a"}
# Speed-ups within this factor of 1 are ties on the machine the figures come from.
TIE = 1.10
# Rows whose two sides write different texts for the same value (bench/compare.py
# times str() of Duration.seconds(90061) and of a +02:00 offset): the tables
# mark them, and say what differs below. README.md marks the same rows.
DIFFERENT_TEXTS = {
    "str(Duration)": "kairodex writes ``Duration(90061000000000 ns)`` where ``timedelta`` writes ``1 day, 1:01:01``",
    "str(UtcOffset)": "kairodex writes ``+02:00`` where ``timezone`` writes ``UTC+02:00``",
}
MARK = "\N{SUPERSCRIPT ONE}"


def _save(figure, path: Path) -> None:
    figure.tight_layout()
    # No software version or date in the file, so that the same figures make
    # the same bytes.
    figure.savefig(path, dpi=110, metadata={"Software": None})
    plt.close(figure)


def _plain_log_axis(axis, low: float, high: float) -> None:
    """A log axis labelled with plain numbers 1, 2, 5, 10, 20, ... instead of powers of ten."""
    ticks = [m * 10**e for e in range(-2, 6) for m in (1, 2, 5) if low <= m * 10**e <= high]
    axis.set_major_locator(FixedLocator(ticks))
    axis.set_major_formatter(lambda value, _: f"{value:g}")
    axis.set_minor_locator(NullLocator())


def _speedup_chart(data: dict, path: Path) -> None:
    rows = [(op["name"], op["datetime"]["speedup"]) for op in data["operations"] if "datetime" in op]
    rows.reverse()  # the first operation at the top
    names, ratios = zip(*rows)
    colours = [COLOURS["kairodex"] if r >= TIE else COLOURS["floor"] if r > 1 / TIE else COLOURS["datetime"]
               for r in ratios]
    figure, axes = plt.subplots(figsize=(8, 0.27 * len(rows) + 1.2))
    axes.barh(names, ratios, color=colours)
    axes.set_xscale("log")
    axes.axvline(1.0, color="black", linewidth=0.8)
    for y, ratio in enumerate(ratios):
        axes.text(ratio * 1.03, y, f"{ratio:.2f}x", va="center", fontsize=8)
    low, high = min(ratios) / 1.3, max(ratios) * 1.6
    axes.set_xlim(low, high)
    _plain_log_axis(axes.xaxis, low, high)
    axes.legend(handles=[Patch(color=COLOURS["kairodex"], label=f"kairodex faster (>= {TIE:.2f}x)"),
                         Patch(color=COLOURS["floor"], label="tie (within 10%)"),
                         Patch(color=COLOURS["datetime"], label="datetime faster")],
                fontsize=8, loc="lower right")
    axes.set_xlabel("speed-up over datetime (its minimum time / kairodex's), log scale")
    axes.set_title(f"kairodex against datetime: geometric mean {data['geometric_mean_speedup']:.2f}x")
    axes.tick_params(axis="y", labelsize=8)
    _save(figure, path)


def _text_chart(data: dict, path: Path) -> None:
    """ns per call of reading and writing text, every library that has the call."""
    wanted = [op for op in data["operations"] if op["name"].endswith(".parse") or op["name"].startswith("str(")]
    wanted.reverse()
    figure, axes = plt.subplots(figsize=(8, 0.55 * len(wanted) + 1.2))
    height = 0.2
    for i, library in enumerate(LIBRARIES):
        ys = [y + (1.5 - i) * height for y in range(len(wanted)) if library in wanted[y]]
        xs = [op[library]["min_ns"] for op in wanted if library in op]
        axes.barh(ys, xs, height=height, color=COLOURS[library], label=library)
    axes.set_yticks(range(len(wanted)), [op["name"] for op in wanted], fontsize=8)
    axes.set_xscale("log")
    times = [op[library]["min_ns"] for op in wanted for library in LIBRARIES if library in op]
    low, high = min(times) / 1.5, max(times) * 1.5
    axes.set_xlim(low, high)
    _plain_log_axis(axes.xaxis, low, high)
    axes.set_xlabel("ns per call (minimum of the runs), log scale; shorter is faster")
    axes.set_title("Reading and writing text")
    axes.legend(fontsize=8, loc="lower right")
    _save(figure, path)


def _no_arguments_chart(data: dict, path: Path) -> None:
    rows = list(reversed(data["no_arguments"]))
    ys = range(len(rows))
    figure, axes = plt.subplots(figsize=(8, 0.4 * len(rows) + 1.2))
    axes.barh([y + 0.2 for y in ys], [r["min_ns"] for r in rows], height=0.4, color=COLOURS["kairodex"],
              label="kairodex method")
    axes.barh([y - 0.2 for y in ys], [r["floor_min_ns"] for r in rows], height=0.4, color=COLOURS["floor"],
              label="five.bit_count(), measured beside it")
    axes.set_yticks(list(ys), [r["statement"] for r in rows], fontsize=8)
    axes.set_xlabel("ns per call (minimum of the runs)")
    axes.set_title("Methods without arguments against the cheapest such call")
    axes.legend(fontsize=8, loc="upper center", bbox_to_anchor=(0.5, -0.14), ncol=2)
    _save(figure, path)


def _size_chart(data: dict, path: Path) -> None:
    rows = data["sizes"]
    xs = range(len(rows))
    figure, axes = plt.subplots(figsize=(8, 3.2))
    for offset, library in ((-0.2, "kairodex"), (0.2, "datetime")):
        bars = axes.bar([x + offset for x in xs], [r[library] for r in rows], width=0.4, color=COLOURS[library],
                        label=library)
        axes.bar_label(bars, fontsize=8)
    axes.set_xticks(list(xs), [r["name"] for r in rows], fontsize=8)
    axes.set_ylim(0, max(max(r["kairodex"], r["datetime"]) for r in rows) * 1.25)
    axes.set_ylabel("bytes (sys.getsizeof)")
    axes.set_title("Size of one instance")
    axes.legend(fontsize=8, loc="upper left", ncol=2)
    _save(figure, path)


def _cell(op: dict, library: str) -> str:
    if library == "own cost":
        return f"{op['own_cost_ns']:.1f}" if "own_cost_ns" in op else "--"
    if library not in op:
        return "--"
    text = f"{op[library]['min_ns']:.1f}"
    if library not in ("kairodex", "floor"):
        text += f" ({op[library]['speedup']:.2f}x)"
    return text


def _operations_table(data: dict, internals: bool) -> str:
    # The floor and the own cost (kairodex less the floor) on the internals
    # page, where the figures have them: compare.py times them when the floor
    # module is importable.
    with_floor = internals and any("floor" in op for op in data["operations"])
    columns = ["kairodex"] + (["floor", "own cost"] if with_floor else []) + LIBRARIES[1:]
    caption = "ns per call, minimum of the runs (in brackets: that time over kairodex's)"
    if with_floor:
        caption += "; own cost: kairodex's time less its floor's"
    lines = [
        f".. list-table:: {caption}",
        "   :header-rows: 1",
        "   :class: kairodex-figures",
        "",
        "   * - operation",
    ]
    lines += [f"     - {column}" for column in columns]
    for op in data["operations"]:
        mark = f"\\ {MARK}" if op["name"] in DIFFERENT_TEXTS else ""
        lines.append(f"   * - ``{op['name']}``{mark}")
        lines += [f"     - {_cell(op, column)}" for column in columns]
    marked = [op["name"] for op in data["operations"] if op["name"] in DIFFERENT_TEXTS]
    if marked:
        lines += ["", f"{MARK} Not the same text on both sides: " + "; ".join(DIFFERENT_TEXTS[n] for n in marked) + "."]
    return "\n".join(lines) + "\n"


def _zones_table(data: dict, internals: bool) -> str:
    """kairodex_tz's rows, each against zoneinfo's call for the same answer
    (with the own cost on the internals page)."""
    zones = data.get("zones", [])
    with_floor = internals and any("floor" in op for op in zones)
    columns = ["kairodex"] + (["own cost"] if with_floor else []) + ["zoneinfo"]
    lines = [
        ".. list-table:: ns per call, minimum of the runs (in brackets: zoneinfo's time over kairodex_tz's)"
        + ("; own cost: the time less that of a call of the same shape" if with_floor else ""),
        "   :header-rows: 1",
        "   :class: kairodex-figures",
        "",
        "   * - operation",
        "     - kairodex_tz",
    ] + [f"     - {column}" for column in columns[1:]]
    for op in zones:
        lines.append(f"   * - ``{op['name']}``")
        lines += [f"     - {_cell(op, column)}" for column in columns]
    return "\n".join(lines) + "\n" if zones else ""


def _summary(data: dict) -> str:
    """The figures at a glance, for the performance page."""
    speedups = [op["datetime"]["speedup"] for op in data["operations"] if "datetime" in op]
    return "\n".join([
        f"- CPython {data['python']}; the empty ``timeit`` loop took {data['loop_overhead_ns']:.1f} ns per"
        " pass, included in every figure.",
        f"- Geometric mean of the speed-ups over ``datetime``: **{data['geometric_mean_speedup']:.2f}x**"
        f" ({data['geometric_mean_speedup_without_loop']:.2f}x with the empty loop's time taken off both sides);"
        f" from {min(speedups):.2f}x to {max(speedups):.2f}x.",
    ] + [
        f"- ``{row['name']}``, the value made just before: kairodex {row['kairodex_min_ns']:.1f} ns, ``datetime``"
        f" {row['datetime_min_ns']:.1f} ns ({row['speedup']:.2f}x)."
        for row in data.get("fresh_hashes", [])
    ] + [
        f"- ``{row['name']}`` takes {row['kairodex_over_ciso8601']:.2f} of ``ciso8601.parse_datetime``'s time"
        f" ({row['kairodex_min_ns']:.1f} ns against {row['ciso8601_min_ns']:.1f} ns)."
        for row in data.get("against_ciso8601", [])
    ] + [""])


def _summary_internals(data: dict) -> str:
    """The floors and the own costs at a glance, for the performance internals page."""
    floors = {f["name"]: f["min_ns"] for f in data["floors"]}
    return "\n".join([
        f"- Floors: the cheapest method call without arguments (``five.bit_count()``)"
        f" {floors['floor: method, no arguments']:.1f} ns, an allocation (``object()``)"
        f" {floors['floor: allocation']:.1f} ns.",
    ] + ([
        "- Largest own costs (kairodex's time less its floor's): " + ", ".join(
            f"``{row['name']}`` {row['own_cost_ns']:.1f} ns of {row['kairodex_min_ns']:.1f}"
            for row in data["largest_own_costs"]) + "."
    ] if data.get("largest_own_costs") else []) + [""])


CHARTS = {
    "speedup.png": _speedup_chart,
    "text.png": _text_chart,
    "no_arguments.png": _no_arguments_chart,
    "sizes.png": _size_chart,
}


def draw(json_path: Path, out_dir: Path) -> list[Path]:
    """Write the charts and the table fragments; return the paths written."""
    data = json.loads(Path(json_path).read_text(encoding="utf-8"))
    out_dir = Path(out_dir)
    out_dir.mkdir(parents=True, exist_ok=True)
    written = []
    for name, chart in CHARTS.items():
        chart(data, out_dir / name)
        written.append(out_dir / name)
    fragments = (("libraries.rst", _operations_table(data, internals=False)),
                 ("operations.rst", _operations_table(data, internals=True)),
                 ("zones.rst", _zones_table(data, internals=False)),
                 ("zones-internals.rst", _zones_table(data, internals=True)),
                 ("summary.rst", _summary(data)), ("summary-internals.rst", _summary_internals(data)))
    for name, text in fragments:
        path = out_dir / name
        # Rewritten only when changed, so that Sphinx rereads the page only then.
        if not path.exists() or path.read_text(encoding="utf-8") != text:
            path.write_text(text, encoding="utf-8")
        written.append(path)
    return written


if __name__ == "__main__":
    here = Path(__file__).resolve().parent
    source = Path(sys.argv[1]) if len(sys.argv) > 1 else here / "data" / "compare.json"
    target = Path(sys.argv[2]) if len(sys.argv) > 2 else here / "_charts"
    for path in draw(source, target):
        print(path)
