#!/usr/bin/env bash
# Runs clang-tidy (the checks in .clang-tidy) over C++ files, with the flags of a configured build.
#
#   scripts/clang-tidy.sh               files changed against origin (or main when there is no origin)
#   scripts/clang-tidy.sh BASE          files changed against BASE, a commit or branch
#   scripts/clang-tidy.sh --all [DIR]   every tracked file, or those under DIR (say platform/)
#
# Changed files are those committed since the merge base with BASE plus those changed in the
# working tree. A changed header brings in the .cpp of the same name beside it. BUILD names the
# build folder (default: build); it must be built (make build), for its compile_commands.json and
# the moc output the tests include.
# Exit status 1 when clang-tidy found anything.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${BUILD:-build}
jobs=${JOBS:-$(nproc)}

if [[ ! -f "$build/compile_commands.json" ]]; then
    echo "clang-tidy.sh: no $build/compile_commands.json; configure first (make build)" >&2
    exit 2
fi

files=()
if [[ "${1:-}" == "--all" ]]; then
    mapfile -t files < <(git ls-files -- "${2:-.}" | grep -E '\.cpp$' || true)
else
    base=${1:-}
    if [[ -z "$base" ]]; then
        for candidate in origin/HEAD origin/main main; do
            if git rev-parse --verify -q "$candidate" >/dev/null; then
                base=$candidate
                break
            fi
        done
    fi
    if [[ -z "$base" ]] || ! git rev-parse --verify -q "$base" >/dev/null; then
        echo "clang-tidy.sh: no base to compare with (${base:-origin or main}); name one or use --all" >&2
        exit 2
    fi
    mapfile -t changed < <({
        git diff --name-only --diff-filter=d "$(git merge-base "$base" HEAD)" HEAD
        git diff --name-only --diff-filter=d HEAD
    } | sort -u)
    for f in "${changed[@]}"; do
        case "$f" in
        *.cpp) files+=("$f") ;;
        *.h) [[ -f "${f%.h}.cpp" ]] && files+=("${f%.h}.cpp") ;;
        esac
    done
    mapfile -t files < <(printf '%s\n' "${files[@]}" | sort -u | sed '/^$/d')
fi

# Only files the build compiles have flags; scripts and test data do not.
known=()
for f in "${files[@]}"; do
    if grep -qF "\"file\": \"$PWD/$f\"" "$build/compile_commands.json"; then
        known+=("$f")
    fi
done
if [[ ${#known[@]} -eq 0 ]]; then
    echo "clang-tidy.sh: no C++ files to check"
    exit 0
fi

echo "clang-tidy.sh: checking ${#known[@]} files with $jobs jobs" >&2
# clang-tidy prints "N warnings generated" for every file, most of them in Qt's headers that the
# header filter hides; only the findings themselves are worth a line.
if printf '%s\0' "${known[@]}" |
    xargs -0 -n 1 -P "$jobs" clang-tidy -p "$build" --quiet 2> >(grep -v -E '^[0-9]+ warnings? (and [0-9]+ errors? )?generated\.$|^Suppressed [0-9]+ warnings|^Use -header-filter' >&2); then
    echo "clang-tidy.sh: clean" >&2
else
    echo "clang-tidy.sh: findings above" >&2
    exit 1
fi
