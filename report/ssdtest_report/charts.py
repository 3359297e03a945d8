"""The report's charts, drawn by matplotlib as SVG text for the page.

Every drawn data series carries an SVG id holding "-series-", so the page
(and its checks) can tell a chart with data from an empty frame.
"""

import io
import itertools
import math
import re

import matplotlib

matplotlib.use("svg")
import matplotlib.pyplot as plt  # noqa: E402  (the back end is chosen first)
from matplotlib.ticker import FuncFormatter, MaxNLocator  # noqa: E402

from . import logread as L  # noqa: E402
from .rounds import INITIAL, READ_ONLY, ROUND_END  # noqa: E402

plt.rcParams.update({
    "font.size": 9,
    "axes.titlesize": 10,
    "axes.titleweight": "bold",
    "axes.grid": True,
    "grid.alpha": 0.35,
    "axes.spines.top": False,
    "axes.spines.right": False,
    "legend.fontsize": 8,
    "legend.framealpha": 0.85,
    "svg.fonttype": "path",  # glyphs as paths: the page needs no fonts
})

_WIDTH, _HEIGHT = 6.0, 3.4
_ids = itertools.count(1)
_AEC_LABEL = "average erase count (P/E cycles)"
# The lowest UBER drawn: far below any rating, and it keeps the 1e-15 and
# 1e-16 lines apart on the scale.
_UBER_FLOOR = 1e-30
_GROUPED = FuncFormatter(lambda value, _: f"{value:,.0f}")


def _finite(value) -> bool:
    return isinstance(value, (int, float)) and not math.isnan(value) and not math.isinf(value)


def _points(log, column, kinds=None, positive=False):
    """(erase count, value) pairs of the lines of the given kinds."""
    xs, ys = [], []
    for line in log.lines:
        if kinds is not None and line.kind not in kinds:
            continue
        x, y = line.values.get(L.AEC), line.values.get(column)
        if _finite(x) and _finite(y) and (y > 0 or not positive):
            xs.append(x)
            ys.append(y)
    return xs, ys


def _mark(artists):
    for artist in artists if isinstance(artists, list) else [artists]:
        artist.set_gid(f"series-{next(_ids)}")


def _new(title, xlabel, ylabel):
    figure, axes = plt.subplots(figsize=(_WIDTH, _HEIGHT), layout="constrained")
    axes.set_title(title, loc="left")
    axes.set_xlabel(xlabel)
    axes.set_ylabel(ylabel)
    return figure, axes


def _count_axis(axes, values):
    """A whole-number axis from 0 that keeps its scale when every count is 0."""
    axes.set_ylim(0, max(1, max(values, default=0)) * 1.08)
    axes.yaxis.set_major_locator(MaxNLocator(integer=True))
    axes.yaxis.set_major_formatter(_GROUPED)


def _no_data(axes, text="no data yet"):
    axes.text(0.5, 0.5, text, transform=axes.transAxes, ha="center", va="center", color="0.45")


def _svg(figure, key) -> str:
    """The figure as an <svg> element with ids of its own."""
    buffer = io.StringIO()
    figure.savefig(buffer, format="svg", metadata={"Date": None})
    plt.close(figure)
    text = buffer.getvalue()
    text = text[text.index("<svg"):]
    # Glyph and clip ids must not repeat between the charts of one page.
    return re.sub(r'(id="|href="#|url\(#)', lambda m: m.group(1) + key + "-", text)


def _finish(figure, axes, key, drawn, empty_text="no data yet", **legend):
    """The legend when something was drawn, else a note; whole numbers on the x axis."""
    if drawn:
        axes.legend(**legend)
    else:
        _no_data(axes, empty_text)
    axes.xaxis.set_major_locator(MaxNLocator(integer=True))
    return _svg(figure, key)


def rber(log, key):
    """Cumulative and per-round raw bit error rate against the erase count, log scale."""
    figure, axes = _new("Raw bit error rate", _AEC_LABEL, "RBER (errors per bit)")
    xs, ys = _points(log, L.RBER, positive=True)
    rx, ry = _points(log, L.ROUND_RBER, {ROUND_END, READ_ONLY}, positive=True)
    if xs or rx:
        axes.set_yscale("log")
        _mark(axes.plot(xs, ys, "-", lw=1.8, label="cumulative"))
        _mark(axes.plot(rx, ry, "o", ms=3.5, label="per round"))
    return _finish(figure, axes, key, bool(xs or rx), "no bit error counted yet", loc="lower right")


def uber(log, key):
    """UBER estimates for 8- and 12-bit correction with the 1e-15 and 1e-16 lines."""
    figure, axes = _new("Uncorrectable bit error rate (estimate)", _AEC_LABEL,
                        "UBER (errors per bit)")
    drawn = False
    for column, label, style, colour in ((L.UBER8, "8-bit ECC", "-", "C0"),
                                         (L.UBER12, "12-bit ECC", "-", "C1"),
                                         (L.ROUND_UBER8, "8-bit ECC, per round", "o", "C0"),
                                         (L.ROUND_UBER12, "12-bit ECC, per round", "s", "C1")):
        kinds = {ROUND_END, READ_ONLY} if "per round" in label else None
        xs, ys = _points(log, column, kinds, positive=True)
        if xs:
            axes.set_yscale("log")
            _mark(axes.plot(xs, ys, style, lw=1.8, ms=3.5, color=colour, mfc="none", label=label))
            drawn = True
    if drawn:
        for level, text, offset in ((1e-15, "1e-15", 2), (1e-16, "1e-16", -9)):
            axes.axhline(level, color="0.25", lw=0.9, ls="--")
            axes.annotate(text, (0, level), xycoords=("axes fraction", "data"),
                          xytext=(3, offset), textcoords="offset points", fontsize=7, color="0.25")
        low, high = axes.get_ylim()
        axes.set_ylim(max(low, _UBER_FLOOR), max(high, 1e-13))
        if low < _UBER_FLOOR:
            axes.text(0.01, 0.01, f"values below {_UBER_FLOOR:.0e} not shown", transform=axes.transAxes,
                      fontsize=7, color="0.4")
    return _finish(figure, axes, key, drawn, "no bit error counted yet", loc="upper left", ncol=2)


