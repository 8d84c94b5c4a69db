#!/usr/bin/env bash
# "make windows-zip": builds the programs for Windows (scripts/windows-build.sh,
# which also checks that they import only Windows' own DLLs) and packs them
# with what they need into
#   BUILD_DIR/dpu510tk3-<version>-windows-x64.zip
# one folder of the same name that runs from wherever it is unpacked: the two
# .exe files, DefaultImage2\ beside them, the installation files the editor
# copies into the user's workspace (configuration, glyph library, blank logo,
# sample project), README.txt and copyright.txt for Windows users (CR LF).
# The version is the build's DPU_VERSION, as for the Debian package. The zip's
# bytes depend only on its contents: sorted entries, one time stamp (the last
# commit's), no extra attributes.
#
#   scripts/windows-zip.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build_dir=${1:-build-winapp}
case "$build_dir" in /*) ;; *) build_dir=$root/$build_dir ;; esac

command -v zip >/dev/null || { echo "windows-zip: zip is missing (scripts/setup-deps.sh installs it)" >&2; exit 1; }
scripts/windows-build.sh "$build_dir"

version=$(sed -n 's/^DPU_VERSION:[A-Z]*=//p' "$build_dir/CMakeCache.txt")
[ -n "$version" ] || { echo "windows-zip: no DPU_VERSION in $build_dir/CMakeCache.txt" >&2; exit 1; }
name=dpu510tk3-$version-windows-x64
zip_file=$build_dir/$name.zip
programs=(dpu510tk3-editor.exe dpu510tk3.exe)
data_files=(ORVDVE510TK3.INI D510TK3.GLB SPACE_240x240.bmp sample.dcf)

for exe in "${programs[@]}"; do
  [ -f "$build_dir/bin/$exe" ] || { echo "windows-zip: $build_dir/bin/$exe was not built" >&2; exit 1; }
done

stage=$(mktemp -d "${TMPDIR:-/tmp}/dpu-zip.XXXXXX")
trap 'rm -rf "$stage"' EXIT
top=$stage/$name
mkdir -p "$top"
for exe in "${programs[@]}"; do
  x86_64-w64-mingw32-strip -o "$top/$exe" "$build_dir/bin/$exe"
done
cp -r assets/DefaultImage2 "$top/"
for f in "${data_files[@]}"; do
  cp "assets/$f" "$top/"
done
sed "s/@VERSION@/$version/" packaging/windows/README.txt > "$top/README.txt"
cp packaging/windows/copyright.txt "$top/"
for f in "$top/README.txt" "$top/copyright.txt"; do
  if grep -q $'[^\r]$' "$f" || grep -q '^$' "$f"; then
    echo "windows-zip: $f has a line not ending in CR LF" >&2
    exit 1
  fi
done

# One time stamp for every entry: the last commit's, else a fixed one.
stamp=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 1767225600)}
find "$top" -exec touch -h -d "@$stamp" {} +
rm -f "$zip_file"
(cd "$stage" && find "$name" | LC_ALL=C sort | TZ=UTC zip -q -X -@ "$zip_file.tmp")
mv -f "$zip_file.tmp" "$zip_file"
echo "$zip_file"
