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
trap 'vd_stop; exit 0' INT TERM
vd_start
trap 'kill "$app" 2>/dev/null || true; vd_stop' EXIT
"$program" &
app=$!
echo "run: no desktop here, so the program runs on the virtual display $DISPLAY."
echo "run: a screenshot of that display is written to $shot every 3 seconds; Ctrl+C ends it."
while kill -0 "$app" 2>/dev/null; do
    import -display "$DISPLAY" -window root "$shot" 2>/dev/null || true
    sleep 3
done
wait "$app" || status=$?
echo "run: the program ended (exit status ${status:-0})."
