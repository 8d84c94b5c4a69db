#!/usr/bin/env bash
# The Windows installer under Wine, in a fresh prefix of its own:
#  1. two builds of the installer from the same commit are the same bytes;
#  2. an "earlier version" (the zip's folder with one file more, packed as
#     version 0.9) installs silently with a desktop shortcut; the editor,
#     started as the Start-menu shortcut starts it, makes the user's
#     workspace, in which a file is then edited and a project added;
#  3. the current installer, run silently over it, replaces the program (the
#     extra file goes, the files are the zip's) and keeps the workspace, the
#     desktop shortcut and every key; "wine start" of a project file opens
#     that project in the editor;
#  4. the silent uninstall (QuietUninstallString) removes the program
#     folder, the shortcuts and every key it wrote, and leaves the workspace;
#  5. /ALLUSERS /D=FOLDER installs for every user (Wine runs every program
#     as administrator) and uninstalls as cleanly.
# Where Wine differs from Windows is marked "Wine:" here; docs/windows.md
# lists it.
#
#   tests/windows/installer-wine.sh [WIN_BUILD_DIR]
#
# WIN_BUILD_DIR is that of scripts/windows-build.sh (default
# DPU_WIN_BUILD_DIR, which scripts/windows-test.sh exports, else
# build-winapp); the installer and the zip are made from it.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
abs() { case "$1" in /*) printf '%s\n' "$1" ;; *) printf '%s\n' "$root/$1" ;; esac; }
win_build=$(abs "${1:-${DPU_WIN_BUILD_DIR:-build-winapp}}")
say() { echo "installer-wine: $*"; }
fail() {
  echo "installer-wine: FAILED: $*" >&2
  exit 1
}

PATH="$PATH:/usr/lib/wine"
for tool in wine64 wineserver unzip makensis python3; do
  command -v "$tool" >/dev/null || fail "$tool is missing (scripts/setup-deps.sh installs it)"
done

work=$(mktemp -d "${TMPDIR:-/tmp}/dpu-installer-wine.XXXXXX")
cleanup() {
  [ ! -d "$work/prefix" ] || WINEPREFIX=$work/prefix wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Waits (at most $1 seconds, trying every 0.2 s) until the command after it succeeds.
wait_for() {
  local end=$((SECONDS + $1))
  shift
  until "$@"; do
    [ "$SECONDS" -lt "$end" ] || return 1
    sleep 0.2
  done
}

# ------------------------------------------------------------ 1. the same bytes
setup=$(scripts/windows-installer.sh "$win_build" | tail -n 1)
cp "$setup" "$work/first-setup.exe"
# Again, at another time and from another staging folder.
setup=$(scripts/windows-installer.sh "$win_build" | tail -n 1)
cmp "$work/first-setup.exe" "$setup" || fail "two builds of the installer differ"
name=$(basename "$setup" -setup.exe)
version=${name#dpu510tk3-}
version=${version%-windows-x64}
say "$(basename "$setup"): two builds, the same $(stat -c %s "$setup") bytes"

# The earlier version: the zip's folder with a file the current one lacks.
zip_file=$(scripts/windows-zip.sh "$win_build" | tail -n 1)
unzip -q "$zip_file" -d "$work/zip"
zipdir=$work/zip/$name
cp -r "$zipdir" "$work/old"
echo "only in the earlier version" >"$work/old/RETIRED.txt"
# It only has to install: zlib packs it quickly.
DPU_NSIS_COMPRESSOR=zlib scripts/windows-installer.sh --pack "$work/old" 0.9 "$work/old-setup.exe"
# The licence page is made of the folder's licence texts: without one of
# them no installer is made.
cp -r "$zipdir" "$work/unlicensed"
rm "$work/unlicensed/licences/OFL-1.1.txt"
if DPU_NSIS_COMPRESSOR=zlib scripts/windows-installer.sh --pack "$work/unlicensed" 1.0 "$work/unlicensed.exe" 2>"$work/unlicensed.err"; then
  fail "an installer was made without licences\\OFL-1.1.txt"
fi
grep -qF "licences/OFL-1.1.txt is missing: the licence page would lack it" "$work/unlicensed.err" ||
  fail "a missing licence text: $(cat "$work/unlicensed.err")"
[ ! -e "$work/unlicensed.exe" ] || fail "an installer was left without licences\\OFL-1.1.txt"

# ------------------------------------------------------------ the prefix
# Wine links the profile's Desktop and Documents to HOME, and its menu
# builder turns Start-menu shortcuts and file types into the desktop's own
# entries under HOME: both stay inside the work folder.
export HOME=$work/home
mkdir -p "$HOME"
unset XDG_CONFIG_HOME XDG_DATA_HOME XDG_DESKTOP_DIR
unset WINEQT_QPA_PLATFORM QT_QPA_PLATFORM DISPLAY
. scripts/wine-prefix.sh
wine_find || exit 1
say "preparing the Wine prefix"
wine_boot_prefix "$work/prefix" "$work/wineserver.log"
export WINEDLLOVERRIDES="$WINEDLLOVERRIDES;winemenubuilder.exe=d"
# The editor needs no screen: its smoke test says where it started and what
# it opened, then ends.
export WINEQT_QPA_PLATFORM=offscreen
c_drive=$WINEPREFIX/drive_c
user=$(basename "$(echo "$c_drive"/users/*/AppData/Local | sed 's|/AppData/Local$||')")
[ -d "$c_drive/users/$user/AppData/Local" ] || fail "the prefix has no user profile"
local_unix=$c_drive/users/$user/AppData/Local
local_win="C:\\users\\$user\\AppData\\Local"
program_unix=$local_unix/Programs/DPU-510TK3
program_win="$local_win\\Programs\\DPU-510TK3"
menu_unix="$c_drive/users/$user/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/DPU-510TK3"
editor_link="$menu_unix/DPU-510TK3 Lift LCD Editor.lnk"
desktop_link="$HOME/DPU-510TK3 Lift LCD Editor.lnk" # Wine: the Desktop is HOME
ws_unix=$local_unix/dpu510tk3/workspace
ws_win="C:/users/$user/AppData/Local/dpu510tk3/workspace"
uninst_key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\DPU-510TK3'

