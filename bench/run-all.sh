#!/usr/bin/env bash
# Every benchmark of the release build (./run bench builds it first).
set -euo pipefail
found=0
for b in build/release/bin/*_bench; do
  [ -x "$b" ] || continue
  found=1
  printf '\n==> bench: %s\n' "$(basename "$b")"
  "$b" --benchmark_counters_tabular=true
done
[ "$found" -eq 1 ] || echo "no benchmarks built"
