#!/usr/bin/env bash
# "make package-test": checks the Debian package that "make package" built.
# Its contents and metadata (dpkg-deb, lintian, desktop-file-validate,
# appstreamcli), then the programs of the package unpacked into a temporary
# root, as a user without the repository would meet them: the launcher
# prepares a workspace, the unpacked tool builds the sample's ROM image (it
# must equal the build tree's), and the unpacked editor starts on the
# offscreen platform without an error box.
# Usage: scripts/package-test.sh [BUILD_DIR]
set -uo pipefail
cd "$(dirname "$0")/.."
build_dir=$(readlink -f "${1:-build}")
src=$PWD

deb=$(ls -t "$build_dir"/dpu510tk3_*.deb 2>/dev/null | head -n 1)
if [ -z "$deb" ]; then
    echo "package-test: no dpu510tk3_*.deb in $build_dir (run 'make package' first)" >&2
    exit 1
fi
echo "package-test: $deb"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
passed=0
failed=0
pass() { passed=$((passed + 1)); echo "  ok: $1"; }
fail() { failed=$((failed + 1)); echo "FAILED: $1" >&2; }
check() { # check DESCRIPTION COMMAND...
    local what=$1
    shift
    if "$@"; then pass "$what"; else fail "$what"; fi
}

# ---------------------------------------------------------------- contents
dpkg-deb -c "$deb" | awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }' > "$tmp/listing"
expected=(
    "./usr/bin/dpu510tk3 -> ../lib/dpu510tk3/dpu510tk3"
    "./usr/bin/dpu510tk3-editor -> ../lib/dpu510tk3/dpu510tk3-editor"
    "./usr/bin/dpu510tk3-sim -> ../lib/dpu510tk3/dpu510tk3-sim"
    "./usr/bin/dpu510tk3-workspace -> ../lib/dpu510tk3/dpu510tk3-workspace"
    ./usr/lib/dpu510tk3/dpu510tk3
    ./usr/lib/dpu510tk3/dpu510tk3-editor
    ./usr/lib/dpu510tk3/dpu510tk3-sim
    ./usr/lib/dpu510tk3/dpu510tk3-workspace
    ./usr/lib/dpu510tk3/DefaultImage2/LiftState/FIRE-16x64_EN.bmp
    ./usr/lib/dpu510tk3/DefaultImage2/UserDefine/Floor/Style0/LOBBY.bmp
    ./usr/share/dpu510tk3/ORVDVE510TK3.INI
    ./usr/share/dpu510tk3/D510TK3.GLB
    ./usr/share/dpu510tk3/SPACE_240x240.bmp
    ./usr/share/dpu510tk3/sample.dcf
    ./usr/share/applications/tech.orvane.dpu510tk3.desktop
    ./usr/share/metainfo/tech.orvane.dpu510tk3.metainfo.xml
    ./usr/share/icons/hicolor/scalable/apps/dpu510tk3.svg
    ./usr/share/man/man1/dpu510tk3.1.gz
    ./usr/share/man/man1/dpu510tk3-editor.1.gz
    ./usr/share/man/man1/dpu510tk3-sim.1.gz
    ./usr/share/man/man1/dpu510tk3-workspace.1.gz
    ./usr/share/bash-completion/completions/dpu510tk3
    ./usr/share/doc/dpu510tk3/README.md
    ./usr/share/doc/dpu510tk3/copyright
    ./usr/share/doc/dpu510tk3/changelog.gz
)
for size in 16 22 24 32 48 64 128 256; do
    expected+=("./usr/share/icons/hicolor/${size}x${size}/apps/dpu510tk3.png")
done
missing=0
for entry in "${expected[@]}"; do
    if ! grep -qxF -- "$entry" "$tmp/listing"; then
        echo "  not in the package: $entry" >&2
        missing=$((missing + 1))
    fi
done
check "dpkg-deb -c lists the ${#expected[@]} expected files" [ "$missing" -eq 0 ]
check "nothing outside /usr" [ -z "$(grep -v '^\./$\|^\./usr/' "$tmp/listing")" ]

depends=$(dpkg-deb -f "$deb" Depends)
echo "  Depends: $depends"
check "Depends computed from the shared libraries" \
    bash -c '[[ $1 == *libc6* && $1 == *libqt6widgets6* && $1 == *libqt6core6* ]]' _ "$depends"

# ---------------------------------------------------------------- linters
# Tags left as they are (warnings and below): the package is native and built
# by CPack, not from a Debian source package, so the source-package checks do
# not apply.
lintian --fail-on error --tag-display-limit 0 "$deb" > "$tmp/lintian" 2>&1
lintian_rc=$?
sed 's/^/  lintian: /' "$tmp/lintian"
check "lintian reports no errors" [ "$lintian_rc" -eq 0 ]

