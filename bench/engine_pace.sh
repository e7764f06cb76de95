#!/bin/bash
# The Portuguese engine at the cost of its parts: the page bench/pagina.txt written to a WAV file by
# `kaldro-fala --engine ormia` beside its front end alone (`--pho`) plus `mbrola` alone on the same
# lines, wall and processor time (user + system, children included), median of the runs, and the
# ratio page / (front end + mbrola), whose aim is at most 1.3. Then the same page beside eSpeak NG
# driving the same voice, and each utterance's time to its first sample (bench_mbrola_utterances).
#   bench/engine_pace.sh [BIN_DIR] [RUNS]
# Uses the installed mbrola and its br4 voice; without them, the build's MBROLA stand-in (which makes a
# tone, not speech, so its own cost is smaller than MBROLA's and the ratio larger).
set -eu
here=$(cd "$(dirname "$0")" && pwd)
bin=$(cd "${1:-$here/../build/bin}" && pwd)
runs=${2:-15}
page=$here/pagina.txt
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

voice=/usr/share/mbrola/br4/br4
mbrola=$(command -v mbrola || true)
if [ -z "$mbrola" ] || [ ! -f "$voice" ]; then
  mbrola=$bin/../mbrola-double/mbrola
  [ -x "$mbrola" ] || { echo "nem o mbrola nem o seu substituto da compilação: nada a medir"; exit 0; }
  voice=$scratch/br4
  printf 'kaldro mbrola stand-in\n' > "$voice"
  echo "mbrola: o substituto da compilação ($mbrola)"
else
  echo "mbrola: $mbrola, voz $voice"
fi
mkdir -p "$scratch/etc"
printf '[ORMIATTS]\nMBROLA_DB=%s\n' "$voice" > "$scratch/etc/KALDRO.INI"
if [ -f "$bin/../etc/kaldro/KALDRO.INI" ]; then
  sed "s|^\[ORMIATTS\]|[ORMIATTS]\nMBROLA_DB=$voice|" "$bin/../etc/kaldro/KALDRO.INI" > "$scratch/etc/KALDRO.INI"
fi
export KALDRO_CONFIG_DIR=$scratch/etc
export PATH="$(dirname "$mbrola"):$PATH"
"$bin/kaldro-fala" --engine ormia --pho "$(cat "$page")" > "$scratch/page.pho"

# The median wall and processor milliseconds of each command, run in turn.
python3 - "$runs" "$scratch" "$bin" "$mbrola" "$voice" "$page" <<'PY'
import os, resource, statistics, subprocess, sys, time
runs, scratch, bin, mbrola, voice, page = int(sys.argv[1]), *sys.argv[2:]
text = open(page, encoding="utf-8").read()
pho = os.path.join(scratch, "page.pho")

def measure(command, stdin=None):
    walls, cpus = [], []
    for _ in range(runs):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        start = time.perf_counter()
        with open(stdin or os.devnull, "rb") as given, open(os.path.join(scratch, "out.raw"), "wb") as out:
            subprocess.run(command, stdin=given, stdout=out, stderr=subprocess.DEVNULL, check=False)
        walls.append((time.perf_counter() - start) * 1000)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpus.append((after.ru_utime - before.ru_utime + after.ru_stime - before.ru_stime) * 1000)
    return statistics.median(walls), statistics.median(cpus)

fala = os.path.join(bin, "kaldro-fala")
front = measure([fala, "--engine", "ormia", "--pho", text])
alone = measure([mbrola, "-e", voice, "-", "-"], pho)
whole = measure([fala, "--engine", "ormia", "-w", os.path.join(scratch, "o.wav"), text])
print("página (%d execuções, mediana)        parede ms   processador ms" % runs)
for label, (wall, cpu) in (("frente (--pho)", front), ("mbrola sozinho", alone), ("kaldro-fala -w (página)", whole)):
    print("  %-34s %9.1f %14.1f" % (label, wall, cpu))
parts_wall, parts_cpu = front[0] + alone[0], front[1] + alone[1]
print("  %-34s %9.2f %14.2f   (meta: até 1.3)" % ("razão página / (frente + mbrola)", whole[0] / parts_wall, whole[1] / parts_cpu))
PY

if command -v espeak-ng > /dev/null 2>&1 && [ -f /usr/share/mbrola/br4/br4 ]; then
  echo
  python3 - "$runs" "$bin" "$page" <<'PY'
import statistics, subprocess, sys, time, tempfile, os
runs, bin, page = int(sys.argv[1]), sys.argv[2], sys.argv[3]
text = open(page, encoding="utf-8").read()
def wall(command):
    times = []
    for _ in range(runs):
        start = time.perf_counter()
        subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        times.append((time.perf_counter() - start) * 1000)
    return statistics.median(times)
with tempfile.TemporaryDirectory() as d:
    o = wall([os.path.join(bin, "kaldro-fala"), "--engine", "ormia", "-w", d + "/o.wav", text])
    e = wall(["espeak-ng", "-v", "mb-br4", "-w", d + "/e.wav", "-f", page])
print("página: kaldro-fala --engine ormia %.1f ms, espeak-ng -v mb-br4 %.1f ms, razão %.2f" % (o, e, o / e))
PY
fi
if [ -x "$bin/bench_mbrola_utterances" ]; then
  echo
  "$bin/bench_mbrola_utterances" "$page" 2> /dev/null
fi
