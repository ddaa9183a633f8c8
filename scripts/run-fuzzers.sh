#!/usr/bin/env bash
# Runs every fuzz target of a fuzz build for a number of seconds each, seeded with the
# project's sample files, as many at once as there are processors. Fails when a target finds a
# crash, a leak or undefined behaviour.
set -euo pipefail
build=${1:-build/fuzz}
seconds=${2:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT

run_one() {
  local target=$1 name corpus
  name=$(basename "$target")
  corpus="$build/corpus/$name"
  mkdir -p "$corpus"
  find "$root/tests/fixtures" -type f -size -64k -exec cp -t "$corpus" {} + 2>/dev/null || true
  "$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=2048 \
    -print_final_stats=1 "$corpus" >"$logs/$name.log" 2>&1
}

pids=() names=()
for target in "$build"/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  while [ "$(jobs -rp | wc -l)" -ge "$(nproc)" ]; do wait -n || true; done
  run_one "$target" &
  pids+=($!) names+=("$(basename "$target")")
done

failed=0
for i in "${!pids[@]}"; do
  status=0
  wait "${pids[$i]}" || status=$?
  echo "== ${names[$i]} for ${seconds}s: $([ "$status" -eq 0 ] && echo passed || echo "FAILED ($status)")"
  if [ "$status" -eq 0 ]; then tail -n 12 "$logs/${names[$i]}.log"; else tail -n 60 "$logs/${names[$i]}.log"; failed=1; fi
done
exit "$failed"