def tool_errors(log, key):
    """The tester's own uncorrectable bit and failed sector counts."""
    figure, axes = _new("Errors counted by the tester", _AEC_LABEL, "uncorrectable bits")
    xs, bits = _points(log, L.BIT_ERRORS)
    sx, sectors = _points(log, L.SECTOR_FAILS)
    if xs:
        _mark(axes.step(xs, bits, where="post", lw=1.8, color="C3", label="uncorrectable bits"))
        right = axes.twinx()
        right.grid(False)
        right.spines["right"].set_visible(True)
        right.set_ylabel("failed sectors")
        _mark(right.step(sx, sectors, where="post", lw=1.4, ls="--", color="C0",
                         label="failed sectors"))
        for a, values in ((axes, bits), (right, sectors)):
            _count_axis(a, values)
        handles = axes.get_legend_handles_labels()[0] + right.get_legend_handles_labels()[0]
        axes.legend(handles=handles, loc="upper left")
    else:
        _no_data(axes)
    axes.xaxis.set_major_locator(MaxNLocator(integer=True))
    return _svg(figure, key)


def failure_blocks(log, key):
    """Program, erase and read failure blocks; None for a layout without them."""
    if not any(c in log.columns for c in (L.PROGRAM_FAILS, L.ERASE_FAILS, L.READ_FAILS)):
        return None
    figure, axes = _new("Failure blocks reported by the drive", _AEC_LABEL, "blocks")
    counts = []
    for column, label in ((L.PROGRAM_FAILS, "program"), (L.ERASE_FAILS, "erase"),
                          (L.READ_FAILS, "read")):
        xs, ys = _points(log, column)
        if xs:
            _mark(axes.step(xs, ys, where="post", lw=1.8, label=label))
            counts += ys
    if counts:
        _count_axis(axes, counts)
    return _finish(figure, axes, key, bool(counts), loc="upper left")


def speeds(log, key):
    """Read and write speed of each round's end line, and of read-only passes."""
    figure, axes = _new("Device speed per round", "round", "MB/s")
    ends = [line for line in log.lines if line.kind == ROUND_END]
    passes = [line for line in log.lines if line.kind == READ_ONLY]
    if ends or passes:
        for column, label, colour in ((L.WRITE_SPEED, "write", "C1"), (L.READ_SPEED, "read", "C0")):
            points = [(x.round, x.values[column]) for x in ends if _finite(x.values[column])]
            if points:
                _mark(axes.plot(*zip(*points), "-o", ms=3, lw=1.5, color=colour, label=label))
        if passes:
            _mark(axes.plot([p.round for p in passes], [p.values[L.READ_SPEED] for p in passes],
                            "D", ms=6, color="C2", label="read-only pass"))
        axes.set_ylim(bottom=0)
    return _finish(figure, axes, key, bool(ends or passes), "no round finished yet",
                   loc="lower right")


def round_times(log, key):
    """Time from one round boundary to the next round end."""
    durations = []
    start = None
    for line in log.lines:
        time = line.values.get(L.TIME)
        if line.kind == ROUND_END and start is not None and time is not None:
            durations.append((line.round, (time - start).total_seconds()))
        if line.kind in (INITIAL, ROUND_END, READ_ONLY):
            start = time
    longest = max((d for _, d in durations), default=0)
    unit, scale = ("h", 3600) if longest >= 3 * 3600 else ("min", 60) if longest >= 180 else ("s", 1)
    figure, axes = _new("Time per round", "round", f"duration ({unit})")
    if durations:
        rounds = [r for r, _ in durations]
        _mark(axes.bar(rounds, [d / scale for _, d in durations], width=0.7, color="C4").patches)
        axes.xaxis.set_major_locator(MaxNLocator(integer=True))
    else:
        _no_data(axes, "no round finished yet")
    return _svg(figure, key)


def bench_rber(logs, labels, key):
    """Cumulative raw bit error rate of every drive in one chart."""
    figure, axes = plt.subplots(figsize=(_WIDTH * 1.6, _HEIGHT), layout="constrained")
    axes.set_title("Raw bit error rate of every drive", loc="left")
    axes.set_xlabel(_AEC_LABEL)
    axes.set_ylabel("RBER, cumulative (errors per bit)")
    drawn = False
    for log, label in zip(logs, labels):
        xs, ys = _points(log, L.RBER, positive=True)
        if xs:
            axes.set_yscale("log")
            _mark(axes.plot(xs, ys, "-", lw=1.6, label=label))
            drawn = True
    return _finish(figure, axes, key, drawn, "no drive has counted a bit error yet",
                   loc="lower right", ncol=2 if len(logs) > 6 else 1)


DRIVE_CHARTS = [rber, uber, tool_errors, failure_blocks, speeds, round_times]
