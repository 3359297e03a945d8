#!/usr/bin/env python3
"""The core's include rules, read from the compiler's own include tree.

Every core file (the folders of .ci/layers.txt) is preprocessed with the
flags of the build's compile database and -H, which prints each header the
preprocessor opens, indented by depth; so every #include edge is the header
as the compiler found it, however the directive spells it. Each edge from a
core file must stay in its own folder, follow a line of the table, or reach a
standard or library header that is not one OS's own. A text check adds the
rule the compiler cannot see: no conditional compilation in the core.

    python3 .ci/check_layers.py [--build build] [--tree DIR] [file ...]

With files (paths in the tree), only those are preprocessed. Prints each
breach and exits 1 if there is any; 2 if the check itself cannot run.
"""

import argparse
import concurrent.futures
import json
import os
import re
import shlex
import shutil
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_SUFFIXES = (".cpp", ".h")
# Headers of one operating system, by the path the compiler found them at.
OS_HEADER = re.compile(
    r"(^|/)(windows\.h|winioctl\.h|wbemidl\.h|unistd\.h|fcntl\.h|liburing\.h|blkid\.h)$"
    r"|(^|/)(linux|sys|liburing|blkid)/",
    re.IGNORECASE,
)
CONDITIONAL = re.compile(r"^\s*#\s*(if|ifdef|ifndef|elif|elifdef|elifndef)\b")
TREE_LINE = re.compile(r"^(\.+) (.+)$")
NOT_FOUND = re.compile(r"^(.+?):(\d+):\d+: fatal error: '?([^':]+)'?(: No such file| file not found)")
# Compile options that change which header a directive finds; the rest
# (warnings, optimisation, output) do not matter to the preprocessor.
KEPT_WITH_VALUE = ("-isystem", "-iquote", "-idirafter", "-include", "-imacros", "-isysroot",
                   "--sysroot", "-target")
KEPT_PREFIXES = ("-I", "-D", "-U", "-std=", "-isystem", "-iquote", "-idirafter", "--sysroot=",
                 "--target=", "-nostdinc", "-stdlib=")


def give_up(message):
    print(f"check_layers: {message}", file=sys.stderr)
    sys.exit(2)


class Table:
    """The allowed folder-to-folder edges of .ci/layers.txt."""

    def __init__(self, path):
        self.allowed = set()
        self.exceptions = {}
        self.folders = []
        for number, raw in enumerate(open(path, encoding="utf-8"), 1):
            line = raw.split("#", 1)[0].strip()
            if not line:
                continue
            exception = re.match(r"^known exception\s+(\S+)\s*->\s*(\S+)\s+(.+)$", line)
            rule = re.match(r"^(\S+):\s*(.*)$", line)
            if exception:
                edge = (exception.group(1), exception.group(2))
                self.exceptions[edge] = exception.group(3)
                self.allowed.add(edge)
            elif rule:
                self.folders.append(rule.group(1))
                self.allowed.update((rule.group(1), to) for to in rule.group(2).split())
            else:
                give_up(f"{path}:{number}: neither 'from: to ...' nor 'known exception'")
        for start, end in self.allowed:
            if start not in self.folders:
                give_up(f"{path}: {start} -> {end}: {start} has no line of its own")

    def allows(self, start, end):
        return start == end or (start, end) in self.allowed


