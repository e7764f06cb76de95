#!/bin/sh
# A short fuzz run for CI: PROGRAM SEEDS CRASH_VECTORS. The crash vectors run first, then 20 s of
# new inputs grown from the seeds in a scratch corpus.
set -e
program=$1 seeds=$2 vectors=$3
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
if [ -d "$vectors" ] && [ -n "$(ls -A "$vectors" 2>/dev/null)" ]; then
  "$program" "$vectors"/* >"$scratch/vectors.log" 2>&1 || { cat "$scratch/vectors.log"; exit 1; }
fi
"$program" -max_total_time=${KALDRO_FUZZ_SECONDS:-20} -timeout=10 -rss_limit_mb=2048 -max_len=65536 \
  -artifact_prefix="$scratch/" -print_final_stats=1 "$scratch" "$seeds" >"$scratch/run.log" 2>&1 || {
  tail -60 "$scratch/run.log"
  for artifact in "$scratch"/crash-* "$scratch"/leak-* "$scratch"/timeout-* "$scratch"/oom-*; do
    [ -f "$artifact" ] && echo "found: $artifact" && od -c "$artifact" | head -20
  done
  exit 1
}
grep -E '^stat::number_of_executed_units|^Done' "$scratch/run.log" || true
