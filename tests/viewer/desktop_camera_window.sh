#!/usr/bin/env bash
# Opens a camera window on a private X display (Xvfb with a window manager) and checks from a
# screenshot what a user sees: the picture, the three white-on-black lines and a frameless window
# at the camera's stored position.
# Usage: desktop_camera_window.sh <show_camera_window program> <folder for the screenshot>
set -euo pipefail

helper=$1
out=${2:-.}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=../../scripts/virtual-desktop.sh
source "$here/../../scripts/virtual-desktop.sh"

work=$(mktemp -d)
helper_pid=""
failures=0

cleanup()
{
    exec 3>&- 2>/dev/null || true
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
    if [[ "$got" == "$want" ]]; then
        echo "ok   $what: $got"
    else
        echo "FAIL $what: got '$got', want '$want'"
        failures=$((failures + 1))
    fi
}

check_range()
{
    local what=$1 got=$2 low=$3 high=$4
    if awk -v g="$got" -v l="$low" -v h="$high" 'BEGIN { exit !(g >= l && g <= h) }'; then
        echo "ok   $what: $got in [$low, $high]"
    else
        echo "FAIL $what: $got not in [$low, $high]"
        failures=$((failures + 1))
    fi
}

pixel()
{
    convert "$shot" -format "%[hex:p{$1,$2}]" info:
}

# Fraction of bright (text) pixels in a rectangle of the screenshot.
bright_fraction()
{
    convert "$shot" -crop "$3x$4+$1+$2" +repage -colorspace gray -threshold 70% -format '%[fx:mean]' info:
}

# Openbox honours stay-on-top and frames ordinary windows, so a missing frame means something.
vd_start openbox notray

mkfifo "$work/stdin"
"$helper" <"$work/stdin" >"$work/helper.out" 2>"$work/helper.err" &
helper_pid=$!
exec 3>"$work/stdin"

ready=""
for _ in $(seq 1 2000); do
    ready=$(grep -m1 '^ready ' "$work/helper.out" || true)
    [[ -n "$ready" ]] && break
    kill -0 "$helper_pid" 2>/dev/null || break
    sleep 0.01
done
if [[ -z "$ready" ]]; then
    echo "FAIL the camera window did not get its picture"
    cat "$work/helper.err" >&2
    exit 1
