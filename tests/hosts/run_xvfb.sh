#!/bin/sh
# The letter generator in a real window: plumar on the window host on a private X server
# (xvfb-run), the example template answered with xdotool. Checks the letter byte for byte and,
# from the X server's own framebuffer, that the window drew letters and not only cell colours.
#
# usage: run_xvfb.sh BIN_DIR SOURCE_DIR OUT_DIR
# Exit status 0: passed; 1: failed; 77: skipped (xvfb-run, Xvfb, xauth or xdotool not installed).
set -eu
bin=$1 source=$2 out=$3
width=1024 height=768

if [ -z "${HOSTS_TEST_FRAMEBUFFER:-}" ]; then
  for tool in xvfb-run Xvfb xauth xdotool; do
    if ! command -v $tool > /dev/null 2>&1; then
      echo "$tool is not installed: skipped"
      exit 77
    fi
  done
  # Xvfb keeps its screen in a file there (XWD format), which is read like a screenshot.
  framebuffer=$(mktemp -d)
  status=0
  HOSTS_TEST_FRAMEBUFFER=$framebuffer xvfb-run -a \
    -s "-screen 0 ${width}x${height}x24 -br -fbdir $framebuffer" sh "$0" "$@" || status=$?
  rm -rf "$framebuffer"
  exit $status
fi

here=$source/tests/hosts
. "$here/steps.sh"
prepare_run "$out"
unset WAYLAND_DISPLAY
SDL_VIDEODRIVER=x11
export SDL_VIDEODRIVER

(cd "$out/work" && KALDRO_HOST=window exec "$bin/plumar" "$source/examples/carta-modelo.txt") \
  > "$out/plumar.log" 2>&1 &
pid=$!
trap 'kill $pid 2> /dev/null || true' EXIT

# A character the keyboard map lacks is typed by binding it to a spare key for a moment; a slow
# pause lets a busy program read the key before the binding is undone.
type_text() {
  case "$1" in
    *[!\ -~]*) xdotool type --delay 250 -- "$1" ;;
    *) xdotool type --delay 60 -- "$1" ;;
  esac
}
press_key() {
  case "$1" in
    Enter) xdotool key --delay 60 Return ;;
    *) xdotool key --delay 60 "$1" ;;
  esac
}
program_ended() { ! kill -0 $pid 2> /dev/null; }
# The window cannot be read back as text: painting gets a moment, then the screen is kept.
capture_host() {
  sleep 1
  cp "$HOSTS_TEST_FRAMEBUFFER/Xvfb_screen0" "$out/screen.xwd"
}

# The window appears once the program has read its settings and found its font.
window=""
tries=0
while [ -z "$window" ]; do
  if program_ended || [ $tries -ge 600 ]; then
    echo "no window" >&2
    cat "$out/plumar.log" >&2
    exit 1
  fi
  sleep 0.1
  tries=$((tries + 1))
  window=$(xdotool search --onlyvisible --class KdWinCrt 2> /dev/null | head -1 || true)
done
xdotool windowfocus --sync "$window"

failed=0
run_steps "$here/letter_steps.txt" || failed=1
wait_program_end || exit 1
status=0
wait $pid || status=$?
trap - EXIT
[ $status = 0 ] || { echo "plumar ended with status $status" >&2; failed=1; }
[ $failed = 0 ] || { cat "$out/plumar.log" >&2; exit 1; }
check_letter "$out/work/carta-gerada.txt" "$here/letter_expected.txt" || failed=1

# The screen's pixels are its last width x height 32-bit words. The cells' colours are at most the
# 16 of the palette; letters drawn with anti-aliasing add the shades between them.
colours=$(tail -c $((width * height * 4)) "$out/screen.xwd" | od -An -v -tx4 -w4 | sort -u | wc -l)
if [ "$colours" -le 16 ]; then
  echo "the window shows $colours colours: no letters were drawn" >&2
  failed=1
fi
[ $failed = 0 ] || exit 1
echo "passed ($colours colours on the screen)"
