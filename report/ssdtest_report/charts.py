"""The report's charts, drawn by matplotlib as SVG text for the page.

Every drawn data series carries an SVG id holding "-series-", so the page
(and its checks) can tell a chart with data from an empty frame; every point,
bar and cell carries its values as an SVG title, shown on hover. Legends sit
beside the plot, never on it. Names are never parsed as mathematics, so a
"$" in a file name stays a dollar sign.
"""

import io
import itertools
import math
import re

import matplotlib
import numpy

matplotlib.use("svg")
import matplotlib.pyplot as plt  # noqa: E402  (the back end is chosen first)
from matplotlib.colors import LogNorm  # noqa: E402
from matplotlib.ticker import FuncFormatter, LogLocator, MaxNLocator  # noqa: E402

from . import hover  # noqa: E402
from . import logread as L  # noqa: E402
from . import utctimes  # noqa: E402
from .rounds import EMPTY_END, INITIAL, READ_ONLY, ROUND_END  # noqa: E402

plt.rcParams.update({
    "font.size": 9,
    "font.family": "sans-serif",
    "font.sans-serif": ["DejaVu Sans"],
    "axes.titlesize": 10,
    "axes.titleweight": "bold",
    "axes.grid": True,
    "axes.axisbelow": True,  # grid lines under the bars, where they take no hover
    "grid.alpha": 0.35,
    "axes.spines.top": False,
    "axes.spines.right": False,
    "legend.fontsize": 8,
    "legend.framealpha": 0.85,
    "svg.fonttype": "none",  # text as text: small pages, the browser's own fonts
})

_WIDTH, _HEIGHT = 6.4, 3.4
_ids = itertools.count(1)
_titles = {}  # gid -> hover titles of the figure being drawn
_thinned = []  # (drawn, all) of each thinned series of the figure being drawn
_AEC_LABEL = "average erase count (P/E cycles)"
_DECIMALS = re.compile(r"(\.\d\d)\d+")
_GROUPED = FuncFormatter(lambda value, _: f"{value:,.0f}")
# Points drawn per series at most; a long log's in-round lines are thinned.
MAX_POINTS = 250


def _finite(value) -> bool:
    return isinstance(value, (int, float)) and not math.isnan(value) and not math.isinf(value)


def _thin(points):
    """At most MAX_POINTS of the points, evenly spread, the last one kept; a thinned
    series is counted for the chart's note."""
    if len(points) <= MAX_POINTS:
        return points
    step = math.ceil(len(points) / MAX_POINTS)
    kept = points[::step] + ([points[-1]] if (len(points) - 1) % step else [])
    _thinned.append((len(kept), len(points)))
    return kept


def _array(log, column):
    """The column over all lines as floats (NaN where missing), made once per log."""
    cache = log.__dict__.setdefault("_arrays", {})
    if column not in cache:
        cache[column] = numpy.array([math.nan if v is None else v for v in log.series(column)],
                                    dtype=float)
    return cache[column]


def _kind_mask(log, kinds):
    cache = log.__dict__.setdefault("_kinds", {})
    key = frozenset(kinds)
    if key not in cache:
        cache[key] = numpy.array([line.kind in key for line in log.lines], dtype=bool)
    return cache[key]


def _points(log, column, kinds=None, positive=False):
    """(erase count, value, round) triples of the lines of the given kinds, thinned."""
    if not log.lines or column not in log.columns:
        return []
    x, y = _array(log, L.AEC), _array(log, column)
    with numpy.errstate(invalid="ignore"):
        usable = numpy.isfinite(x) & numpy.isfinite(y) & ((y > 0) if positive else True)
    if kinds is not None:
        usable &= _kind_mask(log, kinds)
    lines = log.lines
    return [(lines[i].values[L.AEC], lines[i].values[column], lines[i].round)
            for i in _thin(numpy.flatnonzero(usable).tolist())]


def _value(value) -> str:
    return f"{value:,}" if isinstance(value, int) else f"{value:.4g}"


def _mark(artists, titles=None):
    for artist in artists if isinstance(artists, list) else [artists]:
        gid = f"series-{next(_ids)}"
        artist.set_gid(gid)
        if titles:
            _titles[gid] = titles


