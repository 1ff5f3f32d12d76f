#!/usr/bin/env bash
# Runs every benchmark program built into BUILD/bench, then every benchmark script bench/*.sh
# (given BUILD), and prints their figures. A benchmark that fails does not stop the others; the
# failed ones are named at the end and the exit status is 1.
set -uo pipefail
build=${1:-build-bench}
shopt -s nullglob
ran=0
failed=()
for b in "$build"/bench/*/bench_*; do
    # CMake puts bench_*_autogen folders beside the programs.
    [[ -f "$b" && -x "$b" ]] || continue
    name=$(basename "$b")
    echo "== $name"
    ran=$((ran + 1))
    "$b" || failed+=("$name (exit $?)")
done
if [[ $ran -eq 0 ]]; then
    echo "run-benchmarks: no benchmark programs in $build/bench (configure with -DVREL_BENCH=ON)" >&2
    exit 1
fi
root=$(cd "$(dirname "$0")/.." && pwd)
for script in "$root"/bench/*.sh; do
    name=$(basename "$script")
    echo "== $name"
    ran=$((ran + 1))
    "$script" "$build" || failed+=("$name (exit $?)")
done
if [[ ${#failed[@]} -gt 0 ]]; then
    echo "run-benchmarks: ${#failed[@]} of $ran failed: ${failed[*]}" >&2
    exit 1
fi
echo "run-benchmarks: all $ran ran"
