#!/usr/bin/env bash
# The editor for Windows under Wine, on a virtual X display (Xvfb) with Wine's
# windows platform, and the Windows zip unpacked into a fresh prefix:
#  1. the zip unpacked into "C:\DPU Tools\"; the tool's make-rom of the packed
#     sample, run there, gives the Linux tool's image byte for byte;
#  2. the real dpu510tk3-editor.exe started in its own folder (a double-click)
#     moves to the user's workspace under the profile (of a user "José Núñez"),
#     fills it and leaves the program folder as it was; a picture of its
#     window goes to OUT_PNG;
#  3. wine_editor_check.exe (Qt Test, test_editor_wine.cpp) drives the window class from the zip's
#     folder: start-up in "C:\Prüfung", the sample loaded, MAKE ROM the Linux
#     tool's bytes, the image uploaded through COM3 to the native display
#     simulator, which then holds it.
# Where Wine differs from Windows is marked "Wine:" here and in the test.
#
#   tests/windows/editor-wine.sh [WIN_BUILD_DIR [LINUX_BUILD_DIR [OUT_PNG]]]
#
# WIN_BUILD_DIR is that of scripts/windows-build.sh (the zip is made from it,
# wine_editor_check.exe built in it; default DPU_WIN_BUILD_DIR, which
# scripts/windows-test.sh exports, else build-winapp); LINUX_BUILD_DIR holds
# the Linux tool and simulator (default DPU_NATIVE_BUILD_DIR, else build;
# configured here when missing). The prefix is one of its own, not the one
# scripts/windows-test.sh exports: it is made for a user of another name. The picture goes to OUT_PNG, by default
# WIN_BUILD_DIR/editor-wine.png; the documentation's is docs/editor-wine.png:
#   tests/windows/editor-wine.sh build-winapp build docs/editor-wine.png
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
abs() { case "$1" in /*) printf '%s\n' "$1" ;; *) printf '%s\n' "$root/$1" ;; esac; }
win_build=$(abs "${1:-${DPU_WIN_BUILD_DIR:-build-winapp}}")
linux_build=$(abs "${2:-${DPU_NATIVE_BUILD_DIR:-build}}")
out_png=$(abs "${3:-$win_build/editor-wine.png}")
say() { echo "editor-wine: $*"; }
fail() { echo "editor-wine: FAILED: $*" >&2; exit 1; }

PATH="$PATH:/usr/lib/wine"
for tool in wine64 wineserver Xvfb xwininfo unzip python3; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup-deps.sh installs it)"
done
data_files=(ORVDVE510TK3.INI D510TK3.GLB SPACE_240x240.bmp sample.dcf)

# ------------------------------------------------------------ what it needs
[ -f "$linux_build/build.ninja" ] ||
  cmake -S . -B "$linux_build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$linux_build" --target dpu510tk3 dpu510tk3-sim >/dev/null
zip_file=$(scripts/windows-zip.sh "$win_build" | tail -n 1)
cmake --build "$win_build" --target wine_editor_check >/dev/null
test_exe=$win_build/bin/wine_editor_check.exe
shot_bin=$win_build/windowshot
if [ ! -x "$shot_bin" ] || [ tests/windows/windowshot.cpp -nt "$shot_bin" ]; then
  # shellcheck disable=SC2046
  g++ -std=c++20 -O2 -Wall -Wextra -fPIC -o "$shot_bin" tests/windows/windowshot.cpp \
    $(pkg-config --cflags --libs Qt6Gui)
fi

# The windows platform on the virtual display, whatever a caller chose for its
# own tests (scripts/windows-test.sh exports the offscreen one).
unset WINEQT_QPA_PLATFORM QT_QPA_PLATFORM
work=$(mktemp -d "${TMPDIR:-/tmp}/dpu-editor-wine.XXXXXX")
export WINEPREFIX=$work/prefix
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
xvfb_pid="" sim_pid="" editor_pid=""
cleanup() {
  for pid in $editor_pid $sim_pid; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
  [ ! -d "$WINEPREFIX" ] || wineserver -k 2>/dev/null || true
  if [ -n "$xvfb_pid" ]; then
    kill "$xvfb_pid" 2>/dev/null || true
    wait "$xvfb_pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# Waits (at most $1 seconds, trying every 0.1 s) until the command after it succeeds.
wait_for() {
  local end=$((SECONDS + $1)); shift
  until "$@"; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.1
  done
}

# ------------------------------------------------------------ display and prefix
# The same screen as the Linux pictures (scripts/screenshot.sh).
exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x720x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
wait_for 30 test -s "$work/display" || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
export DISPLAY=:$(head -n 1 "$work/display")
say "display $DISPLAY, preparing the Wine prefix"
# A user whose profile folder is not plain ASCII, as many are: Wine names it
# after USER. The workspace lies under it.
export USER="José Núñez" LOGNAME="José Núñez"
. scripts/wine-prefix.sh
wine_find || exit 1
wine_boot_prefix "$WINEPREFIX" "$work/wineserver.log"
# Wine: Debian's wine finds its own fonts (fonts-wine) only when they are in
# the prefix's Fonts folder; without Tahoma, which Windows maps "MS Shell
# Dlg 2" to, Qt draws the window in the first font it lists.
cp /usr/share/wine/fonts/*.ttf "$WINEPREFIX/drive_c/windows/Fonts/" ||
  fail "Wine's fonts are missing (fonts-wine; scripts/setup-deps.sh installs it)"
profile=$(echo "$WINEPREFIX"/drive_c/users/*/AppData/Local)
profile=${profile%/AppData/Local}
# Wine: the profile's Documents and Desktop link to the Linux home folder; the
# workspace under AppData\Local stays inside the prefix.
[ -d "$profile/AppData/Local" ] || fail "the prefix has no user profile"

