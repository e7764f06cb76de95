#!/bin/sh
# Peak memory and time of the Portuguese engine on huge texts: 1 MB of digits, 1.5 MB of numbers and
# 10 MB of letters without a blank, each one line of standard input.
#   bench/texto_enorme.sh [BIN_DIR] [SECONDS]
# For each text: the front end alone over the whole text (kaldro-fala --engine ormia --pho), then
# the spoken path into a WAV file through the real MBROLA for SECONDS (10 by default), with the time
# its first sample took; a short sentence's first sample is the reference. Needs GNU time
# (/usr/bin/time); the spoken path needs mbrola and its br4 voice, and is left out without them.
set -eu
bin=${1:-$(dirname "$0")/../build/bin}
seconds=${2:-10}
fala="$bin/kaldro-fala"
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

yes 0123456789 | tr -d '\n' | head -c 1000000 > "$scratch/digitos-1mb.txt"
seq 1000000 1190000 | tr '\n' ' ' | head -c 1500000 > "$scratch/numeros-1,5mb.txt"
yes abcdefghijklmnopqrstuvwxyz | tr -d '\n' | head -c 10000000 > "$scratch/sem-brancos-10mb.txt"
echo "Bom dia." > "$scratch/curto.txt"
for text in "$scratch"/*.txt; do echo >> "$text"; done

# measure COMMAND...: "seconds peak-KB" of a whole run (its children included).
measure() {
  /usr/bin/time -f "%e %M" -o "$scratch/time" "$@" > /dev/null 2>&1 || true
  cat "$scratch/time" | tail -1
}

# firstSample WAV: seconds until the file holds a sample past its header (empty if none came).
firstSample() {
  start=$(date +%s.%N)
  for _ in $(seq 1 2000); do
    if [ -f "$1" ] && [ "$(wc -c < "$1")" -gt 44 ]; then
      awk -v s="$start" -v e="$(date +%s.%N)" 'BEGIN { printf "%.3f", e - s }'
      return
    fi
    sleep 0.005
  done
}

spoken=yes
if ! command -v mbrola > /dev/null 2>&1 || [ ! -e /usr/share/mbrola/br4 ]; then
  spoken=no
  echo "(sem mbrola e a voz br4: só a primeira parte)"
fi

printf '%-22s %22s %33s\n' "" "--pho, texto inteiro" "-w por $seconds s, MBROLA real"
printf '%-22s %10s %11s %10s %11s %10s\n' "texto" "segundos" "pico (MB)" "1a amostra" "pico (MB)" "s de som"
for name in curto digitos-1mb numeros-1,5mb sem-brancos-10mb; do
  text="$scratch/$name.txt"
  set -- $(measure "$fala" --engine ormia --pho < "$text")
  phoSeconds=$1
  phoPeak=$(awk -v k="$2" 'BEGIN { printf "%.1f", k / 1024 }')
  first="-" spokenPeak="-" sound="-"
  if [ "$spoken" = yes ]; then
    wav="$scratch/$name.wav"
    rm -f "$wav"
    ( /usr/bin/time -f "%e %M" -o "$scratch/spoken" timeout -k 5 -s TERM "$seconds" "$fala" --engine ormia -w "$wav" < "$text" > /dev/null 2>&1 || true ) &
    first=$(firstSample "$wav")
    wait
    spokenPeak=$(tail -1 "$scratch/spoken" | awk '{ printf "%.1f", $2 / 1024 }')
    sound=$(awk -v b="$(wc -c < "$wav" 2>/dev/null || echo 44)" 'BEGIN { printf "%.0f", (b - 44) / 32000 }')
  fi
  printf '%-22s %10s %11s %10s %11s %10s\n' "$name" "$phoSeconds" "$phoPeak" "${first:-nenhuma}" "$spokenPeak" "$sound"
done
