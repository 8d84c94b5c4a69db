#!/usr/bin/env bash
# "make package-test": checks the Debian package that "make package" built.
# Its contents and metadata (dpkg-deb, lintian, desktop-file-validate,
# appstreamcli), then the programs of the package unpacked into a temporary
# root, as a user without the repository would meet them: the launcher
# prepares a workspace, the unpacked tool builds the sample's ROM image (it
# must equal the build tree's), and the unpacked editor starts on the
# offscreen platform without an error box.
# It also checks what a desktop user meets (the MIME type of project files,
# files passed on by the launcher), the hardening of the binaries, the
# installed documentation, the version, and a run as an unprivileged user
# with the program folder read-only.
# Usage: scripts/package-test.sh [BUILD_DIR] [PACKAGE_BUILD_DIR]
set -uo pipefail
cd "$(dirname "$0")/.."
build_dir=$(readlink -f "${1:-build}")
pkg_dir=$(readlink -f "${2:-build-deb}")
src=$PWD

deb=$(ls -t "$pkg_dir"/dpu510tk3_*.deb 2>/dev/null | head -n 1)
if [ -z "$deb" ]; then
    echo "package-test: no dpu510tk3_*.deb in $pkg_dir (run 'make package' first)" >&2
    exit 1
fi
echo "package-test: $deb"

# World-readable, so the unprivileged run below can reach the unpacked tree.
tmp=$(mktemp -d)
chmod 755 "$tmp"
trap 'chmod -R u+w "$tmp" 2>/dev/null; rm -rf "$tmp"' EXIT
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
    ./usr/share/mime/packages/dpu510tk3.xml
    ./usr/share/metainfo/tech.orvane.dpu510tk3.metainfo.xml
    ./usr/share/icons/hicolor/scalable/apps/dpu510tk3.svg
    ./usr/share/man/man1/dpu510tk3.1.gz
    ./usr/share/man/man1/dpu510tk3-editor.1.gz
    ./usr/share/man/man1/dpu510tk3-sim.1.gz
    ./usr/share/man/man1/dpu510tk3-workspace.1.gz
    ./usr/share/bash-completion/completions/dpu510tk3
    ./usr/share/bash-completion/completions/dpu510tk3-editor
    ./usr/share/bash-completion/completions/dpu510tk3-sim
    "./usr/share/bash-completion/completions/dpu510tk3-workspace -> dpu510tk3-editor"
    ./usr/share/doc/dpu510tk3/copyright
    ./usr/share/doc/dpu510tk3/changelog.gz
    ./usr/share/doc/dpu510tk3/user-guide.md.gz
    ./usr/share/doc/dpu510tk3/editor-setup.png
    ./usr/share/doc/dpu510tk3/editor-make.png
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
# Tags left as they are (pedantic and informational ones): the package is native and built
# by CPack, not from a Debian source package, so the source-package checks do
# not apply. --pedantic shows every tag; none may be about hardening.
lintian --pedantic --fail-on error,warning --tag-display-limit 0 "$deb" > "$tmp/lintian" 2>&1
lintian_rc=$?
sed 's/^/  lintian: /' "$tmp/lintian"
check "lintian reports no errors or warnings" [ "$lintian_rc" -eq 0 ]
check "lintian --pedantic shows no hardening tag" bash -c '! grep -q "hardening-" "$1"' _ "$tmp/lintian"

root=$tmp/root
dpkg-deb -x "$deb" "$root"
desktop=$root/usr/share/applications/tech.orvane.dpu510tk3.desktop
check "desktop-file-validate" desktop-file-validate "$desktop"
check "appstreamcli validate" \
    appstreamcli validate --no-net --explain "$root/usr/share/metainfo/tech.orvane.dpu510tk3.metainfo.xml"
check "desktop entry starts the launcher with the files" grep -qx "Exec=dpu510tk3-workspace %F" "$desktop"
check "desktop entry opens project files" \
    grep -qx "MimeType=application/x-dpu510tk3-project;" "$desktop"

