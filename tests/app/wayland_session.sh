#!/usr/bin/env bash
# Runs tst_wayland in a D-Bus session of its own, as nobody when started as root: sway refuses
# to run as root, and the tray, the program and the bus must belong to one user or the icon
# never registers. The screenshots are copied to the output folder.
# Usage: wayland_session.sh TEST-PROGRAM OUTPUT-FOLDER SOURCE-FOLDER [TEST-ARGUMENTS...]
set -uo pipefail
test_program=$1
out=$2
src=$3

bash "$src/scripts/install-deps.sh" || exit 1

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
as_user=()
if [[ $(id -u) -eq 0 ]]; then
    chown nobody:nogroup "$work"
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
# No bus, display or platform of the caller's: the session brings its own.
(cd "$work" && env -u DBUS_SESSION_BUS_ADDRESS -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM \
    HOME="$work" VREL_WORK="$work" "${as_user[@]}" dbus-run-session -- "$test_program" "${@:4}")
rc=$?
cp "$work"/tst_wayland-*.png "$out"/ 2>/dev/null || true
exit $rc
