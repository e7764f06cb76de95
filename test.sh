#!/bin/sh
# Installs what is missing, builds, and runs every test twice: in build/ as the programs ship, and
# in build-san/ under AddressSanitizer and UndefinedBehaviorSanitizer (clang), where the fuzz
# targets also run briefly (label "fuzz"). The sanitizer build compiles while the plain tests run.
set -e
cd "$(dirname "$0")"
tools/install-deps.sh --tests
tools/build.sh -DKALDRO_TESTS=ON
jobs=$(nproc)
export LSAN_OPTIONS="suppressions=$PWD/tools/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
export ASAN_OPTIONS=detect_leaks=1

( CC=clang CXX=clang++ cmake -S . -B build-san -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALDRO_TESTS=ON \
    -DKALDRO_SANITIZE=ON -DKALDRO_FUZZ=ON -DKALDRO_BENCH=OFF >/dev/null &&
  nice cmake --build build-san -j"$jobs" >build-san.log 2>&1 ) &
sanitizer_build=$!

plain=0
(cd build && ctest -j"$jobs" --output-on-failure --no-tests=error --timeout 600) || plain=$?
sanitized=0
if wait $sanitizer_build; then
  (cd build-san && ctest -j"$jobs" --output-on-failure --no-tests=error --timeout 900) || sanitized=$?
else
  tail -40 build-san.log
  echo "A compilação com os sanitizadores falhou (build-san.log)."
  sanitized=1
fi
[ "$plain" = 0 ] && [ "$sanitized" = 0 ]