_ENDS = {ROUND_END, READ_ONLY}


def _plot(axes, points, label, name, style="-o", marked=None, **style_args):
    """A series with a marker and a hover title per point; with `marked`, a line through
    the points and markers with titles only at those (the round ends), which keeps the
    page small. A series without a round end is marked at its last point."""
    if marked is not None and not marked:
        marked = points[-1:]
    titles = [f"{label}: {name} {_value(y)} at erase count {_value(x)}, round {r}"
              for x, y, r in (points if marked is None else marked)]
    # Points above the axes' spines, so that a point at 0 shows its value on hover.
    if marked is None:
        _mark(axes.plot([p[0] for p in points], [p[1] for p in points], style, label=str(label),
                        zorder=3, clip_on=False, **style_args), titles)
        return
    line_style = style.replace("o", "").replace("s", "").replace("^", "") or "-"
    (line,) = axes.plot([p[0] for p in points], [p[1] for p in points], line_style, **style_args)
    _mark(line)
    marker = style.replace("-", "").replace(":", "") or "o"
    _mark(axes.plot([p[0] for p in marked], [p[1] for p in marked], marker,
                    color=line.get_color(), ms=style_args.get("ms", 3), mfc=style_args.get("mfc"),
                    label=str(label), zorder=3, clip_on=False), titles)


def _new(title, xlabel, ylabel, width=_WIDTH):
    figure, axes = plt.subplots(figsize=(width, _HEIGHT), layout="constrained")
    axes.set_title(title, loc="left")
    axes.set_xlabel(xlabel)
    axes.set_ylabel(ylabel)
    return figure, axes


def _log_axis(axes, values):
    """A log scale over whole decades around the drawn values, at least one decade."""
    low, high = min(values), max(values)
    bottom = 10.0 ** math.floor(math.log10(low))
    top = 10.0 ** math.ceil(math.log10(high))
    if top <= bottom * 10:
        top = bottom * 100 if top == bottom else top
        axes.yaxis.set_minor_locator(LogLocator(subs=(2, 5)))
        axes.yaxis.set_minor_formatter(FuncFormatter(lambda v, _: f"{v:.0e}"))
    axes.set_yscale("log")
    axes.set_ylim(bottom, top)


def _count_axis(axes, values):
    """A whole-number axis from 0 that keeps its scale when every count is 0."""
    axes.set_ylim(0, max(1, max(values, default=0)) * 1.08)
    axes.yaxis.set_major_locator(MaxNLocator(integer=True))
    axes.yaxis.set_major_formatter(_GROUPED)


def _no_data(axes, text="no data yet"):
    axes.text(0.5, 0.5, text, transform=axes.transAxes, ha="center", va="center", color="0.45")


def _legend(axes, **extra):
    """The legend beside the plot, where it covers nothing; its names are text."""
    legend = axes.legend(loc="upper left", bbox_to_anchor=(1.01, 1.0), borderaxespad=0, **extra)
    for text in legend.get_texts():
        text.set_parse_math(False)
    return legend


_styles = {}  # the charts' style texts -> their class names, for the page's style sheet


def _style_class(style: str) -> str:
    return _styles.setdefault(style, f"c{len(_styles)}")


def style_sheet() -> str:
    """The classes of the styles the charts drawn so far use (svg scoped)."""
    return "".join(f"svg .{name}{{{style}}}" for style, name in _styles.items())