reg_value() { # KEY NAME: the value's data, "" when there is none
  local which=(/v "$2")
  [ "$2" != "(Default)" ] || which=(/ve)
  wine64 reg query "$1" "${which[@]}" 2>/dev/null | tr -d '\r' |
    sed -n "s/^ *$2 *REG_[A-Z_]* *//p" | sed 's/^(value not set)$//'
}
# The keys the installer writes to, exported: after the uninstall they must
# be as they were before the first install. The two keys themselves count as
# there (Windows always has them; a new Wine prefix makes them on first use).
snapshot() { # ROOT OUT
  local key long
  case "$1" in HKCU) long=HKEY_CURRENT_USER ;; *) long=HKEY_LOCAL_MACHINE ;; esac
  for key in 'Software\Classes' 'Software\Microsoft\Windows\CurrentVersion\Uninstall'; do
    echo "[$1\\$key]"
    rm -f "$work/export.reg"
    wine64 reg export "$1\\$key" "$work/export.reg" /y >/dev/null 2>&1 || continue
    iconv -f UTF-16LE -t UTF-8 "$work/export.reg" | tr -d '\r' | sed '1s/^\xef\xbb\xbf//' |
      grep -vx -e 'Windows Registry Editor Version 5.00' -e '' -F -e "[$long\\$key]" || true
  done >"$2"
}
# A shell link's target, "Start in" and icon, one "name=value" line each
# (the fields of MS-SHLLINK that CreateShortCut fills).
link_fields() { # LNK
  python3 - "$1" <<'PY'
import struct, sys
data = open(sys.argv[1], "rb").read()
if data[:4] != b"L\0\0\0" or len(data) < 76:
    sys.exit(f"{sys.argv[1]} is not a shell link")
flags = struct.unpack_from("<I", data, 20)[0]
at = 76
if flags & 0x1:  # an ID list first
    at += 2 + struct.unpack_from("<H", data, at)[0]
target = ""
if flags & 0x2:  # the link info, with the target's local path
    size, header, info_flags, _, base = struct.unpack_from("<IIIII", data, at)
    if info_flags & 1:
        target = data[at + base:data.index(b"\0", at + base)].decode("latin-1")
        if header >= 0x24 and struct.unpack_from("<I", data, at + 28)[0]:
            start = end = at + struct.unpack_from("<I", data, at + 28)[0]
            while data[end:end + 2] != b"\0\0":
                end += 2
            target = data[start:end].decode("utf-16-le")
    at += size
fields = {}
wide = 2 if flags & 0x80 else 1
for bit, key in ((0x4, "name"), (0x8, "relative"), (0x10, "workdir"), (0x20, "args"), (0x40, "icon")):
    if flags & bit:
        count = struct.unpack_from("<H", data, at)[0]
        text = data[at + 2:at + 2 + count * wide]
        fields[key] = text.decode("utf-16-le" if wide == 2 else "latin-1").rstrip("\0")
        at += 2 + count * wide
print("target=" + target)
for key in ("workdir", "args", "icon"):
    print(key + "=" + fields.get(key, ""))
PY
}
# Starts what the editor's Start-menu shortcut names, as the shell does: its
# target in its "Start in" folder. The smoke test ends the editor once its
# window is up, saying where start-up ran (the exit status is 0 when it
# completed), with every box on standard error.
start_by_shortcut() { # OUT
  link_fields "$editor_link" >"$work/link.fields" || fail "the editor's shortcut: $(cat "$work/link.fields")"
  grep -qxF "target=$program_win\\dpu510tk3-editor.exe" "$work/link.fields" &&
    grep -qxF "workdir=$program_win" "$work/link.fields" &&
    grep -qxF "icon=$program_win\\dpu510tk3.ico" "$work/link.fields" &&
    grep -qxF "args=" "$work/link.fields" ||
    fail "the editor's shortcut is not the editor started in $program_win: $(cat "$work/link.fields")"
  local dir
  dir=$(realpath "$(wine64 winepath -u "$program_win" | tr -d '\r')")
  (cd "$dir" && DPU510TK3_SMOKE_TEST=1 timeout 300 wine64 "$program_win\\dpu510tk3-editor.exe") >"$1" 2>&1 ||
    fail "the editor through its shortcut: $(cat "$1")"
  ! grep -q '^\[Box\]' "$1" || fail "the editor showed a box: $(cat "$1")"
  tr -d '\r' <"$1" | LC_ALL=C grep -qx "\[Smoke test\] start-up completed in $ws_win" ||
    fail "the shortcut did not start the editor in $ws_win: $(cat "$1")"
}
snapshot HKCU "$work/hkcu-before"

