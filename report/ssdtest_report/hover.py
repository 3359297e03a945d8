"""Values on hover: an SVG <title> for every drawn point, bar and cell.

Each series is drawn with an SVG id (its gid); after matplotlib has written
the SVG, the titles registered for that id are put, in order, into the
series' markers (<use>) or, for bars and cells, into their paths.
"""

import html
import re

_GROUP = re.compile(r'<g id="([^"]+)"')
_ELEMENT = re.compile(r"<(use|path)\b[^>]*?/>", re.S)


def _group_end(svg: str, start: int) -> int:
    """Index just past the </g> that closes the <g> opening at start."""
    depth, at = 0, start
    tags = re.compile(r"<g\b|</g>")
    for match in tags.finditer(svg, start):
        depth += 1 if match.group() != "</g>" else -1
        at = match.end()
        if depth == 0:
            return at
    return at


def inject(svg: str, titles: dict) -> str:
    """The SVG with titles[gid][i] as the title of the i-th marker (or path) of group gid."""
    if not titles:
        return svg
    pieces, last = [], 0
    for match in _GROUP.finditer(svg):
        texts = titles.get(match.group(1))
        if not texts or match.start() < last:
            continue
        end = _group_end(svg, match.start())
        group = svg[match.start():end]
        kind = "use" if "<use" in group else "path"
        counter = iter(texts)

        def titled(element, kind=kind, counter=counter):
            if element.group(1) != kind:
                return element.group()
            text = next(counter, None)
            if text is None:
                return element.group()
            return f"{element.group()[:-2]}><title>{html.escape(text)}</title></{kind}>"

        pieces += [svg[last:match.start()], _ELEMENT.sub(titled, group)]
        last = end
    pieces.append(svg[last:])
    return "".join(pieces)
