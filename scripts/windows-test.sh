#!/usr/bin/env bash
# Cross-builds the Qt-free parts for Windows (util with its platform unit and
# the INI engine, the serial port layer) with MinGW-w64 and runs their tests under Wine, in a throw-away
# prefix that is removed afterwards.
#   scripts/windows-test.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${1:-build-win}"

if [ ! -f "$build_dir/build.ninja" ]; then
  cmake -S tests/windows -B "$build_dir" -G Ninja \
    -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release
fi
cmake --build "$build_dir" -j "${JOBS:-2}"
# The device side of the serial tests runs natively, beside Wine.
peer_bin="$build_dir/comportpeer"
if [ ! -x "$peer_bin" ] || [ tests/windows/comportpeer.cpp -nt "$peer_bin" ]; then
  g++ -std=c++20 -O2 -Wall -Wextra -o "$peer_bin" tests/windows/comportpeer.cpp
fi

# Debian's wine64 package keeps its programs in /usr/lib/wine.
PATH="$PATH:/usr/lib/wine"
wine_bin=$(command -v wine64 || true)
if [ -z "$wine_bin" ]; then
  echo "windows-test: wine64 is not installed (scripts/setup-deps.sh installs it)" >&2
  exit 1
fi

export WINEPREFIX
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/dpu-wine.XXXXXX")
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
peer_pid=""
cleanup() {
  if [ -n "$peer_pid" ]; then
    kill "$peer_pid" 2>/dev/null || true
    wait "$peer_pid" 2>/dev/null || true
  fi
  WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

echo "windows-test: preparing the Wine prefix $WINEPREFIX"
"$wine_bin" wineboot -i >/dev/null 2>&1
# wineboot returns before the prefix's server is idle; wait for it.
wineserver -w
# One server for all the test programs, its messages kept apart: the
# pseudo-terminal that becomes its controlling terminal sends it SIGHUP at each
# hang-up of the peer, and Debian's server then lists all its objects.
wineserver -p >/dev/null 2>"$WINEPREFIX/wineserver.log"

# COM5 is the port under test, COM9 the peer's control line.
test_com=5
control_com=9
"$peer_bin" "$WINEPREFIX" "$test_com" "$control_com" >"$WINEPREFIX/peer.out" 2>&1 &
peer_pid=$!
for _ in $(seq 1 300); do
  grep -q '^ready' "$WINEPREFIX/peer.out" && break
  if ! kill -0 "$peer_pid" 2>/dev/null; then
    echo "windows-test: the device peer ended: $(cat "$WINEPREFIX/peer.out")" >&2
    exit 1
  fi
  sleep 0.1
done
if ! grep -q '^ready' "$WINEPREFIX/peer.out"; then
  echo "windows-test: the device peer did not get ready within 30 s" >&2
  exit 1
fi
echo "windows-test: $(head -n1 "$WINEPREFIX/peer.out")"

status=0
for exe in "$build_dir"/bin/test_*_win.exe; do
  echo "windows-test: $(basename "$exe")"
  if ! DPU_TEST_COM=$test_com DPU_CONTROL_COM=$control_com "$wine_bin" "$exe" --gtest_brief=1; then
    status=1
  fi
done
# The editor under Wine on a virtual display, and the Windows zip.
tests/windows/editor-wine.sh build-winapp build || status=1
exit $status
