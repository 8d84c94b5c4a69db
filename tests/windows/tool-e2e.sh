#!/usr/bin/env bash
# The command-line tool for Windows (dpu510tk3.exe) end to end under Wine,
# with the Linux tool of the same sources as the reference:
#   - make-rom of the sample and of the test projects in tests/data/projects
#     gives the same image byte for byte, named with Windows paths (Z:\...,
#     backslashes, relative to the working folder) for project, output and
#     pictures;
#   - inspect (text and --json), diff and recover print the same;
#   - upload and sync-time reach the display simulator (a Linux program) on a
#     pseudo-terminal linked into the prefix as a COM port, named COMn;
#   - bad inputs and usage errors give the same messages and exit statuses.
# Outputs are compared after normalising only what differs by nature: line
# ends (a Windows console program writes CR LF), the workspace and program
# folders (Z:\... there, /tmp/... here) and the path separator inside them.
# Each difference that comes from Wine rather than Windows is marked "Wine:"
# below; docs/windows.md ("The tool under Wine") lists them.
#
# Environment (scripts/windows-test.sh sets it; run alone, defaults apply):
#   DPU_WINE (or WINE)    the wine program (default: wine64 from the PATH or /usr/lib/wine)
#   WINEPREFIX            a prepared prefix whose wineserver may be running;
#                         without one a throw-away prefix is made here and
#                         removed at the end
#   DPU_WIN_BUILD_DIR     the Windows build: bin/dpu510tk3.exe with its
#                         DefaultImage2\ (default build-winapp; DPU_WIN_BIN
#                         names the bin folder itself)
#   DPU_NATIVE_BUILD_DIR  the Linux build: bin/dpu510tk3 and bin/dpu510tk3-sim
#                         (default build; DPU_LINUX_BIN names the bin folder)
#   DPU_WINE_COM_TAKEN    COM numbers in use by others ("5 9"); the simulator
#                         is linked as the first free one from COM7 on
#   DPU_KEEP_E2E=1        keep the work folder (each run's output, error
#                         output and status in res/)
# Exit status 0 when every check passed, 1 otherwise (each failure is named).
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)

win_bin=$(cd "${DPU_WIN_BIN:-${DPU_WIN_BUILD_DIR:-$root/build-winapp}/bin}" 2>/dev/null && pwd) || true
lin_bin=$(cd "${DPU_LINUX_BIN:-${DPU_NATIVE_BUILD_DIR:-$root/build}/bin}" 2>/dev/null && pwd) || true
win_tool="$win_bin/dpu510tk3.exe"
lin_tool="$lin_bin/dpu510tk3"
sim_tool="$lin_bin/dpu510tk3-sim"
for f in "$win_tool" "$lin_tool" "$sim_tool"; do
  if [ ! -f "$f" ]; then
    echo "tool-e2e: $f is missing (make windows; make build)" >&2
    exit 1
  fi
done
. "$root/scripts/wine-prefix.sh"
wine_find || exit 1

work=$(mktemp -d "${TMPDIR:-/tmp}/dpu-tool-e2e.XXXXXX")
own_prefix=0
sim_pid=""
cleanup() {
  if [ -n "$sim_pid" ]; then
    kill "$sim_pid" 2>/dev/null || true
    wait "$sim_pid" 2>/dev/null || true
  fi
  rm -f "${WINEPREFIX:-/nonexistent}/dosdevices/com${sim_com:-0}"
  if [ "$own_prefix" = 1 ]; then
    WINEPREFIX="$WINEPREFIX" "$WINESERVER" -k 2>/dev/null || true
    rm -rf "$WINEPREFIX"
  fi
  [ -n "${DPU_KEEP_E2E:-}" ] || rm -rf "$work"
}
trap cleanup EXIT

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ -z "${WINEPREFIX:-}" ]; then
  own_prefix=1
  echo "tool-e2e: preparing the Wine prefix $work/prefix"
  wine_boot_prefix "$work/prefix"
else
  export WINEPREFIX
  wine_keep_server
fi

# The Linux tool keeps its port links under the configuration folder: a
# folder of this run's own, so nothing of the machine's leaks in.
export XDG_CONFIG_HOME="$work/config"
mkdir -p "$XDG_CONFIG_HOME"

