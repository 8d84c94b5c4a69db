#!/usr/bin/env bash
# "make package-test": checks the Debian packages that "make package" built
# from debian/: dpu510tk3-tools (the tool and the simulator), dpu510tk3 (the
# editor and the launcher) and dpu510tk3-data (the data under
# /usr/share/dpu510tk3).
# The build itself: the Build-Depends are met, the licence files are there,
# and a second build from the same sources (in another folder, without the
# tests, from the compiler cache) gives the same bytes. The packages: their
# contents and metadata (dpkg-deb, lintian --pedantic, desktop-file-validate,
# appstreamcli), an upgrade from the single package of 1.0, and the tools on a
# minimal Debian system (apt-get --simulate against the status file of a
# minbase system). Then the programs of the three packages unpacked into a
# temporary root, as a user without the repository would meet them: the
# launcher prepares a workspace, the unpacked tool builds the sample's ROM
# image with the installed stock bitmaps (it must equal the build tree's), and
# the unpacked editor starts on the offscreen platform without an error box.
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

version=$(dpkg-parsechangelog -l debian/changelog -S Version)
arch=$(dpkg --print-architecture)
tools_deb=$pkg_dir/dpu510tk3-tools_${version}_$arch.deb
app_deb=$pkg_dir/dpu510tk3_${version}_$arch.deb
data_deb=$pkg_dir/dpu510tk3-data_${version}_all.deb
debs=("$tools_deb" "$app_deb" "$data_deb")
for d in "${debs[@]}"; do
    if [ ! -f "$d" ]; then
        echo "package-test: no $d (run 'make package' first)" >&2
        exit 1
    fi
done
deb=$app_deb
echo "package-test: ${debs[*]}"

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

# ---------------------------------------------------------------- source
check "dpkg-checkbuilddeps: the Build-Depends are installed" dpkg-checkbuilddeps
check "licence files in the sources (LICENSE, debian/copyright, packaging/licenses/)" bash -c '
    for f in LICENSE debian/copyright packaging/licenses/Bitstream-Vera.txt packaging/licenses/OFL-1.1.txt; do
        [ -s "$f" ] || { echo "  missing: $f" >&2; exit 1; }
    done'
check "nothing of the package build beside the repository" \
    bash -c '! ls "$1"/../dpu510tk3*_*.deb "$1"/../dpu510tk3_*.changes > /dev/null 2>&1' _ "$src"
check "three packages built, besides the debug symbols" \
    [ "$(ls "$pkg_dir"/dpu510tk3*_*.deb | grep -vc -- '-dbgsym_')" -eq 3 ]

# ---------------------------------------------------------------- contents
listing() { dpkg-deb -c "$1" | awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }'; }
expect_files() { # expect_files DEB ENTRY...: every entry is in the package
    local deb=$1 missing=0 entry
    shift
    listing "$deb" > "$tmp/listing"
    for entry in "$@"; do
        if ! grep -qxF -- "$entry" "$tmp/listing"; then
            echo "  not in $(basename "$deb"): $entry" >&2
            missing=$((missing + 1))
        fi
    done
    [ "$missing" -eq 0 ]
}
expected_tools=(
    "./usr/bin/dpu510tk3 -> ../lib/dpu510tk3/dpu510tk3"
    "./usr/bin/dpu510tk3-sim -> ../lib/dpu510tk3/dpu510tk3-sim"
    ./usr/lib/dpu510tk3/dpu510tk3
    ./usr/lib/dpu510tk3/dpu510tk3-sim
    ./usr/share/man/man1/dpu510tk3.1.gz
    ./usr/share/man/man1/dpu510tk3-sim.1.gz
    ./usr/share/bash-completion/completions/dpu510tk3
    ./usr/share/bash-completion/completions/dpu510tk3-sim
    ./usr/share/doc/dpu510tk3-tools/copyright
    ./usr/share/doc/dpu510tk3-tools/changelog.gz
)
expected_app=(
    "./usr/bin/dpu510tk3-editor -> ../lib/dpu510tk3/dpu510tk3-editor"
    "./usr/bin/dpu510tk3-workspace -> ../lib/dpu510tk3/dpu510tk3-workspace"
    ./usr/lib/dpu510tk3/dpu510tk3-editor
    ./usr/lib/dpu510tk3/dpu510tk3-workspace
    ./usr/share/applications/tech.orvane.dpu510tk3.desktop
    ./usr/share/mime/packages/dpu510tk3.xml
    ./usr/share/metainfo/tech.orvane.dpu510tk3.metainfo.xml
    ./usr/share/icons/hicolor/scalable/apps/dpu510tk3.svg
    ./usr/share/man/man1/dpu510tk3-editor.1.gz
    ./usr/share/man/man1/dpu510tk3-workspace.1.gz
    ./usr/share/bash-completion/completions/dpu510tk3-editor
    "./usr/share/bash-completion/completions/dpu510tk3-workspace -> dpu510tk3-editor"
    ./usr/share/doc/dpu510tk3/copyright
    ./usr/share/doc/dpu510tk3/changelog.gz
    ./usr/share/doc/dpu510tk3/user-guide.md.gz
    ./usr/share/doc/dpu510tk3/editor-setup.png
    ./usr/share/doc/dpu510tk3/editor-make.png
)
for size in 16 22 24 32 48 64 128 256; do
    expected_app+=("./usr/share/icons/hicolor/${size}x${size}/apps/dpu510tk3.png")
