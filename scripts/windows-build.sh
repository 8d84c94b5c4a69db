#!/usr/bin/env bash
# Cross-builds the whole program for 64-bit Windows: the editor
# (dpu510tk3-editor.exe, a windowed program) and the tool (dpu510tk3.exe, a
# console program), statically linked against the MinGW Qt that
# scripts/build-qt-mingw.sh makes (or finds current) in the cache, with the
# stock bitmaps (DefaultImage2) beside them. Then checks that each .exe
# imports nothing but Windows' own DLLs.
#
#   scripts/windows-build.sh [BUILD_DIR]      (make windows; default build-winapp)
#
# The programs land in BUILD_DIR/bin. Environment:
#   JOBS                   parallel build jobs (default 2)
#   DPU_QT_MINGW_PREFIX    where the MinGW Qt lives (as for build-qt-mingw.sh)
#   DPU_WINDOWS_TESTS=ON   also configure and build the test programs (.exe),
#                          as scripts/windows-test.sh does
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir="${1:-build-winapp}"
jobs="${JOBS:-2}"
tests="${DPU_WINDOWS_TESTS:-OFF}"
triple=x86_64-w64-mingw32

say() { echo "windows-build: $*"; }
die() {
  echo "windows-build: error: $*" >&2
  exit 1
}

# Reuses the cached Qt at once when its configuration holds; builds it on a
# fresh machine (a quarter of an hour on two idle cores).
JOBS=$jobs scripts/build-qt-mingw.sh

host_qt_version=$(dpkg-query -W -f='${Version}' qt6-base-dev)
qt_upstream=${host_qt_version%%+*}
qt_upstream=${qt_upstream%%-*}
qt_prefix="${DPU_QT_MINGW_PREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/dpu510tk3/qt6-mingw-$qt_upstream}"
toolchain="$qt_prefix/lib/cmake/Qt6/qt.toolchain.cmake"
[ -f "$toolchain" ] || die "$toolchain is missing"

configure=(-DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release
  -DDPU_BENCH=OFF -DDPU_TESTS="$tests" -DDPU_WERROR="${DPU_WERROR:-OFF}")
if [ ! -f "$build_dir/build.ninja" ]; then
  cmake -S . -B "$build_dir" -G Ninja "${configure[@]}"
elif ! grep -q "^DPU_TESTS:BOOL=$tests\$" "$build_dir/CMakeCache.txt" ||
  ! grep -q "^DPU_WERROR:BOOL=${DPU_WERROR:-OFF}\$" "$build_dir/CMakeCache.txt"; then
  cmake "$build_dir" "${configure[@]}"
fi

targets=(dpu510tk3-editor dpu510tk3 dpu_stock_images)
if [ "$tests" = ON ]; then
  targets=(all)
fi
cmake --build "$build_dir" -j "$jobs" --target "${targets[@]}"

# Windows' own DLLs: what the system and its API sets provide. Anything else
# (libgcc_s_seh-1.dll, libstdc++-6.dll, libwinpthread-1.dll, Qt6*.dll) would
# have to be shipped beside the program.
windows_dll() {
  case "${1,,}" in
    api-ms-win-*.dll | advapi32.dll | authz.dll | bcrypt.dll | comctl32.dll | comdlg32.dll | \
      crypt32.dll | d3d9.dll | d3d11.dll | d3d12.dll | dwmapi.dll | dxgi.dll | gdi32.dll | \
      imm32.dll | kernel32.dll | mpr.dll | msvcrt.dll | netapi32.dll | ntdll.dll | ole32.dll | \
      oleaut32.dll | rpcrt4.dll | setupapi.dll | shcore.dll | shell32.dll | shlwapi.dll | user32.dll | \
      userenv.dll | uxtheme.dll | version.dll | winmm.dll | winspool.drv | ws2_32.dll | wtsapi32.dll)
      return 0
      ;;
  esac
  return 1
}

bin="$build_dir/bin"
for exe in dpu510tk3-editor dpu510tk3; do
  file="$bin/$exe.exe"
  [ -f "$file" ] || die "$file was not built"
  dlls=$("$triple-objdump" -p "$file" | sed -n 's/^\tDLL Name: //p' | sort -u)
  for dll in $dlls; do
    windows_dll "$dll" || die "$exe.exe imports $dll, which is not part of Windows"
  done
  say "$exe.exe ($(du -h "$file" | cut -f1)) imports only Windows DLLs: $(echo $dlls)"
done
# The editor opens no console; the tool is a console program.
subsystem() { "$triple-objdump" -p "$1" | sed -n 's/^Subsystem[[:space:]]*//p'; }
subsystem "$bin/dpu510tk3-editor.exe" | grep -q 'Windows GUI' ||
  die "dpu510tk3-editor.exe is not a windowed program"
subsystem "$bin/dpu510tk3.exe" | grep -q 'Windows CUI' ||
  die "dpu510tk3.exe is not a console program"
[ -d "$bin/DefaultImage2" ] || die "$bin/DefaultImage2 is missing"
say "programs in $bin (with DefaultImage2 beside them)"