failures=0
checks=0
pass() { checks=$((checks + 1)); }
fail() {
  checks=$((checks + 1))
  failures=$((failures + 1))
  echo "tool-e2e: FAIL $*" >&2
}

# Two workspaces with the same files, one per tool, so that the outputs of
# one never meet the other's: the installation files, the sample, the test
# projects (in projects/), the pictures they name (pictures/, with a damaged
# one from the BMP suite) and the workspace's own user bitmaps.
make_workspace() {
  local ws=$1
  mkdir -p "$ws/projects" "$ws/pictures" "$ws/out"
  cp "$root/assets/ORVDVE510TK3.INI" "$root/assets/D510TK3.GLB" "$root/assets/SPACE_240x240.bmp" \
    "$root/assets/sample.dcf" "$ws/"
  cp "$root"/tests/data/projects/*.dcf "$ws/projects/"
  cp -r "$root/tests/data/projects/DefaultImage2" "$root/tests/data/projects/pictures" "$ws/"
  cp "$root/tests/data/bmpsuite/b/badrle.bmp" "$ws/pictures/"
}
lin_ws="$work/lin"
win_ws="$work/win"
make_workspace "$lin_ws"
make_workspace "$win_ws"

# A Unix path as Wine's Windows programs see it (through the Z: drive).
winpath() { printf 'Z:%s' "${1//\//\\}"; }
win_ws_w=$(winpath "$win_ws")
win_bin_w=$(winpath "$win_bin")

# A run that hangs ends after this many seconds (status 124), far beyond what
# any run here takes on a busy machine.
run_limit=300
# Runs the Linux tool (lin) or the Windows tool under Wine (win) in its
# workspace (or in its subfolder $at); stdout, stderr and the exit status go to res/CASE.{lin,win}.*.
mkdir -p "$work/res"
lin() {
  local case=$1
  shift
  local rc=0
  (cd "$lin_ws/${at:-}" && timeout -k 10 "$run_limit" "$lin_tool" "$@" >"$work/res/$case.lin.out" 2>"$work/res/$case.lin.err") || rc=$?
  echo "$rc" >"$work/res/$case.lin.rc"
}
win() {
  local case=$1
  shift
  local rc=0
  (cd "$win_ws/${at:-}" && timeout -k 10 "$run_limit" "$WINE" "$win_tool" "$@" >"$work/res/$case.win.out" 2>"$work/res/$case.win.err") ||
    rc=$?
  echo "$rc" >"$work/res/$case.win.rc"
}

# Normalising, the only differences allowed by nature:
#   - CR LF: the Windows C runtime writes "\n" to standard output and error as
#     CR LF (text mode), as every console program there does;
#   - the workspace and program folders: /tmp/... here, Z:\tmp\... there
#     (Z:/tmp/... where the program composes a path itself, as Qt does);
#   - the separator inside a path below those folders.
# Everything else, relative paths as they were typed included, must be equal.
norm_lin() {
  sed -e "s#$lin_ws#@WS@#g" -e "s#$lin_bin#@BIN@#g" "$1"
}
# The same without the line ends, for the files the tools write.
norm_win_file() {
  local ws_fwd=${win_ws_w//\\//} bin_fwd=${win_bin_w//\\//}
  sed -e "s#${win_ws_w//\\/\\\\}#@WS@#g" -e "s#${win_bin_w//\\/\\\\}#@BIN@#g" \
    -e "s#$ws_fwd#@WS@#g" -e "s#$bin_fwd#@BIN@#g" \
    -e ':a' -e 's#\(@\(WS\|BIN\)@[^"]*\)\\#\1/#' -e 'ta' "$1"
}
norm_win() { sed -e 's/\r$//' "$1" | norm_win_file /dev/stdin; }
# A literal text as a sed pattern.
sed_literal() { printf '%s' "$1" | sed -e 's/[]\/$*.^[]/\\&/g'; }

# Compares stdout, stderr and the exit status of CASE on both sides. Each
# further argument WINDOWS=LINUX names a path typed differently on the two
# command lines (backslashes there): the tool repeats it as typed.
same_result() {
  local case=$1 what pair
  local ok=1 typed=()
  shift
  for pair in "$@"; do
    typed+=(-e "s/$(sed_literal "${pair%%=*}")/$(sed_literal "${pair#*=}")/g")
  done
  for what in out err; do
    if ! diff -u <(norm_lin "$work/res/$case.lin.$what") \
      <(norm_win "$work/res/$case.win.$what" | sed -e "" "${typed[@]}") \
      >"$work/res/$case.$what.diff"; then
      fail "$case: $([ "$what" = out ] && echo output || echo error output) differs (Linux -, Wine +):"
      sed -n '3,40p' "$work/res/$case.$what.diff" >&2
      ok=0
    fi
  done
  if [ "$(cat "$work/res/$case.lin.rc")" != "$(cat "$work/res/$case.win.rc")" ]; then
    fail "$case: exit status $(cat "$work/res/$case.lin.rc") on Linux, $(cat "$work/res/$case.win.rc") under Wine"
    ok=0
  fi
  [ "$ok" = 1 ] && pass
  return 0
}

# Expects exit status WANT from CASE on one side (lin or win).
status_is() {
  local case=$1 side=$2 want=$3 got
  got=$(cat "$work/res/$case.$side.rc")
  if [ "$got" = "$want" ]; then
    pass
  else
    fail "$case ($side): exit status $got, expected $want: $(head -c 400 "$work/res/$case.$side.err")"
  fi
}

# Expects two files to hold the same bytes.
same_bytes() {
  local what=$1 a=$2 b=$3
  if [ -f "$a" ] && [ -f "$b" ] && cmp -s "$a" "$b"; then
    pass
  else
    fail "$what: $a and $b differ$(cmp "$a" "$b" 2>&1 | sed 's/^/: /' | head -n1)"
  fi
}

echo "tool-e2e: $(basename "$win_tool") under $("$WINE" --version 2>/dev/null) against $lin_tool"

# --- make-rom --------------------------------------------------------------
echo "tool-e2e: make-rom"
projects="sample userbitmaps logo messages tables"
rel_project() { if [ "$1" = sample ]; then echo sample.dcf; else echo "projects/$1.dcf"; fi; }
backslashed() { printf '%s' "${1//\//\\}"; }

for p in $projects; do
  rel=$(rel_project "$p")
  # Absolute paths: /tmp/... here, Z:\tmp\... there.
  lin "makerom-abs-$p" make-rom "$lin_ws/$rel" -o "$lin_ws/out/$p.BIN"
  win "makerom-abs-$p" make-rom "$win_ws_w\\$(backslashed "$rel")" -o "$win_ws_w\\out\\$p.BIN"
  same_result "makerom-abs-$p"
  status_is "makerom-abs-$p" lin 0
  same_bytes "make-rom $p (absolute paths)" "$lin_ws/out/$p.BIN" "$win_ws/out/$p.BIN"
  # Relative to the working folder, with backslashes.
  win "makerom-rel-$p" make-rom "$(backslashed "$rel")" -o "out\\$p-rel.BIN"
  status_is "makerom-rel-$p" win 0
  same_bytes "make-rom $p (relative paths)" "$lin_ws/out/$p.BIN" "$win_ws/out/$p-rel.BIN"
done

# Pictures named with Windows paths inside the project: absolute (Z:\...) for
# the message pictures, relative with backslashes for the logo. The Linux
# reference is the same project naming them with '/'.
sed "s#=pictures/#=$(printf '%s' "$win_ws_w" | sed 's/\\/\\\\/g')\\\\pictures\\\\#" \
  "$win_ws/projects/messages.dcf" >"$win_ws/projects/win-messages.dcf"
sed 's#=pictures/#=pictures\\#' "$win_ws/projects/logo.dcf" >"$win_ws/projects/win-logo.dcf"
for p in messages logo; do
  if ! grep -q 'pictures\\' "$win_ws/projects/win-$p.dcf"; then
    fail "win-$p.dcf names no picture with a Windows path"
  fi
  win "makerom-winpics-$p" make-rom "projects\\win-$p.dcf" -o "out\\$p-winpics.BIN"
  status_is "makerom-winpics-$p" win 0
  same_bytes "make-rom $p (pictures named with Windows paths)" "$lin_ws/out/$p.BIN" \
    "$win_ws/out/$p-winpics.BIN"
done

# An image written over the one already there, as a second build does:
# named bare, with '/' and with '\'. Wine: its ReplaceFileW refused the first
# two (ERROR_DIRECTORY) until the file access handed it full paths.
for o in again.BIN out/again.BIN 'out\again-b.BIN'; do
  for run in first second; do
    win "makerom-$run-over" make-rom sample.dcf -o "$o"
    status_is "makerom-$run-over" win 0
  done
  same_bytes "make-rom over an image there ($o)" "$lin_ws/out/sample.BIN" "$win_ws/${o//\\//}"
done

# A folder and files named outside ASCII, with a space: the tool reads its
# arguments as UTF-8 on both systems.
for ws in "$lin_ws" "$win_ws"; do
  mkdir -p "$ws/Lüftung Ost"
  cp "$ws/projects/userbitmaps.dcf" "$ws/Lüftung Ost/Gebäude.dcf"
done
lin makerom-utf8 make-rom "Lüftung Ost/Gebäude.dcf" -o "Lüftung Ost/Bild Ä.BIN"
win makerom-utf8 make-rom "Lüftung Ost\Gebäude.dcf" -o "Lüftung Ost\Bild Ä.BIN"
same_result makerom-utf8
status_is makerom-utf8 win 0
same_bytes "make-rom named outside ASCII" "$lin_ws/out/userbitmaps.BIN" "$win_ws/Lüftung Ost/Bild Ä.BIN"
lin inspect-utf8 inspect "$lin_ws/Lüftung Ost/Bild Ä.BIN"
win inspect-utf8 inspect "$win_ws_w\Lüftung Ost\Bild Ä.BIN"
same_result inspect-utf8

# Without -o the image is the project's ROM file name, with .BIN, in the
# working folder.
lin makerom-default make-rom projects/tables.dcf
win makerom-default make-rom projects/tables.dcf
same_result makerom-default
same_bytes "make-rom without -o" "$lin_ws/tables.BIN" "$win_ws/tables.BIN"

# --- inspect, diff, recover ------------------------------------------------
echo "tool-e2e: inspect, diff, recover"
for p in $projects; do
  lin "inspect-$p" inspect "out/$p.BIN"
  win "inspect-$p" inspect "out/$p.BIN"
  same_result "inspect-$p"
  lin "json-$p" inspect --json "out/$p.BIN"
  win "json-$p" inspect --json "out/$p.BIN"
  same_result "json-$p"
done
# Named with the Windows paths: the report names the image as it was given.
lin inspect-abs inspect "$lin_ws/out/logo.BIN"
win inspect-abs inspect "$win_ws_w\\out\\logo.BIN"
same_result inspect-abs

lin diff-differ diff out/sample.BIN out/tables.BIN
win diff-differ diff "out\\sample.BIN" "out\\tables.BIN"
same_result diff-differ
status_is diff-differ win 1
cp "$lin_ws/out/logo.BIN" "$lin_ws/out/logo-rel.BIN"
lin diff-same diff out/logo.BIN out/logo-rel.BIN
win diff-same diff "$win_ws_w\\out\\logo.BIN" "out/logo-rel.BIN"
same_result diff-same
status_is diff-same win 0
lin diff-png diff --png out/diffpng out/messages.BIN out/userbitmaps.BIN
win diff-png diff --png "out\\diffpng" out/messages.BIN out/userbitmaps.BIN
same_result diff-png
# Qt's PNG writer packs with its own zlib on Windows and the system's here:
# the same pictures, not always the same bytes. The files written must match.
if [ "$(cd "$lin_ws/out/diffpng" 2>/dev/null && ls)" = "$(cd "$win_ws/out/diffpng" 2>/dev/null && ls)" ] &&
  [ -n "$(ls "$win_ws/out/diffpng" 2>/dev/null)" ]; then
  pass
else
  fail "diff --png wrote other files under Wine: $(ls "$win_ws/out/diffpng" 2>&1 | tr '\n' ' ')"
fi

# recover: the project, its message pictures and logo beside it, the user
# bitmaps in the workspace; then make-rom of what was recovered gives the
# image back, on both sides.
for p in sample logo userbitmaps; do
  lin "recover-$p" recover "out/$p.BIN" -o "rec-$p/$p.dcf"
  win "recover-$p" recover "out\\$p.BIN" -o "rec-$p\\$p.dcf"
  same_result "recover-$p" "rec-$p\\$p.dcf=rec-$p/$p.dcf"
  status_is "recover-$p" win 0
  # Every file written: the same bytes, the project (CR LF on both) after
  # the folder names.
  while read -r written; do
    same_bytes "recover $p: ${written#@WS@/}" "$lin_ws/${written#@WS@/}" "$win_ws/${written#@WS@/}"
  done < <(norm_lin "$work/res/recover-$p.lin.out" | grep '^@WS@/' || true)
  if [ -f "$win_ws/rec-$p/$p.dcf" ] &&
    diff <(norm_lin "$lin_ws/rec-$p/$p.dcf") <(norm_win_file "$win_ws/rec-$p/$p.dcf") >/dev/null; then
    pass
  else
    fail "recover $p: the project differs: $(diff <(norm_lin "$lin_ws/rec-$p/$p.dcf") <(norm_win_file "$win_ws/rec-$p/$p.dcf") 2>&1 | head -n 6 | tr -d '\r')"
  fi
  win "rebuild-$p" make-rom "rec-$p\\$p.dcf" -o "out\\$p-again.BIN"
  status_is "rebuild-$p" win 0
  same_bytes "make-rom of the project recovered from $p" "$win_ws/out/$p.BIN" "$win_ws/out/$p-again.BIN"
done

# The folders named by options, as Windows paths: the pictures and the user
# bitmaps of recover, the pictures of inspect, the glyph library.
lin recover-folders recover out/userbitmaps.BIN -o rec-folders/u.dcf --bitmaps rec-folders/pics \
  --user-bitmaps "$lin_ws/rec-folders/users"
win recover-folders recover "out\\userbitmaps.BIN" -o "rec-folders\\u.dcf" --bitmaps "rec-folders\\pics" \
  --user-bitmaps "$win_ws_w\\rec-folders\\users"
# The pictures are named by the folder as typed and the program's '/'.
same_result recover-folders "rec-folders\\u.dcf=rec-folders/u.dcf" "rec-folders\\pics/=rec-folders/pics/"
status_is recover-folders win 0
if [ -n "$(ls "$win_ws/rec-folders/pics" 2>/dev/null)" ] &&
  diff -r --exclude=u.dcf "$lin_ws/rec-folders" "$win_ws/rec-folders" >/dev/null; then
  pass
else
  fail "recover with --bitmaps and --user-bitmaps wrote other files under Wine: $(diff -r --exclude=u.dcf "$lin_ws/rec-folders" "$win_ws/rec-folders" 2>&1 | head -n 3)"
fi
lin inspect-png inspect out/messages.BIN --png "$lin_ws/out/inspectpng" --glb "$lin_ws/D510TK3.GLB"
win inspect-png inspect "out\\messages.BIN" --png "$win_ws_w\\out\\inspectpng" --glb "$win_ws_w\\D510TK3.GLB"
same_result inspect-png "ROM image out\\messages.BIN=ROM image out/messages.BIN"
if [ -n "$(ls "$win_ws/out/inspectpng" 2>/dev/null)" ] &&
  [ "$(cd "$lin_ws/out/inspectpng" && ls)" = "$(cd "$win_ws/out/inspectpng" && ls)" ]; then
  pass
else
  fail "inspect --png wrote other files under Wine"
fi

# Again over what the first runs wrote: the same files, replaced whole.
lin recover-again recover out/sample.BIN -o rec-sample/sample.dcf
win recover-again recover out/sample.BIN -o rec-sample/sample.dcf
same_result recover-again
status_is recover-again win 0
lin diff-png-again diff --png out/diffpng out/messages.BIN out/userbitmaps.BIN
win diff-png-again diff --png "out\\diffpng" out/messages.BIN out/userbitmaps.BIN
same_result diff-png-again

# --- upload and sync-time through a COM port -------------------------------
# The simulator plays the display on a pseudo-terminal; its slave is linked
# (Wine: a COM port is a link in dosdevices, where Windows has the adapter's
# driver) as dosdevices/com7 for Wine and as the port link COM7 for the Linux tool,
# so both name the port "COM7" (or the next number free of the port tests).
echo "tool-e2e: upload and sync-time against the display simulator"
sim_com=7
while [[ " ${DPU_WINE_COM_TAKEN:-} " == *" $sim_com "* ]]; do sim_com=$((sim_com + 1)); done
mkdir -p "$XDG_CONFIG_HOME/dpu510tk3/ports"
# Starts the simulator for one transfer into sim-NAME.bin, with the further
# options given; links its port.
start_sim() {
  local name=$1 pty=""
  shift
  "$sim_tool" --once --out "$work/sim-$name.bin" --c-interval-ms 200 "$@" >"$work/sim-$name.out" 2>&1 &
  sim_pid=$!
  for _ in $(seq 1 300); do
    pty=$(head -n1 "$work/sim-$name.out")
    [ -n "$pty" ] && break
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
  done
  if [ -z "$pty" ] || [ ! -e "$pty" ]; then
    fail "the display simulator did not start: $(cat "$work/sim-$name.out")"
    return 1
  fi
  ln -sfn "$pty" "$WINEPREFIX/dosdevices/com$sim_com"
  ln -sfn "$pty" "$XDG_CONFIG_HOME/dpu510tk3/ports/COM$sim_com"
}
# Waits (bounded) for the simulator to end after its one transfer.
end_sim() {
  for _ in $(seq 1 600); do
    kill -0 "$sim_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill "$sim_pid" 2>/dev/null || true
  wait "$sim_pid" 2>/dev/null || true
  sim_pid=""
  rm -f "$WINEPREFIX/dosdevices/com$sim_com" "$XDG_CONFIG_HOME/dpu510tk3/ports/COM$sim_com"
}
# What the display holds after an upload: the image's 976 blocks, the first
# 256 bytes without the image's encoding (a CRC-8 table laid over them).
display_copy() {
  python3 - "$1" "$2" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read()[:62464])
def crc8(b):
    c = b
    for _ in range(8):
        c = (c >> 1) ^ 0x8C if c & 1 else c >> 1
    return c
for i in range(256):
    data[i] ^= crc8(i)
open(sys.argv[2], "wb").write(data)
PY
}

if start_sim upload-lin; then
  lin upload upload out/sample.BIN --port "COM$sim_com"
  end_sim
  status_is upload lin 0
fi
if start_sim upload-win; then
  win upload upload "$win_ws_w\\out\\sample.BIN" --port "COM$sim_com"
  end_sim
  status_is upload win 0
  display_copy "$win_ws/out/sample.BIN" "$work/sample.display"
  same_bytes "the display's image after the upload under Wine" "$work/sample.display" \
    "$work/sim-upload-win.bin"
  if [ -f "$work/res/upload.lin.rc" ]; then
    # The Linux tool was given out/sample.BIN; the log names no file.
    same_result upload
  fi
fi

if start_sim time-lin; then
  lin sync-time sync-time --port "COM$sim_com"
  end_sim
  status_is sync-time lin 0
fi
if start_sim time-win; then
  before=$(date +%s)
  win sync-time sync-time --port "COM$sim_com"
  end_sim
  after=$(date +%s)
  status_is sync-time win 0
  same_result sync-time
  # The clock the display was given: the PC's local time (whole seconds).
  # Wine: the local time is the Unix one (TZ), so date(1) tells it.
  given=$(sed -n 's/^Date-time: \([0-9-]*\) \([0-9:]*\) weekday \([1-7]\)$/20\1 \2/p' \
    "$work/sim-time-win.out")
  given_s=$(date -d "$given" +%s 2>/dev/null || echo 0)
  if [ "$given_s" -ge $((before - 2)) ] && [ "$given_s" -le $((after + 2)) ]; then
    pass
  else
    fail "sync-time under Wine gave the display \"$given\", not the time between $(date -d @"$before") and $(date -d @"$after"): $(cat "$work/sim-time-win.out")"
  fi
fi

# A display that rejects frames now and then (each is sent again), and one
# that goes away in the middle: the same log and status on both.
for sim_case in "upload-rejected|--reject 5 --seed 11" "upload-lost|--hangup-after 100"; do
  name=${sim_case%%|*}
  read -r -a sim_args <<<"${sim_case#*|}"
  for side in lin win; do
    if start_sim "$name-$side" "${sim_args[@]}"; then
      "$side" "$name" upload out/sample.BIN --port "COM$sim_com"
      end_sim
    fi
  done
  same_result "$name"
done
status_is upload-rejected win 0
display_copy "$win_ws/out/sample.BIN" "$work/sample.display"
same_bytes "the display's image after an upload with rejections under Wine" "$work/sample.display" \
  "$work/sim-upload-rejected-win.bin"
status_is upload-lost win 1

# The same port named as Windows' device path (the component opens COMn as
# \\.\COMn) and in lower case: Windows-only spellings, no Linux reference.
for port in "\\\\.\\COM$sim_com" "com$sim_com"; do
  if start_sim "time-$sim_com-${#port}"; then
    win sync-time-other sync-time --port "$port"
    end_sim
    status_is sync-time-other win 0
    if grep -q '^Date-time: ' "$work/sim-time-$sim_com-${#port}.out"; then
      pass
    else
      fail "sync-time --port $port under Wine: the display got no date-time"
    fi
  fi
done

# A COM port with nothing behind it. Wine: a comN without a link is absent
# unless /dev/ttyS<N-1> exists; COM15 has neither here.
lin noport upload out/sample.BIN --port COM15
win noport upload out/sample.BIN --port COM15
same_result noport
lin noport-time sync-time --port COM15
win noport-time sync-time --port COM15
same_result noport-time

# --- bad inputs and usage errors -------------------------------------------
echo "tool-e2e: bad inputs and usage errors"
for ws in "$lin_ws" "$win_ws"; do
  printf '\x00\x01\xffGLOBAL]\r\n\x80\x81CODE' >"$ws/projects/damaged.dcf"
  printf '[GLOBAL]\r\nVERSION=1.0\r\n[CTBL0]\r\nCODE_0=1\r\n' >"$ws/projects/nocodename.dcf"
  sed 's#=pictures/msg8.bmp#=pictures/badrle.bmp#' "$ws/projects/messages.dcf" >"$ws/projects/badpicture.dcf"
  sed 's#=pictures/logo64.bmp#=pictures/none.bmp#' "$ws/projects/logo.dcf" >"$ws/projects/nologo.dcf"
  mkdir -p "$ws/empty"
done
# Each case: a name, then the arguments (the same text on both sides).
bad_cases=(
  "missing-project|make-rom projects/none.dcf -o out/x.BIN"
  "damaged-project|make-rom projects/damaged.dcf -o out/x.BIN"
  "no-codename|make-rom projects/nocodename.dcf -o out/x.BIN"
  "folder-as-project|make-rom projects -o out/x.BIN"
  "bad-picture|make-rom projects/badpicture.dcf -o out/x.BIN"
  "missing-logo|make-rom projects/nologo.dcf -o out/nologo.BIN --strict"
  "output-over-project|make-rom projects/logo.dcf -o projects/logo.dcf"
  "output-over-library|make-rom projects/logo.dcf -o D510TK3.GLB"
  "output-over-picture|make-rom projects/logo.dcf -o pictures/logo64.bmp"
  "output-in-no-folder|make-rom projects/logo.dcf -o nofolder/x.BIN"
  "upload-non-image|upload sample.dcf --port COM15"
  "upload-missing-image|upload out/none.BIN --port COM15"
  "upload-folder|upload out --port COM15"
  "inspect-non-image|inspect sample.dcf"
  "json-non-image|inspect --json sample.dcf"
  "inspect-missing|inspect out/none.BIN"
  "diff-missing|diff out/sample.BIN out/none.BIN"
  "diff-non-image|diff sample.dcf out/sample.BIN"
  "recover-over-image|recover out/logo.BIN -o out/logo.BIN"
  "recover-over-library|recover out/logo.BIN -o D510TK3.GLB"
  "usage-nothing|"
  "usage-unknown-command|frobnicate"
  "usage-unknown-option|--frobnicate"
  "usage-makerom-no-project|make-rom"
  "usage-makerom-two-projects|make-rom a.dcf b.dcf"
  "usage-makerom-o-without-value|make-rom sample.dcf -o"
  "usage-upload-no-port|upload out/sample.BIN"
  "usage-upload-com0|upload out/sample.BIN --port COM0"
  "usage-upload-com17|upload out/sample.BIN --port COM17"
  "usage-timeout|sync-time --port COM1 --response-timeout-ms 0"
  "usage-inspect-extra|inspect a.BIN b.BIN"
  "usage-recover-no-output|recover out/logo.BIN"
  "help|--help"
  "help-makerom|make-rom --help"
  "version|--version"
)
for c in "${bad_cases[@]}"; do
  name=${c%%|*}
  read -r -a args <<<"${c#*|}"
  lin "$name" "${args[@]}"
  win "$name" "${args[@]}"
  same_result "$name"
  case $name in
  usage-*) status_is "$name" win 2 ;;
  help*|version) status_is "$name" win 0 ;;
  missing-logo) status_is "$name" win 3 ;;
  diff-*) status_is "$name" win 2 ;;
  *) status_is "$name" win 1 ;;
  esac
done
# Nothing of a refused build is left behind, and no input was touched.
for f in out/x.BIN out/nologo.BIN nofolder projects/logo.dcf D510TK3.GLB pictures/logo64.bmp; do
  if [ -e "$lin_ws/$f" ] || [ -e "$win_ws/$f" ]; then
    if [ -e "$lin_ws/$f" ] && [ -e "$win_ws/$f" ] && cmp -s "$lin_ws/$f" "$win_ws/$f"; then
      pass
    else
      fail "after the refused builds $f differs between the workspaces"
    fi
  else
    pass
  fi
done
same_bytes "the project an output was refused over" "$root/tests/data/projects/logo.dcf" \
  "$win_ws/projects/logo.dcf"
same_bytes "the library an output was refused over" "$root/assets/D510TK3.GLB" "$win_ws/D510TK3.GLB"

# Named with Windows spellings: absolute, and in another letter case (the same
# file on Windows, so refused as an output over the project; on Linux a new
# file, so there is no Linux reference for that one). Wine: the case is
# ignored by Wine's own lookup in a case-sensitive folder, not by the file
# system as on Windows.
lin missing-project-abs make-rom "$lin_ws/projects/none.dcf" -o "$lin_ws/out/x.BIN"
win missing-project-abs make-rom "$win_ws_w\\projects\\none.dcf" -o "$win_ws_w\\out\\x.BIN"
same_result missing-project-abs
lin output-over-project-abs make-rom "$lin_ws/projects/logo.dcf" -o "$lin_ws/projects/logo.dcf"
win output-over-project-abs make-rom "$win_ws_w\\projects\\logo.dcf" -o "$win_ws_w\\PROJECTS\\LOGO.DCF"
status_is output-over-project-abs win 1
if diff <(norm_lin "$work/res/output-over-project-abs.lin.err") \
  <(norm_win "$work/res/output-over-project-abs.win.err" | sed 's#@WS@/PROJECTS/LOGO.DCF#@WS@/projects/logo.dcf#g') >/dev/null; then
  pass
else
  fail "an output named in capitals over the project under Wine: $(cat "$work/res/output-over-project-abs.win.err")"
fi
same_bytes "the project an output in capitals was refused over" "$root/tests/data/projects/logo.dcf" \
  "$win_ws/projects/logo.dcf"

# No configuration and no glyph library in the working folder.
at=empty lin no-installation-files make-rom ../sample.dcf -o x.BIN
at=empty win no-installation-files make-rom ../sample.dcf -o x.BIN
# Where a workspace comes from is each system's own: on Windows the editor
# makes it in the user's local application data.
win_hint=$(cat "$work/res/no-installation-files.win.out" "$work/res/no-installation-files.win.err" |
  tr -d '\r' | sed -n 's/.*beside the program; \(start the editor from its own folder .*\)$/\1/p' |
  head -n 1)
if [ -n "$win_hint" ]; then
  same_result no-installation-files "$win_hint=cd into a folder that holds them"
else
  fail "no-installation-files: the Windows hint on making a workspace is missing"
fi

echo "tool-e2e: $checks checks, $failures failed"
[ "$failures" = 0 ]
