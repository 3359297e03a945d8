"""The report page: one self-contained HTML file (styles, charts and its
small script inline; nothing is loaded from elsewhere)."""

import datetime
import html
import math
import os

from . import charts, fleet, utctimes
from . import logread as L
from .rounds import NOTE as ROUND_NOTE
from .rounds import READ_ONLY, count_rounds

STALE_AFTER = datetime.timedelta(days=1)

# Figures of the last line shown in a drive's header, in this order.
LAST_LINE_COLUMNS = [
    (L.AEC, "average erase count"), ("Maximum Erase Count", "maximum erase count"),
    ("Minimum Erase Count", "minimum erase count"),
    (L.RBER, "RBER"), (L.UBER8, "UBER 8-bit ECC"), (L.UBER12, "UBER 12-bit ECC"),
    (L.ROUND_RBER, "RBER last round"), (L.ROUND_UBER8, "UBER 8-bit last round"),
    (L.ROUND_UBER12, "UBER 12-bit last round"),
    (L.BIT_ERRORS, "uncorrectable bits counted"), (L.SECTOR_FAILS, "failed sectors counted"),
    (L.PROGRAM_FAILS, "program failure blocks"), (L.ERASE_FAILS, "erase failure blocks"),
    (L.READ_FAILS, "read failure blocks"),
    (L.READ_SPEED, "read speed (MB/s)"), (L.WRITE_SPEED, "write speed (MB/s)"),
]

_STYLE = """
body { font: 14px/1.4 system-ui, sans-serif; margin: 0 auto; max-width: 1600px; padding: 1em 1.5em;
       color: #1d232b; background: #fff; }
h1 { font-size: 1.6em; margin: .2em 0; } h2 { margin-top: 1.6em; border-bottom: 2px solid #d5dae1; }
table { border-collapse: collapse; margin: .6em 0; }
th, td { padding: .25em .7em; border-bottom: 1px solid #e3e6ea; text-align: left; }
td.n { text-align: right; font-variant-numeric: tabular-nums; white-space: nowrap; }
.bench td:first-child { white-space: nowrap; }
.facts { display: grid; grid-template-columns: max-content auto; gap: .15em 1.2em; margin: .6em 0; }
.facts dt { color: #5a6472; } .facts dd { margin: 0; font-weight: 600; }
.last { display: grid; grid-template-columns: repeat(auto-fill, minmax(150px, 1fr)); gap: .4em;
        margin: .4em 0 1em; }
.last div { background: #f3f5f8; border-radius: 4px; padding: .3em .6em; }
.last span { display: block; color: #5a6472; font-size: .8em; }
.last b { font-size: 1.1em; font-variant-numeric: tabular-nums; }
.charts { display: grid; grid-template-columns: repeat(auto-fit, minmax(520px, 1fr)); gap: .8em; }
figure.chart { margin: 0; } figure.chart svg { width: 100%; height: auto; display: block; }
figure.chart figcaption { color: #5a6472; font-size: .8em; }
.stale { color: #b3261e; font-weight: 600; }
.scroll { overflow-x: auto; }
table.sortable { font-size: 13px; }
table.sortable th, table.sortable td { padding: .25em .45em; }
table.sortable th { cursor: pointer; user-select: none; white-space: nowrap; }
table.sortable td.state { min-width: 11em; }
table.sortable th[data-order="down"]::after { content: " ▼"; }
table.sortable th[data-order="up"]::after { content: " ▲"; }
tr.marked td.state { font-weight: 700; }
tr.state-failed, tr.state-refused { background: #fde7e6; } tr.state-failed td.state { color: #b3261e; }
tr.state-abandoned { background: #fff4dc; } tr.state-abandoned td.state { color: #8a4b00; }
tr.state-stale { background: #eceff3; } tr.state-stale td.state { color: #5a6472; }
figure.chart.wide { grid-column: 1 / -1; }
#tip { position: fixed; pointer-events: none; background: #1d232b; color: #fff; padding: .25em .5em;
       border-radius: 3px; font-size: 12px; max-width: 36em; z-index: 10; }
.problems { color: #8a4b00; } code { font-size: .9em; }
.muted { color: #5a6472; }
"""

