#!/usr/bin/env bash
# "make windows-zip": builds the programs for Windows (scripts/windows-build.sh,
# which also checks that they import only Windows' own DLLs) and packs them
# with what they need into
#   BUILD_DIR/dpu510tk3-<version>-windows-x64.zip
# one folder of the same name that runs from wherever it is unpacked: the
# files scripts/windows-files.sh lists, which the installer carries as well
# (the two .exe files, DefaultImage2\ beside them, the installation files the
# editor copies into the user's workspace, the icon, README.txt, and
# copyright.txt with the licence texts, CR LF).
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
# One time stamp for every entry: the last commit's, else a fixed one.
stamp=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 1767225600)}
stage=$(mktemp -d "${TMPDIR:-/tmp}/dpu-zip.XXXXXX")
trap 'rm -rf "$stage"' EXIT
# The installer's files too (scripts/windows-files.sh).
scripts/windows-files.sh "$build_dir" "$stage/$name" "$version" "$stamp"

rm -f "$zip_file"
(cd "$stage" && find "$name" | LC_ALL=C sort | TZ=UTC zip -q -X -@ "$zip_file.tmp")
mv -f "$zip_file.tmp" "$zip_file"
echo "$zip_file"
