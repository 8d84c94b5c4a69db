#!/usr/bin/env bash
# "make windows-zip": builds the programs for Windows (scripts/windows-build.sh,
# which also checks that they import only Windows' own DLLs) and packs them
# with what they need into
#   BUILD_DIR/dpu510tk3-<version>-windows-x64.zip
# one folder of the same name that runs from wherever it is unpacked: the two
# .exe files, DefaultImage2\ beside them, the installation files the editor
# copies into the user's workspace (configuration, glyph library, blank logo,
# sample project), README.txt, and copyright.txt with the licence texts
# (scripts/windows-licences.sh) for Windows users (CR LF).
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
# A build folder configured with the tests (scripts/windows-test.sh) or with
# warnings as errors keeps that configuration.
cache=$build_dir/CMakeCache.txt
if [ -f "$cache" ]; then
  [ -n "${DPU_WINDOWS_TESTS:-}" ] || export DPU_WINDOWS_TESTS=$(sed -n 's/^DPU_TESTS:BOOL=//p' "$cache")
  [ -n "${DPU_WERROR:-}" ] || export DPU_WERROR=$(sed -n 's/^DPU_WERROR:BOOL=//p' "$cache")
fi
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

# One time stamp for every entry: the last commit's, else a fixed one.
stamp=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 1767225600)}
stage=$(mktemp -d "${TMPDIR:-/tmp}/dpu-zip.XXXXXX")
trap 'rm -rf "$stage"' EXIT
top=$stage/$name
mkdir -p "$top"
for exe in "${programs[@]}"; do
  cp "$build_dir/bin/$exe" "$top/$exe"
done
for exe in "${programs[@]}"; do
  x86_64-w64-mingw32-strip "$top/$exe"
done
# The linker and strip write the time of their run into each program's PE
# header; the zip carries the commit's instead (and the header's checksum
# worked out again), so a rebuild of the same sources packs the same bytes.
python3 - "$stamp" "${programs[@]/#/$top/}" <<'PY'
import struct, sys
stamp = int(sys.argv[1]) & 0xFFFFFFFF
for path in sys.argv[2:]:
    data = bytearray(open(path, "rb").read())
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        sys.exit(f"windows-zip: {path} is not a PE file")
    struct.pack_into("<I", data, pe + 8, stamp)
    at = pe + 24 + 64  # CheckSum in the optional header
    struct.pack_into("<I", data, at, 0)
    padded = data + b"\0" * (len(data) % 2)
    total = 0
    for (word,) in struct.iter_unpack("<H", padded):
        total += word
        total = (total & 0xFFFF) + (total >> 16)
    struct.pack_into("<I", data, at, (total + len(data)) & 0xFFFFFFFF)
    open(path, "wb").write(data)
PY
cp -r assets/DefaultImage2 "$top/"
for f in "${data_files[@]}"; do
  cp "assets/$f" "$top/"
done
sed "s/@VERSION@/$version/" packaging/windows/README.txt > "$top/README.txt"
scripts/windows-licences.sh "$top" "$version"
for f in "$top/README.txt" "$top/copyright.txt" "$top/LICENSE.txt" "$top"/licences/*.txt; do
  if grep -q $'[^\r]$' "$f" || grep -q '^$' "$f"; then
    echo "windows-zip: $f has a line not ending in CR LF" >&2
    exit 1
  fi
done

find "$top" -exec touch -h -d "@$stamp" {} +
rm -f "$zip_file"
(cd "$stage" && find "$name" | LC_ALL=C sort | TZ=UTC zip -q -X -@ "$zip_file.tmp")
mv -f "$zip_file.tmp" "$zip_file"
echo "$zip_file"
