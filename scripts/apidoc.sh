#!/usr/bin/env bash
# Renders the API reference of the module's public headers (and this README as its first page)
# to HTML, by default in build/apidoc/html, and fails on any Doxygen warning.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-build/apidoc}")

command -v doxygen >/dev/null || scripts/deps.sh
mkdir -p "$out"
log="$out/warnings.log"
rm -f "$log"
{ cat doc/Doxyfile; echo "OUTPUT_DIRECTORY = $out"; echo "WARN_LOGFILE = $log"; } | doxygen - >/dev/null
if [ -s "$log" ]; then
    cat "$log"
    echo "apidoc: $(wc -l <"$log") warning line(s) above"
    exit 1
fi
echo "apidoc: $out/html/index.html, no warning"
