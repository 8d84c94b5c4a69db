#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for a bounded time.
# A crash, a leak or a sanitizer report fails the run.
set -euo pipefail
build_dir=${1:-build-fuzz}
seconds=${2:-45}
cd "$(dirname "$0")/.."

if [ ! -f "$build_dir/build.ninja" ]; then
  CC=clang CXX=clang++ cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DDPU_FUZZ=ON -DDPU_TESTS=OFF -DDPU_BENCH=OFF
fi
cmake --build "$build_dir" -j 2

shopt -s nullglob
targets=("$build_dir"/fuzz/fuzz_*)
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz: no fuzz targets built" >&2
  exit 1
fi
for target in "${targets[@]}"; do
  [ -f "$target" ] && [ -x "$target" ] || continue
  name=$(basename "$target")
  work=$(mktemp -d)
  if [ -d "fuzz/corpus/${name#fuzz_}" ]; then
    cp -r "fuzz/corpus/${name#fuzz_}/." "$work/"
  fi
  # The ROM image reader draws its pictures within a 256 MB budget: one
  # allocation above it, or a process grown past it with the sanitizers'
  # own share, is a failure.
  limits=(-rss_limit_mb=4096)
  if [ "$name" = fuzz_romreader ]; then
    limits=(-rss_limit_mb=1024 -malloc_limit_mb=256)
  fi
  echo "fuzz: $name for ${seconds}s ${limits[*]}"
  (cd "$work" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1 QT_QPA_PLATFORM=offscreen \
    "$OLDPWD/$target" -max_total_time="$seconds" -max_len=200000 "${limits[@]}" \
    -print_final_stats=1 . 2>&1 | tail -n 12) || { echo "fuzz: $name FAILED" >&2; rm -rf "$work"; exit 1; }
  rm -rf "$work"
done
echo "fuzz: all targets ran clean"
