#!/usr/bin/env bash
# Cuts the README's pictures out of the screenshots that the desktop tests leave in the build
# folder: run `ctest --test-dir build -R 'tst_desktop|tst_wayland|tst_notray'` first.
# Usage: scripts/readme-screenshots.sh [BUILD-FOLDER]
set -euo pipefail
build=${1:-build}
shots="$build/tests/app"
out="$(dirname "$0")/../packaging/screenshots"
mkdir -p "$out"
cut()
{
    convert "$shots/$1" -crop "$2" +repage -strip -define png:compression-level=9 "$out/$3"
}
# X11 (Xvfb, openbox, trayer): the tray menu with its side bar beside two camera windows.
cut tst_desktop-menu.png 1200x400+80+0 tray-menu-x11.png
# The options window on its General page.
cut tst_desktop-options-general.png 450x355+404+172 options-window.png
# sway and waybar: the same menu below the StatusNotifier icon, through XWayland.
cut tst_wayland-menu.png 1280x400+0+0 tray-menu-sway.png
# No tray at all: the notice with the menu it offers.
cut tst_notray-menu.png 440x380+420+325 no-tray-notice.png
ls -l "$out"
