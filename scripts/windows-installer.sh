#!/usr/bin/env bash
# "make windows-installer": builds the programs for Windows
# (scripts/windows-build.sh), writes the program folder the zip carries
# (scripts/windows-files.sh) and makes of it, with makensis and
# packaging/windows/dpu510tk3.nsi,
#   BUILD_DIR/dpu510tk3-<version>-windows-x64-setup.exe
# an installer that needs no administrator. Its bytes depend only on the
# sources: the files carry the commit's time (or SOURCE_DATE_EPOCH's), and
# makensis adds no time of its own.
#
#   scripts/windows-installer.sh [BUILD_DIR]            (default build-winapp)
#   scripts/windows-installer.sh --pack DIR VERSION OUT
#       makes the installer OUT of a program folder DIR written before (an
#       unpacked zip, for instance), for version VERSION; builds nothing.
# Environment: DPU_NSIS_COMPRESSOR, SetCompressor's arguments (default
# "/SOLID lzma"; "zlib" packs in a tenth of the time, a third bigger).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
die() {
  echo "windows-installer: $*" >&2
  exit 1
}
abs() { case "$1" in /*) printf '%s\n' "$1" ;; *) printf '%s\n' "$root/$1" ;; esac; }
command -v makensis >/dev/null || die "makensis is missing (scripts/setup-deps.sh installs nsis)"
work=$(mktemp -d "${TMPDIR:-/tmp}/dpu-setup.XXXXXX")
trap 'rm -rf "$work"' EXIT

# Makes OUT from the program folder DIR.
pack() {
  local dir=$1 version=$2 out=$3
  [ -f "$dir/dpu510tk3-editor.exe" ] || die "$dir holds no dpu510tk3-editor.exe"
  # The version resource wants four numbers: the version's leading ones.
  local vi
  vi=$(printf '%s\n' "$version" | grep -oE '^[0-9]+(\.[0-9]+)*' | cut -d. -f1-4)
  while [ "$(printf '%s' "$vi" | tr -cd . | wc -c)" -lt 3 ]; do vi=$vi.0; done
  local nsis=$work/nsis
  mkdir -p "$nsis"

  # Every file by name, so the uninstaller removes what was installed and
  # nothing else.
  python3 - "$dir" >"$nsis/files.nsh" <<'PY'
import os, sys
top = sys.argv[1]
def quoted(prefix, name):
    if any(c in name for c in '"$\r\n'):
        sys.exit(f"windows-installer: a file name NSIS cannot quote: {name!r}")
    return '"' + prefix + name + '"'
folders, files = [], []
for here, subdirs, names in os.walk(top):
    subdirs.sort()
    rel = os.path.relpath(here, top)
    rel = "" if rel == "." else rel
    if rel:
        folders.append(rel)
    for name in names + subdirs:
        if os.path.islink(os.path.join(here, name)):
            sys.exit(f"windows-installer: {os.path.join(here, name)} is a link")
    files.append((rel, sorted(names)))
def win(rel):
    return rel.replace("/", "\\")
print("!macro DPU_INSTALL_FILES")
for rel, names in files:
    print("  SetOutPath " + quoted("$INSTDIR", "\\" + win(rel) if rel else ""))
    for name in names:
        print("  File " + quoted("${PROGRAM_DIR}/", os.path.join(rel, name)))
print("!macroend")
print("!macro DPU_REMOVE_FILES")
for rel, names in files:
    for name in names:
        print("  Delete " + quoted("$INSTDIR\\", win(os.path.join(rel, name))))
for rel in sorted(folders, key=lambda f: (-f.count("/"), f)):
    print("  RMDir " + quoted("$INSTDIR\\", win(rel)))
print("!macroend")
PY

  # The licence page: the editor's licence, then what it carries under other
  # licences, as the folder has them (CR LF).
  {
    for f in LICENSE.txt copyright.txt licences/Bitstream-Vera.txt licences/OFL-1.1.txt \
             licences/LGPL-3.txt licences/GPL-3.txt; do
      [ -s "$dir/$f" ] || die "$dir/$f is missing: the licence page would lack it"
      printf '======== %s ========\r\n\r\n' "${f//\//\\}"
      cat "$dir/$f"
      printf '\r\n'
    done
  } >"$nsis/licence-page.txt"

  local size
  size=$(find "$dir" -type f -printf '%s\n' | awk '{ s += $1 } END { printf "%d", (s + 1023) / 1024 }')
  local tmp_out=$out.tmp
  rm -f "$tmp_out"
  # -NOCONFIG: no machine-wide nsisconf.nsh; -WX: a warning stops the build.
  makensis -NOCONFIG -WX -V2 -INPUTCHARSET UTF8 \
    "-DVERSION=$version" "-DVI_VERSION=$vi" "-DPROGRAM_DIR=$dir" \
    "-DFILE_LIST=$nsis/files.nsh" "-DLICENCE_PAGE=$nsis/licence-page.txt" \
    "-DESTIMATED_SIZE=$size" "-DOUT_FILE=$tmp_out" \
    ${DPU_NSIS_COMPRESSOR:+"-DCOMPRESSOR=$DPU_NSIS_COMPRESSOR"} \
    packaging/windows/dpu510tk3.nsi >"$nsis/makensis.out" 2>&1 ||
    die "makensis failed: $(cat "$nsis/makensis.out")"
  mv -f "$tmp_out" "$out"
}

if [ "${1:-}" = --pack ]; then
  [ $# -eq 4 ] || die "usage: scripts/windows-installer.sh --pack DIR VERSION OUT"
  pack "$(abs "$2")" "$3" "$(abs "$4")"
  exit 0
fi

build_dir=$(abs "${1:-build-winapp}")
# A build folder configured with the tests (scripts/windows-test.sh) or with
# warnings as errors keeps that configuration.
cache=$build_dir/CMakeCache.txt
if [ -f "$cache" ]; then
  [ -n "${DPU_WINDOWS_TESTS:-}" ] || DPU_WINDOWS_TESTS=$(sed -n 's/^DPU_TESTS:BOOL=//p' "$cache")
  [ -n "${DPU_WERROR:-}" ] || DPU_WERROR=$(sed -n 's/^DPU_WERROR:BOOL=//p' "$cache")
  export DPU_WINDOWS_TESTS DPU_WERROR
fi
scripts/windows-build.sh "$build_dir" >&2

version=$(sed -n 's/^DPU_VERSION:[A-Z]*=//p' "$build_dir/CMakeCache.txt")
[ -n "$version" ] || die "no DPU_VERSION in $build_dir/CMakeCache.txt"
name=dpu510tk3-$version-windows-x64
stamp=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || echo 1767225600)}
scripts/windows-files.sh "$build_dir" "$work/$name" "$version" "$stamp"
pack "$work/$name" "$version" "$build_dir/$name-setup.exe"
echo "$build_dir/$name-setup.exe"