# Collects script errors into the page, and marks each chart that the
# browser has laid out with at least one drawn data series.
_ERROR_COLLECTOR = """
window.reportErrors = [];
window.onerror = function (message, source, line) {
  window.reportErrors.push(message + ' (' + source + ':' + line + ')');
  var box = document.getElementById('page-errors');
  if (box) { box.textContent = window.reportErrors.join('\\n'); box.hidden = false; }
};
"""
# Shows an element's SVG title at once in a tip beside the pointer (the
# browser's own title tip comes late and not at all on touch screens).
_TIP = """
(function () {
  var tip = document.getElementById('tip');
  function titleOf(element) {
    for (; element && element.tagName !== 'svg'; element = element.parentNode) {
      var title = element.querySelector ? element.querySelector(':scope > title') : null;
      if (title) return title.textContent;
    }
    return '';
  }
  document.addEventListener('mouseover', function (event) {
    var text = titleOf(event.target);
    tip.hidden = !text;
    tip.textContent = text;
    if (text) { tip.style.left = (event.clientX + 12) + 'px'; tip.style.top = (event.clientY + 12) + 'px'; }
  });
})();
"""
# With #hover-check the page hovers the first point of every chart and
# keeps the tip's text on the figure, for the headless browser's check.
_CHART_CHECK = """
window.addEventListener('load', function () {
  if (location.hash === '#hover-check') {
    document.querySelectorAll('figure.chart').forEach(function (figure) {
      var point = figure.querySelector('[id*="-series-"] title');
      if (!point) return;
      point.parentNode.scrollIntoView({block: 'center'});
      var box = point.parentNode.getBoundingClientRect();
      var x = box.left + box.width / 2, y = box.top + box.height / 2;
      var under = document.elementFromPoint(x, y);
      if (under) under.dispatchEvent(new MouseEvent('mouseover', {bubbles: true, clientX: x, clientY: y}));
      var tip = document.getElementById('tip');
      figure.dataset.hover = tip.hidden ? '' : tip.textContent;
    });
  }
  document.querySelectorAll('figure.chart').forEach(function (figure) {
    var svg = figure.querySelector('svg');
    var box = svg ? svg.getBoundingClientRect() : { width: 0, height: 0 };
    var series = svg ? svg.querySelectorAll('[id*="-series-"] path').length : 0;
    figure.dataset.drawn = box.width > 0 && box.height > 0 && series > 0 ? 'yes' : 'no';
  });
  document.body.dataset.checked = 'yes';
});
"""


def _e(text) -> str:
    return html.escape(str(text), quote=True)


def _time(value) -> str:
    return value.strftime("%Y-%m-%d %H:%M:%S") if value else "not-a-date-time"


def _bytes(count) -> str:
    for unit, size in (("TB", 1e12), ("GB", 1e9), ("MB", 1e6)):
        if count >= size:
            return f"{count / size:.3g} {unit}"
    return f"{count:.0f} B"


def _first(log, column):
    return next((v for v in log.series(column) if v is not None), None)


def _last(log, column):
    return next((v for v in reversed(log.series(column)) if v is not None), None)


def drive_label(log) -> str:
    number = "?" if log.drive is None else log.drive
    return f"drive {number} · {log.model}" + (f" · {log.serial}" if log.serial else "")


def _facts(log) -> str:
    items = [("model", log.model), ("serial", log.serial or "unknown (no viewer capture beside the log)"),
             ("file", log.path), ("layout", f"{log.title} ({log.layout})")]
    if log.lines:
        first, last = log.lines[0].values, log.lines[-1].values
        items += [("first line", _time(first.get(L.TIME))), ("last line", _time(last.get(L.TIME))),
                  ("times", f"local, as logged (placed in UTC by {utctimes.source(log)})"),
                  ("erase count", f"{_first(log, L.AEC)} → {_last(log, L.AEC)}")]
        passes = sum(1 for line in log.lines if line.kind == READ_ONLY)
        passes_text = f" and {passes} read-only pass(es)" if passes else ""
        items.append(("rounds", f"{count_rounds(log)}{passes_text}"))
        items.append(("round ends told by", log.round_rule))
        start, end = _first(log, L.WRITE_SECTORS), _last(log, L.WRITE_SECTORS)
        if start is not None and end is not None:
            items.append(("data written", f"{_bytes((end - start) * 512)} in this log "
                                          f"({_bytes(end * 512)} over the drive's life)"))
    return "<dl class=\"facts\">" + "".join(
        f"<dt>{_e(k)}</dt><dd data-fact=\"{_e(k)}\">{_e(v)}</dd>" for k, v in items) + "</dl>"


def _last_line(log) -> str:
    if not log.lines:
        return "<p class=\"muted\">The log has no readable data line yet.</p>"
    line = log.lines[-1]
    texts = line.texts
    shown = [(c, label) for c, label in LAST_LINE_COLUMNS if c in texts]
    cells = "".join(f"<div><span>{_e(label)}</span><b data-column=\"{_e(c)}\">{_e(texts[c])}</b></div>"
                    for c, label in shown)
    return (f"<p class=\"muted\">Figures of the last line (line {line.line}, {_e(line.kind)}, "
            f"{_e(_time(line.values.get(L.TIME)))}), as logged:</p><div class=\"last\">{cells}</div>")


