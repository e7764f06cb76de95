#!/bin/bash
# The Portuguese engine's pace beside eSpeak NG driving the same MBROLA voice, whole process, into a
# WAV file: the page bench/pagina.txt and one short sentence, with the ratio of each in one run
# (the aim is at most 1.2), then each utterance's time to its first sample (bench_mbrola_utterances).
#   bench/engine_pace.sh [BIN_DIR] [RUNS]
# Uses hyperfine when installed, else times the runs itself (median). Needs mbrola, mbrola-br4 and
# espeak-ng.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
bin=${1:-$here/../build/bin}
runs=${2:-20}
page=$here/pagina.txt
sentence="Bom dia, a sua carta já está pronta."
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

for tool in espeak-ng mbrola; do
  command -v "$tool" > /dev/null 2>&1 || { echo "$tool não está instalado: nada a medir"; exit 0; }
done
[ -f /usr/share/mbrola/br4/br4 ] || { echo "a voz br4 do MBROLA não está instalada: nada a medir"; exit 0; }

# median_ms COMMAND...: the median wall time of the runs, in milliseconds.
median_ms() {
  if command -v hyperfine > /dev/null 2>&1; then
    # One command line, each argument quoted (the page is one argument, not one per word).
    hyperfine --shell=bash -w 3 -r "$runs" --export-json "$scratch/h.json" "$(printf '%q ' "$@")" > /dev/null 2>&1
    python3 -c 'import json,sys; print("%.1f" % (json.load(open(sys.argv[1]))["results"][0]["median"] * 1000))' \
      "$scratch/h.json"
  else
    i=0
    while [ "$i" -lt "$runs" ]; do
      start=$(date +%s%N)
      "$@" > /dev/null 2>&1
      end=$(date +%s%N)
      echo $(((end - start) / 1000))
      i=$((i + 1))
    done | sort -n | awk '{ v[NR] = $1 } END { printf "%.1f\n", v[int((NR + 1) / 2)] / 1000 }'
  fi
}

# compare LABEL TEXT_ARGUMENT ESPEAK_ARGUMENTS...
compare() {
  label=$1
  text=$2
  shift 2
  engine=$(median_ms "$bin/kaldro-fala" --engine ormia -w "$scratch/o.wav" "$text")
  espeak=$(median_ms espeak-ng -v mb-br4 -w "$scratch/e.wav" "$@")
  awk -v l="$label" -v o="$engine" -v e="$espeak" \
    'BEGIN { printf "%-16s kaldro-fala --engine ormia %7.1f ms   espeak-ng -v mb-br4 %7.1f ms   razão %.2f\n", l, o, e, o / e }'
}

echo "processo inteiro, gravando WAV (mediana de $runs execuções):"
compare "página" "$(cat "$page")" -f "$page"
compare "frase curta" "$sentence" "$sentence"
if [ -x "$bin/bench_mbrola_utterances" ]; then
  echo
  "$bin/bench_mbrola_utterances" "$page" 2> /dev/null
fi
