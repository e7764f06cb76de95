#!/bin/sh
# Runs plumar in a real window on a private X server (Xvfb), types keys into it with xdotool,
# and keeps the exit status and the screen dump.
#
# usage: run_xvfb.sh BIN_DIR TEMPLATE KEYS_FILE OUT_DIR
# KEYS_FILE, one step a line:
#   key KEYS...      xdotool key names (key ctrl+Up Return)
#   type TEXT        typed as text
#   sleep SECONDS    lets the program speak and draw
# OUT_DIR receives status and screen.txt (and window.txt: the window's class and size hints).
set -eu
bin=$1 template=$2 keys=$3 out=$4
mkdir -p "$out"
rm -f "$out/status"
displayfile=$(mktemp)
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3> "$displayfile" 2> "$out/xvfb.log" &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -f "$displayfile"' EXIT
waited=0
while [ ! -s "$displayfile" ] && [ $waited -lt 50 ]; do sleep 0.1; waited=$((waited + 1)); done
DISPLAY=":$(cat "$displayfile")"
export DISPLAY
( KALDRO_HOST=window KALDRO_AUDIO=${KALDRO_AUDIO:-none} KALDRO_SCREEN="$out/screen.txt" \
  "$bin/plumar" "$template"; echo $? > "$out/status" ) &
waited=0
window=""
while [ -z "$window" ] && [ $waited -lt 50 ]; do
  sleep 0.2
  window=$(xdotool search --class KdWinCrt 2>/dev/null | head -1 || true)
  waited=$((waited + 1))
done
[ -n "$window" ] || { echo "no window" >&2; exit 1; }
xprop -id "$window" WM_CLASS WM_NORMAL_HINTS > "$out/window.txt" 2>&1 || true
xdotool windowfocus --sync "$window"
while IFS= read -r line || [ -n "$line" ]; do
  case "$line" in
    ''|'#'*) ;;
    sleep\ *) sleep "${line#sleep }" ;;
    key\ *) xdotool key --delay 60 ${line#key } ;;
    type\ *) xdotool type --delay 60 "${line#type }" ;;
    *) echo "linha desconhecida: $line" >&2 ;;
  esac
done < "$keys"
waited=0
while [ ! -s "$out/status" ] && [ $waited -lt 30 ]; do sleep 1; waited=$((waited + 1)); done
[ -s "$out/status" ] || { echo "plumar did not end" >&2; exit 1; }
echo "status $(cat "$out/status")"