def _svg(figure, key) -> str:
    """The figure as an <svg> element with ids of its own and hover titles."""
    buffer = io.StringIO()
    figure.savefig(buffer, format="svg", metadata={"Date": None})
    plt.close(figure)
    text = buffer.getvalue()
    text = text[text.index("<svg"):]
    # Coordinates to 1/100 of a point and no indentation: a third of the size.
    text = re.sub(r'="[^"]*"', lambda m: _DECIMALS.sub(r"\1", m.group()), text)
    text = re.sub(r"\n\s+", "\n", text)
    # Without the metadata, upright rotations and the ids nothing refers to, and
    # with each style a class of the page's style sheet: a page of many charts stays small.
    text = re.sub(r"<metadata>.*?</metadata>\n?", "", text, flags=re.S)
    text = re.sub(r' transform="rotate\(-0 [^"]*\)"', "", text)
    text = re.sub(r' style="([^"]*)"', lambda m: f' class="{_style_class(m.group(1))}"', text)
    referred = set(re.findall(r'(?:href="#|url\(#)([^")]+)', text))
    text = re.sub(r' id="([^"]+)"',
                  lambda m: m.group() if "series-" in m.group(1) or m.group(1) in referred else "", text)
    text = hover.inject(text, _titles)
    _titles.clear()
    if _thinned:
        drawn, total = max(_thinned, key=lambda pair: pair[1])
        text += (f"<figcaption class=\"thinned\">{drawn:,} of {total:,} points drawn (evenly spread); "
                 "every line's values are in the tidy CSV (--csv)</figcaption>")
        _thinned.clear()
    # Glyph and clip ids must not repeat between the charts of one page.
    # Links to the drive sections stay as they are.
    own = set(re.findall(r' id="([^"]+)"', text))
    return re.sub(r'(id="|href="#|url\(#)([^")]+)',
                  lambda m: m.group(1) + (key + "-" if m.group(2) in own else "") + m.group(2), text)


def _finish(figure, axes, key, drawn, empty_text="no data yet", integer_x=True):
    """The legend when something was drawn, else a note."""
    if drawn:
        _legend(axes)
    else:
        _no_data(axes, empty_text)
    if integer_x:
        axes.xaxis.set_major_locator(MaxNLocator(integer=True))
    return _svg(figure, key)


def rber(log, key):
    """Cumulative and per-round raw bit error rate against the erase count, log scale."""
    figure, axes = _new("Raw bit error rate", _AEC_LABEL, "RBER (errors per bit)")
    cumulative = _points(log, L.RBER, positive=True)
    rounds = _points(log, L.ROUND_RBER, {ROUND_END, READ_ONLY}, positive=True)
    if cumulative or rounds:
        _log_axis(axes, [p[1] for p in cumulative + rounds])
        _plot(axes, cumulative, "cumulative", "RBER", "-o", lw=1.8, ms=2.5,
              marked=_points(log, L.RBER, _ENDS, positive=True))
        _plot(axes, rounds, "per round", "RBER", "o", ms=4, mfc="none")
    return _finish(figure, axes, key, bool(cumulative or rounds), "no bit error counted yet")


_UBER_SERIES = ((L.UBER8, "8-bit ECC", "-o", "C0"), (L.UBER12, "12-bit ECC", "-s", "C1"),
                (L.ROUND_UBER8, "8-bit ECC, per round", "o", "C0"),
                (L.ROUND_UBER12, "12-bit ECC, per round", "s", "C1"))


def uber(log, key):
    """UBER estimates for 8- and 12-bit correction; the axis from the smallest drawn value,
    with the 1e-15 and 1e-16 lines where they fall inside it."""
    figure, axes = _new("Uncorrectable bit error rate (estimate)", _AEC_LABEL,
                        "UBER (errors per bit)")
    series = []
    for column, label, style, colour in _UBER_SERIES:
        per_round = "per round" in label
        points = _points(log, column, _ENDS if per_round else None, positive=True)
        if points:
            series.append((points, label, style, colour,
                           None if per_round else _points(log, column, _ENDS, positive=True)))
    if series:
        _log_axis(axes, [p[1] for points, *_ in series for p in points])
        for points, label, style, colour, marked in series:
            _plot(axes, points, label, "UBER", style, marked, lw=1.6, ms=3, color=colour, mfc="none")
        low, high = axes.get_ylim()
        for level, text in ((1e-15, "1e-15"), (1e-16, "1e-16")):
            if low < level < high:
                axes.axhline(level, color="0.25", lw=0.9, ls="--", label=f"{text} line")
    return _finish(figure, axes, key, bool(series), "no bit error counted yet")


