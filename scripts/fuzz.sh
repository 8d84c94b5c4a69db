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
# Each target runs for its bounded time on one core: two at a time (JOBS)
# halves the stage's wall time. Each target's lines are printed together
# when it ends.
jobs=${JOBS:-2}
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
run_target() {
  local target=$1 name work limits exe
  name=$(basename "$target")
  exe=$(realpath "$target")
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
  local status=0
  {
    echo "fuzz: $name for ${seconds}s ${limits[*]}"
    (cd "$work" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=halt_on_error=1 QT_QPA_PLATFORM=offscreen \
      "$exe" -max_total_time="$seconds" -max_len=200000 "${limits[@]}" \
      -print_final_stats=1 . 2>&1 | tail -n 12) || status=1
  } > "$logs/$name.log"
  rm -rf "$work"
  [ $status -eq 0 ] || echo "fuzz: $name FAILED" >> "$logs/$name.log"
  cat "$logs/$name.log"
  return $status
}
failed=0
running=()
for target in "${targets[@]}"; do
  [ -f "$target" ] && [ -x "$target" ] || continue
  if [ ${#running[@]} -ge "$jobs" ]; then
    wait "${running[0]}" || failed=1
    running=("${running[@]:1}")
  fi
  run_target "$target" &
  running+=($!)
done
for pid in "${running[@]}"; do
  wait "$pid" || failed=1
done
if [ $failed -ne 0 ]; then
  echo "fuzz: a target FAILED (its lines are above)" >&2
  exit 1
fi
echo "fuzz: all targets ran clean"
