#!/usr/bin/env bash
# Installs what is missing, then builds and runs every test through ctest: the default build,
# the whole suite again under AddressSanitizer + UndefinedBehaviorSanitizer (leaks included),
# and a short run of every libFuzzer target.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
export QT_QPA_PLATFORM=offscreen
jobs=$(nproc)

echo "== default build"
cmake --preset default
cmake --build --preset default -j"$jobs"
ctest --preset default -j"$jobs"

echo "== sanitizer suite (ASan + UBSan)"
cmake --preset asan
cmake --build --preset asan -j"$jobs"
ctest --preset asan -j"$jobs"

echo "== fuzzing, ${FUZZ_SECONDS:-10}s per target"
scripts/fuzz.sh "${FUZZ_SECONDS:-10}"