done
expected_data=(
    ./usr/share/dpu510tk3/ORVDVE510TK3.INI
    ./usr/share/dpu510tk3/D510TK3.GLB
    ./usr/share/dpu510tk3/SPACE_240x240.bmp
    ./usr/share/dpu510tk3/sample.dcf
    ./usr/share/dpu510tk3/DefaultImage2/LiftState/FIRE-16x64_EN.bmp
    ./usr/share/dpu510tk3/DefaultImage2/UserDefine/Floor/Style0/LOBBY.bmp
    ./usr/share/doc/dpu510tk3-data/copyright
    ./usr/share/doc/dpu510tk3-data/changelog.gz
)
check "dpu510tk3-tools holds the tool, the simulator and their pages" expect_files "$tools_deb" "${expected_tools[@]}"
check "dpu510tk3 holds the editor, the launcher and the desktop files" expect_files "$app_deb" "${expected_app[@]}"
check "dpu510tk3-data holds the data and the stock bitmaps" expect_files "$data_deb" "${expected_data[@]}"
for d in "${debs[@]}"; do
    check "$(basename "$d"): nothing outside /usr" [ -z "$(listing "$d" | grep -v '^\./$\|^\./usr/')" ]
done
check "no picture under /usr/lib" bash -c '! { for d; do dpkg-deb -c "$d"; done; } | grep -q "/usr/lib/.*\.\(bmp\|png\)$"' \
    _ "${debs[@]}"

tools_depends=$(dpkg-deb -f "$tools_deb" Depends)
app_depends=$(dpkg-deb -f "$app_deb" Depends)
echo "  dpu510tk3-tools Depends: $tools_depends"
echo "  dpu510tk3 Depends: $app_depends"
check "dpu510tk3-tools: Depends from the shared libraries (libc6, libqt6core6) and the data" \
    bash -c '[[ $1 == *libc6* && $1 == *libqt6core6* && $1 == *"dpu510tk3-data (= $2)"* ]]' _ \
    "$tools_depends" "$version"
check "dpu510tk3: Depends on Qt Widgets and on the tools and the data of its version" bash -c '
    [[ $1 == *libqt6widgets6* && $1 == *"dpu510tk3-tools (= $2)"* && $1 == *"dpu510tk3-data (= $2)"* ]]' _ \
    "$app_depends" "$version"
check "dpu510tk3-data is Architecture: all" [ "$(dpkg-deb -f "$data_deb" Architecture)" = all ]
for d in "$tools_deb" "$data_deb"; do
    check "$(basename "$d"): Breaks and Replaces the single package before 1.1" bash -c '
        [ "$(dpkg-deb -f "$1" Breaks)" = "dpu510tk3 (<< 1.1~)" ] &&
        [ "$(dpkg-deb -f "$1" Replaces)" = "dpu510tk3 (<< 1.1~)" ]' _ "$d"
done

# ---------------------------------------------------------------- linters
# Every tag lintian --pedantic knows, shown: none may be left but the
# overrides in debian/*.lintian-overrides, each with its reason there.
lintian --pedantic --fail-on error,warning,info,pedantic \
    --tag-display-limit 0 "${debs[@]}" > "$tmp/lintian" 2>&1
lintian_rc=$?
sed 's/^/  lintian: /' "$tmp/lintian"
check "lintian --pedantic shows no tag" bash -c '[ "$1" -eq 0 ] && ! grep -q "^[A-Z]: " "$2"' _ "$lintian_rc" "$tmp/lintian"