class CompileDatabase:
    """Preprocessor options of each core source, moved to the tree checked."""

    def __init__(self, build, tree):
        path = os.path.join(build, "compile_commands.json")
        try:
            entries = json.load(open(path, encoding="utf-8"))
        except (OSError, ValueError) as error:
            give_up(f"cannot read the compile database {path}: {error} "
                             "(configure the build folder with cmake first)")
        self.build = os.path.realpath(build)
        self.source_root = self._source_root(build)
        self.tree = tree
        self.compiler = None
        self.options = {}  # tree-relative source -> options
        for entry in entries:
            words = entry.get("arguments") or shlex.split(entry["command"])
            self.compiler = self.compiler or words[0]
            source = os.path.realpath(os.path.join(entry["directory"], entry["file"]))
            if source.startswith(self.build + os.sep):
                continue
            relative = os.path.relpath(source, self.source_root)
            self.options[relative] = self._kept(words[1:])

    @staticmethod
    def _source_root(build):
        cache = os.path.join(build, "CMakeCache.txt")
        for line in open(cache, encoding="utf-8"):
            if line.startswith("CMAKE_HOME_DIRECTORY:"):
                return os.path.realpath(line.split("=", 1)[1].strip())
        give_up(f"{cache} names no source folder (CMAKE_HOME_DIRECTORY)")

    def _kept(self, words):
        kept = []
        take_next = False
        for word in words:
            if take_next:
                kept.append(self._moved(word))
                take_next = False
            elif word in KEPT_WITH_VALUE:
                kept.append(word)
                take_next = True
            elif word.startswith(KEPT_PREFIXES):
                kept.append(self._moved(word))
        return kept

    def _moved(self, word):
        """A path of the configured source folder as the same path in the tree."""
        if self.tree == self.source_root or self.build in word:
            return word
        return word.replace(self.source_root, self.tree)

    def options_for(self, relative):
        """The file's own options, else those of a source of its folder, else any."""
        if relative in self.options:
            return self.options[relative]
        folder = relative.split("/")[0] + "/"
        for source, options in self.options.items():
            if source.startswith(folder):
                return options
        return next(iter(self.options.values()))


def folder_of(relative):
    """The layer a tree-relative path belongs to: platform/x.h is 'platform',
    a backend file 'platform/<backend>'."""
    parts = relative.split("/")
    if parts[0] == "platform" and len(parts) > 2:
        return "platform/" + parts[1]
    return parts[0] if len(parts) > 1 else "."


def include_edges(compiler, options, tree, build, relative):
    """(includer, header path) for each #include the preprocessor followed,
    and the diagnostics when preprocessing failed."""
    source = os.path.join(tree, relative)
    command = [compiler, *options, "-E", "-H", "-w", "-o", os.devnull]
    if "clang" in os.path.basename(compiler):
        # Also the includes of a header already read (#pragma once), which
        # GCC's -H leaves out.
        command.append("-fshow-skipped-includes")
    if relative.endswith(".h"):
        command += ["-x", "c++"]
    command.append(source)
    run = subprocess.run(command, cwd=build, capture_output=True, text=True)
    edges = []
    stack = [source]
    for line in run.stderr.splitlines():
        match = TREE_LINE.match(line)
        if not match:
            continue
        depth = len(match.group(1))
        header = os.path.realpath(os.path.join(build, match.group(2)))
        del stack[depth:]
        edges.append((stack[depth - 1], header))
        stack.append(header)
    failure = None if run.returncode == 0 else run.stderr
    return edges, failure


def core_files(tree, folders):
    for folder in folders:
        for directory, _, names in os.walk(os.path.join(tree, folder)):
            for name in sorted(names):
                if name.endswith(SOURCE_SUFFIXES):
                    yield os.path.relpath(os.path.join(directory, name), tree)


def conditional_breaches(tree, files):
    for relative in files:
        with open(os.path.join(tree, relative), encoding="utf-8", errors="replace") as text:
            for number, line in enumerate(text, 1):
                if CONDITIONAL.match(line):
                    yield (f"{relative}:{number}: conditional compilation "
                           f"({line.strip()}) not allowed in the core")


def edge_breach(table, tree, includer, header):
    """The breach of one include edge, or None."""
    start = folder_of(includer)
    inside = not os.path.relpath(header, tree).startswith("..")
    if not inside:
        if OS_HEADER.search(header):
            return f"{includer}: includes {header} (an OS header: the core reaches the OS " \
                   "through platform/*.h)"
        return None
    relative = os.path.relpath(header, tree)
    end = folder_of(relative)
    if table.allows(start, end):
        return None
    return f"{includer}: includes {relative} (edge {start} -> {end} not allowed)"