# ---------------------------------------------------------------- hardening
# What lintian looks at, shown directly: immediate binding and RELRO in the
# program headers, the stack protector and fortified calls among the
# imports, and no compiler .comment left by the strip.
for program in dpu510tk3 dpu510tk3-editor dpu510tk3-sim; do
    bin=$root/usr/lib/dpu510tk3/$program
    check "$program: full RELRO (BIND_NOW, GNU_RELRO)" bash -c \
        'readelf -d "$1" | grep -q "(FLAGS).*BIND_NOW" && readelf -lW "$1" | grep -q GNU_RELRO' _ "$bin"
    check "$program: stack protector and fortified functions" bash -c \
        'syms=$(readelf --dyn-syms -W "$1"); grep -q __stack_chk_fail <<< "$syms" && grep -q "__[a-z]*_chk@" <<< "$syms"' _ "$bin"
    check "$program: no .comment section" bash -c '! readelf -SW "$1" | grep -q "\.comment"' _ "$bin"
done

# ---------------------------------------------------------------- licences
# The copyright file in machine-readable form: the project's own code under
# MIT, a stanza for the font-drawn files, and the full text of every licence
# it names, each equal to the repository's text (LICENSE, packaging/licenses/),
# except those Debian keeps in /usr/share/common-licenses, which it points to.
copyright=$root/usr/share/doc/dpu510tk3/copyright
check_copyright() { # check_copyright COPYRIGHT-FILE
    python3 - "$1" "$src" <<'PY'
import os, re, sys
path, src = sys.argv[1], sys.argv[2]
if not os.path.isfile(path):
    sys.exit(f"  no {path}")
body = open(path, encoding="utf-8").read()
def fields(p):
    out, key = {}, None
    for line in p.splitlines():
        if line[:1] in (" ", "\t") and key:
            out[key].append(line[1:])
        else:
            key, _, value = line.partition(":")
            out[key] = [value.strip()]
    return out
paras = [fields(p) for p in re.split(r"\n\s*\n", body) if p.strip()]
errors = []
if not paras or "Format" not in paras[0]:
    errors.append("no DEP-5 header paragraph")
files = [p for p in paras if "Files" in p]
star = [p for p in files if p["Files"][0] == "*"]
if not star or star[0]["License"][0] != "MIT":
    errors.append("Files: * is not under MIT")
fonts = [p for p in files if "assets/D510TK3.GLB" in p["Files"][0].split()]
if not fonts or not {"Bitstream-Vera", "OFL-1.1"} <= set(fonts[0]["License"][0].split()):
    errors.append("no Bitstream-Vera and OFL-1.1 stanza for the glyph library and the stock bitmaps")
texts = {}
for p in paras:
    if "License" in p and len(p["License"]) > 1:
        texts[p["License"][0]] = "\n".join("" if l == "." else l for l in p["License"][1:])
named = set()
for p in files:
    named |= {n for n in p["License"][0].split() if n not in ("and", "or")}
for name in sorted(named - set(texts)):
    errors.append(f"licence {name} is named but its text is not given")
for name, repo in (("MIT", "LICENSE"), ("Bitstream-Vera", "packaging/licenses/Bitstream-Vera.txt"),
                   ("OFL-1.1", "packaging/licenses/OFL-1.1.txt")):
    want = open(os.path.join(src, repo), encoding="utf-8").read().strip()
    if name == "MIT":
        want = want.split("\n\n", 2)[2]  # the text below the title and the notice
    if " ".join(want.split()) not in " ".join(texts.get(name, "").split()):
        errors.append(f"the text of {name} is not {repo}")
for gnu in ("/usr/share/common-licenses/LGPL-3", "/usr/share/common-licenses/GPL-3"):
    if gnu not in body:
        errors.append(f"{gnu} is not named")
if re.search(r"proprietary|no rights beyond", body, re.I):
    errors.append("a proprietary notice is left")
for e in errors:
    print("  " + e, file=sys.stderr)
sys.exit(1 if errors else 0)
PY
}
check "copyright: MIT for the code, the fonts' stanza, every licence's full text" check_copyright "$copyright"
# Control: a copyright file that lost a licence text fails the same check.
awk '/^License: OFL-1.1$/ { exit } { print }' "$copyright" > "$tmp/copyright-short"
if check_copyright "$tmp/copyright-short" 2> /dev/null; then
    fail "control: a copyright without the OFL text fails the check"
