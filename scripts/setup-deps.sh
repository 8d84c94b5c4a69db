#!/usr/bin/env bash
# Installs every Debian package that the build, the tests, the benchmarks and the
# asset tools need. Safe to run again: it only asks apt for what is missing, and
# runs "apt-get update" at most once per call.
set -euo pipefail

packages=(
  build-essential cmake ninja-build ccache pkg-config lld
  qt6-base-dev qt6-base-dev-tools libgl-dev zlib1g-dev
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  clang libclang-rt-14-dev
  libinih-dev libsimpleini-dev libcli11-dev
  lrzsz valgrind python3 clang-format
  g++-mingw-w64-x86-64 libz-mingw-w64-dev wine64 perl
  xvfb xauth
  fonts-dejavu-core fonts-dejavu-extra fonts-noto-cjk
  dpkg-dev fakeroot lintian desktop-file-utils appstream librsvg2-bin gzip
  bash-completion shared-mime-info libglib2.0-bin
  zip unzip x11-utils fonts-wine
  binutils-mingw-w64-x86-64
  openbox
  nsis
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -eq 0 ]; then
  sudo_cmd=()
elif command -v sudo >/dev/null 2>&1; then
  sudo_cmd=(sudo)
else
  echo "setup-deps: these packages are missing and neither root nor sudo is available: ${missing[*]}" >&2
  exit 1
fi

echo "setup-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq
"${sudo_cmd[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