root=$tmp/root
for d in "${debs[@]}"; do
    dpkg-deb -x "$d" "$root"
done

# ---------------------------------------------------------------- upgrade
# The single package of 1.0 held the tool, the simulator, the data and the
# stock bitmaps (then in /usr/lib/dpu510tk3/DefaultImage2). A stand-in for
# it, made of the new packages' files at their old places, is installed in a
# dpkg root of its own, and the three packages over it: dpkg refuses to
# overwrite another package's files unless Replaces lets it.
old=$tmp/old-1.0
mkdir -p "$old/DEBIAN"
cp -a "$root/usr" "$old/"
mv "$old/usr/share/dpu510tk3/DefaultImage2" "$old/usr/lib/dpu510tk3/"
rm -rf "$old/usr/share/doc/dpu510tk3-tools" "$old/usr/share/doc/dpu510tk3-data"
printf '%s\n' "Package: dpu510tk3" "Version: 1.0" "Architecture: $arch" \
    "Maintainer: $(dpkg-deb -f "$app_deb" Maintainer)" \
    "Description: editor for the DPU-510TK3 lift floor-indicator display (1.0 stand-in)" \
    > "$old/DEBIAN/control"
dpkg-deb --root-owner-group -b "$old" "$tmp/dpu510tk3_1.0_$arch.deb" > /dev/null
droot=$tmp/dpkg-root
mkdir -p "$droot/var/lib/dpkg/info" "$droot/var/lib/dpkg/updates" "$droot/var/lib/dpkg/triggers"
touch "$droot/var/lib/dpkg/status" "$droot/var/lib/dpkg/available"
# --auto-deconfigure as apt gives it: the new tools break the old package
# until the new editor replaces it in the same run.
in_droot() { dpkg --root="$droot" --force-depends --auto-deconfigure --log=/dev/null "$@"; }
in_droot -i "$tmp/dpu510tk3_1.0_$arch.deb" > "$tmp/upgrade.log" 2>&1
check "control: the 1.0 stand-in installs in a dpkg root" \
    [ -f "$droot/usr/lib/dpu510tk3/DefaultImage2/LiftState/FIRE-16x64_EN.bmp" ]
in_droot -i "${debs[@]}" >> "$tmp/upgrade.log" 2>&1
upgrade_rc=$?
[ "$upgrade_rc" -eq 0 ] || sed 's/^/  upgrade: /' "$tmp/upgrade.log"
check "the three packages install over 1.0 (exit 0)" [ "$upgrade_rc" -eq 0 ]
check "after the upgrade: the three are installed at $version" bash -c '
    for p in dpu510tk3 dpu510tk3-tools dpu510tk3-data; do
        [ "$(dpkg-query --admindir="$1/var/lib/dpkg" -W -f="\${Status} \${Version}" "$p")" = \
          "install ok installed $2" ] || exit 1
    done' _ "$droot" "$version"
check "after the upgrade: the data belongs to dpu510tk3-data, the tool to dpu510tk3-tools" bash -c '
    dpkg-query --admindir="$1/var/lib/dpkg" -S /usr/share/dpu510tk3/D510TK3.GLB | grep -q "^dpu510tk3-data:" &&
    dpkg-query --admindir="$1/var/lib/dpkg" -S /usr/lib/dpu510tk3/dpu510tk3 | grep -q "^dpu510tk3-tools:"' _ "$droot"
check "after the upgrade: no stock bitmap is left under /usr/lib" [ ! -e "$droot/usr/lib/dpu510tk3/DefaultImage2" ]

# ---------------------------------------------------------------- minimal system
# The tools on a minimal Debian system: apt resolves an installation of
# dpu510tk3-tools (and the data it depends on) against the status file of a
# minbase system (scripts/minimal-status.py: priority required, essential,
# apt, and what they depend on) and this system's package lists of the
# Debian archive. It must not take in Qt's GUI library.
mini=$tmp/minimal
mkdir -p "$mini/cache/archives/partial"
codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
index=$(apt-get indextargets --format '$(FILENAME)' "Created-By: Packages" "Codename: $codename" \
    "Component: main" "Architecture: $arch" | head -n 1)
