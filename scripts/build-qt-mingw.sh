#!/usr/bin/env bash
# Builds a static Qt (qtbase only) for 64-bit Windows with MinGW-w64, from
# Debian's own qt6-base source package, the same version as the host's Qt,
# whose moc, rcc and uic serve as the host tools. The result lives outside the
# repository and is reused as long as its configuration has not changed.
#
#   scripts/build-qt-mingw.sh           build (or reuse) the Qt
#   scripts/build-qt-mingw.sh --force   build again even if the install is current
#   scripts/build-qt-mingw.sh --check   build (or reuse), then cross-build a small
#                                       Widgets program and a Qt Test case with it
#                                       and run both under Wine
#
# Environment:
#   DPU_QT_MINGW_PREFIX  where the Qt is installed
#                        (default ~/.cache/dpu510tk3/qt6-mingw-<version>)
#   DPU_QT_MINGW_WORK    where the source and the build folder go
#                        (default ~/.cache/dpu510tk3)
#   JOBS                 parallel build jobs (default 2)
#   DPU_QT_MINGW_KEEP_BUILD=1  keep the build folder after a successful install
#
# The build takes about a quarter of an hour on two idle cores; run it under
# "nice -n 19" on a shared machine. Needs root (or sudo) only the first time,
# to add the deb-src entry apt needs for "apt-get source".
set -euo pipefail
cd "$(dirname "$0")/.."
repo_dir=$PWD

say() { echo "build-qt-mingw: $*"; }
die() {
  echo "build-qt-mingw: error: $*" >&2
  exit 1
}
trap 'echo "build-qt-mingw: error: failed at line $LINENO: $BASH_COMMAND" >&2' ERR

mode=build
case "${1:-}" in
  "") ;;
  --force) mode=force ;;
  --check) mode=check ;;
  -h | --help)
    awk 'NR > 1 && /^#/ { sub(/^# ?/, ""); print; next } NR > 1 { exit }' "$0"
    exit 0
    ;;
  *) die "unknown option '$1' (use --force, --check or --help)" ;;
esac

# The source must be the host's Qt version: the host's tools generate code for
# the target's headers, and the two must agree.
host_qt_version=$(dpkg-query -W -f='${Version}' qt6-base-dev 2>/dev/null) ||
  die "qt6-base-dev is not installed (scripts/setup-deps.sh installs it)"
qt_upstream=${host_qt_version%%+*}
qt_upstream=${qt_upstream%%-*}
[ "$qt_upstream" = 6.4.2 ] ||
  die "the host's Qt is $host_qt_version; this script and its configure options are made for 6.4.2"

cache_root="${XDG_CACHE_HOME:-$HOME/.cache}/dpu510tk3"
work_dir="${DPU_QT_MINGW_WORK:-$cache_root}"
prefix="${DPU_QT_MINGW_PREFIX:-$cache_root/qt6-mingw-$qt_upstream}"
src_parent="$work_dir/src"
build_dir="$work_dir/build-qt6-mingw-$qt_upstream"
jobs="${JOBS:-2}"
triple=x86_64-w64-mingw32
toolchain_src="$repo_dir/cmake/mingw-w64-x86_64.cmake"
# The installed qt.toolchain.cmake names the toolchain file by its absolute
# path, so the Qt is configured with a copy kept inside its own install folder.
toolchain_name=mingw-w64-x86_64.cmake
stamp_name=dpu-build-config.sha256

for tool in cmake ninja flock "$triple-g++-posix" "$triple-gcc-posix" dpkg-source perl sha256sum; do
  command -v "$tool" >/dev/null 2>&1 || die "'$tool' is missing (scripts/setup-deps.sh installs it)"
done
[ -f "$toolchain_src" ] || die "$toolchain_src is missing"
[ -x /usr/lib/qt6/libexec/moc ] || die "the host's moc (/usr/lib/qt6/libexec/moc) is missing"

