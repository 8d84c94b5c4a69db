#!/usr/bin/env bash
# make-rom of the sample project as a process: the Linux tool against
# dpu510tk3.exe under Wine, each timed from start to exit, RUNS runs (11) of
# each in turn after a warm-up; the median and the fastest, each run, and the
# CPU time per run (for Wine with its server's share), which a machine busy
# with other work disturbs less than the wall time. The Wine runs share one
# wineserver that is already up (wineserver -p), as on a machine where Wine
# is in use; the first start of a server and a prefix is not counted. Prints the figures and their
# ratio; the bound (Wine within 5x) is printed, not enforced.
#   bench/windows/make_rom_wine.sh
# Environment: DPU_WINE, WINEPREFIX, DPU_WIN_BUILD_DIR, DPU_NATIVE_BUILD_DIR as
# for tests/windows/tool-e2e.sh (a throw-away prefix without WINEPREFIX), RUNS.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
runs=${RUNS:-11}
win_bin=$(cd "${DPU_WIN_BIN:-${DPU_WIN_BUILD_DIR:-$root/build-winapp}/bin}" 2>/dev/null && pwd) || true
lin_bin=$(cd "${DPU_LINUX_BIN:-${DPU_NATIVE_BUILD_DIR:-$root/build}/bin}" 2>/dev/null && pwd) || true
for f in "$win_bin/dpu510tk3.exe" "$lin_bin/dpu510tk3"; do
  [ -f "$f" ] || { echo "make_rom_wine: $f is missing (make windows; make build)" >&2; exit 1; }
done
. "$root/scripts/wine-prefix.sh"
wine_find || exit 1

work=$(mktemp -d "${TMPDIR:-/tmp}/dpu-bench-wine.XXXXXX")
own_prefix=0
cleanup() {
  if [ "$own_prefix" = 1 ]; then
    WINEPREFIX="$WINEPREFIX" "$WINESERVER" -k 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ -z "${WINEPREFIX:-}" ]; then
  own_prefix=1
  wine_boot_prefix "$work/prefix"
else
  export WINEPREFIX
  wine_keep_server
fi

cp "$root/assets/ORVDVE510TK3.INI" "$root/assets/D510TK3.GLB" "$root/assets/SPACE_240x240.bmp" \
  "$root/assets/sample.dcf" "$work/"
cd "$work"

# The server of this prefix, whose work for the tool counts as the tool's CPU
# time: the one whose folder is named after the prefix's device and inode.
server_key="server-$(stat -c '%D' "$WINEPREFIX")-$(printf '%x' "$(stat -c '%i' "$WINEPREFIX")")"

# A prefix goes on starting for some seconds after its first program; the
# runs wait for the end of that, as a Windows machine would have finished
# starting before anyone times a tool on it.
wine_wait_settled
python3 - "$runs" "$server_key" "$lin_bin/dpu510tk3" "$WINE" "$win_bin/dpu510tk3.exe" <<'PY'
import glob, os, resource, statistics, subprocess, sys, time
runs, server_key = int(sys.argv[1]), sys.argv[2]
lin = [sys.argv[3], "make-rom", "sample.dcf", "-o", "lin.BIN"]
win = [sys.argv[4], sys.argv[5], "make-rom", "sample.dcf", "-o", "win.BIN"]
tick = os.sysconf("SC_CLK_TCK")
def server_cpu():
    if not server:
        return 0.0
    with open(f"/proc/{server}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / tick
def run(cmd):
    before = resource.getrusage(resource.RUSAGE_CHILDREN)
    start = time.perf_counter()
    if subprocess.run(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode:
        sys.exit("make_rom_wine: %s failed" % " ".join(cmd))
    wall = time.perf_counter() - start
    after = resource.getrusage(resource.RUSAGE_CHILDREN)
    return wall, (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
server = ""
for stat in glob.glob("/proc/[0-9]*/stat"):
    pid = stat.split("/")[2]
    try:
        if os.path.basename(os.readlink(f"/proc/{pid}/cwd")) == server_key:
            server = pid
    except OSError:
        pass
# Every Wine call that needs the server is a round trip to it. With the
# program and the server on two CPUs each trip wakes the other CPU, which on
# this virtual machine costs tens of microseconds, and a start alone makes
# some 400 trips: runs then take 30 to 50 ms longer, in stretches, for any
# Windows program (a "hello" too). So the server, the tools and this script
# share one CPU, which Windows, having no server, needs no help for.
core = max(os.sched_getaffinity(0))
os.sched_setaffinity(0, {core})
if server:
    os.sched_setaffinity(int(server), {core})
# Warm-up: the Linux tool once; the Wine tool until three runs in a row lie
# within a quarter of each other (at most 40 runs).
run(lin)
recent = []
for _ in range(40):
    recent = (recent + [run(win)[0]])[-3:]
    if len(recent) == 3 and max(recent) <= 1.25 * min(recent):
        break
times = {"lin": [], "win": []}
cpu = {"lin": 0.0, "win": 0.0}
served = 0.0
for _ in range(runs):
    w, c = run(lin)
    times["lin"].append(w); cpu["lin"] += c
    s0 = server_cpu()
    w, c = run(win)
    served += server_cpu() - s0
    times["win"].append(w); cpu["win"] += c
cpu["win"] += served
ms = lambda x: x * 1000
with open("lin.BIN", "rb") as a, open("win.BIN", "rb") as b:
    if a.read() != b.read():
        sys.exit("make_rom_wine: the two images differ")
med = {k: statistics.median(v) for k, v in times.items()}
low = {k: min(v) for k, v in times.items()}
per = {k: cpu[k] / runs for k in cpu}
ratio = med["win"] / med["lin"]
load = open("/proc/loadavg").read().split()[0]
print(f"make-rom of the sample as a process, {runs} runs each in turn on CPU {core} "
      f"(load average {load}):")
print(f"  Linux tool          median {ms(med['lin']):.1f} ms, fastest {ms(low['lin']):.1f} ms, "
      f"CPU {ms(per['lin']):.1f} ms")
print(f"  dpu510tk3.exe/Wine  median {ms(med['win']):.1f} ms, fastest {ms(low['win']):.1f} ms, "
      f"CPU {ms(per['win']):.1f} ms{'' if server else ' (the server not found: without it, not pinned)'}")
print("  each run (ms): Linux " + " ".join(f"{ms(t):.0f}" for t in times["lin"]) +
      " / Wine " + " ".join(f"{ms(t):.0f}" for t in times["win"]))
print(f"  ratio               {ratio:.1f}x of the medians "
      f"({'within' if ratio <= 5 else 'OVER'} the bound of 5x), "
      f"{low['win'] / low['lin']:.1f}x of the fastest, {per['win'] / per['lin']:.1f}x of the CPU time")
PY
