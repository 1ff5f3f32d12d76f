#!/usr/bin/env bash
# Opens the options window on a private X display with a window manager, owned by a hidden main
# window as in the program, and checks what a task bar reads from it: a normal window, not
# transient for another one and not kept out of the task bar, on top of other windows.
# With "screenshots" it only takes a picture of each page in each language, for a person to
# look at, and checks nothing.
# Usage: options_desktop.sh <show_options program> <folder for the pictures> [screenshots]
set -euo pipefail

helper=$1
out=${2:-.}
mode=${3:-check}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/virtual-desktop.sh
source "$here/../../scripts/virtual-desktop.sh"

work=$(mktemp -d)
helper_pid=""
failures=0

cleanup()
{
    if [[ -n "$helper_pid" ]]; then
        kill "$helper_pid" 2>/dev/null || true
        wait "$helper_pid" 2>/dev/null || true
    fi
    vd_stop
    rm -rf "$work"
}
trap cleanup EXIT

check()
{
    local what=$1 got=$2 want=$3
    if [[ "$got" == *"$want"* ]]; then
        echo "ok   $what: $got"
    else
        echo "FAIL $what: got '$got', want '$want'"
        failures=$((failures + 1))
    fi
}

check_not()
{
    local what=$1 got=$2 unwanted=$3
    if [[ "$got" != *"$unwanted"* ]]; then
        echo "ok   $what: $got"
    else
        echo "FAIL $what: got '$got', which has '$unwanted'"
        failures=$((failures + 1))
    fi
}

export VREL_USER_REGISTRY="$work/user.db" VREL_MACHINE_REGISTRY="$work/machine.db"
export XDG_CONFIG_HOME="$work/config"
vd_start openbox notray

if [[ "$mode" == screenshots ]]; then
    for code in EN DE RU; do
        for page in general favorites; do
            "$helper" "$code" "$page" "$out/options-$page-$code.png"
        done
    done
    exit 0
fi

"$helper" EN general "$out/options-desktop.png" 60 >"$work/helper.out" &
helper_pid=$!
window=""
for _ in $(seq 1 1000); do
    window=$(awk '/^window / { print $2 }' "$work/helper.out")
    [[ -n "$window" ]] && break
    kill -0 "$helper_pid" 2>/dev/null || break
    sleep 0.01
done
if [[ -z "$window" ]]; then
    echo "FAIL the window did not show; the helper said:"
    cat "$work/helper.out"
    exit 1
fi

# Exactly normal: a dialog type in front of it would make a task bar leave it out.
check "window type" "$(xprop -id "$window" _NET_WM_WINDOW_TYPE)" "= _NET_WM_WINDOW_TYPE_NORMAL"
check "transient for" "$(xprop -id "$window" WM_TRANSIENT_FOR)" "WM_TRANSIENT_FOR:  not found."
state=$(xprop -id "$window" _NET_WM_STATE)
check_not "task bar" "$state" "_NET_WM_STATE_SKIP_TASKBAR"
check "on top" "$state" "_NET_WM_STATE_ABOVE"
check "title" "$(xprop -id "$window" _NET_WM_NAME)" '"Options Vrel Web Camera"'
# A task bar lists the window manager's clients.
check "client list" "$(xprop -root _NET_CLIENT_LIST)" "$window"

[[ $failures -eq 0 ]] || { echo "$failures check(s) failed"; exit 1; }
echo "all checks passed"
