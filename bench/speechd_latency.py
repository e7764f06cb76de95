#!/usr/bin/env python3
"""sd_kaldro's two voices beside sd_espeak-ng through a real speech-dispatcher of the benchmark's own.

Prints, per voice, in milliseconds (median / worst of the rounds): the time from a client's SPEAK to
the first audible sample, with the module at rest and right after a stop (what a screen reader does
at every key); from the client's CANCEL (what Orca sends to stop) to silence; and from the CANCEL to
the server's CANCELED notice to the client ("aviso").

  bench/speechd_latency.py [BIN_DIR] [ROUNDS]

How it is measured. The server (its own configuration folder, socket and log; ALSA's null device, so
no sound card is needed) runs every module through a relay, this script run with --relay, which
passes the protocol through untouched and notes with the monotonic clock when each command reaches
the module and when each audio block, each event, leaves it. The null device plays nothing in real
time, so playing is worked out from those notes as the server does it: the server's player starts
with the first block and plays the blocks in order, each as soon as it has come and the one before
it has ended; the first audible sample (|s| > 64) sounds where it falls in that timeline. On a stop,
the server drops the blocks not yet played but lets the one playing run on until the module says
703 STOP; a module that had already ended (702) is silenced at once. Every figure starts at the
client's own clock, so the server's share is in it.

The MBROLA voice is the real one when mbrola and mbrola-br4 are installed; otherwise the test
stand-in of the build (mbrola-double/, built with -DKALDRO_TESTS=ON), marked "(substituto)".
Needs speech-dispatcher and speech-dispatcher-espeak-ng (tools/install-deps.sh --tests).
"""
import array
import os
import shutil
import socket
import statistics
import subprocess
import sys
import tempfile
import threading
import time

SHORT = ["Bom dia", "Arquivo", "Botão Salvar", "Menu Editar", "Caixa de seleção marcada",
         "Hoje é 07/12/2026", "Valor: R$ 15,90", "Fechar janela"]
LONG = " ".join("Esta é a frase %d de um texto comprido, lido do começo ao fim." % i for i in range(40))


def now_ns():
    return time.monotonic_ns()


# ---- the relay between the server and one module ----

