#!/bin/sh
# Builds the libFuzzer targets of fuzz/ with clang (AddressSanitizer and UndefinedBehaviorSanitizer) and
# fuzzes each for a bounded time, or with -r only replays the seed corpus and the saved crash inputs.
#
#   scripts/fuzz.sh [-r] [-m] [-p] [-t SECONDS] [-b BUILD_DIR] [TARGET...]
#
#   -r  replay fuzz/corpus/<target>/ and fuzz/regressions/<target>/ once each, no fuzzing (scripts/test.sh)
#   -m  after fuzzing, merge the inputs that add coverage into fuzz/corpus/<target>/
#   -p  fuzz the targets at the same time, one process each
#   -t  seconds of fuzzing per target (default 60)
#   -b  build directory (default build-fuzz)
#
# New inputs go to BUILD_DIR/fuzz-work/<target>/, the crash inputs of the last run to
# BUILD_DIR/fuzz-artifacts/<target>/ (keep one in fuzz/regressions/<target>/ once it is understood);
# the source tree changes only with -m. Exits non-zero when any target crashed.
set -eu
cd "$(dirname "$0")/.."

ALL_TARGETS="fuzz_args fuzz_request"
replay=0
merge=0
parallel=0
seconds=60
build=build-fuzz
while getopts rmpt:b: option; do
    case $option in
        r) replay=1 ;;
        m) merge=1 ;;
        p) parallel=1 ;;
        t) seconds=$OPTARG ;;
        b) build=$OPTARG ;;
        *) sed -n '5,12p' "$0" >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
targets=${*:-$ALL_TARGETS}

if ! command -v clang++ >/dev/null 2>&1; then
    echo "clang++ not found: run scripts/deps.sh" >&2
    exit 1
fi

# -O1 keeps the sanitizers' reports readable while running several times faster than -O0. Without
# -Werror: the gcc passes of scripts/test.sh hold the warning line, this pass looks for crashes.
CC=clang CXX=clang++ cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug \
    -DCMAKE_C_FLAGS_DEBUG="-O1 -g" -DCMAKE_CXX_FLAGS_DEBUG="-O1 -g" \
    -DPELBRIN_FUZZ=ON -DPELBRIN_WERROR=OFF >/dev/null
# shellcheck disable=SC2086
cmake --build "$build" -j "$(nproc)" --target $targets

# Leaks inside libconfig's own parser are not ours to fix (fuzz/lsan.supp says which).
LSAN_OPTIONS="suppressions=$(pwd)/fuzz/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export LSAN_OPTIONS

# Every input once; a crash, a leak or a broken property fails the run.
replay_target() {
    t=$1
    files=$(find "fuzz/corpus/$t" "fuzz/regressions/$t" -type f 2>/dev/null | sort)
    if [ -z "$files" ]; then
        echo "$t: no inputs" >&2
        return 1
    fi
    count=$(echo "$files" | wc -l)
    log="$build/fuzz-replay-$t.log"
    # shellcheck disable=SC2086
    if "$build/fuzz/$t" -timeout=10 $files >"$log" 2>&1; then
        echo "$t: $count inputs, no crash"
    else
        cat "$log" >&2
        echo "$t: FAILED (log: $log)" >&2
        return 1
    fi
}

fuzz_target() {
    t=$1
    work="$build/fuzz-work/$t"
    artifacts="$build/fuzz-artifacts/$t"
    log="$build/fuzz-$t.log"
    rm -rf "$artifacts"  # holds the crash inputs of the last run only
    mkdir -p "$work" "$artifacts"
    set -- "fuzz/corpus/$t"
    [ -d "fuzz/regressions/$t" ] && set -- "$@" "fuzz/regressions/$t"
    status=0
    "$build/fuzz/$t" -max_total_time="$seconds" -timeout=10 -print_final_stats=1 \
        -artifact_prefix="$artifacts/" "$work" "$@" >"$log" 2>&1 || status=$?
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
    took=$(sed -n 's/^Done [0-9]* runs in \([0-9]*\) second.*/\1/p' "$log")
    crashes=$(find "$artifacts" -type f | wc -l)
    echo "$t: ${runs:-?} executions in ${took:-?} s (${rate:-?}/s), crash inputs: $crashes, status $status, log $log"
    if [ "$merge" -eq 1 ] && [ "$status" -eq 0 ]; then
        merge_target "$t"
    fi
    return "$status"
}

# Adds to fuzz/corpus/<target>/ only the new inputs that reach code no earlier input reached. libFuzzer's
# own merge keeps every input with a new feature (hundreds); its control file lists, per input, the
# program counters first covered by it, the committed seeds first and then the new inputs smallest first.
merge_target() {
    t=$1
    scratch="$build/fuzz-merge/$t"
    control="$build/fuzz-merge/$t.control"
    rm -rf "$scratch" "$control"
    mkdir -p "$scratch"
    cp "fuzz/corpus/$t/"* "$scratch/"
    "$build/fuzz/$t" -merge=1 -timeout=10 -merge_control_file="$control" "$scratch" "$build/fuzz-work/$t" \
        >"$build/fuzz-merge/$t.log" 2>&1
    added=$(awk 'NR == 1 { total = $1 } NR == 2 { seeds = $1 }
                 NR > 2 && NR <= 2 + total { file[NR - 3] = $0 }
                 $1 == "COV" && $2 >= seeds && NF > 2 { print file[$2] }' "$control")
    for f in $added; do
        cp "$f" "fuzz/corpus/$t/"
    done
    echo "$t: $(echo "$added" | grep -c .) inputs with new coverage added, corpus now $(find "fuzz/corpus/$t" -type f | wc -l) files"
}

failed=0
if [ "$replay" -eq 1 ]; then
    for t in $targets; do
        replay_target "$t" || failed=1
    done
elif [ "$parallel" -eq 1 ]; then
    pids=""
    for t in $targets; do
        fuzz_target "$t" &
        pids="$pids $!"
    done
    for pid in $pids; do
        wait "$pid" || failed=1
    done
else
    for t in $targets; do
        fuzz_target "$t" || failed=1
    done
fi
exit "$failed"
