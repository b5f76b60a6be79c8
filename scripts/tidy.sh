#!/usr/bin/env bash
# Runs clang-tidy with the committed .clang-tidy over all of our own sources; fails on any
# finding. The fuzz targets are read through the fuzz build, the rest through the default one.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/deps.sh
if ! command -v run-clang-tidy-14 >/dev/null; then
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO="sudo"
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends clang-tidy-14
fi

root=$(pwd)
cmake --preset default >/dev/null
cmake --build --preset default >/dev/null # generated protobuf and moc headers
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null

log=$(mktemp)
trap 'rm -f "$log"' EXIT
run-clang-tidy-14 -quiet -p build/default -j"$(nproc)" \
    "$root/(meeting|host|engine|demo|tests|benchmarks)/.*\.cpp$" >"$log" 2>&1 || true
run-clang-tidy-14 -quiet -p build/fuzz -j"$(nproc)" "$root/fuzz/.*\.cpp$" >>"$log" 2>&1 || true
if grep -E "(warning|error):" "$log"; then
    echo "clang-tidy: findings above"
    exit 1
fi
echo "clang-tidy: clean"
