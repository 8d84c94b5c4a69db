#!/usr/bin/env bash
# "make run": prepares workspace/ (the start-up directory: configuration file,
# glyph library, blank logo, sample project) and starts the editor there. With
# no graphical display it builds the sample project's ROM image with the
# command-line tool instead and says where the file went.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
bin="$PWD/$build_dir/bin"
ws="$PWD/workspace"

mkdir -p "$ws"
# Installation files are refreshed every time; the user's projects are never overwritten.
for f in ORVDVE510TK3.INI D510TK3.GLB SPACE_240x240.bmp; do
  [ -f "assets/$f" ] && cp -f "assets/$f" "$ws/$f"
done
for f in assets/*.dcf; do
  [ -f "$f" ] && cp -n "$f" "$ws/" 2>/dev/null || true
done

editor="$bin/dpu510tk3-editor"
cli="$bin/dpu510tk3"

if [ -x "$editor" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  echo "Starting the editor in $ws"
  cd "$ws" && exec "$editor"
fi

if [ -x "$editor" ]; then
  echo "No graphical display (DISPLAY and WAYLAND_DISPLAY are unset): the editor cannot open a window here."
else
  echo "The editor is not built yet."
fi

if [ -x "$cli" ] && [ -f "$ws/sample.dcf" ]; then
  echo "Building the sample project's ROM image with the command-line tool instead:"
  cd "$ws"
  "$cli" make-rom sample.dcf -o sample.BIN
  echo "ROM image written to $ws/sample.BIN"
  exit 0
fi

echo "Nothing runnable yet besides the test suite ('make test'). Built so far in $bin:"
ls -1 "$bin" 2>/dev/null | sed 's/^/  /' || echo "  (nothing)"
