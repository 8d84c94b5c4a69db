#!/usr/bin/env python3
"""Checks the include rules of docs/architecture.md against the source tree.

The rules are read from docs/architecture.md, the one place they are written:
  - the table under "## Layers" (product folders, "may include" column),
  - the table under "### Around the product" (tools, tests, bench, fuzz),
  - the table under "### Unix-only files" (files and folders that may include
    POSIX headers without a _unix name),
  - the table under "### Edges on their way out" (single includes tolerated
    until the work that removes them lands).

Every quoted include of every source file in those folders is resolved to the
file it names: beside the including file, from the source root, by its first
folder, or (for a bare name found through an include path) by its name in the
tree. The script fails (exit status 1), naming files and lines, when
  - folders include each other in a cycle,
  - a folder includes one its row does not allow (product code including
    tests/ or tools/, a benchmark including tests/ beyond tests/support, ...),
  - a POSIX header (unistd.h, fcntl.h, sys/*.h, termios.h, poll.h, dirent.h,
    ...) is included by a file that is neither named *_unix nor listed as
    Unix-only, or
  - the tables cannot be read.

Usage: check-layers.py [--root DIR] [--doc FILE]
  DIR defaults to the source tree, FILE to DIR/docs/architecture.md.
"""

import argparse
import os
import re
import sys

SOURCE_SUFFIXES = (".h", ".hpp", ".cpp", ".cc", ".c")
INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^">]+)[">]')

# Headers of POSIX (and of Linux beneath it) that a Windows build lacks.
POSIX_HEADERS = {
    "unistd.h", "fcntl.h", "termios.h", "termio.h", "poll.h", "dirent.h", "pty.h",
    "pwd.h", "grp.h", "dlfcn.h", "pthread.h", "strings.h", "iconv.h", "netdb.h",
    "spawn.h", "syslog.h", "libgen.h", "glob.h", "fnmatch.h", "wordexp.h", "utime.h",
    "utmp.h", "utmpx.h", "semaphore.h", "sched.h", "mqueue.h", "aio.h", "langinfo.h",
    "nl_types.h", "ftw.h", "regex.h", "err.h", "error.h", "mntent.h", "execinfo.h",
}
POSIX_PREFIXES = ("sys/", "linux/", "asm/", "netinet/", "arpa/", "net/", "bits/")


class RuleError(Exception):
    """The document's tables cannot be read."""


def is_posix_header(name):
    return name in POSIX_HEADERS or name.startswith(POSIX_PREFIXES)


def strip_name(cell):
    """"`tests/support/`" -> "tests/support"."""
    return cell.strip().strip("`").strip().rstrip("/")


def table_after(lines, heading):
    """Rows (lists of cells) of the first table after the heading line; the
    header row and its ruler are left out. None when the heading is missing."""
    try:
        start = next(i for i, line in enumerate(lines) if line.strip() == heading)
    except StopIteration:
        return None
    rows, in_table = [], False
    for line in lines[start + 1:]:
        stripped = line.strip()
        if stripped.startswith("#"):
            break
        if stripped.startswith("|"):
            in_table = True
            cells = [c.strip() for c in stripped.strip("|").split("|")]
            rows.append(cells)
        elif in_table:
            break
    if len(rows) < 2:
        raise RuleError(f"no table under \"{heading}\"")
    return rows[2:]


def parse_allowed(cell, earlier, product, folder):
    """The folders a "may include" cell names."""
    allowed = set()
    text = cell.strip()
    if text == "(nothing)":
        return allowed
    for part in text.split(","):
        part = part.strip()
        if part == "all of the above":
            allowed |= set(earlier)
        elif part == "the product":
            allowed |= set(product)
        elif re.fullmatch(r"`[A-Za-z0-9_]+(/[A-Za-z0-9_]+)*/?`|[A-Za-z0-9_]+", part):
            allowed.add(strip_name(part))
        else:
            raise RuleError(f"row {folder}: cannot read \"{part}\" in \"{cell}\"")
    return allowed


def read_rules(doc):
    """(product folders in order, {folder: allowed}, unix-only paths,
    {(file, included): reason} tolerated edges) from the document."""
    with open(doc, encoding="utf-8") as f:
        lines = f.read().splitlines()
    layers = table_after(lines, "## Layers")
    if layers is None:
        raise RuleError("no \"## Layers\" heading")
    product, rules = [], {}
    for cells in layers:
        if len(cells) < 4:
            raise RuleError(f"layer row too short: {cells}")
        folder = strip_name(cells[0])
        rules[folder] = parse_allowed(cells[-1], product, product, folder)
        product.append(folder)
    around = table_after(lines, "### Around the product")
    if around is None:
        raise RuleError("no \"### Around the product\" heading")
    earlier = list(product)
    for cells in around:
        if len(cells) < 3:
            raise RuleError(f"row too short: {cells}")
        folder = strip_name(cells[0])
        rules[folder] = parse_allowed(cells[-1], earlier, product, folder)
        earlier.append(folder)
    for folder, allowed in rules.items():
        for name in allowed:
            if name.split("/")[0] not in rules:
                raise RuleError(f"row {folder} names \"{name}\", which has no row")
    unix_only = set()
    for cells in table_after(lines, "### Unix-only files") or []:
        unix_only.add(cells[0].strip().strip("`").strip())
    tolerated = {}
    for cells in table_after(lines, "### Edges on their way out") or []:
        if len(cells) < 3:
            raise RuleError(f"row too short: {cells}")
        tolerated[(strip_name(cells[0]), strip_name(cells[1]))] = cells[2]
    return product, rules, unix_only, tolerated


