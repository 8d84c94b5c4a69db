#!/usr/bin/env bash
# make-rom of the sample project as a process: the Linux tool against
# dpu510tk3.exe under Wine, each timed from start to exit, RUNS runs (11) of
# each in turn after one warm-up run each; the median and the fastest. The Wine runs share one wineserver that is
# already up (wineserver -p), as on a machine where Wine is in use; the first
# start of a server and a prefix is not counted. Prints the figures and their
# ratio; the bound (Wine within 5x) is printed, not enforced.
#   bench/windows/make_rom_wine.sh
# Environment: DPU_WINE, WINEPREFIX, DPU_WIN_BUILD_DIR, DPU_NATIVE_BUILD_DIR as
# for tests/windows/tool-e2e.sh (a throw-away prefix without WINEPREFIX), RUNS.
set -euo pipefail
shopt -s inherit_errexit
root=$(cd "$(dirname "$0")/../.." && pwd)
runs=${RUNS:-11}
win_bin=$(cd "${DPU_WIN_BIN:-${DPU_WIN_BUILD_DIR:-$root/build-winapp}/bin}" 2>/dev/null && pwd) || true
lin_bin=$(cd "${DPU_LINUX_BIN:-${DPU_NATIVE_BUILD_DIR:-$root/build}/bin}" 2>/dev/null && pwd) || true
for f in "$win_bin/dpu510tk3.exe" "$lin_bin/dpu510tk3"; do
  [ -f "$f" ] || { echo "make_rom_wine: $f is missing (make windows; make build)" >&2; exit 1; }
done
WINE=${DPU_WINE:-${WINE:-}}
if [ -z "$WINE" ]; then
  PATH="$PATH:/usr/lib/wine"
  WINE=$(command -v wine64 || command -v wine || true)
fi
[ -n "$WINE" ] || { echo "make_rom_wine: wine64 is not installed" >&2; exit 1; }
wineserver_bin=$(command -v wineserver || echo /usr/lib/wine/wineserver)

work=$(mktemp -d "${TMPDIR:-/tmp}/dpu-bench-wine.XXXXXX")
own_prefix=0
cleanup() {
  if [ "$own_prefix" = 1 ]; then
    WINEPREFIX="$WINEPREFIX" "$wineserver_bin" -k 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX="$work/prefix"
  own_prefix=1
  "$WINE" wineboot -i >/dev/null 2>&1
  "$wineserver_bin" -w
fi
export WINEPREFIX
"$wineserver_bin" -p >/dev/null 2>&1 || true

cp "$root/assets/ORVDVE510TK3.INI" "$root/assets/D510TK3.GLB" "$root/assets/SPACE_240x240.bmp" \
  "$root/assets/sample.dcf" "$work/"
cd "$work"

# Microseconds of one run of the command given.
one_run() {
  local start end
  start=$(date +%s%N)
  "$@" >/dev/null 2>&1 || { echo "make_rom_wine: $* failed" >&2; exit 1; }
  end=$(date +%s%N)
  echo "$(((end - start) / 1000))"
}
lin_run() { one_run "$lin_bin/dpu510tk3" make-rom sample.dcf -o lin.BIN; }
win_run() { one_run "$WINE" "$win_bin/dpu510tk3.exe" make-rom sample.dcf -o win.BIN; }

# A warm-up run each, then the two in turn, so that a machine busy with
# other work weighs on both alike.
lin_run >/dev/null
win_run >/dev/null
lin_times=()
win_times=()
for ((i = 0; i < runs; i++)); do
  lin_times+=("$(lin_run)")
  win_times+=("$(win_run)")
done
cmp -s lin.BIN win.BIN || { echo "make_rom_wine: the two images differ" >&2; exit 1; }

# "median min" in ms of the microsecond figures given.
figures() {
  printf '%s\n' "$@" | sort -n |
    awk '{ t[NR] = $1 } END { printf "%.1f %.1f", t[int((NR + 1) / 2)] / 1000, t[1] / 1000 }'
}
read -r lin_ms lin_min <<<"$(figures "${lin_times[@]}")"
read -r win_ms win_min <<<"$(figures "${win_times[@]}")"
ratio=$(awk -v a="$win_ms" -v b="$lin_ms" 'BEGIN { printf "%.1f", a / b }')
ratio_min=$(awk -v a="$win_min" -v b="$lin_min" 'BEGIN { printf "%.1f", a / b }')
within=$(awk -v r="$ratio" 'BEGIN { print (r <= 5 ? "within" : "OVER") }')
load=$(cut -d' ' -f1 /proc/loadavg)
echo "make-rom of the sample as a process, $runs runs each in turn (load average $load):"
echo "  Linux tool          median $lin_ms ms, fastest $lin_min ms"
echo "  dpu510tk3.exe/Wine  median $win_ms ms, fastest $win_min ms (warm wineserver)"
echo "  ratio               ${ratio}x of the medians ($within the bound of 5x), ${ratio_min}x of the fastest"
