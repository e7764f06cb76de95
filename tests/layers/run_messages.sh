#!/bin/sh
# kaldro-camadas fails a file of src/ that holds a message outside the words table, and lets data
# through: each case is a line of C++ planted in a scratch tree, with what the check must answer.
#   run_messages.sh KALDRO_CAMADAS SCRATCH_FOLDER
set -u
tool=$1
scratch=$2
failures=0
cases=0

# check EXPECTED FILE LINE: EXPECTED is "mensagem" (the check fails naming FILE) or "dado" (it passes).
check() {
  cases=$((cases + 1))
  rm -rf "$scratch" && mkdir -p "$scratch/src/platform" "$scratch/src/tts"
  printf 'folder src/\n' > "$scratch/regras.txt"
  printf '// A planted file.\n%s\n' "$3" > "$scratch/$2"
  "$tool" "$scratch/regras.txt" "$scratch" > "$scratch/saida.txt" 2>&1
  status=$?
  if [ "$1" = mensagem ]; then
    [ $status -eq 1 ] && grep -q "^$2:2: uma mensagem fora de src/platform/words.h" "$scratch/saida.txt" && return
  else
    [ $status -eq 0 ] && return
  fi
  echo "esperado $1, status $status: $2: $3"
  cat "$scratch/saida.txt"
  failures=$((failures + 1))
}

check mensagem src/x.cpp 'const char* a = "o arquivo de saída {} não pode ser criado";'
check mensagem src/x.cpp 'const char* a = "Texto gerado";'
check mensagem src/x.cpp 'const char* a = "erro de leitura";'
check mensagem src/x.cpp 'const char* a = "key script exhausted\n";'
check mensagem src/x.cpp 'const char* a = "n\xE3o come\xE7ou";'
check mensagem src/x.cpp 'const char* a = "nenhum arquivo de saí" "da foi dado";'
check mensagem src/x.cpp 'const char* a = R"(não começou)";'
check mensagem src/x.cpp 'char q = '"'"'"'"'"'; int n = 1'"'"'000; const char* a = "falta o valor de %s";'
check mensagem src/x.cpp 'const char* a = "kaldro-fala: motor desconhecido: %s";'
check mensagem src/x.h 'std::string a = std::string("sem ") + "permissão de leitura";'
check dado src/x.cpp 'const char* a[] = {"março", "[DURAÇÃO]", "ÀÁÂÃÇÉ", "Lucida Console", "200 OK SPEAKING\n"};'
check dado src/x.cpp 'const char* a[] = {"/usr/share/mbrola/%s", "libspeechd.so.2", "kaldro-fala: %s\n", "pt br", "um mil"};'
check dado src/x.cpp '// não foi possível ler /* erro de leitura */ "Texto gerado"'
check dado src/x.cpp '/* "erro de leitura" */ char q = '"'"'"'"'"'; // "Texto gerado"'
check dado src/x.cpp '#include "erro de leitura.h"'
check dado src/platform/words.h 'inline constexpr Cp1252Words A = "o arquivo de saída não pode ser criado";'
check dado src/tts/natural_reading.cpp 'const char* a = "três quartos";'

[ $failures -eq 0 ] && echo "kaldro-camadas: $cases casos certos"
exit $failures
