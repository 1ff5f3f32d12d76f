#!/usr/bin/env bash
# `make run`: start the program in the user's desktop, or on a virtual one when there is none.
set -euo pipefail
program=${1:?usage: run.sh PROGRAM}
[[ -x "$program" ]] || { echo "run: $program was not built" >&2; exit 1; }

if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
    exec "$program"
fi

here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=virtual-desktop.sh
source "$here/virtual-desktop.sh"
shot="$(cd "$(dirname "$program")/.." && pwd)/run-screenshot.png"
app=""
sleeper=""

finish()
{
    trap - EXIT INT TERM
    [[ -n "$sleeper" ]] && kill "$sleeper" 2>/dev/null
    # The program first, so that it never outlives its display.
    if [[ -n "$app" ]]; then
        kill "$app" 2>/dev/null || true
        wait "$app" 2>/dev/null || true
    fi
    vd_stop
}
trap finish EXIT
trap 'echo; echo "run: stopped."; exit 0' INT TERM

# A window manager, so that dialogs get their frames and stay-on-top works as on a desktop.
vd_start openbox
vd_spawn "$program"
app=$!
echo "run: no desktop here, so the program runs on the virtual display $DISPLAY (with a tray)."
echo "run: a screenshot of that display is written to $shot every 3 seconds; Ctrl+C ends it."
while kill -0 "$app" 2>/dev/null; do
    # Written aside and renamed, so that a viewer never reads half a picture.
    import -display "$DISPLAY" -window root "$shot.tmp.png" 2>/dev/null && mv -f "$shot.tmp.png" "$shot" || true
    sleep 3 &
    sleeper=$!
    # wait, unlike a plain sleep, lets Ctrl+C through at once.
    wait "$sleeper" || true
    sleeper=""
done
status=0
wait "$app" || status=$?
app=""
echo "run: the program ended (exit status $status)."