def tool_errors(log, key):
    """The tester's own uncorrectable bit and failed sector counts, one panel each."""
    figure, (top, bottom) = plt.subplots(2, 1, figsize=(_WIDTH, _HEIGHT * 1.25), sharex=True,
                                         layout="constrained")
    top.set_title("Errors counted by the tester", loc="left")
    for axes, column, label, unit, colour, style in (
            (top, L.BIT_ERRORS, "uncorrectable bits", "bits", "C3", "-o"),
            (bottom, L.SECTOR_FAILS, "failed sectors", "sectors", "C0", "-s")):
        axes.set_ylabel(unit)
        points = _points(log, column)
        if points:
            _plot(axes, points, label, label, style, _points(log, column, _ENDS), ms=3, lw=1.6,
                  color=colour, drawstyle="steps-post")
            _count_axis(axes, [p[1] for p in points])
            _legend(axes)
        else:
            _no_data(axes)
    bottom.set_xlabel(_AEC_LABEL)
    bottom.xaxis.set_major_locator(MaxNLocator(integer=True))
    return _svg(figure, key)


def failure_blocks(log, key):
    """Program, erase and read failure blocks; None for a layout without them."""
    if not any(c in log.columns for c in (L.PROGRAM_FAILS, L.ERASE_FAILS, L.READ_FAILS)):
        return None
    figure, axes = _new("Failure blocks reported by the drive", _AEC_LABEL, "blocks")
    counts = []
    for (column, label), style in zip(((L.PROGRAM_FAILS, "program"), (L.ERASE_FAILS, "erase"),
                                       (L.READ_FAILS, "read")), ("-o", "--s", ":^")):
        points = _points(log, column)
        if points:
            _plot(axes, points, label, "failure blocks", style, _points(log, column, _ENDS), lw=1.6,
                  ms=3, drawstyle="steps-post")
            counts += [p[1] for p in points]
    if counts:
        _count_axis(axes, counts)
    return _finish(figure, axes, key, bool(counts))


def speeds(log, key):
    """Read and write speed of each round's end line, and of read-only passes."""
    figure, axes = _new("Device speed per round", "round", "MB/s")
    ends = [line for line in log.lines if line.kind == ROUND_END]
    passes = [line for line in log.lines if line.kind == READ_ONLY]
    if ends or passes:
        for column, label, colour in ((L.WRITE_SPEED, "write", "C1"), (L.READ_SPEED, "read", "C0")):
            points = _thin([(x.round, x.values[column], x.round) for x in ends
                            if _finite(x.values.get(column))])
            if points:
                _plot(axes, points, label, "MB/s", "-o", ms=3, lw=1.5, color=colour)
        if passes:
            _plot(axes, _thin([(p.round, p.values[L.READ_SPEED], p.round) for p in passes]),
                  "read-only pass", "MB/s", "D", ms=6, color="C2")
        axes.set_ylim(bottom=0)
    return _finish(figure, axes, key, bool(ends or passes), "no round finished yet")


def durations(log):
    """(round, seconds) from one round boundary to the next round end, by the lines'
    UTC times; a round whose times still run backwards (a time-zone change the
    placing in UTC cannot see) has no duration. Returns the durations and the number
    of rounds left out."""
    found, crossed, start = [], 0, None
    for line, time in zip(log.lines, utctimes.utc_times(log)):
        if line.kind == ROUND_END and start is not None and time is not None:
            seconds = (time - start).total_seconds()
            if seconds < 0:
                crossed += 1
            else:
                found.append((line.round, seconds))
        if line.kind in (INITIAL, ROUND_END, READ_ONLY, EMPTY_END):
            start = time
    return found, crossed


def round_times(log, key):
    """Time from one round boundary to the next round end."""
    found, crossed = durations(log)
    found = _thin(found)
    longest = max((d for _, d in found), default=0)
    unit, scale = ("h", 3600) if longest >= 3 * 3600 else ("min", 60) if longest >= 180 else ("s", 1)
    figure, axes = _new("Time per round", "round", f"duration ({unit})")
    if found:
        # Thinned rounds get wider bars, so that every drawn one stays visible.
        width = 0.7 * max(1.0, (found[-1][0] - found[0][0] + 1) / len(found))
        bars = axes.bar([r for r, _ in found], [d / scale for _, d in found], width=width, color="C4")
        for bar, (r, d) in zip(bars.patches, found):
            _mark(bar, [f"round {r}: {d / scale:.4g} {unit} ({d:,.0f} s)"])
        axes.xaxis.set_major_locator(MaxNLocator(integer=True))
    else:
        _no_data(axes, "no round finished yet")
    if crossed:
        axes.text(0.01, 1.0, f"{crossed} round(s) left out: the log's time ran backwards "
                  "(time-zone change)", transform=axes.transAxes, fontsize=7, color="0.35",
                  va="bottom")
    return _svg(figure, key)