root=$tmp/root
dpkg-deb -x "$deb" "$root"
check "desktop-file-validate" \
    desktop-file-validate "$root/usr/share/applications/tech.orvane.dpu510tk3.desktop"
check "appstreamcli validate" \
    appstreamcli validate --no-net --explain "$root/usr/share/metainfo/tech.orvane.dpu510tk3.metainfo.xml"
check "desktop entry starts the launcher" \
    grep -qx "Exec=dpu510tk3-workspace" "$root/usr/share/applications/tech.orvane.dpu510tk3.desktop"

# ---------------------------------------------------------------- versions
version=$(dpkg-deb -f "$deb" Version)
for program in dpu510tk3 dpu510tk3-sim dpu510tk3-editor; do
    out=$("$root/usr/bin/$program" --version 2>&1)
    check "$program --version prints $version" bash -c '[[ $1 == "$2 $3"* ]]' _ "$out" "$program" "$version"
done

# ---------------------------------------------------------------- make-rom
# The workspace as the menu entry prepares it, in a home of our own.
home=$tmp/home
mkdir -p "$home"
user_env=(env -u DPU510TK3_WORKSPACE -u DPU510TK3_DATADIR -u DPU510TK3_LIBDIR -u XDG_DATA_HOME
          HOME="$home")
ws=$("${user_env[@]}" "$root/usr/bin/dpu510tk3-workspace" --prepare)
check "launcher prepared ~/.local/share/dpu510tk3/workspace" \
    [ "$ws" = "$home/.local/share/dpu510tk3/workspace" ]
for f in ORVDVE510TK3.INI D510TK3.GLB SPACE_240x240.bmp sample.dcf; do
    check "workspace holds $f" cmp -s "$root/usr/share/dpu510tk3/$f" "$ws/$f"
done

(cd "$ws" && "$root/usr/bin/dpu510tk3" make-rom sample.dcf -o installed.BIN) > "$tmp/make-installed" 2>&1
check "unpacked dpu510tk3 make-rom succeeds" grep -qx "DPU-510TK3 Make ROM OK" "$tmp/make-installed"

ref=$tmp/reference
mkdir -p "$ref"
cp "$src"/assets/{ORVDVE510TK3.INI,D510TK3.GLB,SPACE_240x240.bmp,sample.dcf} "$ref/"
(cd "$ref" && "$build_dir/bin/dpu510tk3" make-rom sample.dcf -o build.BIN) > /dev/null 2>&1
check "the image equals the build tree's" cmp "$ws/installed.BIN" "$ref/build.BIN"

# Control: the same tool copied away from DefaultImage2 makes another image,
# so the equality above shows that the link resolved to the program folder.
mkdir -p "$tmp/lonely"
cp "$root/usr/lib/dpu510tk3/dpu510tk3" "$tmp/lonely/"
(cd "$ws" && "$tmp/lonely/dpu510tk3" make-rom sample.dcf -o lonely.BIN) > /dev/null 2>&1
check "without DefaultImage2 beside it the image differs" bash -c '! cmp -s "$1" "$2"' _ \
    "$ws/lonely.BIN" "$ws/installed.BIN"
rm -f "$ws/lonely.BIN"

# ---------------------------------------------------------------- editor
# The menu's way in: the launcher starts the unpacked editor in the workspace.
# DPU510TK3_SMOKE_TEST makes it write each box to stderr as "[Box] ..." and
# end once its window is up; timeout bounds a hang.
smoke() { # smoke OUTPUT-FILE COMMAND...
    local out=$1
    shift
    (cd "$home" && "${user_env[@]}" DPU510TK3_SMOKE_TEST=1 QT_QPA_PLATFORM=offscreen \
        XDG_RUNTIME_DIR="$tmp/runtime" timeout 120 "$@") > "$out" 2>&1
}
mkdir -p -m 700 "$tmp/runtime"
smoke "$tmp/editor" "$root/usr/bin/dpu510tk3-workspace"
editor_rc=$?
sed 's/^/  editor: /' "$tmp/editor"
check "editor start-up completed (exit 0)" [ "$editor_rc" -eq 0 ]
check "editor started in the workspace" grep -qxF "[Smoke test] start-up completed in $ws" "$tmp/editor"
check "editor showed no box" bash -c '! grep -q "^\[Box\]" "$1"' _ "$tmp/editor"

# Control: started from the home folder directly, the boxes must show up.
smoke "$tmp/editor-home" "$root/usr/bin/dpu510tk3-editor"
editor_rc=$?
check "editor started in the home folder reports the missing configuration" \
    grep -qF "[Box] Error: ORVDVE510TK3.INI file not found!!" "$tmp/editor-home"
check "editor started in the home folder exits 1" [ "$editor_rc" -eq 1 ]

echo "package-test: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
