#!/bin/sh
# Installs what is missing, builds, and runs the letter generator on the example template.
set -e
cd "$(dirname "$0")"
tools/install-deps.sh
tools/build.sh -DKALDRO_TESTS=OFF
rm -f build/carta-gerada.txt
if [ -n "$KALDRO_HOST" ] || [ -n "$DISPLAY$WAYLAND_DISPLAY" ] ||
   { [ -t 0 ] && [ -t 1 ] && [ -n "$TERM" ] && [ "$TERM" != dumb ]; }; then
  # A person is there: the window, or the terminal. Type build/carta-gerada.txt as the output name.
  build/bin/plumar examples/carta-modelo.txt || true
else
  # Nobody at the keyboard: the headless host answers from the example key script.
  KALDRO_HOST=headless KALDRO_KEYS=examples/carta-modelo.teclas KALDRO_SCREEN=build/tela.txt \
    build/bin/plumar examples/carta-modelo.txt || true
  head -n 25 build/tela.txt
fi
if [ -f build/carta-gerada.txt ]; then
  echo "----- build/carta-gerada.txt -----"
  cat build/carta-gerada.txt
fi
