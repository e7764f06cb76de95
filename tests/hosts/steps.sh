# Shared by run_tmux.sh and run_xvfb.sh (sourced): the run's folder and environment, the steps
# file, and the letter check. A runner defines type_text, press_key, capture_host and
# program_ended before it calls run_steps.

# prepare_run OUT: an empty OUT with a work folder, and the environment every run gets: no sound
# card, a fixed clock (the letter's date), a trace to wait on, and private configuration folders,
# so that only the build's own KALDRO.INI is found.
prepare_run() {
  rm -rf "$1"
  mkdir -p "$1/work" "$1/config" "$1/xdg"
  : > "$1/trace.txt"
  KALDRO_AUDIO=none KALDRO_CONFIG_DIR=$1/config XDG_CONFIG_HOME=$1/xdg KALDRO_NOW=2026-03-14T10:00:00
  KALDRO_TRACE=$1/trace.txt KALDRO_SCREEN=$1/screen.txt LANG=C.UTF-8
  export KALDRO_AUDIO KALDRO_CONFIG_DIR XDG_CONFIG_HOME KALDRO_NOW KALDRO_TRACE KALDRO_SCREEN LANG
  unset KALDRO_KEYS KALDRO_HOST LC_ALL TMUX
}

# said_count TEXT: how many times the program began to say a text starting with TEXT.
said_count() {
  awk -v prefix="say $1" 'index($0, prefix) == 1 { n++ } END { print n + 0 }' "$KALDRO_TRACE"
}

# wait_said N TEXT: polls the trace. A loaded machine may speak slowly, so the limit is generous.
wait_said() {
  tries=0
  while [ "$(said_count "$2")" -lt "$1" ]; do
    if program_ended; then
      echo "plumar ended before saying \"$2\" ($1)" >&2
      return 1
    fi
    if [ $tries -ge 600 ]; then
      echo "plumar never said \"$2\" ($1)" >&2
      return 1
    fi
    sleep 0.1
    tries=$((tries + 1))
  done
}

run_steps() {
  while IFS= read -r line || [ -n "$line" ]; do
    case "$line" in
      '' | '#'*) ;;
      said\ *)
        rest=${line#said }
        wait_said "${rest%% *}" "${rest#* }" || return 1
        ;;
      type\ *) type_text "${line#type }" || return 1 ;;
      key\ *) press_key "${line#key }" || return 1 ;;
      sleep\ *) sleep "${line#sleep }" ;;
      capture\ *) capture_host "${line#capture }" || return 1 ;;
      *)
        echo "unknown step: $line" >&2
        return 1
        ;;
    esac
  done < "$1"
}

# wait_program_end: up to a minute for plumar to end after its last key.
wait_program_end() {
  tries=0
  while ! program_ended && [ $tries -lt 600 ]; do
    sleep 0.1
    tries=$((tries + 1))
  done
  if ! program_ended; then
    echo "plumar did not end" >&2
    return 1
  fi
}

# check_letter FILE EXPECTED: byte for byte.
check_letter() {
  if ! cmp -s "$1" "$2"; then
    echo "the letter differs from $2:" >&2
    od -c "$1" >&2 || true
    return 1
  fi
}
