#!/usr/bin/env bash
# Runs every benchmark of the native build, one after the other.
set -euo pipefail
cd "$(dirname "$0")/.."
shopt -s nullglob
benches=(build/native/bench/*_bench)
if [ ${#benches[@]} -eq 0 ]; then
  echo "no benchmarks built: run make native first" >&2
  exit 1
fi
for bench in "${benches[@]}"; do
  [ -x "$bench" ] || continue
  echo "=== $(basename "$bench")"
  "$bench" --benchmark_min_time=0.5 "$@"
done
