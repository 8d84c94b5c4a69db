#!/usr/bin/env bash
# "make run": prepares workspace/ (the start-up directory: configuration file,
# glyph library, blank logo, sample project) with the same launcher as the
# installed desktop entry, and starts the editor there. With no graphical
# display it builds the sample project's ROM image with the command-line tool
# instead and says where the file went.
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
bin="$PWD/$build_dir/bin"
ws="$PWD/workspace"

# The launcher takes the installation files from assets/ and the editor from
# the build; a workspace file that was changed by hand is never overwritten.
export DPU510TK3_WORKSPACE="$ws" DPU510TK3_DATADIR="$PWD/assets" DPU510TK3_LIBDIR="$bin"
launcher="$PWD/packaging/dpu510tk3-workspace"
"$launcher" --prepare > /dev/null

editor="$bin/dpu510tk3-editor"
cli="$bin/dpu510tk3"

if [ -x "$editor" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
  echo "Starting the editor in $ws"
  exec "$launcher"
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