fi
echo "$ready"
for field in $ready; do
    case $field in
        x=*) wx=${field#x=} ;;
        y=*) wy=${field#y=} ;;
        w=*) ww=${field#w=} ;;
        h=*) wh=${field#h=} ;;
        image=*) IFS=, read -r ix iy iw ih <<<"${field#image=}" ;;
        status_top=*) st=${field#status_top=} ;;
        margin=*) margin=${field#margin=} ;;
    esac
done

# What the window manager and the X server know about the window.
wid=$(xwininfo -root -tree | awk '/"Desktop Cam"/ { id = $1 } END { print id }')
[[ -n "$wid" ]] || { echo "FAIL no window titled Desktop Cam"; exit 1; }
info=$(xwininfo -id "$wid")
check "window left on screen" "$(awk '/Absolute upper-left X/ { print $NF }' <<<"$info")" 100
check "window top on screen" "$(awk '/Absolute upper-left Y/ { print $NF }' <<<"$info")" 80
check "window width" "$(awk '/Width:/ { print $NF }' <<<"$info")" 330
check "window height" "$(awk '/Height:/ { print $NF }' <<<"$info")" 303
check "window manager frame" "$(xprop -id "$wid" _NET_FRAME_EXTENTS | sed 's/.*= //')" "0, 0, 0, 0"
states=$(xprop -id "$wid" _NET_WM_STATE)
check "stays on top" "$(grep -c _NET_WM_STATE_ABOVE <<<"$states" || true)" 1
# A tool window: utility type first, transient for the program, so taskbars and the window
# switcher leave it out.
check "window type" "$(xprop -id "$wid" _NET_WM_WINDOW_TYPE | sed 's/.*= //; s/,.*//')" "_NET_WM_WINDOW_TYPE_UTILITY"
check "transient for the program" "$(xprop -id "$wid" WM_TRANSIENT_FOR | grep -c 'window id' || true)" 1
check "layout from the picture" "$wx,$wy,$ww,$wh,$ix,$iy,$iw,$ih,$st" "100,80,330,303,5,5,320,240,249"

shot="$out/desktop-camera-window.png"
import -display "$DISPLAY" -window root "$shot"

# The picture, unscaled, in the image area: one flat colour per quadrant.
check "picture top-left quadrant" "$(pixel $((wx + ix + 80)) $((wy + iy + 60)))" DC1E1E
check "picture top-right quadrant" "$(pixel $((wx + ix + 240)) $((wy + iy + 60)))" 1EC828
check "picture bottom-left quadrant" "$(pixel $((wx + ix + 80)) $((wy + iy + 180)))" 1E3CDC
check "picture bottom-right quadrant" "$(pixel $((wx + ix + 240)) $((wy + iy + 180)))" F0DC14
check "picture first pixel" "$(pixel $((wx + ix)) $((wy + iy)))" DC1E1E
check "picture last pixel" "$(pixel $((wx + ix + iw - 1)) $((wy + iy + ih - 1)))" F0DC14
expected_margin=$(tr '[:lower:]' '[:upper:]' <<<"${margin#\#}")
check "margin colour" "$(pixel $((wx + 2)) $((wy + 2)))" "$expected_margin"
check "margin below the lines" "$(pixel $((wx + ww / 2)) $((wy + wh - 2)))" "$expected_margin"

# The three lines: black strips with white text in the middle, none at the ends.
line_width=$((ww - 10))
for n in 0 1 2; do
    top=$((wy + st + n * 16))
    left=$((wx + 5))
    check "line $n background" "$(pixel $((left + 1)) $((top + 1)))" 000000
    check_range "line $n text in the middle" "$(bright_fraction $((left + 100)) "$top" 120 16)" 0.03 0.6
    check_range "line $n nothing at its left end" "$(bright_fraction "$left" "$top" 20 16)" 0 0
done

# "Stay on top" off: the window manager drops the state, the window stays where it was, shown.
echo toggle >&3
toggled=""
for _ in $(seq 1 500); do
    toggled=$(grep -m1 '^toggled ' "$work/helper.out" || true)
    [[ -n "$toggled" ]] && break
    sleep 0.01
done
check "after switching stay-on-top off" "$toggled" "toggled visible=1 on_top=0"
wid=$(xwininfo -root -tree | awk '/"Desktop Cam"/ { id = $1 } END { print id }')
info=$(xwininfo -id "$wid")
check "still shown" "$(awk '/Map State/ { print $NF }' <<<"$info")" IsViewable
check "still at its place" "$(awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF } END { print x "," y }' <<<"$info")" "100,80"
check "no longer on top" "$(xprop -id "$wid" _NET_WM_STATE | grep -c _NET_WM_STATE_ABOVE || true)" 0

# Dragged by its picture with the real pointer: it follows the pointer and keeps its size.
xdotool mousemove $((wx + 60)) $((wy + 60))
xdotool mousedown 1
for step in 1 2 3 4; do
    xdotool mousemove $((wx + 60 + step * 10)) $((wy + 60 + step * 8))
    sleep 0.05
done
xdotool mouseup 1
sleep 0.2
info=$(xwininfo -id "$wid")
check "dragged to" "$(awk '/Absolute upper-left X/ { x = $NF } /Absolute upper-left Y/ { y = $NF } END { print x "," y }' <<<"$info")" "140,112"
check "size after the drag" "$(awk '/Width:/ { w = $NF } /Height:/ { h = $NF } END { print w "x" h }' <<<"$info")" "330x303"

echo "screenshot: $shot"
if ((failures > 0)); then
    echo "$failures check(s) failed"
    exit 1
fi
echo "all checks passed"