else
    pass "control: a copyright without the OFL text fails the check"
fi
check "the GNU licence texts the copyright points to are on this system" \
    test -s /usr/share/common-licenses/LGPL-3 -a -s /usr/share/common-licenses/GPL-3

# The Windows zip's licence files, staged as scripts/windows-zip.sh stages
# them: each licence text, CR LF, and a copyright.txt naming the Qt version it
# links and the script that builds it; without a text the staging stops.
zipdir=$tmp/zip-licences
scripts/windows-licences.sh "$zipdir" "$(dpkg-deb -f "$deb" Version)" > /dev/null
check "Windows zip: licence files staged, CR LF" bash -c '
    for f in LICENSE.txt copyright.txt licences/Bitstream-Vera.txt licences/OFL-1.1.txt \
             licences/LGPL-3.txt licences/GPL-3.txt; do
        [ -s "$1/$f" ] || { echo "  missing: $f" >&2; exit 1; }
        ! grep -q "[^$(printf "\r")]\$" "$1/$f" || { echo "  not CR LF: $f" >&2; exit 1; }
    done' _ "$zipdir"
check "Windows zip: copyright.txt names the Qt source version and its build script" bash -c '
    v=$(dpkg-query -W -f="\${Version}" qt6-base-dev) &&
    grep -qF "qt6-base $v source package" "$1" && grep -qF "scripts/build-qt-mingw.sh" "$1" &&
    ! grep -q "@[A-Z_]*@" "$1"' _ "$zipdir/copyright.txt"
check "Windows zip: a missing licence text stops the staging" bash -c \
    '! DPU_COMMON_LICENSES="$1/none" scripts/windows-licences.sh "$1/zip-none" 1.0 2> /dev/null &&
     [ ! -e "$1/zip-none" ]' _ "$tmp"

