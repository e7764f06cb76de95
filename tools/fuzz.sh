#!/bin/bash
# Runs the fuzz targets longer than CI does, and keeps count of the CPU time each has had.
#   tools/fuzz.sh [-s SECONDS] [-j JOBS] [TARGET...]     (default: 60 s each, 2 at a time, all targets)
#   tools/fuzz.sh --totals                               (only print the CPU time so far)
#   tools/fuzz.sh --no-build ...                         (run the fuzz programs as they are built)
# The corpus grows in build-san/fuzz/corpus/TARGET; anything found lands in
# build-san/fuzz/artifacts/TARGET (copy it to tests/crash_vectors/TARGET once mended). CPU seconds
# are added to build-san/fuzz/cpu-seconds.txt, one "TARGET SECONDS" line per run.
set -e
cd "$(dirname "$0")/.."
seconds=60
jobs=2
build=build-san
totals_only=0
build_first=1
targets=()
while [ $# -gt 0 ]; do
  case "$1" in
    -s) seconds=$2; shift 2 ;;
    -j) jobs=$2; shift 2 ;;
    --totals) totals_only=1; shift ;;
    --no-build) build_first=0; shift ;;
    -h|--help) sed -n '2,8p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) targets+=("$1"); shift ;;
  esac
done
ledger=$build/fuzz/cpu-seconds.txt

print_totals() {
  [ -f "$ledger" ] || { echo "nenhuma execução registrada em $ledger"; return; }
  awk '{ t[$1] += $2; n[$1]++ } END { for (k in t) printf "%-14s %8.1f s de CPU (%5.1f min) em %d execuções\n", k, t[k], t[k] / 60, n[k] }' \
    "$ledger" | sort
}
if [ "$totals_only" = 1 ]; then print_totals; exit 0; fi

if [ "$build_first" = 1 ] && { [ ! -d "$build/fuzz" ] || ! ls "$build"/fuzz/fuzz_* >/dev/null 2>&1; }; then
  tools/install-deps.sh --tests
  CC=clang CXX=clang++ cmake -S . -B "$build" -DKALDRO_TESTS=ON -DKALDRO_SANITIZE=ON -DKALDRO_FUZZ=ON \
    -DKALDRO_BENCH=OFF >/dev/null
fi
if [ ${#targets[@]} -eq 0 ]; then
  for folder in "$build"/fuzz/seeds/*; do
    target=$(basename "$folder")
    [ "$build_first" = 1 ] || [ -x "$build/fuzz/fuzz_$target" ] && targets+=("$target")
  done
fi
# Only the fuzz programs and the voice the whole-program targets speak with.
[ "$build_first" = 1 ] && cmake --build "$build" -j"$jobs" --target kaldro_voice "${targets[@]/#/fuzz_}" >/dev/null

export ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export LSAN_OPTIONS=suppressions=$PWD/tools/lsan.supp:print_suppressions=0

run_one() {
  local target=$1
  local corpus=$build/fuzz/corpus/$target artifacts=$build/fuzz/artifacts/$target log=$build/fuzz/logs/$target.log
  mkdir -p "$corpus" "$artifacts" "$(dirname "$log")"
  TIMEFORMAT='%U %S'
  local spent
  spent=$( { time nice -n 19 "$build/fuzz/fuzz_$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=65536 -artifact_prefix="$artifacts/" -print_final_stats=1 "$corpus" "$build/fuzz/seeds/$target" \
      >"$log" 2>&1 || echo "FAILED" >>"$log"; } 2>&1 )
  local cpu
  cpu=$(echo "$spent" | awk '{ printf "%.1f", $1 + $2 }')
  echo "$target $cpu" >>"$ledger"
  local runs
  runs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{ print $2 }')
  if grep -q FAILED "$log"; then
    echo "$target: FALHOU após ${cpu} s de CPU; veja $log e $artifacts"
  else
    echo "$target: ${cpu} s de CPU, ${runs:-?} entradas, sem falhas"
  fi
}

running=0
for target in "${targets[@]}"; do
  run_one "$target" &
  running=$((running + 1))
  if [ "$running" -ge "$jobs" ]; then wait -n || true; running=$((running - 1)); fi
done
wait
echo "Total por alvo:"
print_totals
if ls "$build"/fuzz/artifacts/*/* >/dev/null 2>&1; then
  echo "Entradas que falharam:"; ls "$build"/fuzz/artifacts/*/*
  exit 1
fi
