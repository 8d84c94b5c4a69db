#!/usr/bin/env bash
# Takes pictures of both tabs of the editor, as a person sees them on first
# start with the sample project loaded, under a virtual X display (Xvfb) with
# a window manager (openbox), title bar included: on a
# 1280 x 720 screen (docs/editor-setup.png, docs/editor-make.png) and on a
# 1920 x 1080 screen at 150 % scaling (docs/editor-setup-150.png,
# docs/editor-make-150.png). The window keeps the size it takes by itself.
#
#   scripts/screenshot.sh [BUILD_DIR] [OUT_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build_dir=${1:-build}
out_dir=${2:-docs}
case "$out_dir" in /*) ;; *) out_dir="$root/$out_dir" ;; esac

for tool in xvfb-run openbox xprop; do
  command -v "$tool" >/dev/null || { echo "screenshot: $tool is missing (scripts/setup-deps.sh installs it)" >&2; exit 1; }
done
cmake --build "$build_dir" --target dpu510tk3-editor-shot
shot="$root/$build_dir/bin/dpu510tk3-editor-shot"

# A fresh start-up directory, as "make run" prepares workspace/; its path
# shows in the pictures, so it is the same on every run.
base=${TMPDIR:-/tmp}/dpu510tk3-screenshot
ws=$base/workspace
rm -rf "$base"
mkdir -p "$ws"
trap 'rm -rf "$base"' EXIT
for f in ORVDVE510TK3.INI D510TK3.GLB SPACE_240x240.bmp sample.dcf; do
  cp "assets/$f" "$ws/"
done

# The editor's remembered settings (window place, recent projects) stay out
# of the pictures and out of the user's own.
export XDG_CONFIG_HOME=$base/config
mkdir -p "$out_dir" "$XDG_CONFIG_HOME"
cd "$ws"

# Runs "$@" on the virtual display once openbox is up there (at most a
# minute), then ends the openbox it started, by its process id. (A script
# of its own: xvfb-run runs its command through sh, which drops bash
# functions.)
with_openbox='
  openbox --sm-disable >/dev/null 2>&1 &
  wm=$!
  tries=0
  until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q "window id"; do
    tries=$((tries + 1))
    if [ "$tries" -gt 600 ] || ! kill -0 "$wm" 2>/dev/null; then
      echo "screenshot: openbox did not start" >&2
      kill "$wm" 2>/dev/null || true
      exit 1
    fi
    sleep 0.1
  done
  status=0
  "$@" || status=$?
  kill "$wm" 2>/dev/null || true
  wait "$wm" 2>/dev/null || true
  exit "$status"
'

# -noreset: a probe that leaves before openbox connects must not reset the server.
xvfb-run -a -s "-screen 0 1280x720x24 -noreset" bash -c "$with_openbox" _ \
  "$shot" "$out_dir" sample.dcf
# MAKE ROM saved over the sample: start again from the original.
cp "$root/assets/sample.dcf" "$ws/"
rm -rf "$XDG_CONFIG_HOME"; mkdir -p "$XDG_CONFIG_HOME"
QT_SCALE_FACTOR=1.5 xvfb-run -a -s "-screen 0 1920x1080x24 -noreset" bash -c "$with_openbox" _ \
  "$shot" "$out_dir" sample.dcf -150
