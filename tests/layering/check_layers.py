#!/usr/bin/env python3
"""Checks that src/ keeps its layers: every #include "x/..." of a file in
folder F names a folder F may use, and the folders' include graph has no
cycle. Usage: check_layers.py SRC_DIR"""
import os
import re
import sys

# What each folder may include besides itself; a folder below another in
# this list never reaches up. The exact and robust detectors of one kind
# know nothing of each other.
ALLOWED = {
    "base": set(),
    "codec": {"base"},
    "simd": {"base"},
    "dtmf/exact": {"dtmf", "codec", "simd", "base"},
    "dtmf/robust": {"dtmf", "base"},
    "dtmf": {"codec", "base"},
    "callerid/exact": {"callerid", "codec", "base"},
    "callerid/robust": {"callerid", "dtmf", "dtmf/robust", "codec", "base"},
    "callerid": {"dtmf", "dtmf/exact", "dtmf/robust", "codec", "base"},
    "detect": {"dtmf", "dtmf/exact", "dtmf/robust", "callerid", "callerid/exact", "callerid/robust", "codec", "base"},
    "io": {"codec", "base"},
    "io/device": {"io", "codec", "base"},
    "io/sip": {"io", "base"},
    "io/calls": {"io/sip", "io", "codec", "base"},
    "calls": {"io/calls", "io", "detect", "dtmf", "codec", "base"},
    "report": {"calls", "io/calls", "detect", "io", "dtmf", "callerid", "codec", "base"},
    "runs": {"dtmf", "dtmf/exact", "callerid", "callerid/exact", "codec", "base"},
    "tools": {"codec", "base"},
    "platform": {"base"},
    "auth": {"platform", "base"},
    "script": {"platform", "base"},
    "plot": {"detect", "dtmf", "dtmf/exact", "dtmf/robust", "callerid", "callerid/exact", "io", "runs", "codec",
             "base"},
    "plot_qt": {"plot", "dtmf", "dtmf/exact", "dtmf/robust", "callerid", "callerid/exact", "codec", "base"},
}
# The command line and the window sit on top: they may use any folder
# below them, never each other.
TOP = {"cli": "app", "app": "cli"}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')


def folder_of(path):
    """The layer of a path under src/: its first folder, or the first two
    where the second is a detector profile."""
    parts = path.split("/")
    if len(parts) >= 3 and "/".join(parts[:2]) in ALLOWED:
        return "/".join(parts[:2])
    return parts[0]


def main():
    src = sys.argv[1]
    problems = []
    graph = {}
    for root, _, files in os.walk(src):
        for name in files:
            if not name.endswith((".h", ".cpp")):
                continue
            path = os.path.join(root, name)
            rel = os.path.relpath(path, src)
            if "/" not in rel:
                continue
            here = folder_of(rel)
            with open(path, encoding="utf-8") as f:
                for number, line in enumerate(f, 1):
                    m = INCLUDE.match(line)
                    if not m or "/" not in m.group(1):
                        continue
                    there = folder_of(m.group(1))
                    if there == here or not os.path.exists(os.path.join(src, m.group(1))):
                        continue
                    graph.setdefault(here, set()).add(there)
                    if here in TOP:
                        ok = there != TOP[here]
                    else:
                        ok = there in ALLOWED.get(here, set())
                    if not ok:
                        problems.append(f"{rel}:{number}: {here}/ may not include {m.group(1)}")
    for here in graph:
        if here not in ALLOWED and here not in TOP:
            problems.append(f"{here}/ is not placed in the layers (tests/layering/check_layers.py)")

    # Folder cycles, found by depth-first search.
    state = {}

    def visit(node, trail):
        state[node] = "open"
        for nxt in sorted(graph.get(node, ())):
            if state.get(nxt) == "open":
                problems.append("include cycle: " + " -> ".join(trail[trail.index(nxt):] + [nxt]))
            elif nxt not in state:
                visit(nxt, trail + [nxt])
        state[node] = "done"

    for node in sorted(graph):
        if node not in state:
            visit(node, [node])

    for p in problems:
        print(p)
    print(f"layers: {len(problems)} problems in {len(graph)} folders")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
