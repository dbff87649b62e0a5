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

# Every fuzz target over its seed corpus and saved crash inputs, once each (clang, ASan, UBSan).
echo "=== build-fuzz ==="
./scripts/fuzz.sh -r -b build-fuzz

# The tests that run threads against each other, under ThreadSanitizer. The regex is the one place
# that picks them: tests named ...Concurrency..., ...Concurrent... or ...AtTheSameTime.
CONCURRENT_TESTS='Concurren|AtTheSameTime'
echo "=== build-tsan ==="
cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=Debug -DPELBRIN_WERROR=ON -DPELBRIN_TSAN=ON >/dev/null
cmake --build build-tsan -j "$JOBS"
TSAN_OPTIONS="suppressions=$(pwd)/tests/tsan.supp:halt_on_error=1:second_deadlock_stack=1" \
    ctest --test-dir build-tsan --output-on-failure -j "$JOBS" -R "$CONCURRENT_TESTS" --no-tests=error
