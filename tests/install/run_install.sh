#!/bin/sh
# Installs the build into a fresh prefix and runs plumar and kaldro-fala from there on the headless
# host, with a clean environment: the programs must find their voice and configuration through
# their own place, never through the build tree. Then starts plumar through its desktop entry.
# Arguments: the build folder, the source folder, a scratch folder.
set -u
build=$1
source=$2
out=$3
prefix=$out/prefix
fail() { echo "FALHA: $*" >&2; exit 1; }

rm -rf "$out"
mkdir -p "$out/home" "$out/work" "$out/desktop-home"
cmake --install "$build" --prefix "$prefix" >"$out/install.log" 2>&1 || fail "cmake --install (veja $out/install.log)"

# What the install holds: the two programs, their data, and no test data or test doubles.
for file in bin/plumar bin/kaldro-fala etc/kaldro/KALDRO.INI share/kaldro/som/difones/regras.rgr \
            share/kaldro/som/difones/portug.exc share/kaldro/ormiatts/portug.nrl share/man/man1/plumar.1 \
            share/man/man1/kaldro-fala.1 share/applications/plumar.desktop share/doc/kaldro/manual.md \
            share/doc/kaldro/exemplos/recibo.txt; do
  [ -s "$prefix/$file" ] || fail "falta $file"
done
[ "$(ls "$prefix/bin")" = "$(printf 'kaldro-fala\nplumar')" ] || fail "bin/ tem mais que os dois programas: $(ls "$prefix/bin")"
strays=$(cd "$prefix" && find . -name '*mbrola*' -o -name '*.teclas' -o -name '*.stamp' -o -name 'test_*')
[ -z "$strays" ] || fail "instalado o que é só de teste: $strays"
grep -qx "DIRLETRAS=$prefix/share/kaldro/som/letras/" "$prefix/etc/kaldro/KALDRO.INI" || fail "DIRLETRAS não aponta para a instalação"
grep -qx "DIR=$prefix/share/kaldro/ormiatts/" "$prefix/etc/kaldro/KALDRO.INI" || fail "DIR de ORMIATTS não aponta para a instalação"
if grep -rqF -e "$build/share" -e "$build/etc" -e "$build/bin" "$prefix/etc" "$prefix/share"; then
  fail "um arquivo instalado aponta para a árvore de compilação"
fi

if command -v objdump >/dev/null; then
  for program in plumar kaldro-fala; do
    if objdump -p "$prefix/bin/$program" | grep -E 'R(UN)?PATH' | grep -qF "$build"; then
      fail "$program instalado procura bibliotecas na árvore de compilação"
    fi
  done
fi

clean_env() {
  env -i PATH=/usr/bin:/bin HOME="$out/home" LANG=C.UTF-8 KALDRO_HOST=headless KALDRO_AUDIO=none \
      KALDRO_NOW=2027-03-07T10:00:00 "$@"
}

# A whole letter from the installed tree: the receipt example.
(cd "$out/work" && clean_env KALDRO_KEYS="$source/examples/recibo.teclas" KALDRO_TRACE="$out/plumar.trace" \
    "$prefix/bin/plumar" "$source/examples/recibo.txt") >"$out/plumar.out" 2>&1 ||
  fail "plumar instalado terminou com $? ($(cat "$out/plumar.out"))"
cmp -s "$out/work/recibo-pronto.txt" "$source/tests/data/exemplos/recibo-pronto.txt" || fail "o recibo saiu diferente"
grep -q '^play - 11025 8 1 ' "$out/plumar.trace" || fail "plumar instalado não falou com a voz embutida"

# kaldro-fala writes a WAV from the installed voice: more than a second of sound for this sentence.
clean_env "$prefix/bin/kaldro-fala" -w "$out/work/fala.wav" "Bom dia, Maria. São quinze horas." >"$out/fala.out" 2>&1 ||
  fail "kaldro-fala instalado terminou com $? ($(cat "$out/fala.out"))"
size=$(wc -c <"$out/work/fala.wav")
[ "$size" -gt $((44 + 16000 * 2)) ] || fail "fala.wav tem só $size bytes"

# The Speech Dispatcher module, installed where the server looks for modules, with its configuration;
# started as the server starts it, it finds the installed built-in voice from its own place.
module=$prefix/lib/speech-dispatcher-modules/sd_kaldro
[ -x "$module" ] || fail "falta lib/speech-dispatcher-modules/sd_kaldro"
[ -s "$prefix/etc/speech-dispatcher/modules/kaldro.conf" ] || fail "falta etc/speech-dispatcher/modules/kaldro.conf"
printf 'INIT\nLIST VOICES\nQUIT\n' | (cd / && clean_env "$module" "$prefix/etc/speech-dispatcher/modules/kaldro.conf") \
    >"$out/module.out" 2>&1 || fail "sd_kaldro instalado terminou com $? ($(cat "$out/module.out"))"
grep -q '^299 OK LOADED SUCCESSFULLY' "$out/module.out" || fail "sd_kaldro instalado não iniciou: $(cat "$out/module.out")"
grep -q "^200-kaldro-embutida	pt-BR	" "$out/module.out" || fail "sd_kaldro instalado sem a voz embutida: $(cat "$out/module.out")"

for program in plumar kaldro-fala; do
  clean_env "$prefix/bin/$program" --version | grep -q "^$program (kaldro) " || fail "$program --version"
  clean_env "$prefix/bin/$program" --help | grep -q "^uso: $program" || fail "$program --help"
  if command -v man >/dev/null; then
    [ "$(man -M "$prefix/share/man" -w "$program")" = "$prefix/share/man/man1/$program.1" ] || fail "man $program"
  fi
done

# The desktop entry, started the way a menu starts it, from another folder and without a template:
# plumar runs in the user's folder, where the list (Down at the first question) offers the template.
if command -v gio >/dev/null; then
  printf 'Ol\303\241, {Nome}.\n' >"$out/desktop-home/modelo.txt"
  printf 'key Down\nkey Enter\ntype carta.txt\nkey Enter\ntype Ana\nkey Enter\n' >"$out/desktop.keys"
  (cd / && env -i PATH="$prefix/bin:/usr/bin:/bin" HOME="$out/desktop-home" LANG=C.UTF-8 KALDRO_HOST=headless \
      KALDRO_AUDIO=none KALDRO_KEYS="$out/desktop.keys" gio launch "$prefix/share/applications/plumar.desktop") \
      >"$out/desktop.out" 2>&1 || fail "gio launch ($(cat "$out/desktop.out"))"
  tries=0
  while [ ! -s "$out/desktop-home/carta.txt" ] && [ $tries -lt 100 ]; do sleep 0.2; tries=$((tries + 1)); done
  [ "$(cat "$out/desktop-home/carta.txt" 2>/dev/null)" = "$(printf 'Ol\303\241, Ana.')" ] ||
    fail "a entrada do menu não gravou a carta na pasta do usuário"
fi
echo "instalação em $prefix: ok"