# ------------------------------------------------------------ 2. the earlier version
wine64 "$work/old-setup.exe" /S /DESKTOPSHORTCUT >"$work/old.out" 2>&1 ||
  fail "the earlier version's silent install: $(cat "$work/old.out")"
[ -f "$program_unix/RETIRED.txt" ] || fail "the earlier version is not in $program_win"
[ "$(reg_value "$uninst_key" DisplayVersion)" = 0.9 ] || fail "the earlier version is not registered"
[ -f "$desktop_link" ] || fail "no desktop shortcut"
# The Start-menu shortcut starts the editor in its program folder, so it
# works in the workspace under the profile, which it fills.
start_by_shortcut "$work/link.out"
[ -f "$ws_unix/sample.dcf" ] || fail "the workspace holds no sample.dcf"
printf '; edited\r\n' >>"$ws_unix/sample.dcf"
cp "$ws_unix/sample.dcf" "$work/edited.dcf"
cp "$zipdir/sample.dcf" "$ws_unix/job.dcf"
say "0.9 installed in $program_win; its shortcut started the editor in the workspace"

# ------------------------------------------------------------ 3. the upgrade
wine64 "$setup" /S >"$work/new.out" 2>&1 || fail "the upgrade's silent install: $(cat "$work/new.out")"
[ ! -e "$program_unix/RETIRED.txt" ] || fail "the upgrade left the earlier version's RETIRED.txt"
(cd "$zipdir" && find . -type f | LC_ALL=C sort) >"$work/zip.list"
(cd "$program_unix" && find . -type f ! -name uninstall.exe | LC_ALL=C sort) >"$work/installed.list"
diff -u "$work/zip.list" "$work/installed.list" >"$work/list.diff" ||
  fail "the program folder is not the zip's: $(cat "$work/list.diff")"
while IFS= read -r f; do
  cmp -s "$zipdir/$f" "$program_unix/$f" || fail "$f differs from the zip's"
done <"$work/zip.list"
[ -f "$program_unix/uninstall.exe" ] || fail "no uninstaller"
cmp -s "$ws_unix/sample.dcf" "$work/edited.dcf" || fail "the upgrade changed the edited sample.dcf"
[ -f "$ws_unix/job.dcf" ] || fail "the upgrade removed the workspace's job.dcf"
[ -f "$editor_link" ] && [ -f "$menu_unix/DPU-510TK3 User Guide.lnk" ] || fail "the Start-menu shortcuts are missing"
[ -f "$desktop_link" ] || fail "the upgrade dropped the desktop shortcut"

