#!/usr/bin/env bash
# The Windows build tested under Wine (make windows-test, also run by .ci/run).
#
#   scripts/windows-test.sh [BUILD_DIR]      (default build-wintest)
#
# 1. Cross-builds the whole project for Windows with its tests into BUILD_DIR
#    (scripts/windows-build.sh with DPU_WINDOWS_TESTS=ON; the MinGW Qt is
#    built on first use and reused afterwards), and natively the display
#    simulator, the Linux tool and the COM port peer.
# 2. Makes a throw-away Wine prefix, starts the peer (two pseudo-terminals
#    linked as COM5, the port under test, and COM9, its control line) and runs
#    every BUILD_DIR/bin/test_*.exe on Qt's offscreen platform: the unit and
#    widget tests that need no pseudo-terminal, the Windows platform files and
#    the port layer against the peer.
# 3. Runs the end-to-end scripts of the tool, of the editor and of the
#    installer (marked places near the end), then removes the prefix.
#
# What the end-to-end scripts find exported:
#   DPU_WINE             the wine binary (wine64), to run a .exe with
#   WINEPREFIX           the prefix, made and booted; removed at the end
#   WINEDEBUG, WINEDLLOVERRIDES   quiet Wine, no Mono or Gecko installer
#   DPU_WIN_BUILD_DIR    absolute path of BUILD_DIR; the programs are
#                        $DPU_WIN_BUILD_DIR/bin/dpu510tk3.exe and
#                        dpu510tk3-editor.exe, DefaultImage2 beside them
#   DPU_NATIVE_BUILD_DIR absolute path of the native build folder (./build, or
#                        DPU_NATIVE_BUILD_DIR when set): bin/dpu510tk3 and
#                        bin/dpu510tk3-sim are built there
#   DPU_WINE_COM_TAKEN   the COM numbers the peer holds while the tests run
#                        ("5 9"); the scripts link their own ports elsewhere
# Other environment: JOBS (parallel build jobs, default 2), WERROR=1 (every
# compiler warning an error, as in CI).
set -euo pipefail
cd "$(dirname "$0")/.."
repo_dir=$PWD
build_dir="${1:-build-wintest}"
native_dir="${DPU_NATIVE_BUILD_DIR:-build}"
jobs="${JOBS:-2}"
werror=OFF
if [ "${WERROR:-0}" = 1 ]; then werror=ON; fi

say() { echo "windows-test: $*"; }
die() {
  echo "windows-test: error: $*" >&2
  exit 1
}

# ---------------------------------------------------------------- builds
DPU_WINDOWS_TESTS=ON DPU_WERROR=$werror JOBS=$jobs scripts/windows-build.sh "$build_dir"

# The Linux side: the simulator the end-to-end scripts upload to and the tool
# they compare with, in the everyday build folder (configured as make does).
if [ ! -f "$native_dir/build.ninja" ]; then
  cmake -S . -B "$native_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDPU_WERROR=$werror
fi
cmake --build "$native_dir" -j "$jobs" --target dpu510tk3 dpu510tk3-sim

# The device side of the port tests runs natively, beside Wine.
peer_bin="$build_dir/comportpeer"
if [ ! -x "$peer_bin" ] || [ tests/windows/comportpeer.cpp -nt "$peer_bin" ]; then
  g++ -std=c++20 -O2 -Wall -Wextra -o "$peer_bin" tests/windows/comportpeer.cpp
fi

# ---------------------------------------------------------------- Wine
. scripts/wine-prefix.sh
wine_find || die "no Wine"
wine_bin=$WINE
export DPU_WINE="$wine_bin"
export DPU_WIN_BUILD_DIR="$repo_dir/$build_dir"
export DPU_NATIVE_BUILD_DIR="$repo_dir/$native_dir"
case "$build_dir" in /*) DPU_WIN_BUILD_DIR=$build_dir ;; esac
case "$native_dir" in /*) DPU_NATIVE_BUILD_DIR=$native_dir ;; esac
export WINEPREFIX
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/dpu-wine.XXXXXX")
# Wine hands a Windows program no QT_* variable, but turns WINEQT_* into QT_*.
export WINEQT_QPA_PLATFORM=offscreen
# The installer's test has a prefix of its own and spends most of its time
# compressing on one core, while the tests below run Wine on the other: it
# starts now, and its lines are printed where the scripts below would have
# run it.
installer_log=$(mktemp "${TMPDIR:-/tmp}/dpu-installer-test.XXXXXX")
env -u WINEPREFIX tests/windows/installer-wine.sh >"$installer_log" 2>&1 &
installer_pid=$!
peer_pid=""
cleanup() {
  if kill -0 "$installer_pid" 2>/dev/null; then
    kill "$installer_pid" 2>/dev/null || true
    wait "$installer_pid" 2>/dev/null || true
  fi
  rm -f "$installer_log"
  if [ -n "$peer_pid" ]; then
    kill "$peer_pid" 2>/dev/null || true
    wait "$peer_pid" 2>/dev/null || true
  fi
  WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

say "preparing the Wine prefix $WINEPREFIX"
wine_boot_prefix "$WINEPREFIX" "$WINEPREFIX/wineserver.log"

# COM5 is the port under test, COM9 the peer's control line.
test_com=5
control_com=9
export DPU_WINE_COM_TAKEN="$test_com $control_com"
"$peer_bin" "$WINEPREFIX" "$test_com" "$control_com" >"$WINEPREFIX/peer.out" 2>&1 &
peer_pid=$!
for _ in $(seq 1 300); do
  grep -q '^ready' "$WINEPREFIX/peer.out" && break
  if ! kill -0 "$peer_pid" 2>/dev/null; then
    die "the device peer ended: $(cat "$WINEPREFIX/peer.out")"
  fi
  sleep 0.1
done
grep -q '^ready' "$WINEPREFIX/peer.out" || die "the device peer did not get ready within 30 s"
say "$(head -n1 "$WINEPREFIX/peer.out")"

# ---------------------------------------------------------------- unit and widget tests
status=0
failed=()
run_test() {
  local exe=$1
  shift
  say "$(basename "$exe") $*"
  if ! env DPU_TEST_COM=$test_com DPU_CONTROL_COM=$control_com "$@" \
    "$wine_bin" "$exe" --gtest_brief=1; then
    status=1
    failed+=("$(basename "$exe") $*")
  fi
}
for exe in "$build_dir"/bin/test_*.exe; do
  run_test "$exe"
done
# The first window again on the screens people have (as the Linux suite does).
for screen in 1280x720@1 1920x1080@1.5 1280x720@1.5; do
  run_test "$build_dir/bin/test_editor_screens.exe" DPU_TEST_SCREEN=$screen
done

# ---------------------------------------------------------------- end to end
# Each script is one line, "tests/windows/NAME.sh || status=1", so a failure
# is counted and the other scripts still run.
# end-to-end scripts of the tool (wine-e2e):
tests/windows/tool-e2e.sh || status=1

# end-to-end scripts of the editor (wine-editor):
tests/windows/editor-wine.sh || status=1

# the installer, installed, upgraded and removed (wine-installer), started
# before the unit tests:
installer_status=0
wait "$installer_pid" || installer_status=$?
cat "$installer_log"
[ "$installer_status" -eq 0 ] || status=1


if [ "$status" -ne 0 ]; then
  say "failed: ${failed[*]}"
fi
exit $status