if [ -n "$index" ] && /usr/lib/apt/apt-helper cat-file "$index" | python3 scripts/minimal-status.py \
    > "$mini/status" 2> "$mini/status.log"; then
    apt_mini=(apt-get -o Dir::State::status="$mini/status" -o Dir::State::extended_states="$mini/ext"
              -o Dir::Cache="$mini/cache" -o Debug::NoLocking=1 -o APT::Install-Recommends=false)
    "${apt_mini[@]}" --assume-no install "$tools_deb" "$data_deb" > "$mini/plan" 2>&1
    "${apt_mini[@]}" --simulate install "$tools_deb" "$data_deb" > "$mini/simulate" 2>&1
    mini_rc=$?
    newly=$(grep -c '^Inst ' "$mini/simulate")
    echo "  minimal system ($(cat "$mini/status.log")): dpu510tk3-tools takes $newly packages;" \
         "$(grep -h '^After this operation' "$mini/plan")"
    check "dpu510tk3-tools resolves on a minimal system" [ "$mini_rc" -eq 0 ]
    if grep -q '^Inst libqt6gui6 ' "$mini/simulate"; then
        fail "dpu510tk3-tools installs without libqt6gui6 on a minimal system: it pulls libqt6gui6 (and $newly packages in all), as the tool still links Qt Gui"
    else
        pass "dpu510tk3-tools installs without libqt6gui6 on a minimal system"
    fi
else
    fail "a minimal system's status file from the $codename package list (${index:-none found})"
fi

# ---------------------------------------------------------------- reproducible
# A second build from the same sources, later, in another folder, without
# the tests (they change no installed file) and from the compiler cache
# (which -ffile-prefix-map lets serve any folder), must give the same bytes
# in every package (debug symbols included).
first=$pkg_dir
rebuild=$pkg_dir/rebuild
rebuild_start=$(date +%s)
CCACHE_STATSLOG=$tmp/ccache-stats DEB_BUILD_OPTIONS=nocheck scripts/package-build.sh "$rebuild" \
    > "$tmp/rebuild.log" 2>&1
rebuild_rc=$?
[ "$rebuild_rc" -eq 0 ] || tail -n 30 "$tmp/rebuild.log" | sed 's/^/  rebuild: /'
echo "  second build: $(($(date +%s) - rebuild_start)) s; compiler cache:" \
     "$(grep -c '_cache_hit' "$tmp/ccache-stats" 2> /dev/null) hits," \
     "$(grep -c '^cache_miss' "$tmp/ccache-stats" 2> /dev/null) misses"
check "second package build (nocheck, in $rebuild)" [ "$rebuild_rc" -eq 0 ]
same=0
count=0
for f in "$first"/dpu510tk3*_*.deb; do
    count=$((count + 1))
    if cmp "$f" "$rebuild/$(basename "$f")"; then
        same=$((same + 1))
    else
        echo "  differs: $(basename "$f")" >&2
    fi
done
check "the two builds are byte for byte the same ($same of $count packages)" \
    [ "$rebuild_rc" -eq 0 -a "$same" -eq "$count" -a "$count" -ge 5 ]
# No file of any package (debug symbols included) names the build folder,
# which no other builder has.
for f in "$first"/dpu510tk3*_*.deb; do
    dpkg-deb -x "$f" "$tmp/all-files"
done
check "no packaged file names the build folder ($pkg_dir)" bash -c '! grep -rqaF -- "$1" "$2"' _ \
    "$pkg_dir" "$tmp/all-files"

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
for pkg in dpu510tk3-tools dpu510tk3 dpu510tk3-data; do
    check "$pkg copyright: MIT for the code, the fonts' stanza, every licence's full text" \
        check_copyright "$root/usr/share/doc/$pkg/copyright"
done
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
scripts/windows-licences.sh "$zipdir" "$version" > /dev/null
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
# One version, debian/changelog's newest entry: each package's control
# field, each program's --version (with no display and no usable Qt
# platform plug-in), the man pages.
check "each package is version $version" bash -c '
    for d in "${@:2}"; do [ "$(dpkg-deb -f "$d" Version)" = "$1" ] || exit 1; done' _ "$version" "${debs[@]}"
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
    grep -qF "<release version=\"$2\"" "$1/packaging/tech.orvane.dpu510tk3.metainfo.xml"' _ "$cfg" "$version"