# Everything that shapes the install: changing any of it means a new build.
configure_args=(
  -G Ninja
  -DCMAKE_BUILD_TYPE=Release
  -DQT_HOST_PATH=/usr
  -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
  -DQT_QMAKE_TARGET_MKSPEC=win32-g++
  -DBUILD_SHARED_LIBS=OFF
  -DFEATURE_static_runtime=ON
  -DQT_BUILD_EXAMPLES=OFF
  -DQT_BUILD_TESTS=OFF
  -DFEATURE_pkg_config=OFF
  # Bundled third-party libraries: nothing of the target comes from the host.
  -DFEATURE_system_zlib=OFF
  -DFEATURE_system_pcre2=OFF
  -DFEATURE_system_png=OFF
  -DFEATURE_system_jpeg=OFF
  -DFEATURE_system_freetype=OFF
  -DFEATURE_system_harfbuzz=OFF
  -DFEATURE_system_doubleconversion=OFF
  -DFEATURE_system_libb2=OFF
  # Modules and features the programs do not use.
  -DFEATURE_sql=OFF
  -DFEATURE_network=OFF
  -DFEATURE_dbus=OFF
  -DINPUT_opengl=no
  -DFEATURE_vulkan=OFF
  -DFEATURE_icu=OFF
  -DFEATURE_concurrent=OFF
  -DFEATURE_xml=OFF
  -DFEATURE_printsupport=OFF
  -DFEATURE_testlib=ON
  # Debian's +dfsg tarball lacks src/3rdparty/wintab, which tablet events need.
  -DFEATURE_tabletevent=OFF
  # Without Direct2D the windows plugin still wants the DirectWrite font
  # database; GDI fonts are used instead.
  -DFEATURE_direct2d=OFF
  -DFEATURE_directwrite3=OFF
)

compiler_version=$("$triple-g++-posix" --version | head -n 1)
config_hash() {
  {
    echo "qt6-base $host_qt_version"
    echo "compiler $compiler_version"
    printf '%s\n' "${configure_args[@]}"
    echo "toolchain:"
    cat "$toolchain_src"
  } | sha256sum | cut -d' ' -f1
}
want_hash=$(config_hash)

# One build at a time per work folder (several worktrees share the cache); a
# second caller waits, then finds the install current.
mkdir -p "$work_dir"
exec 9>"$work_dir/build-qt-mingw.lock"
if ! flock -n 9; then
  say "another build-qt-mingw.sh is running on $work_dir; waiting for it"
  flock 9
fi

if [ "$mode" != force ] && [ -f "$prefix/$stamp_name" ] &&
  [ "$(cat "$prefix/$stamp_name")" = "$want_hash" ] &&
  [ -f "$prefix/lib/cmake/Qt6/qt.toolchain.cmake" ]; then
  if [ ! -f "$prefix/$toolchain_name" ]; then
    # The hash covers the toolchain file, so the repository's copy is the same.
    say "restoring $prefix/$toolchain_name, which the installed qt.toolchain.cmake names"
    cp "$toolchain_src" "$prefix/$toolchain_name"
  fi
  say "the Qt in $prefix is current (configuration $want_hash); nothing to build"