def failure_breaches(tree, build, relative, diagnostics):
    for line in diagnostics.splitlines():
        missing = NOT_FOUND.match(line)
        if missing:
            where = os.path.relpath(os.path.realpath(os.path.join(build, missing.group(1))), tree)
            header = missing.group(3)
            kind = "an OS header" if OS_HEADER.search(header) else "not found"
            return [f"{where}:{missing.group(2)}: includes {header} ({kind})"]
    first = next((line for line in diagnostics.splitlines() if "error" in line), "failed")
    return [f"{relative}: cannot be preprocessed: {first}"]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--build", default="build", help="configured build folder")
    parser.add_argument("--tree", default=os.path.dirname(HERE), help="source tree to check")
    parser.add_argument("--table", default=os.path.join(HERE, "layers.txt"))
    parser.add_argument("--compiler", help="default: clang++ if found, else the build's")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--list-edges", action="store_true",
                        help="print the folder edges found, with how many includes each")
    parser.add_argument("files", nargs="*", help="preprocess only these (tree paths)")
    arguments = parser.parse_args()

    tree = os.path.realpath(arguments.tree)
    table = Table(arguments.table)
    database = CompileDatabase(arguments.build, tree)
    compiler = arguments.compiler or shutil.which("clang++") or database.compiler
    if "clang" not in os.path.basename(compiler):
        print(f"note: {compiler} -H leaves out the includes of a header already read; "
              "clang++ shows them too", file=sys.stderr)
    everything = list(core_files(tree, table.folders))
    chosen = [os.path.relpath(os.path.realpath(f), tree) if os.path.isabs(f) else f
              for f in arguments.files] or everything
    # Sources first: their trees reach most headers; only the headers no
    # source reached are preprocessed alone.
    sources = [f for f in chosen if f.endswith(".cpp")]
    headers = [f for f in chosen if not f.endswith(".cpp")]

    breaches = list(conditional_breaches(tree, chosen))
    edges = set()
    with concurrent.futures.ThreadPoolExecutor(max(1, arguments.jobs)) as pool:
        for batch in (sources, headers):
            if not arguments.files:
                seen = {os.path.relpath(header, tree) for _, header in edges}
                batch = [f for f in batch if f not in seen]
            results = pool.map(
                lambda f: include_edges(compiler, database.options_for(f), tree, database.build, f),
                batch)
            for relative, (found, failure) in zip(batch, results):
                edges.update(found)
                if failure:
                    breaches += failure_breaches(tree, database.build, relative, failure)

    core = set(everything)
    used = {}
    for includer, header in sorted(edges):
        includer = os.path.relpath(includer, tree)
        if includer not in core:
            continue
        breach = edge_breach(table, tree, includer, header)
        if breach:
            breaches.append(breach)
        elif not os.path.relpath(header, tree).startswith(".."):
            edge = (folder_of(includer), folder_of(os.path.relpath(header, tree)))
            used[edge] = used.get(edge, 0) + 1

    if arguments.list_edges:
        for (start, end), count in sorted(used.items()):
            if start != end:
                note = "  (known exception)" if (start, end) in table.exceptions else ""
                print(f"{start} -> {end}: {count}{note}")
    if not arguments.files:
        for edge in sorted(set(table.exceptions) - set(used)):
            print(f"note: no include crosses the known exception {edge[0]} -> {edge[1]} "
                  f"any more; remove its line from {arguments.table}")
    breaches = sorted(set(breaches))
    for breach in breaches:
        print(breach)
    if breaches:
        plural = "es" if len(breaches) > 1 else ""
        print(f"{len(breaches)} breach{plural} of the layer rules ({arguments.table})")
        return 1
    print(f"layers: {len(chosen)} core files, {len(edges)} includes followed, no breach "
          f"({os.path.basename(compiler)})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
