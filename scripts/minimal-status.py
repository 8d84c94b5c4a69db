#!/usr/bin/env python3
"""A dpkg status file of a minimal Debian system, as debootstrap's minbase
variant installs it: the packages of priority required, the essential ones
and apt, with everything they depend on (first alternative), all marked
installed. Reads a Packages index on stdin, writes the status file to stdout.
"""
import re
import sys

KEEP = ("Package", "Version", "Architecture", "Multi-Arch", "Essential", "Priority",
        "Section", "Installed-Size", "Maintainer", "Pre-Depends", "Depends", "Provides",
        "Breaks", "Conflicts", "Replaces", "Source")

packages = {}
providers = {}
for para in sys.stdin.read().split("\n\n"):
    fields, key = {}, None
    for line in para.splitlines():
        if line.startswith((" ", "\t")):
            continue
        key, _, value = line.partition(":")
        fields[key] = value.strip()
    name = fields.get("Package")
    if not name or name in packages:
        continue
    packages[name] = fields
    for p in fields.get("Provides", "").split(","):
        p = re.sub(r"\s*\(.*\)", "", p).strip()
        if p:
            providers.setdefault(p, []).append(name)


def names(field):
    """The dependency field as groups of alternative package names."""
    for group in field.split(","):
        alts = [re.sub(r"\s*[\(\[<].*$", "", a).split(":")[0].strip() for a in group.split("|")]
        alts = [a for a in alts if a]
        if alts:
            yield alts


chosen = {n for n, f in packages.items()
          if f.get("Priority") == "required" or f.get("Essential") == "yes" or n == "apt"}
provided = set()
changed = True
while changed:
    changed = False
    provided = chosen | {p for n in chosen for p, who in providers.items() if n in who}
    for n in sorted(chosen):
        f = packages[n]
        for alts in names(f.get("Pre-Depends", "") + "," + f.get("Depends", "")):
            if any(a in provided for a in alts):
                continue
            for a in alts:
                pick = a if a in packages else (providers.get(a) or [None])[0]
                if pick:
                    chosen.add(pick)
                    changed = True
                    break
            if changed:
                break
        if changed:
            break

out = []
for n in sorted(chosen):
    f = packages[n]
    lines = [f"Package: {n}", "Status: install ok installed"]
    lines += [f"{k}: {f[k]}" for k in KEEP if k != "Package" and k in f]
    out.append("\n".join(lines))
sys.stdout.write("\n\n".join(out) + "\n")
sys.stderr.write(f"{len(chosen)} packages\n")
