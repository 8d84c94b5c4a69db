#!/usr/bin/env bash
# The workspace launcher on a package tree laid out as installed (bin/ links to
# lib/dpu510tk3/, installation files in share/dpu510tk3/), with a stand-in
# editor that reports where and how it was started.
# Usage: test-workspace-launcher.sh LAUNCHER
set -uo pipefail
launcher=$(readlink -f "$1")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failed=0
passed=0

check() { # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        echo "FAILED: $what" >&2
        failed=$((failed + 1))
    fi
}
same() { cmp -s "$1" "$2"; }

root=$tmp/root
mkdir -p "$root/usr/bin" "$root/usr/lib/dpu510tk3" "$root/usr/share/dpu510tk3"
cp "$launcher" "$root/usr/lib/dpu510tk3/dpu510tk3-workspace"
ln -s ../lib/dpu510tk3/dpu510tk3-workspace "$root/usr/bin/dpu510tk3-workspace"
cat > "$root/usr/lib/dpu510tk3/dpu510tk3-editor" <<'EDITOR'
#!/bin/sh
if [ "$1" = "--version" ]; then echo "dpu510tk3-editor 7.1~stand-in"; exit 0; fi
printf '%s\n' "$PWD" "$@" > "$EDITOR_REPORT"
EDITOR
chmod +x "$root/usr/lib/dpu510tk3/dpu510tk3-editor"
share=$root/usr/share/dpu510tk3
for f in ORVDVE510TK3.INI D510TK3.GLB SPACE_240x240.bmp sample.dcf; do
    echo "installed $f v1" > "$share/$f"
done
run() { env -u DPU510TK3_WORKSPACE -u DPU510TK3_DATADIR -u DPU510TK3_LIBDIR \
        HOME="$tmp/home" "$@"; }
L=$root/usr/bin/dpu510tk3-workspace

# --help and --version answer before anything is prepared: no workspace.
out=$(run XDG_DATA_HOME="$tmp/xdg" "$L" --version)
check "--version is the editor's version" [ "$out" = "dpu510tk3-workspace 7.1~stand-in" ]
out=$(run XDG_DATA_HOME="$tmp/xdg" "$L" --restore --help)
check "--help describes --version" grep -q -- "--version" <<< "$out"
check "--help and --version made no workspace" [ ! -e "$tmp/xdg" ]

# First start: the workspace under XDG_DATA_HOME, filled from share/.
out=$(run XDG_DATA_HOME="$tmp/xdg" "$L" --prepare)
ws=$tmp/xdg/dpu510tk3/workspace
check "prints the workspace" [ "$out" = "$ws" ]
for f in ORVDVE510TK3.INI D510TK3.GLB SPACE_240x240.bmp sample.dcf; do
    check "$f copied" same "$share/$f" "$ws/$f"
done

# A relative XDG_DATA_HOME is not a valid one: the home folder's default.
out=$(run XDG_DATA_HOME=relative "$L" --prepare)
check "relative XDG_DATA_HOME ignored" [ "$out" = "$tmp/home/.local/share/dpu510tk3/workspace" ]
check "default workspace filled" same "$share/sample.dcf" "$tmp/home/.local/share/dpu510tk3/workspace/sample.dcf"

# The user edits the configuration and deletes the sample; then the
# installation is upgraded.
echo "my own settings" > "$ws/ORVDVE510TK3.INI"
rm "$ws/sample.dcf"
for f in ORVDVE510TK3.INI D510TK3.GLB sample.dcf; do
    echo "installed $f v2" > "$share/$f"
done
run XDG_DATA_HOME="$tmp/xdg" "$L" --prepare > /dev/null
check "changed file kept" grep -qx "my own settings" "$ws/ORVDVE510TK3.INI"
check "unchanged file follows the installation" same "$share/D510TK3.GLB" "$ws/D510TK3.GLB"
check "deleted file stays deleted" [ ! -e "$ws/sample.dcf" ]
check "untouched file kept" same "$share/SPACE_240x240.bmp" "$ws/SPACE_240x240.bmp"

# Once the user's file is theirs it stays theirs, even after another upgrade
# and even if it is later made equal to an old installed copy.
echo "installed ORVDVE510TK3.INI v3" > "$share/ORVDVE510TK3.INI"
run XDG_DATA_HOME="$tmp/xdg" "$L" --prepare > /dev/null
check "changed file kept after a second upgrade" grep -qx "my own settings" "$ws/ORVDVE510TK3.INI"

# --restore brings the deleted sample back but overwrites nothing.
run XDG_DATA_HOME="$tmp/xdg" "$L" --restore --prepare > /dev/null
check "--restore brings back a deleted file" same "$share/sample.dcf" "$ws/sample.dcf"
check "--restore keeps a changed file" grep -qx "my own settings" "$ws/ORVDVE510TK3.INI"

# A workspace made before the launcher kept its record: files that differ
# from the installation are the user's.
old=$tmp/old-ws
mkdir -p "$old"
echo "older glyphs" > "$old/D510TK3.GLB"
run DPU510TK3_WORKSPACE="$old" "$L" --prepare > /dev/null
check "unrecorded differing file kept" grep -qx "older glyphs" "$old/D510TK3.GLB"
check "missing files added to an old workspace" same "$share/sample.dcf" "$old/sample.dcf"

# A folder where a file should be is left alone, and the rest is still done.
odd=$tmp/odd-ws
mkdir -p "$odd/sample.dcf"
run DPU510TK3_WORKSPACE="$odd" "$L" --prepare > /dev/null
check "folder in the way left alone" [ -d "$odd/sample.dcf" ]
check "other files still copied" same "$share/D510TK3.GLB" "$odd/D510TK3.GLB"

# Without --prepare the editor starts in the workspace with the arguments.
export EDITOR_REPORT=$tmp/editor-report
(cd / && run XDG_DATA_HOME="$tmp/xdg" "$L" -platform offscreen)
check "editor started in the workspace" [ "$(sed -n 1p "$EDITOR_REPORT")" = "$ws" ]
check "editor arguments passed" [ "$(sed -n 2,3p "$EDITOR_REPORT" | tr '\n' ' ')" = "-platform offscreen " ]

# Files named relative to where the launcher was started still name them in
# the workspace: projects and ROM images (even not yet there) and existing
# files; options, their values and absolute paths pass as they are.
mkdir -p "$tmp/here/sub"
touch "$tmp/here/notes.txt"
(cd "$tmp/here" && run XDG_DATA_HOME="$tmp/xdg" "$L" -style fusion sub/a.dcf B.BIN notes.txt /abs/c.dcf -- -odd.dcf)
check "relative files made absolute, the rest kept" [ "$(sed -n '2,$p' "$EDITOR_REPORT" | tr '\n' ' ')" = \
    "-style fusion $tmp/here/sub/a.dcf $tmp/here/B.BIN $tmp/here/notes.txt /abs/c.dcf -- $tmp/here/-odd.dcf " ]

# A tree without installation files is refused with a reason.
rm -rf "$share"
run XDG_DATA_HOME="$tmp/xdg2" "$L" --prepare > /dev/null 2> "$tmp/err"
check "missing installation refused" [ $? -ne 0 ]
check "reason given" grep -q "installation files not found" "$tmp/err"

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