# ---------------------------------------------------------------- docs
doc=$root/usr/share/doc/dpu510tk3
big=$(find "$doc" -type f ! -name '*.gz' ! -name '*.png' ! -name copyright -size +4k)
check "installed docs above 4 kB are compressed${big:+ (not: $big)}" [ -z "$big" ]
check "compressed docs carry no name or time (gzip -n)" bash -c '
    for f in "$1"/*.gz "$2"/usr/share/man/man1/*.gz; do
        [ "$(od -An -tx1 -j3 -N5 "$f" | tr -d " ")" = "0000000000" ] || { echo "  $f" >&2; exit 1; }
    done' _ "$doc" "$root"
zcat "$doc/user-guide.md.gz" > "$tmp/guide"
check "user guide covers the window, the tool, dialout, user bitmaps and Windows" bash -c '
    for w in "## The window" "## The command-line tool" "dialout" \
             "DefaultImage2/UserDefine/Floor/Style<n>/" "## Windows notes"; do
        grep -qF -- "$w" "$1" || { echo "  missing: $w" >&2; exit 1; }
    done' _ "$tmp/guide"
check "installed docs do not describe the source tree" bash -c \
    '! grep -nE "make (run|test|package)|build/bin|cmake " "$1"' _ "$tmp/guide"
check "no source-tree docs installed" bash -c '! ls "$1"/README* "$1"/docs > /dev/null 2>&1' _ "$doc"
zcat "$root/usr/share/man/man1/dpu510tk3.1.gz" > "$tmp/man1"
check "man page says where user bitmaps go" grep -qF "DefaultImage2/UserDefine/Floor/Style<n>/" "$tmp/man1"

# ---------------------------------------------------------------- MIME type
# A private database built from the system's types and the package's file,
# looked up with GIO as a file manager does. Another type claiming *.dcf
# (a stand-in here) must keep the .dcf files that are not projects.
mime=$tmp/mime-data
mkdir -p "$mime/mime/packages" "$tmp/mime-home"
cp /usr/share/mime/packages/freedesktop.org.xml "$root/usr/share/mime/packages/dpu510tk3.xml" \
    "$mime/mime/packages/"
mime_type() { # mime_type FILE -> its content type
    XDG_DATA_HOME="$tmp/mime-home" XDG_DATA_DIRS="$mime" \
        gio info -a standard::content-type "$1" 2>/dev/null | sed -n 's/^ *standard::content-type: //p'
}
mkdir -p "$tmp/mime-files"
cp "$src/assets/sample.dcf" "$tmp/mime-files/sample.dcf"
cp "$src/assets/sample.dcf" "$tmp/mime-files/PROJECT"
printf '[GLOBAL]\r\nNAME=some other program\r\n' > "$tmp/mime-files/other.dcf"
update-mime-database "$mime/mime" > /dev/null 2>&1
check "a .dcf project is application/x-dpu510tk3-project" \
    [ "$(mime_type "$tmp/mime-files/sample.dcf")" = application/x-dpu510tk3-project ]
check "a project without the extension is known by its first line" \
    [ "$(mime_type "$tmp/mime-files/PROJECT")" = application/x-dpu510tk3-project ]
cat > "$mime/mime/packages/zz-other-dcf.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<mime-info xmlns="http://www.freedesktop.org/standards/shared-mime-info">
  <mime-type type="application/x-other-dcf"><comment>another .dcf</comment><glob pattern="*.dcf"/></mime-type>
</mime-info>
XML
update-mime-database "$mime/mime" > /dev/null 2>&1
check "beside another *.dcf type, a project stays a project" \
    [ "$(mime_type "$tmp/mime-files/sample.dcf")" = application/x-dpu510tk3-project ]
check "beside another *.dcf type, another .dcf is not claimed" \
    [ "$(mime_type "$tmp/mime-files/other.dcf")" = application/x-other-dcf ]

# ---------------------------------------------------------------- versions
# One version: the .deb's name, its control field, each program's
# --version (with no display and no usable Qt platform plug-in), the man pages.
version=$(dpkg-deb -f "$deb" Version)
check "package file named after version $version" \
    [ "$(basename "$deb")" = "dpu510tk3_${version}_$(dpkg-deb -f "$deb" Architecture).deb" ]
check "package version is the build's DPU_VERSION" \
    grep -qx "DPU_VERSION:STRING=$version" "$pkg_dir/CMakeCache.txt"
nodisplay=(env -u DISPLAY -u WAYLAND_DISPLAY QT_QPA_PLATFORM=no-such-platform HOME="$tmp/nohome")
mkdir -p "$tmp/nohome"
for program in dpu510tk3 dpu510tk3-sim dpu510tk3-editor dpu510tk3-workspace; do
    out=$(cd "$tmp/nohome" && "${nodisplay[@]}" "$root/usr/bin/$program" --version 2>&1)
    check "$program --version prints $version" bash -c '[[ $1 == "$2 $3"* ]]' _ "$out" "$program" "$version"
    out=$(cd "$tmp/nohome" && "${nodisplay[@]}" "$root/usr/bin/$program" --help 2>&1)
    rc=$?
    check "$program --help answers without a display" bash -c '[[ $1 -eq 0 && $2 == *--version* ]]' _ "$rc" "$out"
    check "$program man page names version $version" \
        bash -c 'zcat "$1" | head -n 1 | grep -qF "\"dpu510tk3 $2\""' _ "$root/usr/share/man/man1/$program.1.gz" "$version"
done
check "--help and --version touched nothing" [ -z "$(ls -A "$tmp/nohome")" ]

# Settable at configure time: a configuration (no compiling) with another
# version carries it into the programs' version header (which --version and
# the About box print) and the man pages, while the changelog, the
# metainfo's releases and their dates stay the changelog's own; packaging
# that version without a changelog entry of its own is refused before
# anything is built. A version Debian would not take is refused.
cfg=$tmp/version-config
cmake -S "$src" -B "$cfg" -G Ninja -DDPU_TESTS=OFF -DDPU_BENCH=OFF -DDPU_VERSION=7.3~rc1 > "$tmp/cfg.log" 2>&1
check "configured with -DDPU_VERSION=7.3~rc1" [ $? -eq 0 ]
check "version 7.3~rc1 reaches header and man page; changelog and metainfo stay the changelog's" bash -c '
    grep -q "DPU510TK3_VERSION \"7.3~rc1" "$1/generated/dpu510tk3_version.h" &&
    head -n 1 "$1/packaging/man/dpu510tk3-editor.1" | grep -qF "dpu510tk3 7.3~rc1" &&
    ! grep -q "7.3~rc1" "$1/packaging/tech.orvane.dpu510tk3.metainfo.xml" &&
    cmp -s "$1/packaging/changelog" "$2/packaging/changelog"' _ "$cfg" "$src"
scripts/package-build.sh "$tmp/version-refused" 7.3~rc1 > "$tmp/refused.log" 2>&1
refused_rc=$?
sed 's/^/  package-build 7.3~rc1: /' "$tmp/refused.log"
check "packaging 7.3~rc1 without a changelog entry is refused, naming the changelog" bash -c '
    [ "$1" -ne 0 ] && grep -q "7.3~rc1 has no entry in packaging/changelog" "$2" &&
    ! ls "$3"/dpu510tk3_*.deb > /dev/null 2>&1 && [ ! -e "$3/bin/dpu510tk3" ]' _ "$refused_rc" "$tmp/refused.log" \
    "$tmp/version-refused"

# The metadata is the changelog's: each entry a metainfo release of its date,
# the man pages dated by the package's entry, the Maintainer its signer, and
# no made-up address or page anywhere in the package.
check "metainfo releases, man page date and Maintainer from the changelog" python3 - \
    "$src/packaging/changelog" "$root" "$(dpkg-deb -f "$deb" Maintainer)" "$version" <<'PY'
import calendar, email.utils, gzip, re, sys
changelog, root, maintainer, version = sys.argv[1:]
entries = re.findall(r"^dpu510tk3 \(([^)]+)\).*?^ -- (.+?)  (.+)$", open(changelog).read(), re.M | re.S)
meta = open(root + "/usr/share/metainfo/tech.orvane.dpu510tk3.metainfo.xml").read()
releases = re.findall(r'<release version="([^"]+)" date="([^"]+)"', meta)
want = [(v, email.utils.parsedate_to_datetime(d).strftime("%Y-%m-%d")) for v, _, d in entries]
ok = releases == want
if not ok:
    print(f"  metainfo releases {releases}, changelog {want}", file=sys.stderr)
if maintainer != entries[0][1]:
    ok = False
    print(f"  Maintainer {maintainer!r}, changelog signer {entries[0][1]!r}", file=sys.stderr)
when = email.utils.parsedate_to_datetime(entries[0][2])
month = f"{calendar.month_name[when.month]} {when.year}"
man = gzip.open(root + "/usr/share/man/man1/dpu510tk3.1.gz", "rt").readline()
if f'"{month}"' not in man or entries[0][0] != version:
    ok = False
    print(f"  man page {man.strip()!r}, entry {entries[0][0]} of {month}", file=sys.stderr)
sys.exit(0 if ok else 1)
PY
check "no .invalid address or page in the package" bash -c \
    '! { dpkg-deb -f "$1"; grep -rIl "\.invalid\b" "$2"; zcat "$2"/usr/share/doc/dpu510tk3/changelog.gz; } |
       grep -q "\.invalid\b"' _ "$deb" "$root"
cmake -S "$src" -B "$tmp/version-bad" -G Ninja -DDPU_TESTS=OFF -DDPU_BENCH=OFF -DDPU_VERSION=1.0-2 \
    > "$tmp/cfg-bad.log" 2>&1
check "a version with a Debian revision is refused" [ $? -ne 0 ]

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

# A project named to the launcher from another folder opens in the editor
# (as the desktop's %F does), though the editor starts in the workspace.
mkdir -p "$tmp/elsewhere"
cp "$src/assets/sample.dcf" "$tmp/elsewhere/named.dcf"
(cd "$tmp/elsewhere" && "${user_env[@]}" DPU510TK3_SMOKE_TEST=1 QT_QPA_PLATFORM=offscreen \
    XDG_RUNTIME_DIR="$tmp/runtime" timeout 120 "$root/usr/bin/dpu510tk3-workspace" named.dcf) \
    > "$tmp/editor-file" 2>&1
editor_rc=$?
sed 's/^/  editor: /' "$tmp/editor-file"
check "a project named to the launcher opens (exit 0, no box)" bash -c \
    '[ "$1" -eq 0 ] && ! grep -q "^\[Box\]" "$2"' _ "$editor_rc" "$tmp/editor-file"
check "the editor shows the named project" \
    grep -qxF "[Smoke test] Project file: $tmp/elsewhere/named.dcf" "$tmp/editor-file"

# Control: started from the home folder directly, the boxes must show up.
smoke "$tmp/editor-home" "$root/usr/bin/dpu510tk3-editor"
editor_rc=$?
check "editor started in the home folder reports the missing configuration" \
    grep -qF "[Box] Error: ORVDVE510TK3.INI file not found!!" "$tmp/editor-home"
check "editor started in the home folder exits 1" [ "$editor_rc" -eq 1 ]
# The tool there: after the messages, a line names the installed files'
# folder (the unpacked share folder) and the launcher that makes a workspace.
(cd "$home" && "${user_env[@]}" "$root/usr/bin/dpu510tk3" make-rom x.dcf) > "$tmp/tool-home" 2>&1
check "the tool started in the home folder names the installed files and the launcher" bash -c '
    grep -qF "[Warning] This folder is no workspace: the installed configuration file and glyph library are in $2/usr/share/dpu510tk3/; make your workspace with \"dpu510tk3-workspace --prepare\"" "$1"' \
    _ "$tmp/tool-home" "$root"

# ---------------------------------------------------------------- unprivileged
# The tool as an ordinary user meets it: run as "nobody" with the program
# folder read-only. Their own label bitmap, in the workspace's
# DefaultImage2/UserDefine/Floor/Style0/, is found (make-rom --strict would
# stop at a "not found" warning), and recover writes the user bitmaps into
# the workspace it runs in.
if [ "$(id -u)" -eq 0 ] && id nobody > /dev/null 2>&1; then
    as_nobody() { # as_nobody DIR COMMAND...: runs in DIR as nobody
        local dir=$1
        shift
        (cd "$dir" && setpriv --reuid=nobody --regid="$(id -g nobody)" --clear-groups \
            env -i PATH=/usr/bin:/bin HOME="$nhome" LANG=C.UTF-8 "$@")
    }
    nhome=$tmp/nobody-home
    mkdir -p "$nhome"
    chown nobody "$nhome"
    # A copy of the program folder for making an image with a user bitmap the
    # way that works everywhere (beside the program), for recover below.
    cp -a "$root/usr/lib/dpu510tk3" "$tmp/progcopy"
    chmod -R a-w "$root/usr/lib/dpu510tk3"
    nws=$(as_nobody "$nhome" "$root/usr/bin/dpu510tk3-workspace" --prepare)
    check "nobody's workspace prepared" [ "$nws" = "$nhome/.local/share/dpu510tk3/workspace" ]
    as_nobody "$nws" touch "$root/usr/lib/dpu510tk3/DefaultImage2/probe" 2> /dev/null
    check "the program folder is read-only for nobody" [ $? -ne 0 ]

    # A project with a label that only the user's bitmap can show, and that
    # bitmap: the stock LOBBY picture inverted, so it is no stock one.
    tr -d '\r' < "$src/assets/sample.dcf" | sed 's/^\[CTBL0\]$/[CTBL0]\nCODE_200=MEZZ/' |
        sed 's/$/\r/' > "$tmp/mezz.dcf"
    install -o nobody -m 644 "$tmp/mezz.dcf" "$nws/mezz.dcf"
    as_nobody "$nws" "$root/usr/bin/dpu510tk3" make-rom mezz.dcf -o no-bitmap.BIN --strict \
        > "$tmp/mezz-none" 2>&1
    check "control: without the user bitmap, make-rom --strict refuses (exit 3)" [ $? -eq 3 ]
    python3 - "$root/usr/lib/dpu510tk3/DefaultImage2/UserDefine/Floor/Style0/LOBBY.bmp" "$tmp/MEZZ.bmp" <<'PY'
import sys
data = bytearray(open(sys.argv[1], "rb").read())
start = int.from_bytes(data[10:14], "little")
data[start:] = bytes(b ^ 0xFF for b in data[start:])
open(sys.argv[2], "wb").write(data)
PY
    as_nobody "$nws" mkdir -p DefaultImage2/UserDefine/Floor/Style0
    install -o nobody -m 644 "$tmp/MEZZ.bmp" "$nws/DefaultImage2/UserDefine/Floor/Style0/MEZZ.bmp"
    as_nobody "$nws" "$root/usr/bin/dpu510tk3" make-rom mezz.dcf -o mezz.BIN --strict > "$tmp/mezz" 2>&1
    mezz_rc=$?
    sed 's/^/  make-rom as nobody: /' "$tmp/mezz"
    check "as nobody, make-rom --strict takes the user bitmap from the workspace (exit 0)" \
        [ "$mezz_rc" -eq 0 ]

    # recover in a second, empty workspace: the user bitmap goes there, and
    # the recovered project builds the same image again. The image comes from
    # the program folder's copy holding MEZZ.bmp beside the program.
    cp "$tmp/MEZZ.bmp" "$tmp/progcopy/DefaultImage2/UserDefine/Floor/Style0/MEZZ.bmp"
    mkdir -p "$tmp/mezz-ws"
    cp "$nws"/{ORVDVE510TK3.INI,D510TK3.GLB,SPACE_240x240.bmp} "$tmp/mezz.dcf" "$tmp/mezz-ws/"
    (cd "$tmp/mezz-ws" && "$tmp/progcopy/dpu510tk3" make-rom mezz.dcf -o "$tmp/mezz.BIN" --strict) \
        > "$tmp/mezz-copy" 2>&1
    check "control: MEZZ.bmp beside a copy of the program builds (exit 0)" [ $? -eq 0 ]
    chmod 644 "$tmp/mezz.BIN"
    rws=$nhome/recovered
    as_nobody "$nhome" env DPU510TK3_WORKSPACE="$rws" "$root/usr/bin/dpu510tk3-workspace" --prepare > /dev/null
    as_nobody "$rws" "$root/usr/bin/dpu510tk3" recover "$tmp/mezz.BIN" -o rec.dcf > "$tmp/recover" 2>&1
    recover_rc=$?
    tail -n 3 "$tmp/recover" | sed 's/^/  recover as nobody: /'
    check "as nobody, recover succeeds with the program folder read-only (exit 0)" [ "$recover_rc" -eq 0 ]
    check "recover wrote the user bitmap into the workspace" bash -c \
        'ls "$1"/DefaultImage2/UserDefine/Floor/Style0/*.bmp > /dev/null 2>&1' _ "$rws"
    as_nobody "$rws" "$root/usr/bin/dpu510tk3" make-rom rec.dcf -o again.BIN --strict > /dev/null 2>&1
    check "the recovered project builds the same image" cmp -s "$tmp/mezz.BIN" "$rws/again.BIN"
else
    fail "the unprivileged run needs root (to become nobody with setpriv)"
fi

echo "package-test: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