def error_heat_map(log, mapped, key):
    """Bit errors by drive position (MiB) and round, from the error map beside the log."""
    figure, axes = _new("Where the errors are (error map)", "drive position (MiB)", "round",
                        width=_WIDTH)
    rounds = mapped.rounds if mapped else []
    if not rounds:
        _no_data(axes, "no round in the error map yet")
        return _svg(figure, key)
    span = max(max((r.verified_mib for r in rounds), default=1),
               max((b[0] + 1 for r in rounds for b in r.blocks), default=1))
    bins = min(span, 128)
    width = span / bins
    rows = {}
    for index, mapped_round in enumerate(rounds):
        cells = rows.setdefault(index, {})
        for offset, bits, sectors in mapped_round.blocks:
            cell = cells.setdefault(int(offset / width), [0, 0, 0])
            cell[0] += bits
            cell[1] += sectors
            cell[2] += 1
    # Each round's verified extent as a light band, then its cells.
    extents = [(r.verified_mib, i) for i, r in enumerate(rounds)]
    for patch, (verified, i) in zip(axes.barh([i for _, i in extents], [v for v, _ in extents],
                                              height=0.9, color="0.93").patches, extents):
        _mark(patch, [f"round {rounds[i].number} ({rounds[i].kind}): {verified:,} MiB verified"])
    peak = max((c[0] for cells in rows.values() for c in cells.values()), default=0)
    norm = LogNorm(vmin=1, vmax=max(peak, 2))
    colours = plt.get_cmap("inferno_r")
    drawn = 0
    for index, cells in rows.items():
        r = rounds[index]
        for column, (bits, sectors, blocks) in sorted(cells.items()):
            if drawn >= 4000:
                break
            low, high = column * width, (column + 1) * width
            patch = axes.add_patch(plt.Rectangle((low, index - 0.45), width, 0.9,
                                                 color=colours(norm(max(bits, 1)))))
            _mark(patch, [f"round {r.number} ({r.kind}, erase count {r.aec}): MiB {low:,.0f}"
                          f"–{high:,.0f}: {bits:,} bit errors, {sectors:,} failed sectors in "
                          f"{blocks} block(s)"])
            drawn += 1
    axes.set_xlim(0, span)
    axes.set_ylim(-0.6, len(rounds) - 0.4)
    axes.yaxis.set_major_locator(MaxNLocator(integer=True, nbins=8))
    axes.yaxis.set_major_formatter(FuncFormatter(
        lambda v, _: str(rounds[int(v)].number) if 0 <= int(v) < len(rounds) else ""))
    axes.grid(False)
    if peak:
        bar = figure.colorbar(plt.cm.ScalarMappable(norm=norm, cmap=colours), ax=axes, pad=0.01)
        bar.set_label("bit errors per cell")
    else:
        axes.text(0.5, 1.0, "no bit errors in any mapped round", transform=axes.transAxes,
                  ha="center", va="bottom", color="0.45")
    unlisted = sum(r.unlisted for r in rounds)
    if unlisted:
        axes.text(0.01, -0.2, f"{unlisted:,} block(s) with errors beyond each round's first 10,000 "
                  "are counted, not placed", transform=axes.transAxes, fontsize=7, color="0.35")
    return _svg(figure, key)


# Beyond this many drives one chart per drive, small, instead of one crowded chart.
SMALL_MULTIPLES_FROM = 7
_PANEL_COLUMNS = 4


