#!/usr/bin/env bash
# "make package": the Debian package, built in a folder of its own with the
# compiler and linker flags Debian builds its packages with (dpkg-buildflags,
# every hardening feature: stack protector, fortified functions, full RELRO
# with immediate binding), so the everyday build folder keeps its own flags
# and its compiler cache. Tests and benchmarks are left out of this build.
# Usage: scripts/package-build.sh [BUILD_DIR] [VERSION]
set -euo pipefail
cd "$(dirname "$0")/.."
build_dir=${1:-build-deb}
version=${2:-}

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
# CMake takes no CPPFLAGS: the preprocessor flags (_FORTIFY_SOURCE) go with
# the compiler's.
cppflags=$(dpkg-buildflags --get CPPFLAGS)
cflags="$(dpkg-buildflags --get CFLAGS) $cppflags"
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $cppflags"
ldflags=$(dpkg-buildflags --get LDFLAGS)

# The flags are given on every run, so a changed dpkg-buildflags reaches an
# existing build folder; no VERSION goes back to the sources' own.
# WERROR=1 (CI) holds this build to zero warnings too.
werror=OFF
[ "${WERROR:-0}" != 1 ] || werror=ON
args=(-G Ninja -DCMAKE_BUILD_TYPE=None -DDPU_TESTS=OFF -DDPU_BENCH=OFF -DDPU_WERROR=$werror
      "-DCMAKE_C_FLAGS=$cflags" "-DCMAKE_CXX_FLAGS=$cxxflags"
      "-DCMAKE_EXE_LINKER_FLAGS=$ldflags" "-DCMAKE_SHARED_LINKER_FLAGS=$ldflags")
# The Maintainer field: DPU_PACKAGE_MAINTAINER from the environment, else
# (empty) the newest changelog entry's signer; given on every run, so an
# earlier build folder's value does not stay.
args+=("-DDPU_PACKAGE_MAINTAINER=${DPU_PACKAGE_MAINTAINER:-}")
if [ -n "$version" ]; then
    args+=("-DDPU_VERSION=$version")
else
    args+=(-UDPU_VERSION)
fi
cmake -S . -B "$build_dir" "${args[@]}" > /dev/null
# The package carries the changelog's newest entry (its date and text): a
# version without an entry of its own is refused before anything is built.
built=$(sed -n 's/^DPU_VERSION:[A-Z]*=//p' "$build_dir/CMakeCache.txt")
newest=$(dpkg-parsechangelog -l packaging/changelog -S Version)
if [ "$built" != "$newest" ]; then
    echo "package-build: version $built has no entry in packaging/changelog (its newest is $newest):" \
         "add one on top, with its date, before packaging it (dch -c packaging/changelog -v $built)" >&2
    exit 1
fi
rm -f "$build_dir"/dpu510tk3_*.deb
cmake --build "$build_dir" -j "${JOBS:-2}" --target package
ls "$build_dir"/dpu510tk3_*.deb