def relay(log_path, module, args):
    child = subprocess.Popen([module] + args, stdin=subprocess.PIPE, stdout=subprocess.PIPE, bufsize=0)
    log = open(log_path, "a", buffering=1)
    lock = threading.Lock()

    def note(text):
        with lock:
            log.write("%d %s\n" % (now_ns(), text))

    def to_module():
        pending = b""
        while True:
            data = os.read(0, 65536)
            if not data:
                child.stdin.close()
                return
            child.stdin.write(data)
            pending += data
            *lines, pending = pending.split(b"\n")
            for line in lines:
                if line in (b"SPEAK", b"STOP", b"CHAR", b"KEY", b"QUIT"):
                    note("S " + line.decode())

    threading.Thread(target=to_module, daemon=True).start()
    pending = b""
    rate, count = 16000, 0
    out = os.fdopen(1, "wb", buffering=0)
    while True:
        data = child.stdout.read1(65536) if hasattr(child.stdout, "read1") else os.read(child.stdout.fileno(), 65536)
        if not data:
            break
        out.write(data)
        pending += data
        *lines, pending = pending.split(b"\n")
        for line in lines:
            if line.startswith(b"705-sample_rate="):
                rate = int(line[16:])
            elif line.startswith(b"705-num_samples="):
                count = int(line[16:])
            elif line.startswith(b"705-AUDIO\x00"):
                raw, i, body = bytearray(), 0, line[10:]
                while i < len(body):
                    if body[i] == 0x7D and i + 1 < len(body):
                        raw.append(body[i + 1] ^ 0x20)
                        i += 2
                    else:
                        raw.append(body[i])
                        i += 1
                samples = array.array("h")
                samples.frombytes(bytes(raw[: len(raw) // 2 * 2]))
                first = next((k for k, s in enumerate(samples) if s > 64 or s < -64), -1)
                note("A %d %d %d" % (count or len(samples), first, rate))
            elif line[:3] in (b"701", b"702", b"703") and b"-" not in line[:4]:
                note("M " + line.decode(errors="replace"))
    child.wait()


# ---- the client ----

class Client:
    """An SSIP client on the server's socket; each reply and notice line kept with its time."""

    def __init__(self, path):
        self.sock = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
        self.sock.connect(path)
        self.lines = []
        self.cond = threading.Condition()
        threading.Thread(target=self._read, daemon=True).start()

    def _read(self):
        pending = b""
        while True:
            data = self.sock.recv(65536)
            if not data:
                return
            t = now_ns()
            pending += data
            *lines, pending = pending.split(b"\r\n")
            with self.cond:
                self.lines += [(t, line.decode(errors="replace")) for line in lines]
                self.cond.notify_all()

    def wait_for(self, prefix, since, timeout=30.0):
        """The time of the first line starting with prefix after index since."""
        deadline = time.monotonic() + timeout
        with self.cond:
            while True:
                for t, line in self.lines[since:]:
                    if line.startswith(prefix):
                        return t
                left = deadline - time.monotonic()
                if left <= 0:
                    raise TimeoutError(prefix)
                self.cond.wait(left)

    def command(self, text, reply="2"):
        mark = len(self.lines)
        self.sock.sendall(text.encode() + b"\r\n")
        self.wait_for(reply, mark)

    def speak(self, text):
        """Sends a message; the time it was sent and the index of the lines after it."""
        self.command("SPEAK", "230")
        mark = len(self.lines)
        sent = now_ns()
        self.sock.sendall(text.encode() + b"\r\n.\r\n")
        self.wait_for("225 ", mark)
        return sent, mark


# ---- what the relay noted, played as the server plays it ----

def read_notes(path, since):
    notes = []
    with open(path) as log:
        for line in log:
            t, kind, rest = line.rstrip("\n").split(" ", 2)
            if int(t) >= since:
                notes.append((int(t), kind, rest))
    return notes


def first_sound(notes):
    """When the first audible sample of the first message the module gets in notes sounds (ns), or None."""
    play_end, begun = None, False
    for t, kind, rest in notes:
        begun = begun or (kind == "S" and rest == "SPEAK")
        if not begun:
            continue
        if kind == "M" and rest.startswith(("702", "703")):
            return None
        if kind != "A":
            continue
        count, first, rate = map(int, rest.split())
        start = t if play_end is None else max(t, play_end)
        if first >= 0:
            return start + first * 1_000_000_000 // rate
        play_end = start + count * 1_000_000_000 // rate
    return None


def silence_after_stop(notes):
    """When the sound stops after the server's STOP reached the module (ns), or None."""
    play_end, ended, stop = None, False, None
    for t, kind, rest in notes:
        if kind == "A" and stop is None:
            count, first, rate = map(int, rest.split())
            start = t if play_end is None else max(t, play_end)
            play_end = start + count * 1_000_000_000 // rate
        elif kind == "M" and rest.startswith("702") and stop is None:
            ended = True
        elif kind == "S" and rest == "STOP" and stop is None:
            stop = t
            if ended:
                return stop
        elif kind == "M" and rest.startswith("703") and stop is not None:
            return min(t, play_end) if play_end is not None else t
    return None


# ---- the server ----

def write(path, text, mode=0o644):
    with open(path, "w") as f:
        f.write(text)
    os.chmod(path, mode)


def figures(values):
    if not values:
        return "      -"
    values = sorted(values)
    return "%6.1f / %6.1f" % (statistics.median(values), values[-1])


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    bin_dir = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "build", "bin"))
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    modules_dir = "/usr/lib/speech-dispatcher-modules"
    for need in ("/usr/bin/speech-dispatcher", modules_dir + "/sd_espeak-ng", bin_dir + "/sd_kaldro"):
        if not os.access(need, os.X_OK):
            print("falta %s: nada a medir (tools/install-deps.sh --tests e a compilação)" % need)
            return 0
    scratch = tempfile.mkdtemp(prefix="kaldro-speechd-")
    conf = os.path.join(scratch, "conf")
    os.makedirs(os.path.join(conf, "modules"))
    me = os.path.abspath(__file__)
    lines = ""
    for name, program, conf_file in (("espeak-ng", modules_dir + "/sd_espeak-ng", "espeak-ng.conf"),
                                     ("kaldro", bin_dir + "/sd_kaldro", "kaldro.conf")):
        wrapper = os.path.join(scratch, "relay-" + name)
        write(wrapper, '#!/bin/sh\nexec %s %s --relay %s %s "$@"\n' % (sys.executable, me,
              os.path.join(scratch, name + ".notes"), program), 0o755)
        lines += 'AddModule "%s" "%s" "%s"\n' % (name, wrapper, conf_file)
        write(os.path.join(conf, "modules", conf_file), "")
    write(os.path.join(conf, "speechd.conf"), lines + 'DefaultModule espeak-ng\nAudioOutputMethod "alsa"\n'
          'AudioALSADevice "null"\nLogLevel 2\n')
    # The MBROLA voice: the real one, else the build's stand-in.
    env = dict(os.environ, HOME=scratch, XDG_CONFIG_HOME=os.path.join(scratch, "xdg"), KALDRO_CONFIG_DIR=scratch)
    real = os.path.exists("/usr/share/mbrola/br4/br4") and any(
        os.access(os.path.join(p, "mbrola"), os.X_OK) for p in env.get("PATH", "").split(":"))
    ini = open(os.path.join(bin_dir, "..", "etc", "kaldro", "KALDRO.INI"), encoding="latin-1").read()
    if not real:
        double = os.path.join(bin_dir, "..", "mbrola-double")
        write(os.path.join(scratch, "br4"), "kaldro mbrola stand-in\n")
        env["PATH"] = os.path.abspath(double) + ":" + env.get("PATH", "")
        ini = ini.replace("[ORMIATTS]\n", "[ORMIATTS]\nMBROLA_DB=%s\nMBROLA_LIB=libmbrola-absent.so\n" %
                          os.path.join(scratch, "br4"))
    with open(os.path.join(scratch, "KALDRO.INI"), "w", encoding="latin-1") as f:
        f.write(ini)
    sock = os.path.join(scratch, "speechd.sock")
    server = subprocess.Popen(["/usr/bin/speech-dispatcher", "-s", "-t", "0", "-C", conf, "-S", sock,
                               "-P", os.path.join(scratch, "speechd.pid"), "-L", scratch],
                              env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    try:
        for _ in range(200):
            if os.path.exists(sock):
                break
            time.sleep(0.05)
        client = Client(sock)
        client.command("SET SELF CLIENT_NAME bench:kaldro:latencia")
        client.command("SET SELF NOTIFICATION ALL on")
        client.command("SET SELF LANGUAGE pt-BR")
        voices = [("sd_espeak-ng (pt-BR)", "espeak-ng", None),
                  ("kaldro-embutida", "kaldro", "kaldro-embutida"),
                  ("kaldro-mbrola-br4" + ("" if real else " (substituto)"), "kaldro", "kaldro-mbrola-br4")]
        print("%-34s %17s %17s %17s %17s" % ("voz", "1º som", "1º som após STOP", "STOP a silêncio", "STOP a aviso"))
        for label, module, voice in voices:
            client.command("SET SELF OUTPUT_MODULE " + module)
            if voice:
                client.command("SET SELF SYNTHESIS_VOICE " + voice)
            notes = os.path.join(scratch, module + ".notes")
            client.speak("Bom dia")  # the module starts and warms up
            time.sleep(1.5)
            firsts, interrupted, silences, ends = [], [], [], []
            for _ in range(rounds):
                for text in SHORT:
                    sent, mark = client.speak(text)
                    client.wait_for("702", mark)
                    time.sleep(0.3)
                    heard = first_sound(read_notes(notes, sent))
                    if heard is not None:
                        firsts.append((heard - sent) / 1e6)
                sent, mark = client.speak(LONG)
                time.sleep(0.8)
                mark = len(client.lines)
                stopped = now_ns()
                client.sock.sendall(b"CANCEL SELF\r\n")
                ends.append((client.wait_for("703", mark) - stopped) / 1e6)
                quiet = silence_after_stop(read_notes(notes, sent))
                if quiet is not None:
                    silences.append(max(0, quiet - stopped) / 1e6)
                # What a screen reader does at every key: the next message right after the stop.
                again, mark = client.speak(SHORT[0])
                client.wait_for("702", mark)
                time.sleep(0.3)
                heard = first_sound(read_notes(notes, again))
                if heard is not None:
                    interrupted.append((heard - again) / 1e6)
            print("%-34s %17s %17s %17s %17s" % (label, figures(firsts), figures(interrupted), figures(silences),
                                                 figures(ends)))
        print("(mediana / pior de %d rodadas; %d mensagens curtas por rodada)" % (rounds, len(SHORT)))
    finally:
        server.terminate()
        try:
            server.wait(5)
        except subprocess.TimeoutExpired:
            server.kill()
            server.wait()
        shutil.rmtree(scratch, ignore_errors=True)
    return 0


if __name__ == "__main__":
    if len(sys.argv) > 1 and sys.argv[1] in ("-h", "--help"):
        print(__doc__.strip())
    elif len(sys.argv) > 3 and sys.argv[1] == "--relay":
        relay(sys.argv[2], sys.argv[3], sys.argv[4:])
    else:
        sys.exit(main())
