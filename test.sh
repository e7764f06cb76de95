#!/bin/sh
# Installs what is missing, builds, and runs every test.
set -e
cd "$(dirname "$0")"
tools/install-deps.sh --tests
tools/build.sh -DKALDRO_TESTS=ON
cd build
ctest -j"$(nproc)" --output-on-failure --no-tests=error --timeout 600
