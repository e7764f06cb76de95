#!/bin/sh
# The letter generator in a real terminal: plumar on the terminal host inside a private tmux
# server, the example template answered with send-keys. Checks the letter byte for byte, the
# prompts on the pane, the terminal's cursor at the end of the typed answer (screen readers follow
# it), and the terminal back in line mode and on its normal screen afterwards, with the last status
# line left on it. Then, in terminals of 24 and 20 rows (xterm's and tmux's default, and less), a
# template longer than the screen: every prompt and typed answer is seen with the terminal's cursor
# on it, the warning is said once, and a paste longer than the key queue reaches its field whole.
#
# usage: run_tmux.sh BIN_DIR SOURCE_DIR OUT_DIR
# Exit status 0: passed; 1: failed; 77: skipped (tmux is not installed).
set -eu
if ! command -v tmux > /dev/null 2>&1; then
  echo "tmux is not installed: skipped"
  exit 77
fi
bin=$1 source=$2 out=$3
here=$source/tests/hosts
. "$here/steps.sh"
prepare_run "$out"

# One tmux server a run: a server keeps the environment it was started with.
socket=kaldro-test-$$
tm() { tmux -L "$socket" -f /dev/null "$@"; }
trap 'for size in "" 24 20; do tmux -L "kaldro-test-$$$size" kill-server 2> /dev/null || true; done' EXIT

type_text() { tm send-keys -t run -l "$1"; }
press_key() { tm send-keys -t run "$1"; }
program_ended() { [ -s "$out/status" ]; }
# Waits until the pane shows the text; the pane and the terminal's cursor are kept then.
capture_host() {
  tries=0
  until tm capture-pane -t run -p > "$out/pane.txt" && grep -qF -- "$1" "$out/pane.txt"; do
    if [ $tries -ge 300 ]; then
      echo "the pane never showed \"$1\"" >&2
      return 1
    fi
    sleep 0.1
    tries=$((tries + 1))
  done
  tm display-message -t run -p '#{cursor_x} #{cursor_y}' > "$out/cursor.txt"
}

# After plumar the pane keeps the exit status and the terminal's modes, and stays open to be read.
tm new-session -d -s run -x 80 -y 25 sh -c \
  'cd "$1/work" && "$2/plumar" "$3"; echo $? > "$1/status"; stty -a > "$1/stty.txt"; exec sleep 300' \
  sh "$out" "$bin" "$source/examples/carta-modelo.txt"

failed=0
run_steps "$here/letter_steps.txt" || failed=1
if ! wait_program_end; then
  tm capture-pane -t run -p >&2 || true
  exit 1
fi
sleep 0.2  # stty.txt is written just after the status
tm capture-pane -t run -p > "$out/pane-after.txt"

status=$(cat "$out/status")
[ "$status" = 0 ] || { echo "plumar ended with status $status" >&2; failed=1; }
[ $failed = 0 ] || { cat "$out/pane.txt" >&2 2> /dev/null || true; exit 1; }
check_letter "$out/work/carta-gerada.txt" "$here/letter_expected.txt" || failed=1

for prompt in "Projeto KALDRO - Preparador de cartas padronizadas" \
  "Nome do arquivo de saída: carta-gerada.txt" "NOME:Maria da Silva" "VENCIMENTO:10/02/2027" \
  "Tem mais ? s" "Tem mais ? n" "REMETENTE:João Pereira"; do
  grep -qF -- "$prompt" "$out/pane.txt" || { echo "the pane lacks \"$prompt\"" >&2; failed=1; }
done
# The answer's line (0-based) and the column just after "REMETENTE:João Pereira".
row=$(($(grep -nF "REMETENTE:João Pereira" "$out/pane.txt" | head -1 | cut -d: -f1) - 1))
[ "$(cat "$out/cursor.txt")" = "22 $row" ] ||
  { echo "terminal cursor at $(cat "$out/cursor.txt"), not at 22 $row" >&2; failed=1; }

for mode in icanon echo isig; do
  grep -qE "(^| )$mode( |\$|;)" "$out/stty.txt" || { echo "terminal not restored ($mode)" >&2; failed=1; }
done
if grep -qF "Preparador" "$out/pane-after.txt"; then
  echo "the terminal was left on the program's screen" >&2
  failed=1
fi
grep -qE "^Texto gerado *$" "$out/pane-after.txt" || { echo "the status line was not left on the terminal" >&2; failed=1; }
[ "$(said_count "Terminal pequeno demais")" = 0 ] || { echo "a full-size terminal was called too small" >&2; failed=1; }
[ $failed = 0 ] || { cat "$out/pane.txt" >&2; exit 1; }

# A template of 30 fields after an instruction fills more than the console's 25 rows.
fields=30
pasted=$(printf '%020d' 0 | sed 's/0/0123456789/g')  # 200 characters, three times the key queue
{
  echo "{* Uma linha por campo *}"
  i=1
  while [ $i -le $fields ]; do printf '{CAMPO%02d}\n' $i; i=$((i + 1)); done
} > "$out/longo.txt"

for rows in 24 20; do
  small=$out/rows$rows
  prepare_run "$small"
  program_ended() { [ -s "$small/status" ]; }
  socket=kaldro-test-$$$rows
  tm new-session -d -s run -x 80 -y $rows sh -c \
    'cd "$1/work" && "$2/plumar" "$3"; echo $? > "$1/status"; exec sleep 300' sh "$small" "$bin" "$out/longo.txt"
  out=$small
  wait_said 1 "Nome do arquivo de saída" && type_text "carta.txt" && press_key Enter || failed=1
  i=1
  while [ $failed = 0 ] && [ $i -le $fields ]; do
    field=$(printf 'CAMPO%02d' $i)
    answer="resposta $i"
    wait_said 1 "$field:" || { failed=1; break; }
    if [ $i = 17 ]; then
      tm set-buffer -- "$pasted" && tm paste-buffer -p -t run
      # The field shows a part of a long answer; the letter has all of it. The Enter that follows
      # waits behind the paste.
      capture_host "$field:0123456789" || { failed=1; break; }
    else
      type_text "$answer"
      capture_host "$field:$answer" || { failed=1; break; }
      row=$(($(grep -nE "^$field:$answer *\$" "$out/pane.txt" | head -1 | cut -d: -f1) - 1))
      column=$(printf '%s' "$field:$answer" | wc -c)
      [ "$(cat "$out/cursor.txt")" = "$column $row" ] ||
        { echo "$rows rows: terminal cursor at $(cat "$out/cursor.txt"), not at $column $row" >&2; failed=1; }
    fi
    press_key Enter
    i=$((i + 1))
  done
  [ $failed = 0 ] && wait_program_end || failed=1
  out=${small%/rows$rows}
  [ $failed = 0 ] || { cat "$small/pane.txt" >&2 2> /dev/null || true; exit 1; }
  [ "$(cat "$small/status")" = 0 ] || { echo "$rows rows: plumar ended with $(cat "$small/status")" >&2; failed=1; }
  {
    i=1
    while [ $i -le $fields ]; do
      if [ $i = 17 ]; then printf '%s\n' "$pasted"; else printf 'resposta %d\n' $i; fi
      i=$((i + 1))
    done
  } > "$small/expected.txt"
  check_letter "$small/work/carta.txt" "$small/expected.txt" || failed=1
  count=$(awk 'index($0, "say Terminal pequeno demais") == 1 { n++ } END { print n + 0 }' "$small/trace.txt")
  [ "$count" = 1 ] || { echo "$rows rows: the warning was said $count times, not once" >&2; failed=1; }
done
[ $failed = 0 ] || exit 1
echo "passed"
