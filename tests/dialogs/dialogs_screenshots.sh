#!/usr/bin/env bash
# Screenshots of the tip of the day and the about box on a private X display, in English and
# Russian, as shipped and with the language applied, for a person to look at.
# Usage: dialogs_screenshots.sh <show_dialogs program> <folder for the pictures>
set -euo pipefail

helper=$1
out=${2:-.}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/virtual-desktop.sh
source "$here/../../scripts/virtual-desktop.sh"
trap vd_stop EXIT

vd_start openbox notray
export QT_QPA_PLATFORM=xcb
for window in tips about; do
    for code in EN RU; do
        for mode in plain translated; do
            "$helper" "$window" "$code" "$mode" "$out/dialogs-$window-$code-$mode.png"
            if [[ $window == tips ]]; then
                # The second tip has a line break in it.
                "$helper" "$window" "$code" "$mode" "$out/dialogs-$window-$code-$mode-break.png" 1
            fi
        done
    done
done
