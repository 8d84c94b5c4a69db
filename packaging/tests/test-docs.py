#!/usr/bin/env python3
"""The programs' own --help against their man pages and bash completion.

Each program answers --help and --version without a display, without a Qt
platform plug-in and without touching the current directory or the home
folder. Every command and option its --help names must be in its man page
and be offered by its bash completion (run for real with bash-completion),
and every exit status the help names must be in the man page's EXIT STATUS.

Usage: test-docs.py BIN_DIR PACKAGING_DIR
"""
import os
import re
import subprocess
import sys
import tempfile

PROGRAMS = ["dpu510tk3", "dpu510tk3-editor", "dpu510tk3-sim", "dpu510tk3-workspace"]
BASH_COMPLETION = "/usr/share/bash-completion/bash_completion"

failures = []


def fail(what):
    failures.append(what)
    print("FAILED: " + what, file=sys.stderr)


def options_of(text):
    """--long and single-letter -x options named in a help text."""
    return sorted(set(re.findall(r"(?<![\w-])(--[a-z][a-z0-9-]*|-[a-z])(?![\w-])", text)))


def exit_statuses_of(text):
    """The numbers of the "Exit status" sentences of a help text."""
    found = set()
    for m in re.finditer(r"[Ee]xit status:?(.*?)(?:\.\s*$|\.\n|\Z)", text, re.S):
        found |= set(re.findall(r"(?<![\w-])([0-9])(?![\w-])", m.group(1)))
    return found


def man_text(path):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    text = re.sub(r"\\f[BIRP]", "", text)
    return text.replace("\\-", "-")


def man_section(text, name):
    m = re.search(r"^\.SH " + re.escape(name) + r"\s*$(.*?)(?=^\.SH |\Z)", text, re.M | re.S)
    return m.group(1) if m else None


def has_word(text, word):
    return re.search(r"(?<![\w-])" + re.escape(word) + r"(?![\w-])", text) is not None


def completion(script, program, words):
    """What the completion of program offers for the command line words (the
    last one being completed), as bash-completion would ask it."""
    line = " ".join([program] + words)
    code = f"""
source {BASH_COMPLETION}
source "$1"
registration=$(complete -p "$2") || exit 3
func=$(sed -n 's/.*-F \\([^ ]*\\) .*/\\1/p' <<< "$registration")
shift 2
COMP_WORDS=("$@")
COMP_CWORD=$(($# - 1))
COMP_LINE="$LINE"
COMP_POINT=${{#COMP_LINE}}
COMPREPLY=()
"$func" "${{COMP_WORDS[0]}}" "${{COMP_WORDS[COMP_CWORD]}}" "${{COMP_WORDS[COMP_CWORD-1]}}"
printf '%s\\n' "${{COMPREPLY[@]}}"
"""
    r = subprocess.run(["bash", "-c", code, "_", script, program, program] + words,
                       capture_output=True, text=True, timeout=60,
                       env=dict(os.environ, LINE=line))
    if r.returncode != 0:
        fail(f"completion of '{line}' did not run: {r.stderr.strip()}")
    return set(r.stdout.split())


def run(argv, env, cwd):
    try:
        return subprocess.run(argv, capture_output=True, text=True, timeout=120, env=env, cwd=cwd)
    except subprocess.TimeoutExpired:
        fail(f"'{' '.join(argv)}' did not end (a window or a wait instead of an answer)")
        return None


