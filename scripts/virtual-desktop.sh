# Sourced by `make run` and the end-to-end tests: a private X display with an XEmbed tray host.
# After vd_start: DISPLAY is exported, VD_PIDS holds the processes to end with vd_stop.
# vd_start [openbox] [notray]: "openbox" adds a window manager, "notray" leaves the tray host out.

VD_PIDS=()

# Starts a command in the background in a session of its own, so that Ctrl+C typed in the
# terminal reaches only the calling script, which then ends the pieces in order; the X server
# would otherwise die at once and take its clients down with X errors. Outside job control a
# background child leads no process group, so setsid runs in place and $! is the command.
vd_spawn()
{
    if [[ $- == *m* ]]; then
        "$@" &
    else
        setsid "$@" &
    fi
}

vd_start()
{
    local wm="" tray=yes arg
    for arg in "$@"; do
        case $arg in
            openbox) wm=openbox ;;
            notray) tray=no ;;
        esac
    done
    local fdfile
    fdfile=$(mktemp)
    # -noreset: by default the server resets when its last client leaves, and a client that
    # connects during the reset is dropped (openbox then fails to open the display now and then).
    vd_spawn Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$fdfile" 2>/dev/null
    VD_PIDS+=($!)
    local i
    for i in $(seq 1 500); do [[ -s "$fdfile" ]] && break; sleep 0.01; done
    [[ -s "$fdfile" ]] || { echo "virtual-desktop: Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$(tr -d '[:space:]' <"$fdfile")"
    rm -f "$fdfile"

    # Qt would take the D-Bus tray route and never dock into trayer; keep it on XEmbed.
    export QT_QPA_PLATFORM=xcb
    export DBUS_SESSION_BUS_ADDRESS=disabled:
    unset WAYLAND_DISPLAY
    VD_RUNTIME_DIR=$(mktemp -d)
    chmod 700 "$VD_RUNTIME_DIR"
    export XDG_RUNTIME_DIR="$VD_RUNTIME_DIR"

    if [[ "$wm" == openbox ]]; then
        vd_spawn openbox >/dev/null 2>&1
        VD_PIDS+=($!)
        # Ready once it has announced itself on the root window.
        for i in $(seq 1 500); do
            xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
            sleep 0.01
        done
    fi
    [[ "$tray" == no ]] && return 0
    vd_spawn trayer --edge top --align right --widthtype request --height 32 --SetDockType true \
        --transparent false >/dev/null 2>&1
    VD_PIDS+=($!)
    for i in $(seq 1 500); do
        xwininfo -root -tree 2>/dev/null | grep -q '("panel" "trayer")' && return 0
        sleep 0.01
    done
    echo "virtual-desktop: trayer did not appear" >&2
    return 1
}

vd_stop()
{
    local p
    for p in "${VD_PIDS[@]}"; do kill "$p" 2>/dev/null || true; done
    for p in "${VD_PIDS[@]}"; do wait "$p" 2>/dev/null || true; done
    VD_PIDS=()
    [[ -n "${VD_RUNTIME_DIR:-}" ]] && rm -rf "$VD_RUNTIME_DIR"
    return 0
}
