#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a number of seconds each, seeded with the
# project's sample files. Fails when a target finds a crash, a leak or undefined behaviour.
set -euo pipefail
build=${1:-build/fuzz}
seconds=${2:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
for target in "$build"/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  find "$root/tests/fixtures" -type f -size -64k -exec cp -t "$corpus" {} + 2>/dev/null || true
  echo "== $name for ${seconds}s"
  "$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 "$corpus" 2>&1 | tail -n 12
  test "${PIPESTATUS[0]}" -eq 0
done