check_value() { # KEY NAME EXPECTED
  local got
  got=$(reg_value "$1" "$2")
  [ "$got" = "$3" ] || fail "$1 $2 is \"$got\", not \"$3\""
}
check_value "$uninst_key" DisplayName "DPU-510TK3 Lift LCD Editor"
check_value "$uninst_key" DisplayVersion "$version"
check_value "$uninst_key" Publisher "The DPU-510TK3 editor authors"
check_value "$uninst_key" DisplayIcon "$program_win\\dpu510tk3.ico"
check_value "$uninst_key" InstallLocation "$program_win"
check_value "$uninst_key" UninstallString "\"$program_win\\uninstall.exe\""
check_value "$uninst_key" QuietUninstallString "\"$program_win\\uninstall.exe\" /S"
size_kib=$(du -s --apparent-size -k "$zipdir" | cut -f1)
estimated=$(($(reg_value "$uninst_key" EstimatedSize)))
[ "$estimated" -ge $((size_kib * 9 / 10)) ] && [ "$estimated" -le $((size_kib * 11 / 10)) ] ||
  fail "EstimatedSize $estimated KiB, the program folder $size_kib KiB"
classes='HKCU\Software\Classes'
open_command="\"$program_win\\dpu510tk3-editor.exe\" \"%1\""
check_value "$classes\\.dcf" "(Default)" DPU510TK3.Project
check_value "$classes\\DPU510TK3.Project\\shell\\open\\command" "(Default)" "$open_command"
check_value "$classes\\DPU510TK3.Project\\DefaultIcon" "(Default)" "$program_win\\dpu510tk3.ico"
# .BIN is only offered: it gets no program of its own.
check_value "$classes\\.BIN" "(Default)" ""
wine64 reg query "$classes\\.BIN\\OpenWithProgids" /v DPU510TK3.RomImage >/dev/null 2>&1 ||
  fail ".BIN does not offer the editor under Open with"
check_value "$classes\\DPU510TK3.RomImage\\shell\\open\\command" "(Default)" "$open_command"
# The new editor, started by the new shortcut, keeps the edited file too.
start_by_shortcut "$work/link2.out"
cmp -s "$ws_unix/sample.dcf" "$work/edited.dcf" || fail "the upgraded editor replaced the edited sample.dcf"
say "$version over 0.9: the zip's files, the keys, the shortcuts; the workspace kept"

# A project opened as a double-click opens it. Wine: HKEY_CLASSES_ROOT shows
# the machine's classes only, not the user's (HKCU\Software\Classes) over
# them as Windows does; for this start the installer's per-user keys are
# copied to the machine's, and removed again after. Explorer starts the
# program in the file's folder, Wine's "start" in its own: it is run there.
wine64 reg query 'HKLM\Software\Classes\.dcf' >/dev/null 2>&1 && fail "the prefix has a .dcf of its own"
for key in .dcf DPU510TK3.Project; do
  wine64 reg export "$classes\\$key" "$work/user.reg" /y >/dev/null || fail "no $classes\\$key"
  iconv -f UTF-16LE -t UTF-8 "$work/user.reg" |
    sed 's/^\[HKEY_CURRENT_USER\\Software\\Classes\\/[HKEY_LOCAL_MACHINE\\Software\\Classes\\/' |
    iconv -f UTF-8 -t UTF-16LE >"$work/machine.reg"
  wine64 reg import "$work/machine.reg" >/dev/null 2>&1 || fail "copying $key to the machine's classes"
done
job_win="${ws_win//\//\\}\\job.dcf"
(cd "$ws_unix" && DPU510TK3_SMOKE_TEST=1 timeout 300 wine64 start /wait "$job_win") >"$work/dcf.out" 2>&1 ||
  fail "start $job_win: the editor did not complete its start-up: $(cat "$work/dcf.out")"
# Wine: a program started through "start" writes to no terminal; what the
# editor opened shows in its recent projects, which it notes on each load.
recent=$(reg_value 'HKCU\Software\dpu510tk3\editor' RecentProjects)
[ "${recent%%\\0*}" = "$ws_win/job.dcf" ] || fail "start $job_win: the editor's last project is \"$recent\""
# A project kept elsewhere: Explorer starts the editor in its folder, which
# has no configuration; the editor works in the workspace all the same.
mkdir -p "$c_drive/Projects"
cp "$ws_unix/job.dcf" "$c_drive/Projects/far.dcf"
(cd "$c_drive/Projects" && DPU510TK3_SMOKE_TEST=1 timeout 300 wine64 start /wait 'C:\Projects\far.dcf') >"$work/far.out" 2>&1 ||
  fail "start C:\\Projects\\far.dcf from its folder: the editor did not complete its start-up: $(cat "$work/far.out")"