def main():
    bin_dir, packaging = os.path.abspath(sys.argv[1]), os.path.abspath(sys.argv[2])
    launcher = os.path.join(packaging, "dpu510tk3-workspace")
    with tempfile.TemporaryDirectory() as tmp:
        home = os.path.join(tmp, "home")
        os.mkdir(home)
        base = {k: v for k, v in os.environ.items()
                if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM",
                             "DPU510TK3_SMOKE_TEST", "DPU510TK3_WORKSPACE", "XDG_DATA_HOME")}
        base.update(HOME=home, DPU510TK3_LIBDIR=bin_dir)
        # No display at all and no usable plug-in; then the offscreen platform,
        # which would show a window and wait in it.
        envs = {"no display": dict(base, QT_QPA_PLATFORM="no-such-platform"),
                "offscreen": dict(base, QT_QPA_PLATFORM="offscreen")}
        helps = {}
        for program in PROGRAMS:
            argv0 = launcher if program == "dpu510tk3-workspace" else os.path.join(bin_dir, program)
            for how, env in envs.items():
                for arg in ("--help", "--version"):
                    r = run([argv0, arg], env, home)
                    if r is None:
                        continue
                    if r.returncode != 0:
                        fail(f"{program} {arg} ({how}): exit {r.returncode}: {r.stderr.strip()[:200]}")
                    elif arg == "--version" and not r.stdout.startswith(program + " "):
                        fail(f"{program} --version ({how}) printed {r.stdout!r}")
                    elif arg == "--help":
                        helps[program] = r.stdout
            left = os.listdir(home)
            if left:
                fail(f"{program} --help/--version left {left} in the current directory")
        if any(p not in helps for p in PROGRAMS):
            return

        # The tool's commands, each with its own --help.
        tool_help = helps["dpu510tk3"]
        block = tool_help.split("Commands:", 1)[1].split("\n\n", 1)[0]
        commands = [line.split()[0] for line in block.strip().splitlines()]
        if len(commands) < 6:
            fail(f"dpu510tk3 --help lists only {commands}")
        command_options = {}
        for c in commands:
            r = run([os.path.join(bin_dir, "dpu510tk3"), c, "--help"], envs["no display"], home)
            if r is None or r.returncode != 0:
                fail(f"dpu510tk3 {c} --help failed")
                continue
            command_options[c] = options_of(r.stdout)

    for program in PROGRAMS:
        man_path = os.path.join(packaging, "man", program + ".1")
        script = os.path.join(packaging, "bash-completion", program)
        if not os.path.isfile(man_path):
            fail(f"no man page {man_path}")
            continue
        if not os.path.isfile(script):
            fail(f"no bash completion {script}")
            continue
        man = man_text(man_path)
        status = man_section(man, "EXIT STATUS")
        if status is None:
            fail(f"{program}.1 has no EXIT STATUS section")
            status = ""
        for code in sorted(exit_statuses_of(helps[program])):
            if not has_word(status, code):
                fail(f"{program}.1: exit status {code} of --help missing from EXIT STATUS")
        # Options of the program itself (the tool's before its commands).
        offered = completion(script, program, ["-"])
        if program == "dpu510tk3":
            offered |= completion(script, program, [""])
        for option in options_of(helps[program]):
            if program == "dpu510tk3" and any(option in o for o in command_options.values()):
                continue  # checked with its command below
            if not has_word(man, option):
                fail(f"{program}.1 lacks {option}")
            if option not in offered:
                fail(f"completion of {program} does not offer {option}")

    man = man_text(os.path.join(packaging, "man", "dpu510tk3.1"))
    script = os.path.join(packaging, "bash-completion", "dpu510tk3")
    first = completion(script, "dpu510tk3", [""])
    for c, options in command_options.items():
        if not has_word(man_section(man, "COMMANDS") or "", c):
            fail(f"dpu510tk3.1 lacks the command {c} under COMMANDS")
        if c not in first:
            fail(f"completion of dpu510tk3 does not offer the command {c}")
        offered = completion(script, "dpu510tk3", [c, "-"])
        for option in options:
            if not has_word(man, option):
                fail(f"dpu510tk3.1 lacks {option} of {c}")
            if option not in offered:
                fail(f"completion of dpu510tk3 {c} does not offer {option}")
    if not has_word(man_section(man, "EXIT STATUS") or "", "3"):
        fail("dpu510tk3.1: exit status 3 (make-rom --strict) missing")


if __name__ == "__main__":
    main()
    if failures:
        print(f"{len(failures)} failed", file=sys.stderr)
        sys.exit(1)
    print("docs match the programs")
