#!/usr/bin/env bash
# Runs every benchmark of the build and prints its figures.
set -euo pipefail
build_dir=${1:-build}
shopt -s nullglob
for b in "$build_dir"/bin/bench_*; do
  echo "== $(basename "$b")"
  "$b" --benchmark_counters_tabular=true
done