def _problems(log) -> str:
    if not log.problems:
        return ""
    items = "".join(f"<li>line {p.line}: {_e(p.reason)}"
                    + (f"<br><code>{_e(p.text)}</code>" if p.text else "") + "</li>" for p in log.problems)
    return f"<div class=\"problems\"><p>Lines not read:</p><ul>{items}</ul></div>"


def _drive_section(log, anchor) -> str:
    drawn = (chart(log, f"{anchor}-{n}") for n, chart in enumerate(charts.DRIVE_CHARTS))
    drawn = list(drawn)
    if log.error_map is not None:
        drawn.append(charts.error_heat_map(log, log.error_map, f"{anchor}-map"))
    figures = "".join(f"<figure class=\"chart\">{svg}</figure>" for svg in drawn if svg)
    return (f"<section class=\"drive\" id=\"{anchor}\"><h2>{_e(drive_label(log))}</h2>"
            f"{_facts(log)}{_last_line(log)}{_problems(log)}<div class=\"charts\">{figures}</div></section>")


def _number(value) -> str:
    if value is None:
        return "—"
    if isinstance(value, float) and (math.isnan(value) or math.isinf(value)):
        return str(value)
    return f"{value:.4g}" if isinstance(value, float) else str(value)


def _bench_section(logs, anchors, now) -> str:
    labels = [drive_label(log) for log in logs]
    figures = "".join(f"<figure class=\"chart wide\">{svg}</figure>"
                      for svg in charts.bench_charts(logs, labels, anchors))
    return (f"<section id=\"bench\"><h2>Bench: {len(logs)} drives</h2>"
            f"<p class=\"muted\">Most worn first; click a heading to sort by it. Failed, abandoned, "
            f"refused and stale runs are marked.</p><div class=\"scroll\">{fleet.table(logs, anchors, now)}</div>"
            f"<div class=\"charts\">{figures}</div></section>")


def _notes(logs, passed_over) -> str:
    items = [ROUND_NOTE,
             "Charts with a logarithmic scale leave out zero rates; lines whose rate is not a number "
             "(nan, -nan: no sector read yet) or infinite are left out of every chart.",
             "The fleet table and each drive's serial come from the run status file beside the log "
             "(drive&lt;N&gt;_&lt;model&gt;.status.json, times in UTC); without one the serial is read "
             "from the newest viewer capture or lab bench file beside the log and the state is "
             "unknown.",
             f"Stale: a running test whose status file was not updated for more than "
             f"{STALE_AFTER.days} day, or without a status file, a log unchanged that long.",
             "Times per round are measured in UTC: the log's local times are placed by the tester's "
             "UTC offset, from the run status file where it agrees with the log's last line, else by "
             "this computer's time zone, so a daylight saving change gives no negative or lost round.",
             "Where the errors are: the error map beside the log (drive&lt;N&gt;_&lt;model&gt;.errors.csv) "
             "lists per round the 1 MiB blocks with bit errors; hover a cell for its figures.",
             "The second controller kind's layout has no failure block counters; its page has no "
             "chart of them.",
             "A line is read only when it is complete (it ends with its line end) and has every "
             "column; each line passed over is named in its drive's section."]
    body = "".join(f"<li>{item}</li>" for item in items)
    if passed_over:
        files = "".join(f"<li><code>{_e(path)}</code>: {_e(reason)}</li>" for path, reason in passed_over)
        body += (f"<li><details><summary>{len(passed_over)} file(s) passed over</summary>"
                 f"<ul>{files}</ul></details></li>")
    return f"<section id=\"notes\"><h2>Notes</h2><ul>{body}</ul></section>"


def render(logs, passed_over, now=None) -> str:
    """The whole page for the given logs (already read and classified)."""
    now = now or datetime.datetime.now(datetime.timezone.utc)
    anchors = [f"drive-{i + 1}" for i in range(len(logs))]
    bench = _bench_section(logs, anchors, now) if len(logs) > 1 else ""
    drives = "".join(_drive_section(log, anchor) for log, anchor in zip(logs, anchors))
    title = "ssdtest report: " + (drive_label(logs[0]) if len(logs) == 1 else f"{len(logs)} drives")
    sources = ", ".join(sorted({os.path.dirname(os.path.abspath(log.path)) for log in logs}))
    return (f"<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
            f"<meta name=\"viewport\" content=\"width=device-width\"><title>{_e(title)}</title>"
            f"<script>{_ERROR_COLLECTOR}</script><style>{_STYLE}{charts.style_sheet()}</style></head><body>"
            f"<h1>{_e(title)}</h1><p class=\"muted\">Made {_e(_time(now))} UTC from {len(logs)} log(s) in "
            f"{_e(sources)}.</p><pre id=\"page-errors\" hidden></pre>"
            f"{bench}{drives}{_notes(logs, passed_over)}<div id=\"tip\" hidden></div>"
            f"<script>{_TIP}{fleet.SORT_SCRIPT}{_CHART_CHECK}</script></body></html>\n")