def _bench(logs, labels, anchors, key, title, ylabel, series_of, log_scale):
    """One chart of all drives: a series per drive, each linked to its section."""
    if len(logs) >= SMALL_MULTIPLES_FROM:
        return _small_multiples(logs, labels, anchors, key, title, ylabel, series_of, log_scale)
    figure, axes = _new(title, _AEC_LABEL, ylabel, width=_WIDTH * 1.6)
    drawn, links = [], {}
    for log, label, anchor in zip(logs, labels, anchors):
        points = series_of(log)
        if points:
            _plot(axes, points, label, ylabel.split(" ")[0], "-o", series_of(log, _ENDS), lw=1.5,
                  ms=5)
            for line in axes.lines[-2:]:  # the line (markers take no link in SVG)
                line.set_url(f"#{anchor}")
            links[str(label)] = f"#{anchor}"
            drawn += [p[1] for p in points]
    if drawn:
        _scale(axes, drawn, log_scale)
        legend = _legend(axes, ncol=1 if len(links) <= 12 else 2)
        for text in legend.get_texts():
            text.set_url(links.get(text.get_text()))
    else:
        _no_data(axes, "nothing to draw yet")
    axes.xaxis.set_major_locator(MaxNLocator(integer=True))
    return _svg(figure, key)


def _scale(axes, values, log_scale):
    if log_scale:
        _log_axis(axes, values)
    else:
        _count_axis(axes, values)


def _small_multiples(logs, labels, anchors, key, title, ylabel, series_of, log_scale):
    """One small panel per drive on shared axes, its title linked to the drive's section;
    every drawn point keeps its hover title."""
    rows = math.ceil(len(logs) / _PANEL_COLUMNS)
    figure, grid = plt.subplots(rows, _PANEL_COLUMNS, figsize=(_WIDTH * 1.6, 1.75 * rows + 0.7),
                                sharex=True, sharey=True, squeeze=False, layout="constrained")
    figure.suptitle(title, x=0.01, ha="left", fontsize=10, fontweight="bold")
    figure.supxlabel(_AEC_LABEL, fontsize=9)
    figure.supylabel(ylabel, fontsize=9)
    panels = list(grid.flat)
    drawn = []
    for axes, log, label, anchor in zip(panels, logs, labels, anchors):
        heading = axes.set_title(str(label), loc="left", fontsize=7.5, fontweight="normal",
                                 color="#1a56b0")  # a link to the drive's section
        heading.set_parse_math(False)
        heading.set_url(f"#{anchor}")
        points = series_of(log)
        if points:
            _plot(axes, points, label, ylabel.split(" ")[0], "-o", series_of(log, _ENDS), lw=1.2,
                  ms=3, color="C0")
            for line in axes.lines[-2:]:
                line.set_url(f"#{anchor}")
            drawn += [p[1] for p in points]
        else:
            _no_data(axes, "nothing yet")
    for axes in panels[len(logs):]:
        axes.set_visible(False)
    if drawn:
        _scale(panels[0], drawn, log_scale)  # shared by every panel
    panels[0].xaxis.set_major_locator(MaxNLocator(integer=True, nbins=4))
    return _svg(figure, key)


def _failure_sum(log, kinds=None):
    columns = [c for c in (L.PROGRAM_FAILS, L.ERASE_FAILS, L.READ_FAILS) if c in log.columns]
    if not columns:
        return []
    found = []
    for line in log.lines:
        if kinds is not None and line.kind not in kinds:
            continue
        x = line.values.get(L.AEC)
        values = [line.values.get(c) for c in columns]
        if _finite(x) and all(_finite(v) for v in values):
            found.append((x, sum(values), line.round))
    return _thin(found)


def bench_charts(logs, labels, anchors):
    """RBER, UBER (8-bit ECC) and failure blocks of every drive."""
    return [
        _bench(logs, labels, anchors, "bench-rber", "Raw bit error rate of every drive",
               "RBER (cumulative, errors per bit)", lambda log, kinds=None: _points(log, L.RBER, kinds, positive=True),
               True),
        _bench(logs, labels, anchors, "bench-uber", "Uncorrectable bit error rate of every drive",
               "UBER (8-bit ECC estimate, errors per bit)",
               lambda log, kinds=None: _points(log, L.UBER8, kinds, positive=True), True),
        _bench(logs, labels, anchors, "bench-fails", "Failure blocks of every drive",
               "blocks (program + erase + read failures)", _failure_sum, False),
    ]


DRIVE_CHARTS = [rber, uber, tool_errors, failure_blocks, speeds, round_times]
