"""The fleet table: one row per drive with its run's state, from the run
status file beside the log where there is one, else from the log itself."""

import datetime
import html
import math

from . import logread as L
from .rounds import ROUND_END, count_rounds
from .runstatus import STALE_AFTER, parse_utc, state_of

# Rows whose state needs the operator's eye.
MARKED = {"failed", "abandoned", "stale", "refused"}
HEADS = [("drive", "text"), ("serial", "text"), ("model", "text"), ("host", "text"),
         ("state", "text"), ("target", "num"), ("progress", "num"), ("rounds", "num"),
         ("erase count", "num"), ("TB written", "num"), ("bit errors", "num"),
         ("failed sectors", "num"), ("RBER", "num"), ("UBER 8-bit", "num"),
         ("write MB/s", "num"), ("read MB/s", "num"), ("last update (UTC)", "text")]


def _last(log, column):
    return next((line.values.get(column) for line in reversed(log.lines)
                 if line.values.get(column) is not None), None)


def _first(log, column):
    return next((line.values.get(column) for line in log.lines
                 if line.values.get(column) is not None), None)


def _number(value):
    return value if isinstance(value, (int, float)) and not isinstance(value, bool) else None


def _mean(values):
    values = [v for v in values if isinstance(v, (int, float)) and math.isfinite(v) and v > 0]
    return sum(values) / len(values) if values else None


def row(log, now: datetime.datetime) -> dict:
    """The table's figures for one drive (None where unknown)."""
    status = log.status or {}
    drive = status.get("drive") or {}
    aec = _number(status.get("average_erase_count"))
    aec = aec if aec is not None else _last(log, L.AEC)
    target = _number(status.get("target_aec"))
    start = _number(status.get("start_average_erase_count"))
    start = start if start is not None else _first(log, L.AEC)
    progress = None
    if target is not None and aec is not None and start is not None:
        progress = 100.0 if target <= start else max(0.0, min(100.0, 100.0 * (aec - start) / (target - start)))
    written = _number(status.get("bytes_written"))
    if written is None:
        first, last = _first(log, L.WRITE_SECTORS), _last(log, L.WRITE_SECTORS)
        written = (last - first) * 512 if first is not None and last is not None else None
    ends = [line for line in log.lines if line.kind == ROUND_END]
    if status:
        state, reason = state_of(status, now)
        updated = parse_utc(status.get("updated"))
    else:
        updated = datetime.datetime.fromtimestamp(log.modified, datetime.timezone.utc)
        stale = now - updated > STALE_AFTER
        state = "stale" if stale else "unknown"
        reason = "no status file; the log unchanged for " + f"{(now - updated).days} d" if stale \
            else "no status file beside the log"
    pick = (lambda key, fallback: _number(status.get(key)) if _number(status.get(key)) is not None
            else fallback)
    return {
        "serial": str(drive.get("serial") or log.serial or ""),
        "model": str(drive.get("model") or log.model),
        "host": str(status.get("host") or ""),
        "state": state, "reason": reason,
        "target": target, "progress": progress, "round_percent": _number(status.get("round_percent")),
        "rounds": count_rounds(log), "aec": aec,
        "tb": written / 1e12 if written is not None else None,
        "bits": pick("bit_errors", _last(log, L.BIT_ERRORS)),
        "sectors": pick("failed_sectors", _last(log, L.SECTOR_FAILS)),
        "rber": pick("rber", _last(log, L.RBER)), "uber": pick("uber", _last(log, L.UBER8)),
        "write": pick("write_mb_per_s", _mean(line.values.get(L.WRITE_SPEED) for line in ends)),
        "read": pick("read_mb_per_s", _mean(line.values.get(L.READ_SPEED) for line in ends)),
        "updated": updated,
    }


def _e(text) -> str:
    return html.escape(str(text), quote=True)


