#!/usr/bin/env bash
# "make package": the Debian packages from the source package in debian/,
# built by dpkg-buildpackage (debhelper, CMake + Ninja, Debian's hardening
# flags, the tests unless DEB_BUILD_OPTIONS=nocheck).
#
# dpkg-buildpackage writes its results beside the source tree, so the tree
# it builds is a copy of the tracked files (as they are in the working tree)
# in BUILD_DIR/src: the packages land in BUILD_DIR and nothing is written
# outside the repository. Only the Build-Depends are needed; the missing ones
# are installed first (as root or through sudo), nothing else.
#
# Usage: scripts/package-build.sh [BUILD_DIR] [VERSION]
#   VERSION, when given, must be the newest entry of debian/changelog: the
#   packages carry that entry's version, date and text.
# Environment: JOBS (parallel jobs, default 2), WERROR=1 (warnings are
# errors), DEB_BUILD_OPTIONS (passed on, e.g. nocheck).
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
build_dir=${1:-build-deb}
version=${2:-}

newest=$(dpkg-parsechangelog -l debian/changelog -S Version)
if [ -n "$version" ] && [ "$version" != "$newest" ]; then
    echo "package-build: version $version has no entry in debian/changelog (its newest is $newest):" \
         "add one on top, with its date, before packaging it (dch -v $version)" >&2
    exit 1
fi

# The Build-Depends, installed when missing (what "apt-get build-dep" does
# for this source tree).
if ! dpkg-checkbuilddeps > /dev/null 2>&1; then
    if [ "$(id -u)" -eq 0 ]; then
        sudo_cmd=()
    elif command -v sudo > /dev/null 2>&1; then
        sudo_cmd=(sudo)
    else
        dpkg-checkbuilddeps || true
        echo "package-build: build dependencies are missing and neither root nor sudo is available" >&2
        exit 1
    fi
    echo "package-build: installing the missing build dependencies"
    build_dep=("${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive
               apt-get build-dep -y -qq --no-install-recommends "$repo")
    # The package lists are refreshed only when they do not serve.
    "${build_dep[@]}" || { "${sudo_cmd[@]}" apt-get update -qq && "${build_dep[@]}"; }
    dpkg-checkbuilddeps
fi

mkdir -p "$build_dir"
build_dir=$(readlink -f "$build_dir")
case "$build_dir/" in
    "$repo"/*) ;;
    *) echo "package-build: $build_dir is outside the repository" >&2; exit 1 ;;
esac
src=$build_dir/src
rm -rf "$src"
rm -f "$build_dir"/dpu510tk3*_*.deb "$build_dir"/dpu510tk3*_*.ddeb \
      "$build_dir"/dpu510tk3_*.buildinfo "$build_dir"/dpu510tk3_*.changes
mkdir -p "$src"
# The tracked files as the working tree has them (a file deleted there is
# left out); the copy keeps their modes and times.
git ls-files -z | while IFS= read -r -d '' f; do
    if [ -e "$f" ] || [ -L "$f" ]; then printf '%s\0' "$f"; fi
done | tar --null -T - -cf - | tar -xf - -C "$src"

# debhelper points HOME at a folder of its own: the compiler cache is named
# here, so the package builds share the everyday build's cache.
if command -v ccache > /dev/null 2>&1; then
    CCACHE_DIR=${CCACHE_DIR:-$(ccache -k cache_dir)}
    export CCACHE_DIR
fi
export DPU_WERROR=${WERROR:-0}
export DEB_BUILD_OPTIONS="${DEB_BUILD_OPTIONS:+$DEB_BUILD_OPTIONS }parallel=${JOBS:-2}"
(cd "$src" && dpkg-buildpackage -us -uc -b)
ls "$build_dir"/dpu510tk3*_*.deb
