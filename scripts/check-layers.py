#!/usr/bin/env python3
"""Checks that the product folders include each other only downwards.

Reads every `#include "folder/..."` line of the product folders and fails
(exit status 1), naming the folders, when
  - the folders include each other in a cycle, or
  - a folder includes one that its row of LAYERS below does not allow.
The same table is in docs/architecture.md; change both together.

Usage: check-layers.py [--root DIR]   (DIR defaults to the source tree)
"""

import argparse
import os
import re
import sys

# folder -> the folders its code may include (besides itself).
LAYERS = {
    "util": set(),
    "serial": {"util"},
    "project": {"util"},
    "rom": {"util", "project"},
    "link": {"util", "serial"},
    "fieldbus": {"util", "serial"},
    "app": {"util", "project", "rom", "link", "fieldbus"},
    "cli": {"util", "serial", "project", "rom", "link", "fieldbus"},
}

SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".c")
INCLUDE = re.compile(r'^\s*#\s*include\s*"([A-Za-z0-9_]+)/[^"]*"')


def scan(root):
    """(folder, included folder) -> [(file, line number, included path)]."""
    edges = {}
    for folder in LAYERS:
        top = os.path.join(root, folder)
        for dirpath, dirnames, filenames in os.walk(top):
            dirnames.sort()
            for name in sorted(filenames):
                if not name.endswith(SOURCE_SUFFIXES):
                    continue
                path = os.path.join(dirpath, name)
                with open(path, encoding="utf-8", errors="replace") as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m or m.group(1) not in LAYERS or m.group(1) == folder:
                            continue
                        included = line.split('"')[1]
                        rel = os.path.relpath(path, root)
                        edges.setdefault((folder, m.group(1)), []).append((rel, number, included))
    return edges


def cycles(edges):
    """The strongly connected groups of two or more folders, each as a sorted list."""
    graph = {f: sorted(t for (s, t) in edges if s == f) for f in LAYERS}
    index, low, stack, on_stack, groups = {}, {}, [], set(), []
    counter = [0]

    def visit(v):
        index[v] = low[v] = counter[0]
        counter[0] += 1
        stack.append(v)
        on_stack.add(v)
        for w in graph[v]:
            if w not in index:
                visit(w)
                low[v] = min(low[v], low[w])
            elif w in on_stack:
                low[v] = min(low[v], index[w])
        if low[v] == index[v]:
            group = []
            while True:
                w = stack.pop()
                on_stack.discard(w)
                group.append(w)
                if w == v:
                    break
            if len(group) > 1:
                groups.append(sorted(group))

    for f in sorted(LAYERS):
        if f not in index:
            visit(f)
    return groups


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    args = parser.parse_args(argv)

    edges = scan(args.root)
    problems = []
    for group in cycles(edges):
        problems.append("cycle between folders: " + " <-> ".join(group))
        for (s, t), where in sorted(edges.items()):
            if s in group and t in group:
                file, number, included = where[0]
                problems.append(f"  {s} -> {t}: {file}:{number} includes \"{included}\"")
    for (s, t), where in sorted(edges.items()):
        if t in LAYERS[s]:
            continue
        allowed = ", ".join(sorted(LAYERS[s])) or "nothing"
        problems.append(f"{s} may not include {t} ({s} may use: {allowed})")
        for file, number, included in where:
            problems.append(f"  {file}:{number} includes \"{included}\"")

    if problems:
        print("check-layers: FAILED", file=sys.stderr)
        for p in problems:
            print(p, file=sys.stderr)
        return 1
    count = sum(len(w) for w in edges.values())
    print(f"check-layers: {count} includes between folders, all downwards")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