def _cell(value, shown=None, kind="num"):
    """A cell with its sort key: numbers sort by value, unknown ones last."""
    if value is None or (isinstance(value, float) and not math.isfinite(value)):
        text = "—" if value is None else str(value)
        return f"<td class=\"n\" data-sort=\"\">{_e(text)}</td>"
    text = shown if shown is not None else (f"{value:,}" if isinstance(value, int) else f"{value:.4g}")
    return f"<td class=\"n\" data-sort=\"{value!r}\">{_e(text)}</td>"


def table(logs, anchors, now) -> str:
    """The sortable table (most worn first until a heading is clicked)."""
    rows = [(row(log, now), log, anchor) for log, anchor in zip(logs, anchors)]
    rows.sort(key=lambda r: (r[0]["aec"] if r[0]["aec"] is not None else -1), reverse=True)
    body = []
    for r, log, anchor in rows:
        state = r["state"] + (f": {r['reason']}" if r["reason"] else "")
        marked = " class=\"marked state-" + r["state"] + "\"" if r["state"] in MARKED else ""
        progress = None if r["progress"] is None else (
            f"{r['progress']:.1f} %" + (f" (round {r['round_percent']:.0f} %)"
                                        if r["round_percent"] is not None and r["state"] == "running" else ""))
        updated = r["updated"].strftime("%Y-%m-%d %H:%M") if r["updated"] else "—"
        body.append(
            f"<tr{marked} data-state=\"{_e(r['state'])}\">"
            f"<td data-sort=\"{_e(log.drive)}\"><a href=\"#{anchor}\">drive {_e(log.drive)}</a></td>"
            f"<td>{_e(r['serial'] or '—')}</td><td>{_e(r['model'])}</td><td>{_e(r['host'] or '—')}</td>"
            f"<td class=\"state\" data-sort=\"{_e(r['state'])}\">{_e(state)}</td>"
            + _cell(r["target"]) + _cell(r["progress"], progress) + _cell(r["rounds"]) + _cell(r["aec"])
            + _cell(r["tb"], None if r["tb"] is None else f"{r['tb']:.4g}") + _cell(r["bits"])
            + _cell(r["sectors"]) + _cell(r["rber"]) + _cell(r["uber"])
            + _cell(r["write"], None if r["write"] is None else f"{r['write']:.1f}")
            + _cell(r["read"], None if r["read"] is None else f"{r['read']:.1f}")
            + f"<td data-sort=\"{_e(r['updated'].isoformat() if r['updated'] else '')}\">{_e(updated)}</td></tr>")
    heads = "".join(f"<th data-kind=\"{kind}\" title=\"sort by {_e(name)}\">{_e(name)}</th>"
                    for name, kind in HEADS)
    return (f"<table class=\"bench sortable\"><thead><tr>{heads}</tr></thead>"
            f"<tbody>{''.join(body)}</tbody></table>")


# Sorting by a clicked heading (again: the other way round), in the page itself.
SORT_SCRIPT = """
document.querySelectorAll('table.sortable').forEach(function (table) {
  table.querySelectorAll('th').forEach(function (head, column) {
    head.addEventListener('click', function () {
      var numeric = head.dataset.kind === 'num';
      var down = head.dataset.order !== 'down';
      table.querySelectorAll('th').forEach(function (h) { delete h.dataset.order; });
      head.dataset.order = down ? 'down' : 'up';
      var body = table.tBodies[0];
      var rows = Array.prototype.slice.call(body.rows);
      function key(row) { return row.cells[column].dataset.sort || row.cells[column].textContent; }
      rows.sort(function (a, b) {
        var x = key(a), y = key(b);
        if (x === '' || y === '') return (x === '') - (y === '');
        var order = numeric ? parseFloat(x) - parseFloat(y) : x.localeCompare(y, undefined, {numeric: true});
        return down ? -order : order;
      });
      rows.forEach(function (row) { body.appendChild(row); });
    });
  });
});
"""
