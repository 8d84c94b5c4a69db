#!/usr/bin/env bash
# The Windows program folder, as the zip and the installer both carry it:
# writes into DIR (which must not exist yet) the files of one installation,
#   dpu510tk3-editor.exe, dpu510tk3.exe   from BUILD_DIR/bin, stripped, the
#                                         commit's time in their PE headers
#   DefaultImage2\                        the stock bitmaps
#   ORVDVE510TK3.INI, D510TK3.GLB, SPACE_240x240.bmp, sample.dcf
#                                         the files the editor copies into the
#                                         user's workspace
#   dpu510tk3.ico                         the icon of the shortcuts and of the
#                                         project files (the programs carry none)
#   README.txt, copyright.txt, LICENSE.txt, licences\   (CR LF)
# every file and folder dated STAMP (seconds since 1970), so what is packed
# from DIR depends on the sources alone. Builds nothing: scripts/windows-zip.sh
# and scripts/windows-installer.sh build the programs first.
#
#   scripts/windows-files.sh BUILD_DIR DIR VERSION STAMP
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -eq 4 ] || { echo "usage: scripts/windows-files.sh BUILD_DIR DIR VERSION STAMP" >&2; exit 2; }
build_dir=$1
top=$2
version=$3
stamp=$4
die() {
  echo "windows-files: $*" >&2
  exit 1
}
programs=(dpu510tk3-editor.exe dpu510tk3.exe)
data_files=(ORVDVE510TK3.INI D510TK3.GLB SPACE_240x240.bmp sample.dcf)

for exe in "${programs[@]}"; do
  [ -f "$build_dir/bin/$exe" ] || die "$build_dir/bin/$exe was not built"
done
[ ! -e "$top" ] || die "$top is there already"
mkdir -p "$top"
for exe in "${programs[@]}"; do
  cp "$build_dir/bin/$exe" "$top/$exe"
  x86_64-w64-mingw32-strip "$top/$exe"
done
# The linker and strip write the time of their run into each program's PE
# header; the folder carries the commit's instead (and the header's checksum
# worked out again), so a rebuild of the same sources packs the same bytes.
python3 - "$stamp" "${programs[@]/#/$top/}" <<'PY'
import struct, sys
stamp = int(sys.argv[1]) & 0xFFFFFFFF
for path in sys.argv[2:]:
    data = bytearray(open(path, "rb").read())
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0":
        sys.exit(f"windows-files: {path} is not a PE file")
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
# One icon file holding the drawn sizes as PNG entries, which Windows reads
# since Vista; a shortcut or a file type names it by path.
python3 - "$top/dpu510tk3.ico" packaging/icons/dpu510tk3-{16,24,32,48,64,256}.png <<'PY'
import struct, sys
entries = []
for path in sys.argv[2:]:
    png = open(path, "rb").read()
    if png[:8] != b"\x89PNG\r\n\x1a\n" or png[12:16] != b"IHDR":
        sys.exit(f"windows-files: {path} is not a PNG")
    width, height = struct.unpack(">II", png[16:24])
    if width != height or width > 256:
        sys.exit(f"windows-files: {path} is {width}x{height}, not a square icon")
    entries.append((width, png))
offset = 6 + 16 * len(entries)
out = bytearray(struct.pack("<HHH", 0, 1, len(entries)))
for width, png in entries:
    side = 0 if width == 256 else width  # 0 stands for 256
    out += struct.pack("<BBBBHHII", side, side, 0, 0, 1, 32, len(png), offset)
    offset += len(png)
for _, png in entries:
    out += png
open(sys.argv[1], "wb").write(out)
PY
sed "s/@VERSION@/$version/" packaging/windows/README.txt > "$top/README.txt"
scripts/windows-licences.sh "$top" "$version"
for f in "$top/README.txt" "$top/copyright.txt" "$top/LICENSE.txt" "$top"/licences/*.txt; do
  if grep -q $'[^\r]$' "$f" || grep -q '^$' "$f"; then
    die "$f has a line not ending in CR LF"
  fi
done
find "$top" -exec touch -h -d "@$stamp" {} +
