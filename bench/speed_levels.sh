#!/bin/sh
# Words per minute of the built-in voice at each speed level, beside eSpeak NG's default, measured
# from the length of the WAV files both write (pauses included: kaldro-fala's file keeps them).
#   bench/speed_levels.sh [BIN_DIR] [TEXT]
# The default text is a sentence of 21 words. Needs espeak-ng for the comparison.
set -eu
bin=${1:-$(dirname "$0")/../build/bin}
text=${2:-"O programa lê o modelo linha por linha, pergunta o valor de cada campo e grava o texto pronto num arquivo."}
words=$(printf '%s\n' "$text" | wc -w)
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# seconds FILE: the data length over the header's bytes per second.
seconds() {
  size=$(wc -c < "$1")
  rate=$(od -An -tu4 -j28 -N4 "$1" | tr -d ' ')
  awk -v size="$size" -v rate="$rate" 'BEGIN { printf "%.2f", (size - 44) / rate }'
}
wpm() { awk -v w="$words" -v s="$1" 'BEGIN { printf "%.0f", w * 60 / s }'; }

reference=""
if command -v espeak-ng > /dev/null 2>&1; then
  espeak-ng -v pt-br -w "$scratch/espeak.wav" "$text"
  reference=$(seconds "$scratch/espeak.wav")
fi

echo "$words palavras: $text"
printf '%-22s %8s %8s %12s\n' "voz" "segundos" "pal/min" "x eSpeak NG"
if [ -n "$reference" ]; then
  printf '%-22s %8s %8s %12s\n' "eSpeak NG (padrão)" "$reference" "$(wpm "$reference")" "1.00"
fi
for level in 1 2 3 4 5; do
  "$bin/kaldro-fala" -v $level -w "$scratch/nivel.wav" "$text"
  time=$(seconds "$scratch/nivel.wav")
  ratio=-
  [ -n "$reference" ] && ratio=$(awk -v r="$reference" -v t="$time" 'BEGIN { printf "%.2f", r / t }')
  printf '%-22s %8s %8s %12s\n' "kaldro nível $level" "$time" "$(wpm "$time")" "$ratio"
done