scripts/package-build.sh "$pkg_dir/version-refused" 7.3~rc1 > "$tmp/refused.log" 2>&1
refused_rc=$?
sed 's/^/  package-build 7.3~rc1: /' "$tmp/refused.log"
check "packaging 7.3~rc1 without a changelog entry is refused, naming the changelog" bash -c '
    [ "$1" -ne 0 ] && grep -q "7.3~rc1 has no entry in debian/changelog" "$2" && [ ! -e "$3" ]' \
    _ "$refused_rc" "$tmp/refused.log" "$pkg_dir/version-refused"

# The metadata is the changelog's: each entry a metainfo release of its date,
# the man pages dated by the package's entry, the Maintainer its signer, and
# no made-up address or page anywhere in the package.
check "metainfo releases, man page date and Maintainer from the changelog" python3 - \
    "$src/debian/changelog" "$root" "$(dpkg-deb -f "$deb" Maintainer)" "$version" <<'PY'
import calendar, email.utils, gzip, re, sys
changelog, root, maintainer, version = sys.argv[1:]
entries = re.findall(r"^dpu510tk3 \(([^)]+)\).*?^ -- ([^\n]+?)  ([^\n]+)$", open(changelog).read(), re.M | re.S)
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
check "no .invalid address or page in the packages" bash -c \
    '! { for d in "${@:2}"; do dpkg-deb -f "$d"; done; grep -rIl "\.invalid\b" "$1"
         zcat "$1"/usr/share/doc/*/changelog.gz; } | grep -q "\.invalid\b"' _ "$root" "${debs[@]}"
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
check "no stock bitmap stands beside the programs: they came from /usr/share/dpu510tk3" \
    [ ! -e "$root/usr/lib/dpu510tk3/DefaultImage2" ]

# Control: the same tool copied away from the installed tree makes another
# image, so the equality above shows that the link resolved to the program
# folder and the data folder was found from there.
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
    # A copy of the program folder with the stock bitmaps beside the
    # programs, as the Windows zip has them, for making an image with a user
    # bitmap the way that works everywhere (beside the program), for recover
    # below.
    cp -a "$root/usr/lib/dpu510tk3" "$tmp/progcopy"
    cp -a "$root/usr/share/dpu510tk3/DefaultImage2" "$tmp/progcopy/"
    chmod -R a-w "$root/usr/lib/dpu510tk3" "$root/usr/share/dpu510tk3"
    nws=$(as_nobody "$nhome" "$root/usr/bin/dpu510tk3-workspace" --prepare)
    check "nobody's workspace prepared" [ "$nws" = "$nhome/.local/share/dpu510tk3/workspace" ]
    as_nobody "$nws" touch "$root/usr/share/dpu510tk3/DefaultImage2/probe" 2> /dev/null
    check "the installed stock bitmaps are read-only for nobody" [ $? -ne 0 ]

    # A project with a label that only the user's bitmap can show, and that
    # bitmap: the stock LOBBY picture inverted, so it is no stock one; and a
    # label the installed LOBBY picture shows.
    tr -d '\r' < "$src/assets/sample.dcf" | sed 's/^\[CTBL0\]$/[CTBL0]\nCODE_200=MEZZ\nCODE_201=LOBBY/' |
        sed 's/$/\r/' > "$tmp/mezz.dcf"
    install -o nobody -m 644 "$tmp/mezz.dcf" "$nws/mezz.dcf"
    as_nobody "$nws" "$root/usr/bin/dpu510tk3" make-rom mezz.dcf -o no-bitmap.BIN --strict \
        > "$tmp/mezz-none" 2>&1
    check "control: without the user bitmap, make-rom --strict refuses (exit 3)" [ $? -eq 3 ]
    python3 - "$root/usr/share/dpu510tk3/DefaultImage2/UserDefine/Floor/Style0/LOBBY.bmp" "$tmp/MEZZ.bmp" <<'PY'
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
    check "recover wrote the user bitmap into the workspace, and no copy of an installed one" bash -c \
        'cd "$1"/DefaultImage2/UserDefine/Floor/Style0 && bmps=(*.bmp) && [ ${#bmps[@]} -eq 1 ] &&
         [ -f "${bmps[0]}" ] && [ ! -e LOBBY.bmp ]' _ "$rws"
    as_nobody "$rws" "$root/usr/bin/dpu510tk3" make-rom rec.dcf -o again.BIN --strict > /dev/null 2>&1
    check "the recovered project builds the same image" cmp -s "$tmp/mezz.BIN" "$rws/again.BIN"
else
    fail "the unprivileged run needs root (to become nobody with setpriv)"
fi

echo "package-test: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
