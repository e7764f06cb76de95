#!/bin/sh
# The pace of the built-in voice at each speed level beside eSpeak NG's default, pauses included,
# measured from the length of the WAV files both write (kaldro-fala's file keeps the pauses): a
# paragraph of a letter and a sentence with commas, or the text given. "x eSpeak NG" is eSpeak NG's
# duration over the level's: 1.00 is the same pace; level 3 aims at 0.9 to 1.1.
#   bench/speed_levels.sh [BIN_DIR] [TEXT]
# Needs espeak-ng for the comparison.
set -eu
bin=${1:-$(dirname "$0")/../build/bin}
letter="Prezada senhora Ana, informamos que a sua carta foi recebida em nosso escritório na semana passada. \
Pedimos, por gentileza, que confira os dados, assine a última folha e devolva o documento até o fim do mês. \
Em caso de dúvida, ligue para o nosso atendimento, de segunda a sexta-feira, das oito às dezoito horas."
sentence="O programa lê o modelo linha por linha, pergunta o valor de cada campo e grava o texto pronto num arquivo."
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# seconds FILE: the data length over the header's bytes per second.
seconds() {
  size=$(wc -c < "$1")
  rate=$(od -An -tu4 -j28 -N4 "$1" | tr -d ' ')
  awk -v size="$size" -v rate="$rate" 'BEGIN { printf "%.2f", (size - 44) / rate }'
}

# measure LABEL TEXT
measure() {
  words=$(printf '%s\n' "$2" | wc -w)
  wpm() { awk -v w="$words" -v s="$1" 'BEGIN { printf "%.0f", w * 60 / s }'; }
  reference=""
  if command -v espeak-ng > /dev/null 2>&1; then
    espeak-ng -v pt-br -w "$scratch/espeak.wav" "$2"
    reference=$(seconds "$scratch/espeak.wav")
  fi
  echo "$1, $words palavras"
  printf '  %-22s %8s %8s %12s\n' "voz" "segundos" "pal/min" "x eSpeak NG"
  if [ -n "$reference" ]; then
    printf '  %-22s %8s %8s %12s\n' "eSpeak NG (padrão)" "$reference" "$(wpm "$reference")" "1.00"
  fi
  for level in 1 2 3 4 5; do
    "$bin/kaldro-fala" -v $level -w "$scratch/nivel.wav" "$2"
    time=$(seconds "$scratch/nivel.wav")
    ratio=-
    [ -n "$reference" ] && ratio=$(awk -v r="$reference" -v t="$time" 'BEGIN { printf "%.2f", r / t }')
    printf '  %-22s %8s %8s %12s\n' "kaldro nível $level" "$time" "$(wpm "$time")" "$ratio"
  done
}

if [ $# -ge 2 ]; then
  measure "texto dado" "$2"
else
  measure "parágrafo de carta" "$letter"
  measure "frase com vírgulas" "$sentence"
fi
