"""The two pictures of the Time zones page: the wall clock of Paris against
UTC around the gap of 31 March 2024 and the fold of 27 October 2024, drawn
from kairodex_tz's own answers.

    python3.15 docs/zone_charts.py [OUT_DIR]

docs/conf.py calls `draw` on every build, into docs/_charts.
"""

import sys
from pathlib import Path

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402
from matplotlib.ticker import MultipleLocator  # noqa: E402

from kairodex import DateTime, Duration  # noqa: E402
from kairodex_tz import TimeZone  # noqa: E402

BLUE, GREY = "#2a7ab9", "#9a9a9a"


def _hours(instant: DateTime, since: DateTime) -> float:
    return instant.difference(since).total_seconds() / 3600


def _picture(zone: TimeZone, day: str, what: str, path: Path) -> None:
    start = DateTime.parse(f"{day}T23:00:00Z").add_duration(Duration.seconds(-86400))
    change = zone.next_transition(start)
    utc, local = [], []
    step = Duration.seconds(60)
    instant = start
    for _ in range(4 * 60 + 1):
        reading = zone.at(instant).to_local()
        utc.append(_hours(instant, start) - 1)  # hours after 00:00 UTC of the day
        local.append(_hours(reading, start) - 1)
        instant = instant.add_duration(step)
    at = _hours(change.instant, start) - 1
    low = at + min(change.offset_before, change.offset_after, key=lambda o: o.as_seconds()).as_seconds() / 3600
    high = at + max(change.offset_before, change.offset_after, key=lambda o: o.as_seconds()).as_seconds() / 3600
    figure, axes = plt.subplots(figsize=(6.4, 3.6))
    before = [i for i, u in enumerate(utc) if u < at]
    after = [i for i, u in enumerate(utc) if u >= at]
    for part in (before, after):
        axes.plot([utc[i] for i in part], [local[i] for i in part], color=BLUE, linewidth=2)
    axes.axhspan(low, high, color=GREY, alpha=0.25, linewidth=0)
    axes.axvline(at, color=GREY, linestyle=":", linewidth=1)
    label = "readings that never happen" if what == "gap" else "readings that happen twice"
    axes.text(utc[0] + 0.1, (low + high) / 2, label, va="center", fontsize=9)
    clock = lambda value, _: f"{int(value) % 24:02}:00"  # noqa: E731
    for axis in (axes.xaxis, axes.yaxis):
        axis.set_major_locator(MultipleLocator(1))
        axis.set_major_formatter(clock)
    axes.set_xlabel(f"UTC, around {day}")
    axes.set_ylabel("wall clock in Paris")
    axes.set_xlim(utc[0], utc[-1])
    axes.grid(alpha=0.3)
    figure.tight_layout()
    figure.savefig(path, dpi=110, metadata={"Software": None})
    plt.close(figure)


def draw(out_dir: Path) -> None:
    out_dir.mkdir(parents=True, exist_ok=True)
    paris = TimeZone("Europe/Paris")
    _picture(paris, "2024-03-31", "gap", out_dir / "zone-gap.png")
    _picture(paris, "2024-10-27", "fold", out_dir / "zone-fold.png")


if __name__ == "__main__":
    draw(Path(sys.argv[1]) if len(sys.argv) > 1 else Path(__file__).parent / "_charts")
