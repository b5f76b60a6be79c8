#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for the given number of seconds
# (default 300). New inputs go to build/fuzz/corpus-<target>; crashes to build/fuzz/crash-*.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-300}

scripts/deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j"$(nproc)" >/dev/null

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1
status=0
for target in $(ls fuzz/corpus); do
    work=build/fuzz/corpus-$target
    mkdir -p "$work"
    log=build/fuzz/fuzz_$target.log
    if build/fuzz/fuzz/fuzz_$target "$work" "fuzz/corpus/$target" -max_total_time="$seconds" \
        -artifact_prefix=build/fuzz/crash-$target- -print_final_stats=1 >"$log" 2>&1; then
        runs=$(grep -o 'stat::number_of_executed_units: *[0-9]*' "$log" | grep -o '[0-9]*$' || echo "?")
        echo "fuzz_$target: $runs executions in ${seconds}s, no finding"
    else
        echo "fuzz_$target: FINDING (see $log)"
        tail -40 "$log"
        status=1
    fi
done
exit $status
