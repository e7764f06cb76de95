#!/bin/sh
# Runs plumar in a real terminal (tmux), types keys into it, and keeps what a check needs:
# the pane as shown, the exit status, and the terminal's modes after the program ended.
#
# usage: run_tmux.sh BIN_DIR TEMPLATE KEYS_FILE OUT_DIR [COLUMNS ROWS]
# KEYS_FILE, one step a line:
#   keys ARGS...     passed to "tmux send-keys" (keys Enter / keys C-Up / keys -l texto)
#   sleep SECONDS    lets the program speak and draw
# OUT_DIR receives pane.txt, status (the exit status) and stty.txt.
set -eu
bin=$1 template=$2 keys=$3 out=$4 columns=${5:-80} rows=${6:-25}
mkdir -p "$out"
socket="kaldro-test-$$"
tm() { tmux -L "$socket" "$@"; }
rm -f "$out/status"
tm new-session -d -s run -x "$columns" -y "$rows" \
  "TERM=tmux-256color KALDRO_HOST=terminal KALDRO_AUDIO=\${KALDRO_AUDIO:-none} KALDRO_SCREEN='$out/screen.txt' \
   '$bin/plumar' '$template'; echo \$? > '$out/status'; stty -a > '$out/stty.txt'; sleep 60"
sleep 1
while IFS= read -r line || [ -n "$line" ]; do
  case "$line" in
    ''|'#'*) ;;
    sleep\ *) sleep "${line#sleep }" ;;
    keys\ *) eval "tm send-keys -t run ${line#keys }" ;;
    *) echo "linha desconhecida: $line" >&2 ;;
  esac
done < "$keys"
tm capture-pane -t run -p > "$out/pane.txt"
waited=0
while [ ! -s "$out/status" ] && [ $waited -lt 30 ]; do sleep 1; waited=$((waited + 1)); done
tm kill-server
if [ -s "$out/status" ]; then
  echo "status $(cat "$out/status")"
  # The terminal must be back in line mode with echo and signals.
  for mode in icanon echo isig; do
    grep -qE "(^| )$mode( |\$)" "$out/stty.txt" || { echo "terminal not restored ($mode)" >&2; exit 1; }
  done
else
  echo "plumar did not end" >&2
  exit 1
fi
