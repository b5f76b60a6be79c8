#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test through ctest: the default build,
# every QtTest suite again under AddressSanitizer + UndefinedBehaviorSanitizer (leaks included),
# and a short run of every libFuzzer target, which prints each target's executions per second.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

# What the reliability tests counted (driver steps, engine cycles), from ctest's own log.
counts() {
    grep -h "^QINFO" "build/$1/Testing/Temporary/LastTest.log" | sed 's/^QINFO  : /   /' || true
}

echo "== default build"
cmake --preset default
cmake --build --preset default -j"$jobs"
ctest --preset default -j"$jobs"
counts default

echo "== sanitizer suite (ASan + UBSan)"
cmake --preset asan
cmake --build --preset asan -j"$jobs"
ctest --preset asan -j"$jobs"
counts asan

echo "== fuzzing, ${FUZZ_SECONDS:-10}s per target"
scripts/fuzz.sh "${FUZZ_SECONDS:-10}"