# ------------------------------------------------------------ 1. the zip
linux=$work/linux
mkdir -p "$linux"
for f in "${data_files[@]}"; do cp "assets/$f" "$linux/"; done
(cd "$linux" && "$linux_build/bin/dpu510tk3" make-rom sample.dcf -o LINUX.BIN >/dev/null) ||
  fail "the Linux tool's make-rom"
name=$(basename "$zip_file" .zip)
tools="$WINEPREFIX/drive_c/DPU Tools"
mkdir -p "$tools"
unzip -q "$zip_file" -d "$tools"
app="$tools/$name"
for f in dpu510tk3-editor.exe dpu510tk3.exe README.txt copyright.txt DefaultImage2/LiftState \
         "${data_files[@]}"; do
  [ -e "$app/$f" ] || fail "the zip has no $name/$f"
done
version=${name#dpu510tk3-}
version=${version%-windows-x64}
head -n 1 "$app/README.txt" | grep -qF "Editor $version for Windows" || fail "README.txt does not name version $version"
! grep -q $'[^\r]$' "$app/README.txt" "$app/copyright.txt" || fail "a text file of the zip has a line without CR LF"
(cd "$app" && wine64 dpu510tk3.exe make-rom sample.dcf -o "C:\\DPU Tools\\ZIP.BIN" >"$work/zip-make.out" 2>&1) ||
  fail "make-rom from the unpacked zip: $(cat "$work/zip-make.out")"
cmp "$tools/ZIP.BIN" "$linux/LINUX.BIN" || fail "make-rom from the zip differs from the Linux tool's image"
rm -f "$tools/ZIP.BIN"
say "make-rom in C:\\DPU Tools\\$name: the Linux image, byte for byte"

# ------------------------------------------------------------ 2. the real editor
listing() { (cd "$app" && find . -printf '%p %s %T@\n' | LC_ALL=C sort); }
listing >"$work/before"
# Started as a double-click starts it: in its own folder. The smoke test ends
# it as soon as the window is up, saying where it started. Wine: the standard
# error of a windowed program reaches us; on Windows only a redirection would.
(cd "$app" && DPU510TK3_SMOKE_TEST=1 wine64 dpu510tk3-editor.exe >"$work/smoke.out" 2>&1) ||
  fail "the editor's smoke test: $(cat "$work/smoke.out")"
ws_unix="$profile/AppData/Local/dpu510tk3/workspace"
ws_win="C:/users/$(basename "$profile")/AppData/Local/dpu510tk3/workspace"
# The line carries the folder in the program's 8-bit encoding and ends in
# CR LF: its ASCII parts are compared.
tr -d '\r' <"$work/smoke.out" |
  LC_ALL=C grep -q "^\[Smoke test\] start-up completed in C:/users/[^/]*/AppData/Local/dpu510tk3/workspace$" ||
  fail "the editor did not start in $ws_win: $(cat "$work/smoke.out")"
for f in "${data_files[@]}"; do
  cmp -s "$ws_unix/$f" "$app/$f" || fail "the workspace has no copy of $f"
done
[ -f "$ws_unix/.dpu510tk3-installed" ] || fail "the workspace has no manifest"
say "the editor started in its folder works in $ws_win"

# The window at the size it takes by itself, the sample loaded (its path in
# the workspace, filled by the first start). Wine: with no window manager on
# the display there is no frame; the picture is the client area.
(cd "$app" && exec wine64 dpu510tk3-editor.exe "$ws_win/sample.dcf" >"$work/editor.out" 2>&1) &
editor_pid=$!
find_window() {
  window=$(xwininfo -root -tree 2>/dev/null |
           sed -n 's/^ *\(0x[0-9a-f]*\) "DPU-510TK3 Lift LCD Editor.*/\1/p' | head -n 1)
  [ -n "$window" ]
}
wait_for 120 find_window || fail "the editor's window did not show: $(cat "$work/editor.out")"
# The picture is taken once two in a row agree: the window has finished drawing.
mkdir -p "$(dirname "$out_png")"
shot() {
  "$shot_bin" "$window" "$work/shot.png" >"$work/shot.size" 2>"$work/shot.err" || return 1
  if [ -f "$work/shot.prev" ] && cmp -s "$work/shot.png" "$work/shot.prev"; then return 0; fi
  cp "$work/shot.png" "$work/shot.prev"
  return 1
}
wait_for 60 shot || fail "no steady picture of the window: $(cat "$work/shot.err")"
cp "$work/shot.png" "$out_png"
say "window $(cat "$work/shot.size"), picture in $out_png"
kill "$editor_pid" 2>/dev/null || true
wait "$editor_pid" 2>/dev/null || true
editor_pid=""
listing >"$work/after"
diff -u "$work/before" "$work/after" >"$work/listing.diff" ||
  fail "the editor wrote into its program folder: $(cat "$work/listing.diff")"

# ------------------------------------------------------------ 3. the window driven
com=3
start="$WINEPREFIX/drive_c/Prüfung"
mkdir -p "$start"
for f in "${data_files[@]}"; do cp "assets/$f" "$start/"; done
cp "$linux/LINUX.BIN" "$start/"
# Beside the zip's DefaultImage2\, as the editor itself is.
cp "$test_exe" "$app/"
"$linux_build/bin/dpu510tk3-sim" --once --out "$work/received.bin" --c-interval-ms 50 \
  >"$work/sim.out" 2>&1 &
sim_pid=$!
wait_for 30 grep -q '^/dev/' "$work/sim.out" || fail "the simulator gave no port: $(cat "$work/sim.out")"
ln -sf "$(head -n 1 "$work/sim.out")" "$WINEPREFIX/dosdevices/com$com"
if ! (cd "$start" && DPU_WINE_COM=$com WINEQT_FORCE_STDERR_LOGGING=1 \
        wine64 "$app/wine_editor_check.exe" >"$work/test.out" 2>&1); then
  cat "$work/test.out" >&2
  fail "wine_editor_check.exe"
fi
grep -E '^(PASS|FAIL|SKIP|Totals)' "$work/test.out" | sed 's/^/editor-wine: /'
rm -f "$app/wine_editor_check.exe"
wait_for 60 bash -c "! kill -0 $sim_pid 2>/dev/null" || fail "the simulator did not end after the upload"
wait "$sim_pid" || fail "the simulator: $(cat "$work/sim.out")"
sim_pid=""
# What the display holds: the image's first 62464 bytes, the first 256
# with the image's encoding removed (exclusive-or with the CRC-8 table).
python3 - "$linux/LINUX.BIN" "$work/received.bin" <<'PY' || fail "the simulator does not hold the image"
import sys
table = []
for i in range(256):
    c = i
    for _ in range(8):
        c = (c >> 1) ^ 0x8C if c & 1 else c >> 1
    table.append(c)
image = bytearray(open(sys.argv[1], "rb").read()[:62464])
for i in range(256):
    image[i] ^= table[i]
held = open(sys.argv[2], "rb").read()
if held != bytes(image):
    sys.exit(f"{len(held)} bytes held, differing from the image's {len(image)}")
PY
say "the simulator holds the image MAKE ROM built in the window"
say "passed"
