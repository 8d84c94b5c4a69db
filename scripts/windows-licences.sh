#!/usr/bin/env bash
# The Windows zip's licence files, written into DIR with CR LF line ends:
#   copyright.txt        who holds what, and which Qt the programs link and
#                        how to build them with another (the LGPL's relinking)
#   LICENSE.txt          the programs' own licence
#   licences/            the full texts of the fonts' licences (the glyph
#                        library and the stock bitmaps are drawn from them) and
#                        of the LGPL 3.0 with the GPL 3.0 it builds on
# A missing source text stops it (exit 1) before anything is written, so no
# zip goes out without its licences. scripts/windows-zip.sh calls it; "make
# package-test" checks it.
#
#   scripts/windows-licences.sh DIR VERSION
# Environment: DPU_COMMON_LICENSES (default /usr/share/common-licenses), where
# the GNU texts are taken from.
set -euo pipefail
cd "$(dirname "$0")/.."
[ $# -eq 2 ] || { echo "usage: scripts/windows-licences.sh DIR VERSION" >&2; exit 2; }
dir=$1
version=$2
common=${DPU_COMMON_LICENSES:-/usr/share/common-licenses}

# The version of the Qt source the MinGW build takes: the host's (see
# scripts/build-qt-mingw.sh).
qt_version=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null) || qt_version=
[ -n "$qt_version" ] || { echo "windows-licences: qt6-base-dev is not installed: no Qt version to name" >&2; exit 1; }

# (source, name in the zip)
texts=(
  "LICENSE" "LICENSE.txt"
  "packaging/licenses/Bitstream-Vera.txt" "licences/Bitstream-Vera.txt"
  "packaging/licenses/OFL-1.1.txt" "licences/OFL-1.1.txt"
  "$common/LGPL-3" "licences/LGPL-3.txt"
  "$common/GPL-3" "licences/GPL-3.txt"
)
for ((i = 0; i < ${#texts[@]}; i += 2)); do
  [ -s "${texts[i]}" ] || { echo "windows-licences: ${texts[i]} is missing: the zip would lack ${texts[i + 1]}" >&2; exit 1; }
done

crlf() { sed 's/\r$//; s/$/\r/'; }
mkdir -p "$dir/licences"
sed -e "s/@VERSION@/$version/g" -e "s/@QT_VERSION@/$qt_version/g" packaging/windows/copyright.txt | crlf > "$dir/copyright.txt"
for ((i = 0; i < ${#texts[@]}; i += 2)); do
  crlf < "${texts[i]}" > "$dir/${texts[i + 1]}"
done