recent=$(reg_value 'HKCU\Software\dpu510tk3\editor' RecentProjects)
[ "${recent%%\\0*}" = "C:/Projects/far.dcf" ] || fail "start far.dcf: the editor's last project is \"$recent\""
for key in .dcf DPU510TK3.Project; do
  wine64 reg delete "HKLM\\Software\\Classes\\$key" /f >/dev/null 2>&1 || fail "removing the copy of $key"
done
cmp -s "$ws_unix/sample.dcf" "$work/edited.dcf" || fail "the editor's start replaced the edited sample.dcf"
say "start job.dcf: the editor opened $ws_win/job.dcf, and C:/Projects/far.dcf from its own folder"

# ------------------------------------------------------------ 4. the uninstall
quiet=$(reg_value "$uninst_key" QuietUninstallString)
uninstaller=$(printf '%s\n' "$quiet" | sed -n 's/^"\([^"]*\)" \/S$/\1/p')
[ -n "$uninstaller" ] || fail "QuietUninstallString \"$quiet\" is not \"UNINSTALLER\" /S"
wine64 "$uninstaller" /S >"$work/uninstall.out" 2>&1 || fail "the silent uninstall: $(cat "$work/uninstall.out")"
# The uninstaller runs on from a copy of itself in the temporary folder (so
# it can remove itself): its end is the program folder's going.
wait_for 180 test ! -e "$program_unix" || fail "the uninstall left $program_win: $(ls -R "$program_unix")"
wait_for 60 bash -c '! wine64 reg query "$1" >/dev/null 2>&1' _ "$uninst_key" || fail "the uninstall left $uninst_key"
[ ! -e "$menu_unix" ] || fail "the uninstall left the Start-menu folder"
[ ! -e "$desktop_link" ] || fail "the uninstall left the desktop shortcut"
snapshot HKCU "$work/hkcu-after"
diff -u "$work/hkcu-before" "$work/hkcu-after" >"$work/hkcu.diff" ||
  fail "the uninstall left keys it wrote: $(cat "$work/hkcu.diff")"
cmp -s "$ws_unix/sample.dcf" "$work/edited.dcf" && [ -f "$ws_unix/job.dcf" ] ||
  fail "the uninstall touched the workspace"
say "silent uninstall: the program, the shortcuts and the keys gone, the workspace kept"

# ------------------------------------------------------------ 5. for all users
# Wine: every program runs with an administrator's rights, so /ALLUSERS is
# taken as from an elevated prompt; the refusal without them is not seen.
snapshot HKLM "$work/hklm-before"
# /D= takes the rest of the command line as it stands, and Wine quotes an
# argument holding a blank: the folder here has none.
all_win='C:\Tools\DPU-510TK3'
all_unix="$c_drive/Tools/DPU-510TK3"
all_menu="$c_drive/ProgramData/Microsoft/Windows/Start Menu/Programs/DPU-510TK3"
wine64 "$setup" /S /ALLUSERS "/D=$all_win" >"$work/all.out" 2>&1 || fail "/ALLUSERS: $(cat "$work/all.out")"
[ -f "$all_unix/dpu510tk3-editor.exe" ] || fail "/ALLUSERS /D: nothing in $all_win"
[ -f "$all_menu/DPU-510TK3 Lift LCD Editor.lnk" ] || fail "/ALLUSERS: no shortcut in the common Start menu"
check_value "${uninst_key/HKCU/HKLM}" InstallLocation "$all_win"
check_value "HKLM\\Software\\Classes\\.dcf" "(Default)" DPU510TK3.Project
! wine64 reg query "$uninst_key" >/dev/null 2>&1 || fail "/ALLUSERS wrote the per-user entry"
wine64 "$all_win\\uninstall.exe" /S >"$work/all-un.out" 2>&1 || fail "/ALLUSERS uninstall: $(cat "$work/all-un.out")"
wait_for 180 test ! -e "$all_unix" || fail "the all-users uninstall left $all_win"
wait_for 60 bash -c '! wine64 reg query "$1" >/dev/null 2>&1' _ "${uninst_key/HKCU/HKLM}" ||
  fail "the all-users uninstall left its entry"
[ ! -e "$all_menu" ] || fail "the all-users uninstall left the Start-menu folder"
snapshot HKLM "$work/hklm-after"
diff -u "$work/hklm-before" "$work/hklm-after" >"$work/hklm.diff" ||
  fail "the all-users uninstall left keys: $(cat "$work/hklm.diff")"
say "/ALLUSERS into $all_win and its uninstall"
say "passed"
