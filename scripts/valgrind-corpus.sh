#!/usr/bin/env bash
# Runs "dpu510tk3 make-rom" under valgrind (memcheck) once for every picture of
# the BMP suite in tests/data/bmpsuite, each as the message picture of a small
# project built with the shipped configuration and glyph library. Fails on any
# memcheck error (an uninitialised value reaching the image, a read outside a
# buffer), on a good picture that does not build, and on a bad one that builds
# or whose message does not name it.
#   scripts/valgrind-corpus.sh [BUILD_DIR]   (default: build)
set -euo pipefail
build_dir=${1:-build}
cd "$(dirname "$0")/.."
root=$PWD
tool="$root/$build_dir/bin/dpu510tk3"
suite="$root/tests/data/bmpsuite"

command -v valgrind >/dev/null || { echo "valgrind-corpus: valgrind is not installed" >&2; exit 1; }
[ -x "$tool" ] || { echo "valgrind-corpus: $tool not built" >&2; exit 1; }
count=$(find "$suite/g" "$suite/b" "$suite/q" -name '*.bmp' | wc -l)
[ "$count" -eq 90 ] || { echo "valgrind-corpus: expected 90 pictures in $suite, found $count" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One picture: its own folder with the configuration, the library and a
# project whose first fire-message slot is the picture.
run_one() {
    local picture=$1 folder kind dir status
    folder=$(basename "$(dirname "$picture")")
    kind=$folder
    dir="$work/$folder-$(basename "$picture" .bmp)"
    mkdir -p "$dir"
    cp "$root/assets/ORVDVE510TK3.INI" "$root/assets/D510TK3.GLB" "$dir/"
    printf '[GLOBAL]\r\nCODENAME=DVE510TK3\r\nVERSION=1.0\r\nCODEVER=ORV-INITDL\r\n[LiftStateImage]\r\nLeftState_0_A=%s\r\n[CTBL0]\r\nCODE_0=1\r\n' \
        "$picture" > "$dir/P.dcf"
    status=0
    (cd "$dir" && valgrind -q --error-exitcode=99 --leak-check=no --log-file=valgrind.log \
        "$tool" make-rom P.dcf -o OUT.BIN > out.txt 2> err.txt) || status=$?
    if [ "$status" -eq 99 ] || [ -s "$dir/valgrind.log" ]; then
        echo "valgrind-corpus: memcheck errors with $folder/$(basename "$picture"):" >&2
        cat "$dir/valgrind.log" >&2
        return 1
    fi
    case "$kind" in
    g) [ "$status" -eq 0 ] || { echo "valgrind-corpus: good $picture did not build: $(cat "$dir/err.txt")" >&2; return 1; } ;;
    b) if [ "$status" -eq 0 ] || ! grep -qF "\"$picture\"" "$dir/err.txt"; then
           echo "valgrind-corpus: bad $picture built or was not named (status $status)" >&2
           return 1
       fi ;;
    q) [ "$status" -le 1 ] || { echo "valgrind-corpus: $picture ended with status $status" >&2; return 1; } ;;
    esac
    echo "$folder/$(basename "$picture"): status $status"
}
export -f run_one
export work root tool

find "$suite/g" "$suite/b" "$suite/q" -name '*.bmp' | sort |
    xargs -P "${JOBS:-2}" -I{} bash -c 'run_one "$1"' _ {} > "$work/results.txt" || {
    echo "valgrind-corpus: FAILED" >&2
    exit 1
}
echo "valgrind-corpus: $(wc -l < "$work/results.txt") pictures built or refused cleanly under memcheck"