def source_files(root, folders):
    for folder in folders:
        top = os.path.join(root, folder)
        for dirpath, dirnames, filenames in os.walk(top):
            dirnames.sort()
            for name in sorted(filenames):
                if name.endswith(SOURCE_SUFFIXES):
                    path = os.path.join(dirpath, name)
                    yield os.path.relpath(path, root).replace(os.sep, "/")


def resolve(root, rel, included, folders, by_name):
    """The tree path (from the root) an include names, or None when it is
    outside the tree (a system or generated header)."""
    beside = os.path.normpath(os.path.join(os.path.dirname(rel), included)).replace(os.sep, "/")
    if not beside.startswith("../") and os.path.isfile(os.path.join(root, beside)):
        return beside
    if os.path.isfile(os.path.join(root, included)) or included.split("/")[0] in folders:
        return os.path.normpath(included).replace(os.sep, "/")
    candidates = by_name.get(os.path.basename(included), [])
    candidates = [c for c in candidates if c == included or c.endswith("/" + included)]
    if not candidates:
        return None
    own = rel.split("/")[0]
    same = [c for c in candidates if c.split("/")[0] == own]
    return same[0] if same else candidates[0]


def is_unix_file(rel, unix_only):
    stem = os.path.splitext(os.path.basename(rel))[0]
    if stem.endswith("_unix"):
        return True
    return any(rel == entry or (entry.endswith("/") and rel.startswith(entry)) for entry in unix_only)


def scan(root, folders):
    """(edges, posix): edges maps (folder, included folder) to
    [(file, line, include, target)]; posix lists (file, line, header)."""
    files = list(source_files(root, folders))
    by_name = {}
    for rel in files:
        by_name.setdefault(os.path.basename(rel), []).append(rel)
    edges, posix = {}, []
    for rel in files:
        folder = rel.split("/")[0]
        with open(os.path.join(root, rel), encoding="utf-8", errors="replace") as f:
            for number, line in enumerate(f, 1):
                m = INCLUDE.match(line)
                if not m:
                    continue
                kind, included = m.group(1), m.group(2).strip()
                if kind == "<":
                    if is_posix_header(included):
                        posix.append((rel, number, included))
                    continue
                target = resolve(root, rel, included, folders, by_name)
                if target is None or target.split("/")[0] == folder:
                    continue
                edges.setdefault((folder, target.split("/")[0]), []).append(
                    (rel, number, included, target))
    return edges, posix


def cycles(edges, folders):
    """The strongly connected groups of two or more folders, each as a sorted list."""
    graph = {f: sorted({t for (s, t) in edges if s == f and t in folders}) for f in folders}
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

    for f in sorted(folders):
        if f not in index:
            visit(f)
    return groups


def allows(allowed, target):
    return any(target == a or target.startswith(a + "/") for a in allowed)


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", default=os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    parser.add_argument("--doc")
    args = parser.parse_args(argv)
    doc = args.doc or os.path.join(args.root, "docs", "architecture.md")
    try:
        product, rules, unix_only, tolerated = read_rules(doc)
    except (OSError, RuleError) as e:
        print(f"check-layers: FAILED: cannot read the rules in {doc}: {e}", file=sys.stderr)
        return 1

    edges, posix = scan(args.root, list(rules))
    problems, notes, used = [], [], set()
    for group in cycles(edges, list(rules)):
        problems.append("cycle between folders: " + " <-> ".join(group))
        for (s, t), where in sorted(edges.items()):
            if s in group and t in group:
                file, number, included, _ = where[0]
                problems.append(f"  {s} -> {t}: {file}:{number} includes \"{included}\"")
    for (s, t), where in sorted(edges.items()):
        if t not in rules:
            continue
        bad = []
        for file, number, included, target in where:
            if allows(rules[s], target):
                continue
            if (file, included) in tolerated:
                used.add((file, included))
                continue
            bad.append((file, number, included))
        if not bad:
            continue
        names = sorted(rules[s])
        allowed = ", ".join(names) or "nothing"
        problems.append(f"{s} may not include {t} ({s} may use: {allowed})")
        for file, number, included in bad:
            problems.append(f"  {file}:{number} includes \"{included}\"")
    for file, number, header in posix:
        if not is_unix_file(file, unix_only):
            problems.append(f"POSIX header outside a *_unix file: {file}:{number} includes "
                            f"<{header}> (name the file *_unix or list it as Unix-only)")
    for key in sorted(set(tolerated) - used):
        notes.append(f"note: \"{key[0]}\" no longer includes \"{key[1]}\": "
                     "its row under \"Edges on their way out\" can go")

    for n in notes:
        print(n)
    if problems:
        print("check-layers: FAILED", file=sys.stderr)
        for p in problems:
            print(p, file=sys.stderr)
        return 1
    count = sum(len(w) for w in edges.values())
    print(f"check-layers: {count} includes between folders, all allowed; "
          f"POSIX headers only in {len({f for f, _, _ in posix})} Unix-only files")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
