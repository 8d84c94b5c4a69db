#!/usr/bin/env bash
# Regenerates the installation files under assets/ and the preview pages under
# docs/assets/ from the fonts of Debian's font packages. The output is the same
# byte for byte on every run with the same fonts and Qt.
# Usage: scripts/make-assets.sh [build folder]   (default: build)
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build}
gen="$build_dir/bin/dpu510tk3-assetgen"

scripts/setup-deps.sh
if [ ! -f "$build_dir/build.ninja" ]; then
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build_dir" --target dpu510tk3-assetgen

QT_QPA_PLATFORM=offscreen "$gen" --assets assets --previews docs/assets
