#!/bin/sh
# Builds the Debian package with cpack and reads it back: its name, the packages it depends on (those
# the programs link and those they open at run time), its configuration file, and its contents.
# Arguments: the build folder, a scratch folder. Skipped (77) where cpack or dpkg-deb is missing.
set -u
build=$1
out=$2
fail() { echo "FALHA: $*" >&2; exit 1; }
command -v cpack >/dev/null && command -v dpkg-deb >/dev/null || exit 77

rm -rf "$out"
mkdir -p "$out"
(cd "$build" && cpack -G DEB -B "$out") >"$out/cpack.log" 2>&1 || fail "cpack (veja $out/cpack.log)"
deb=$(ls "$out"/kaldro_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "nenhum kaldro_*.deb em $out"

[ "$(dpkg-deb -f "$deb" Package)" = kaldro ] || fail "o pacote não se chama kaldro"
depends=$(dpkg-deb -f "$deb" Depends)
for package in libc6 libstdc++6 libsdl2-2.0-0 libsdl2-ttf-2.0-0 libfontconfig1 fonts-dejavu-core libespeak-ng1 \
               espeak-ng-data libspeechd2; do
  echo "$depends" | tr ',' '\n' | sed 's/^ *//; s/ .*//' | grep -qx "$package" || fail "Depends sem $package: $depends"
done
for conffile in /etc/kaldro/KALDRO.INI /etc/speech-dispatcher/modules/kaldro.conf; do
  dpkg-deb -I "$deb" conffiles | grep -qx "$conffile" || fail "$conffile não é um arquivo de configuração do pacote"
done

dpkg-deb -c "$deb" | awk '{print $NF}' >"$out/contents.txt"
for file in ./usr/bin/plumar ./usr/bin/kaldro-fala ./etc/kaldro/KALDRO.INI ./usr/share/man/man1/plumar.1 \
            ./usr/share/man/man1/kaldro-fala.1 ./usr/share/applications/plumar.desktop \
            ./usr/share/kaldro/som/difones/DIFONES2.IND ./usr/share/kaldro/som/difones/regras.rgr \
            ./usr/share/kaldro/som/letras/_65.wav ./usr/share/kaldro/ormiatts/portug.nrl \
            ./usr/share/doc/kaldro/manual.md ./usr/share/doc/kaldro/exemplos/declaracao.txt \
            ./usr/share/doc/kaldro/copyright ./usr/lib/speech-dispatcher-modules/sd_kaldro \
            ./etc/speech-dispatcher/modules/kaldro.conf; do
  grep -qx "$file" "$out/contents.txt" || fail "o pacote não tem $file"
done
[ "$(grep -c '^\./usr/bin/.' "$out/contents.txt")" = 2 ] || fail "o pacote tem outros programas: $(grep '^\./usr/bin/.' "$out/contents.txt")"
if grep -e mbrola -e '\.teclas$' -e '\.stamp$' -e '/test_' -e '^\./usr/local' "$out/contents.txt"; then
  fail "o pacote tem arquivos de teste ou fora de /usr"
fi

dpkg-deb -x "$deb" "$out/root"
grep -qx "DIRLETRAS=/usr/share/kaldro/som/letras/" "$out/root/etc/kaldro/KALDRO.INI" || fail "KALDRO.INI do pacote não aponta para /usr/share/kaldro"
# The copyright file in Debian's machine-readable form: its format line first, every Files stanza
# with its Copyright and a License whose text is given in a stanza of its own.
copyright="$out/root/usr/share/doc/kaldro/copyright"
head -n 1 "$copyright" | grep -qx 'Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/' ||
  fail "copyright sem a linha Format do DEP-5"
awk '
  /^$/ { infiles = 0 }
  /^Files:/ { files++; infiles = 1 }
  /^Copyright:/ && infiles { copyright++ }
  /^ / && pending != "" { given[pending] = 1 }
  { pending = "" }
  /^License:/ { if (infiles) used[$2] = 1; else pending = $2 }
  END {
    if (!files || copyright != files) exit 1
    for (name in used) if (!(name in given)) exit 1
    if (!("GPL-3+" in used)) exit 1
  }' "$copyright" || fail "copyright sem Files, Copyright ou o texto da licença GPL-3+"
grep -q '/usr/share/common-licenses/GPL-3' "$copyright" || fail "copyright não aponta o texto da GPL-3"
echo "pacote $deb: ok"
