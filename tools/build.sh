#!/bin/sh
# Configures and builds the whole tree in build/ (programs in build/bin, voice in build/share).
set -e
cd "$(dirname "$0")/.."
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
cmake --build build -j"$(nproc)"
