#!/usr/bin/env bash
# Runs every benchmark program built into BUILD/bench and prints its figures.
set -euo pipefail
build=${1:-build-bench}
shopt -s nullglob
for b in "$build"/bench/*/bench_*; do
    [[ -x "$b" ]] || continue
    echo "== $(basename "$b")"
    "$b"
done
