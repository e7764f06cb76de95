#!/usr/bin/env python3
"""Reads a check set of letter items (bench/leitura-conferencia.txt: text, a tab, what a Brazilian
reader says) with kaldro-fala --normal of both voices and prints, per voice, how many items it
reads as the reader does, and the items it reads otherwise. The comparison ignores case, pause
marks and the diaeresis, as the reading table does.
Usage: bench/leitura_conferencia.py [build folder] [check set]"""
import os
import re
import subprocess
import sys
import tempfile

here = os.path.dirname(os.path.abspath(__file__))
build = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "build")
check_set = sys.argv[2] if len(sys.argv) > 2 else os.path.join(here, "leitura-conferencia.txt")


def words(text):
    text = re.sub(r"[,.;:!?()]", " ", text.lower().replace("ü", "u"))
    return " ".join(text.split())


items = []
with open(check_set, encoding="utf-8") as lines:
    for line in lines:
        line = line.rstrip("\n")
        if line and not line.startswith("#"):
            text, said = line.split("\t")
            items.append((text, words(said)))
with tempfile.TemporaryDirectory() as config:  # no user's KALDRO.INI or dictionary takes part
    environment = dict(os.environ, KALDRO_CONFIG_DIR=config)
    for voice, options in (("embutida", ["--normal"]), ("motor", ["--engine", "ormia", "--normal"])):
        run = subprocess.run([os.path.join(build, "bin", "kaldro-fala")] + options, input="".join(t + "\n" for t, _ in items),
                             capture_output=True, text=True, env=environment, check=True)
        read = [words(line) for line in run.stdout.split("\n")[: len(items)]]
        wrong = [(t, r, s) for (t, s), r in zip(items, read) if r != s]
        right = len(items) - len(wrong)
        print(f"voz {voice}: {right} de {len(items)} itens lidos como o leitor lê ({100.0 * right / len(items):.1f}%)")
        for text, got, said in wrong:
            print(f"  {text}\n    lido:     {got}\n    esperado: {said}")
