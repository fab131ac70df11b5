#!/usr/bin/env bash
# Each libFuzzer target of the fuzz build for SECONDS (600 by default), from its corpus in
# tests/fuzz/corpus/ into build/fuzz/corpus-NAME (./run fuzz-long builds the targets first).
set -euo pipefail
seconds="${1:-600}"
for f in build/fuzz/bin/*_fuzz; do
  [ -x "$f" ] || continue
  name="$(basename "$f" _fuzz)"
  mkdir -p "build/fuzz/corpus-$name"
  printf '\n==> fuzz: %s for %ss\n' "$name" "$seconds"
  "$f" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 "build/fuzz/corpus-$name" \
    "tests/fuzz/corpus/$name"
done
