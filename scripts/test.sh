#!/bin/sh
# Installs what is missing, builds everything and runs every test twice:
# once plainly and once under AddressSanitizer and UndefinedBehaviorSanitizer.
set -eu
cd "$(dirname "$0")/.."
./scripts/deps.sh
JOBS=$(nproc)

run_pass() {
    dir=$1
    shift
    echo "=== $dir ==="
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Debug -DPELBRIN_WERROR=ON "$@" >/dev/null
    cmake --build "$dir" -j "$JOBS"
    (cd "$dir" && ctest --output-on-failure -j "$JOBS")
}

run_pass build
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    run_pass build-asan -DPELBRIN_SANITIZE=ON
