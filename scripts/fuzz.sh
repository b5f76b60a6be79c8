#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of seconds
# (default 300), one after the other, or all at once at the lowest priority with --parallel.
# Prints each target's executions and executions per second. New inputs go to
# build/fuzz/corpus-<target>, except in runs shorter than five minutes, which start from the
# seeds alone and keep what they find in memory (in a directory removed afterwards), so that
# one short run does not depend on the ones before it; crashes go to build/fuzz/crash-<target>-*.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}
parallel=${2:-}

scripts/deps.sh
cmake --preset fuzz >/dev/null
# shellcheck disable=SC2046
cmake --build --preset fuzz -j"$(nproc)" --target $(ls fuzz/corpus | sed 's/^/fuzz_/') >/dev/null

export QT_QPA_PLATFORM=offscreen
# A small quarantine (still thousands of an input's frees) keeps freed memory recycling while it
# is in the caches; allocation stacks are not recorded, which saves an unwind and a stack-depot
# entry per allocation (rerun a finding's input with default options for them).
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1:quarantine_size_mb=4:malloc_context_size=0
# Undefined behaviour ends the run like a crash, so it is reported as a finding.
export UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

# The targets that keep one model for the whole run allocate on purpose across inputs, which
# the per-input leak check would take for leaks (and scan the heap for, input after input);
# their leaks show as memory growth against -rss_limit_mb instead, and in the sanitizer tests.
# Room information may reach 1 MiB, but parsing inputs that large is most of a short run's
# time; runs shorter than five minutes stay at 4 KiB (longer seeds are cut to it).
options() {
    local common="-entropic=0 -reload=0 -print_final_stats=1 -print_funcs=0"
    local room=1048576
    [ "$seconds" -lt 300 ] && room=4096
    case $1 in
    roominfo) echo "$common -detect_leaks=0 -max_len=$room -dict=fuzz/roominfo.dict" ;;
    whiteboard | answers) echo "$common -detect_leaks=0" ;;
    *) echo "$common" ;;
    esac
}

run() {
    local target=$1 work=build/fuzz/corpus-$1 log=build/fuzz/fuzz_$1.log scratch="" code=0
    if [ "$seconds" -lt 300 ]; then
        scratch=$(mktemp -d /dev/shm/fuzz-"$target".XXXXXX 2>/dev/null || mktemp -d)
        work=$scratch
    fi
    mkdir -p "$work"
    # shellcheck disable=SC2046
    build/fuzz/fuzz/fuzz_"$target" "$work" "fuzz/corpus/$target" -max_total_time="$seconds" \
        -artifact_prefix="build/fuzz/crash-$target-" $(options "$target") >"$log" 2>&1 || code=$?
    [ -z "$scratch" ] || rm -rf "$scratch"
    if [ "$code" -eq 0 ]; then
        local runs rate
        runs=$(grep -o 'number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
        rate=$(grep -o 'average_exec_per_sec: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
        echo "fuzz_$target: $runs executions in ${seconds}s ($rate per second), no finding"
    else
        echo "fuzz_$target: FINDING (see $log)"
        tail -40 "$log"
        return 1
    fi
}

status=0
if [ "$parallel" = "--parallel" ]; then
    pids=()
    for target in $(ls fuzz/corpus); do
        nice -n 19 bash -c "$(declare -f options run); seconds=$seconds; run $target" &
        pids+=($!)
    done
    for pid in "${pids[@]}"; do
        wait "$pid" || status=1
    done
else
    for target in $(ls fuzz/corpus); do
        run "$target" || status=1
    done
fi
exit $status