else
  # ---- The source: Debian's qt6-base at exactly the host's version. ----
  src_dir="$src_parent/qtbase-$host_qt_version"
  if [ -f "$src_dir/.dpu-unpacked" ]; then
    say "using the unpacked source in $src_dir"
  else
    if [ "$(id -u)" -eq 0 ]; then
      sudo_cmd=()
    elif command -v sudo >/dev/null 2>&1; then
      sudo_cmd=(sudo)
    else
      sudo_cmd=(false)
    fi
    if ! apt-get source --print-uris -qq "qt6-base=$host_qt_version" >/dev/null 2>&1; then
      # apt knows no source packages yet: add deb-src entries for the Debian
      # archives the machine's own deb entries use, then refresh the lists.
      src_list=/etc/apt/sources.list.d/dpu510tk3-deb-src.sources
      say "adding deb-src entries to $src_list"
      entries=$(
        for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
          [ -f "$f" ] || continue
          # One-line format: "deb [options] URI suite components...".
          awk '$1 == "deb" && /debian/ {
                 i = 2
                 if ($2 ~ /^\[/) { while ($i !~ /\]$/) i++; i++ }
                 comps = ""; for (j = i + 2; j <= NF; j++) comps = comps " " $j
                 printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents:%s\n", $i, $(i + 1), comps
                 if (match($0, /signed-by=[^] ]+/))
                   printf "Signed-By: %s\n", substr($0, RSTART + 10, RLENGTH - 10)
                 printf "\n"
               }' "$f"
        done
        for f in /etc/apt/sources.list.d/*.sources; do
          [ -f "$f" ] || continue
          [ "$f" = "$src_list" ] && continue
          # deb822 format: copy each stanza of type deb from a Debian archive.
          awk 'BEGIN { RS = ""; FS = "\n" }
               {
                 deb = 0; debian = 0
                 for (i = 1; i <= NF; i++) {
                   if ($i ~ /^Types:/ && $i ~ /(^|[ \t])deb([ \t]|$)/) deb = 1
                   if ($i ~ /^URIs:/ && $i ~ /debian/) debian = 1
                 }
                 if (!deb || !debian) next
                 for (i = 1; i <= NF; i++) {
                   if ($i ~ /^#/) continue
                   if ($i ~ /^Types:/) print "Types: deb-src"; else print $i
                 }
                 print ""
               }' "$f"
        done
      )
      [ -n "$entries" ] || die "found no Debian deb entry in /etc/apt to derive a deb-src entry from"
      printf '# Added by the project'"'"'s scripts/build-qt-mingw.sh for "apt-get source qt6-base".\n\n%s\n' \
        "$entries" | "${sudo_cmd[@]}" tee "$src_list.new" >/dev/null ||
        die "cannot write $src_list (run once as root or with sudo)"
      "${sudo_cmd[@]}" mv "$src_list.new" "$src_list"
      say "apt-get update"
      "${sudo_cmd[@]}" apt-get update -qq
      apt-get source --print-uris -qq "qt6-base=$host_qt_version" >/dev/null ||
        die "apt still finds no source package qt6-base=$host_qt_version (see $src_list)"
    fi

    mkdir -p "$src_parent"
    dl_dir=$(mktemp -d "$src_parent/download.XXXXXX")
    say "downloading qt6-base $host_qt_version with apt-get source into $dl_dir"
    # apt checks each file against the checksums of the signed archive index.
    (cd "$dl_dir" && apt-get source --download-only -q "qt6-base=$host_qt_version")
    dsc=$(ls "$dl_dir"/qt6-base_*.dsc)
    [ "$(sed -n 's/^Version: //p' "$dsc")" = "$host_qt_version" ] ||
      die "$dsc is not version $host_qt_version"
    # Check again, by the .dsc's own list, before anything is unpacked.
    say "verifying the files listed in $(basename "$dsc")"
    (cd "$dl_dir" &&
      awk '/^Checksums-Sha256:/ { on = 1; next } /^[^ ]/ { on = 0 } on && NF == 3 { print $1 "  " $3 }' \
        "$(basename "$dsc")" | sha256sum --check --strict)
    rm -rf "$src_dir"
    say "unpacking into $src_dir (with Debian's patches)"
    dpkg-source --no-check -x "$dsc" "$src_dir" >/dev/null
    touch "$src_dir/.dpu-unpacked"
    rm -rf "$dl_dir"
  fi
  [ -f "$src_dir/CMakeLists.txt" ] || die "$src_dir does not hold qtbase"

  # ---- Configure, build, install. ----
  # A build folder made with the same configuration is resumed; any other is
  # started afresh.
  if [ -f "$build_dir/$stamp_name" ] && [ "$(cat "$build_dir/$stamp_name")" = "$want_hash" ] &&
    [ -f "$build_dir/build.ninja" ]; then
    say "resuming the build in $build_dir"
    mkdir -p "$prefix"
    cp "$toolchain_src" "$prefix/$toolchain_name"
  else
    say "removing any earlier install in $prefix and build in $build_dir"
    rm -rf "$build_dir" "$prefix"
    mkdir -p "$build_dir" "$prefix"
    cp "$toolchain_src" "$prefix/$toolchain_name"
    configure_line=(cmake -S "$src_dir" -B "$build_dir"
      "-DCMAKE_TOOLCHAIN_FILE=$prefix/$toolchain_name"
      "-DCMAKE_INSTALL_PREFIX=$prefix" "${configure_args[@]}")
    say "configuring: ${configure_line[*]}"
    start=$(date +%s)
    "${configure_line[@]}" >"$build_dir/configure.log" 2>&1 || {
      tail -n 40 "$build_dir/configure.log" >&2
      die "configure failed (whole log: $build_dir/configure.log)"
    }
    say "configured in $(($(date +%s) - start)) s"
    echo "$want_hash" >"$build_dir/$stamp_name"
  fi
  # A stamp in the install folder tells that install is whole: drop it until
  # the new one is.
  rm -f "$prefix/$stamp_name"
  say "building with $jobs jobs (log: $build_dir/build.log); this takes a while"
  start=$(date +%s)
  cmake --build "$build_dir" -j "$jobs" >"$build_dir/build.log" 2>&1 || {
    tail -n 40 "$build_dir/build.log" >&2
    die "build failed (whole log: $build_dir/build.log)"
  }
  build_seconds=$(($(date +%s) - start))
  say "built in $((build_seconds / 60)) min $((build_seconds % 60)) s"
  cmake --install "$build_dir" >"$build_dir/install.log" 2>&1 || {
    tail -n 20 "$build_dir/install.log" >&2
    die "install failed (whole log: $build_dir/install.log)"
  }
  grep -q "$prefix/$toolchain_name" "$prefix/lib/cmake/Qt6/qt.toolchain.cmake" ||
    die "$prefix/lib/cmake/Qt6/qt.toolchain.cmake does not name $prefix/$toolchain_name"
  echo "$want_hash" >"$prefix/$stamp_name"
  say "installed into $prefix ($(du -sh "$prefix" | cut -f1))"
  if [ "${DPU_QT_MINGW_KEEP_BUILD:-0}" != 1 ]; then
    say "removing the build folder $build_dir"
    rm -rf "$build_dir"
  fi
fi

[ "$mode" = check ] || {
  say "use it with -DCMAKE_TOOLCHAIN_FILE=$prefix/lib/cmake/Qt6/qt.toolchain.cmake"
  exit 0
}

# ---- The check: a Widgets program and a Qt Test case, static, under Wine. ----
PATH="$PATH:/usr/lib/wine"
wine_bin=$(command -v wine64 || true)
[ -n "$wine_bin" ] || die "wine64 is not installed (scripts/setup-deps.sh installs it)"
check_dir=$(mktemp -d "${TMPDIR:-/tmp}/dpu-qt-mingw-check.XXXXXX")
export WINEPREFIX="$check_dir/wineprefix"
cleanup_check() {
  WINEPREFIX="$WINEPREFIX" wineserver -k 2>/dev/null || true
  rm -rf "$check_dir"
}
trap cleanup_check EXIT
say "check: building a Widgets program and a Qt Test case in $check_dir"
mkdir -p "$check_dir/src"
cat >"$check_dir/src/CMakeLists.txt" <<'EOF'
cmake_minimum_required(VERSION 3.21)
project(qtcheck LANGUAGES CXX)
set(CMAKE_CXX_STANDARD 20)
set(CMAKE_AUTOMOC ON)
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)
add_executable(hello hello.cpp)
target_link_libraries(hello PRIVATE Qt6::Widgets)
add_executable(labeltest labeltest.cpp)
target_link_libraries(labeltest PRIVATE Qt6::Widgets Qt6::Test)
foreach(t hello labeltest)
  # No libgcc or libstdc++ DLL beside the program.
  target_link_options(${t} PRIVATE -static)
  # A static program gets only the windows platform plugin by default.
  qt_import_plugins(${t} INCLUDE Qt6::QOffscreenIntegrationPlugin)
endforeach()
EOF
cat >"$check_dir/src/hello.cpp" <<'EOF'
#include <QApplication>
#include <QLabel>
#include <QTimer>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Hello from Qt %1").arg(QString::fromLatin1(qVersion())));
    label.show();
    QTimer::singleShot(0, &app, [&] {
        std::printf("%s on %s, visible %d, %dx%d\n", qPrintable(label.text()),
                    qPrintable(QGuiApplication::platformName()), int(label.isVisible()),
                    label.width(), label.height());
        std::fflush(stdout);
        app.exit(label.isVisible() && label.width() > 0 ? 0 : 3);
    });
    return app.exec();
}
EOF
cat >"$check_dir/src/labeltest.cpp" <<'EOF'
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

class LabelTest : public QObject
{
    Q_OBJECT
private slots:
    void textAndSize()
    {
        QLabel label;
        label.setText(QStringLiteral("Floor 12"));
        label.show();
        QVERIFY(QTest::qWaitForWindowExposed(&label));
        QCOMPARE(label.text(), QStringLiteral("Floor 12"));
        QVERIFY(label.sizeHint().width() > 0);
    }
    void keyClicks()
    {
        QLineEdit edit;
        QSignalSpy spy(&edit, &QLineEdit::textChanged);
        QTest::keyClicks(&edit, QStringLiteral("B2"));
        QCOMPARE(edit.text(), QStringLiteral("B2"));
        QCOMPARE(spy.count(), 2);
    }
};

QTEST_MAIN(LabelTest)
#include "labeltest.moc"
EOF
cmake -S "$check_dir/src" -B "$check_dir/build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  "-DCMAKE_TOOLCHAIN_FILE=$prefix/lib/cmake/Qt6/qt.toolchain.cmake" >"$check_dir/configure.log" 2>&1 || {
  cat "$check_dir/configure.log" >&2
  die "check: configuring the trial program failed"
}
cmake --build "$check_dir/build" -j "$jobs" >"$check_dir/build.log" 2>&1 || {
  tail -n 40 "$check_dir/build.log" >&2
  die "check: building the trial program failed"
}
for exe in hello labeltest; do
  dlls=$("$triple-objdump" -p "$check_dir/build/$exe.exe" | sed -n 's/^\tDLL Name: //p' | sort -u | tr '\n' ' ')
  say "check: $exe.exe ($(du -h "$check_dir/build/$exe.exe" | cut -f1)) imports: $dlls"
  for dll in $dlls; do
    case "${dll,,}" in
      lib*.dll | qt6*.dll) die "check: $exe.exe needs $dll, which is not part of Windows" ;;
    esac
  done
done
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
say "check: preparing the Wine prefix $WINEPREFIX"
"$wine_bin" wineboot -i >/dev/null 2>&1
wineserver -w
# Wine passes no QT_* variable to the program; Qt reads them from WINEQT_*.
export WINEQT_QPA_PLATFORM=offscreen WINEQT_FORCE_STDERR_LOGGING=1
say "check: running hello.exe under Wine (offscreen platform)"
"$wine_bin" "$check_dir/build/hello.exe" || die "check: hello.exe failed under Wine"
say "check: running labeltest.exe under Wine (offscreen platform)"
"$wine_bin" "$check_dir/build/labeltest.exe" || die "check: labeltest.exe failed under Wine"
say "check: passed; the Qt in $prefix builds static programs that run under Wine"
