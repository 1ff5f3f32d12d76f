#!/usr/bin/env bash
# The program and feh side by side: one camera window and `feh --reload 1` show the same JPEG
# from one loopback nginx (which sends ETag and Last-Modified and answers conditional requests
# with 304) on one virtual display, at 720p and at 1080p. The camera is refreshed once a second
# with its Refresh key (F5), feh reloads once a second by itself. Each resolution runs two
# phases: the file stays as it is ("unchanged"), then it is replaced by a different picture
# before every refresh ("changed"). Printed for both and as ratios (program / feh): CPU time per
# refresh, resident memory at the end of the phase, and bytes on the wire per unchanged refresh
# (response plus request, from nginx's access log). At 720p a third phase presses a key bound to
# nothing instead of F5, to show what the presses themselves cost the program.
# Then the program alone, for its memory targets: with no camera window, with one and with 1+N
# 640x480 windows (the cost of each further window), and one 720p camera refreshed many times
# with a new picture each time (whether its memory stays flat). The last lines hold one target
# each, with its figure and whether it is met; an unmet target does not fail the run, the figures
# are what it is for.
# Usage: feh_side_by_side.sh [build dir with bin/vrel-web-camera, default build-bench]
# FEH_BENCH_SECONDS sets the length of one phase (default 30), FEH_BENCH_REFRESHES the refreshes
# of the flat-memory run (default 1000; memory is compared after a tenth of them and at the end),
# FEH_BENCH_WINDOWS the further 640x480 windows (default 4). feh is installed when missing.
set -euo pipefail

build=$(cd "${1:-build-bench}" && pwd)
program=$build/bin/vrel-web-camera
regedit=$build/bin/vrel-regedit
seconds=${FEH_BENCH_SECONDS:-30}
refreshes=${FEH_BENCH_REFRESHES:-1000}
windows=${FEH_BENCH_WINDOWS:-4}
[[ $seconds =~ ^[1-9][0-9]*$ && $refreshes =~ ^[1-9][0-9]+$ && $windows =~ ^[1-9][0-9]*$ ]] || {
    echo "feh_side_by_side: FEH_BENCH_SECONDS and FEH_BENCH_WINDOWS need a whole number above 0," \
        "FEH_BENCH_REFRESHES one of at least 10" >&2
    exit 1
}
[[ -x "$program" && -x "$regedit" ]] || {
    echo "feh_side_by_side: build vrel-web-camera and vrel-regedit in $build first" >&2
    exit 1
}

if ! command -v feh >/dev/null; then
    echo "feh_side_by_side: installing feh" >&2
    sudo=""
    [[ $(id -u) -ne 0 ]] && sudo=sudo
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends feh >/dev/null
fi
PATH=$PATH:/usr/sbin
for tool in nginx Xvfb trayer xwininfo xdotool convert python3 curl; do
    command -v "$tool" >/dev/null || { echo "feh_side_by_side: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done

work=$(mktemp -d)
pids=()
cleanup()
{
    local p
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    for p in "${pids[@]}"; do wait "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

# Two different pictures per size, as a camera's successive frames would be.
mkdir -p "$work/www"
for size in 640x480 1280x720 1920x1080; do
    for frame in a b; do
        seed=$([[ $frame == a ]] && echo 7 || echo 11)
        convert -seed "$seed" -size "$size" plasma:fractal -blur 0x0.6 -quality 87 "$work/$size-$frame.jpg"
    done
done

port=$(python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
cat >"$work/nginx.conf" <<EOF
daemon off;
master_process off;
worker_processes 1;
pid $work/nginx.pid;
error_log $work/error.log warn;
events { worker_connections 64; }
http {
    log_format bench '\$request_uri \$status \$bytes_sent \$request_length';
    access_log $work/access.log bench;
    client_body_temp_path $work/body;
    proxy_temp_path $work/proxy;
    fastcgi_temp_path $work/fastcgi;
    uwsgi_temp_path $work/uwsgi;
    scgi_temp_path $work/scgi;
    types { image/jpeg jpg; }
    server {
        listen 127.0.0.1:$port;
        root $work/www;
    }
}
EOF
nginx -c "$work/nginx.conf" -p "$work" &
pids+=($!)

fdfile=$work/display
Xvfb -displayfd 3 -screen 0 3840x2400x24 -nolisten tcp -noreset 3>"$fdfile" 2>/dev/null &
pids+=($!)
for _ in $(seq 1 500); do [[ -s "$fdfile" ]] && break; sleep 0.01; done
[[ -s "$fdfile" ]] || { echo "feh_side_by_side: Xvfb did not start" >&2; exit 1; }
display=$(tr -d '[:space:]' <"$fdfile")
export DISPLAY=":$display"
export QT_QPA_PLATFORM=xcb DBUS_SESSION_BUS_ADDRESS=disabled:
unset WAYLAND_DISPLAY
export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config
mkdir -m 700 "$XDG_RUNTIME_DIR"
for _ in $(seq 1 500); do
    curl -s -o /dev/null "http://127.0.0.1:$port/" && break
    sleep 0.01
done
# A notification area for the tray icon: without one the program opens a window that says so
# after a few seconds, and "no window" would not be measured without a window.
trayer --edge top --align right --widthtype request --height 32 --SetDockType true --transparent false \
    >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 1 500); do
    # awk reads to the end: stopping early would kill xwininfo with SIGPIPE under pipefail.
    xwininfo -root -tree 2>/dev/null | awk '/\("panel" "trayer"\)/ { found = 1 } END { exit !found }' && break
    sleep 0.01
done
# The server revalidates: a request with the validators it sent gets a 304 without the picture.
cp "$work/1280x720-a.jpg" "$work/www/cam.jpg"
etag=$(curl -s -D - -o /dev/null "http://127.0.0.1:$port/cam.jpg" | awk -F': ' 'tolower($1) == "etag" { print $2 }' | tr -d '\r')
revalidated=$(curl -s -o /dev/null -w '%{http_code} %{size_download}' -H "If-None-Match: $etag" \
    "http://127.0.0.1:$port/cam.jpg")
echo "server: ETag $etag; a request with If-None-Match gets: $revalidated (status, body bytes)"
echo "pictures: $(stat -c '%n %s' "$work"/*.jpg | sed "s|$work/||" | tr '\n' ' ')"

# CPU time of a process so far, in clock ticks.
ticks()
{
    awk '{ print $14 + $15 }' "/proc/$1/stat"
}
rss_mb()
{
    awk '/^VmRSS/ { printf "%.1f", $2 / 1024 }' "/proc/$1/status"
}
# Resident memory once it has settled: the last four readings half a second apart agree within
# 0.2 MB, and at least 6 s have passed since the program started, so that the tray check it makes
# after 5 s has been made. Gives up after 30 s and takes the last reading.
settled_rss_mb()
{
    local pid=$1 started=$2 readings=() i spread
    for i in $(seq 1 60); do
        readings+=("$(rss_mb "$pid")")
        ((${#readings[@]} > 4)) && readings=("${readings[@]:1}")
        if ((${#readings[@]} == 4 && $(date +%s) - started >= 6)); then
            spread=$(printf '%s\n' "${readings[@]}" | sort -n | awk 'NR == 1 { lo = $1 } { hi = $1 } END { print hi - lo }')
            awk -v s="$spread" 'BEGIN { exit !(s <= 0.2) }' && break
        fi
        sleep 0.5
    done
    echo "${readings[-1]}"
}
# wait_done TRACE COUNT [SECONDS]: waits until TRACE holds at least COUNT "Status: Done" lines, at
# most SECONDS (default 5); false when they did not come. done_lines holds the count found.
done_lines=0
wait_done()
{
    local trace=$1 count=$2 tries=$((${3:-5} * 100))
    for _ in $(seq 1 "$tries"); do
        done_lines=$(grep -c 'Status: Done' "$trace" || true)
        [[ $done_lines -ge $count ]] && return 0
        sleep 0.01
    done
    return 1
}
ms_per_tick=$(awk -v t="$(getconf CLK_TCK)" 'BEGIN { print 1000 / t }')
# CPU time over a phase comes from perf's task-clock where perf may count here (nanoseconds, and
# threads started meanwhile, the download threads, are counted), else from /proc's clock ticks,
# 10 ms apart: then one tick more or less over 30 refreshes is 0.3 ms per refresh.
cpu_source=ticks
if command -v perf >/dev/null && perf stat -x, -e task-clock -o /dev/null true 2>/dev/null; then
    cpu_source=perf
fi
echo "CPU time from: $cpu_source"
declare -A cpu_watch cpu_begin
# cpu_start NAME PID / cpu_ms NAME PID: the CPU milliseconds PID used between the two calls.
cpu_start()
{
    if [[ $cpu_source == perf ]]; then
        perf stat -x, -e task-clock -p "$2" -o "$work/cpu-$1.txt" 2>/dev/null &
        cpu_watch[$1]=$!
        # perf has attached once its output file exists.
        for _ in $(seq 1 200); do [[ -s "$work/cpu-$1.txt" ]] && break; sleep 0.01; done
    else
        cpu_begin[$1]=$(ticks "$2")
    fi
}
cpu_ms()
{
    if [[ $cpu_source == perf ]]; then
        kill -INT "${cpu_watch[$1]}" 2>/dev/null || true
        wait "${cpu_watch[$1]}" 2>/dev/null || true
        awk -F, '$3 == "task-clock" { printf "%.3f", $1 }' "$work/cpu-$1.txt"
    else
        awk -v t=$(($(ticks "$2") - cpu_begin[$1])) -v m="$ms_per_tick" 'BEGIN { printf "%.3f", t * m }'
    fi
}

# Replaces the served picture by the other frame: a new file, so a new ETag and Last-Modified.
frame_now=a
swap()
{
    frame_now=$([[ $frame_now == a ]] && echo b || echo a)
    cp "$work/$1-$frame_now.jpg" "$work/www/.next.jpg"
    mv "$work/www/.next.jpg" "$work/www/cam.jpg"
}

# Requests of one client (query "?program" or "?feh") in access-log lines FROM..TO: count,
# statuses, average bytes (response + request).
log_figures()
{
    sed -n "$1,$2p" "$work/access.log" | awk -v who="?$3" '
        index($1, who) { n++; bytes += $3 + $4; status[$2]++ }
        END {
            list = ""
            for (s in status) list = list s "x" status[s] " "
            printf "%d %.0f %s\n", n, n ? bytes / n : 0, list
        }'
}

# A user store LABEL-user.db with the program's options and one favourite per NAME=URL, each
# opened at start-up, refreshed on request only, at 100 %, side by side from the top left.
make_store()
{
    local label=$1 reg=$work/$1.reg left=1 favorite
    shift
    cat >"$reg" <<EOF
REGEDIT4

[HKEY_CURRENT_USER\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web Camera]
"ShowTipsOnStartup"=dword:00000000
"CheckForUpdatesOnStartup"=dword:00000000
"StartOnStartup"=dword:00000000
EOF
    for favorite in "$@"; do
        cat >>"$reg" <<EOF

[HKEY_CURRENT_USER\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web Camera\\My Favorites\\${favorite%%=*}]
"URL"="${favorite#*=}"
"UpdateInterval"=dword:00000000
"Scale"=dword:00000064
"RunOnStartup"=dword:00000001
"AlwaysOnTop"=dword:00000000
"Left"=dword:$(printf '%08x' "$left")
"Top"=dword:00000001
EOF
        left=$((left + 660))
    done
    VREL_USER_REGISTRY=$work/$label-user.db VREL_MACHINE_REGISTRY=$work/machine.db "$regedit" import "$reg"
}

# Starts the program quietly on the store of LABEL, tracing into LABEL-trace.log; app is its
# process id, app_started the second it started.
start_program()
{
    VREL_USER_REGISTRY=$work/$1-user.db VREL_MACHINE_REGISTRY=$work/machine.db VREL_TRACE=1 \
        "$program" -start 2>"$work/$1-trace.log" &
    app=$!
    app_started=$(date +%s)
    pids+=("$app")
}

stop_program()
{
    kill "$app" 2>/dev/null || true
    wait "$app" 2>/dev/null || true
}

declare -A result
run_size()
{
    local size=$1 label=$2
    cp "$work/$size-a.jpg" "$work/www/cam.jpg"
    frame_now=a
    make_store "$label" "Bench $label=http://127.0.0.1:$port/cam.jpg?program"
    local trace=$work/$label-trace.log
    start_program "$label"
    feh --reload 1 --borderless --geometry +0+1200 "http://127.0.0.1:$port/cam.jpg?feh" \
        >/dev/null 2>&1 &
    local viewer=$!
    pids+=("$viewer")

    local i
    wait_done "$trace" 1 10 || { echo "feh_side_by_side: the camera window never showed its picture" >&2; exit 1; }
    local window
    window=$(xdotool search --name "^Bench $label\$" | head -1)
    # Let both settle into their once-a-second rhythm.
    sleep 3

    local phase
    # "key": the F5 presses cost something of their own, which a refresh by the window's timer
    # does not: the same presses of a key bound to nothing, for comparison (720p only).
    local phases=(unchanged changed)
    [[ $label == 720p ]] && phases+=(key)
    for phase in "${phases[@]}"; do
        local first_line
        first_line=$(($(wc -l <"$work/access.log") + 1))
        cpu_start app "$app"
        cpu_start feh "$viewer"
        local start_ns next refreshed=0
        start_ns=$(date +%s%N)
        for i in $(seq 1 "$seconds"); do
            [[ $phase == changed ]] && swap "$size"
            local before=$done_lines
            if [[ $phase == key ]]; then
                xdotool windowfocus --sync "$window" key a
                refreshed=$((refreshed + 1))
            else
                xdotool windowfocus --sync "$window" key F5
                wait_done "$trace" $((before + 1)) && refreshed=$((refreshed + 1))
            fi
            # The next refresh a second after the previous one started, as feh's.
            next=$((start_ns + i * 1000000000))
            local now
            now=$(date +%s%N)
            ((now < next)) && sleep "$(awk -v d=$((next - now)) 'BEGIN { printf "%.3f", d / 1e9 }')"
        done
        local app_ms feh_ms
        app_ms=$(cpu_ms app "$app")
        feh_ms=$(cpu_ms feh "$viewer")
        local last_line
        last_line=$(wc -l <"$work/access.log")
        read -r app_requests app_bytes app_status <<<"$(log_figures "$first_line" "$last_line" program)"
        read -r feh_requests feh_bytes feh_status <<<"$(log_figures "$first_line" "$last_line" feh)"
        local key=$label-$phase
        # Three decimals, so that the ratios are not taken of rounded figures.
        result[$key-app-cpu]=$(awk -v t="$app_ms" -v n="$refreshed" 'BEGIN { printf "%.3f", n ? t / n : 0 }')
        result[$key-feh-cpu]=$(awk -v t="$feh_ms" -v n="$feh_requests" 'BEGIN { printf "%.3f", n ? t / n : 0 }')
        result[$key-app-rss]=$(rss_mb "$app")
        result[$key-feh-rss]=$(rss_mb "$viewer")
        result[$key-app-bytes]=$app_bytes
        result[$key-feh-bytes]=$feh_bytes
        printf '%-5s %-9s program: %d refreshes (%d requests: %s) feh: %d requests (%s)\n' \
            "$label" "$phase" "$refreshed" "$app_requests" "${app_status% }" "$feh_requests" "${feh_status% }"
    done
    stop_program
    kill "$viewer" 2>/dev/null || true
    wait "$viewer" 2>/dev/null || true
}

# The program with no camera window: only its tray icon.
run_no_window()
{
    make_store none
    start_program none
    local i
    for i in $(seq 1 1000); do
        grep -q 'step event-loop' "$work/none-trace.log" && break
        sleep 0.01
    done
    grep -q 'step event-loop' "$work/none-trace.log" || { echo "feh_side_by_side: the program did not start" >&2; exit 1; }
    result[none-rss]=$(settled_rss_mb "$app" "$app_started")
    # The notice window would make it a program with a window.
    grep -q 'tray-missing' "$work/none-trace.log" && echo "feh_side_by_side: the tray icon did not dock" >&2
    stop_program
    echo "no window: resident ${result[none-rss]} MB"
}

# The program with COUNT 640x480 camera windows, each shown once; its settled resident memory.
windows_rss_mb()
{
    local count=$1 label=windows-$1 favorites=() i
    for i in $(seq 1 "$count"); do favorites+=("Bench window $i=http://127.0.0.1:$port/small.jpg?program"); done
    make_store "$label" "${favorites[@]}"
    start_program "$label"
    wait_done "$work/$label-trace.log" "$count" 20 || {
        echo "feh_side_by_side: $done_lines of $count windows showed their picture" >&2
        exit 1
    }
    settled_rss_mb "$app" "$app_started"
    stop_program
}

# What each further 640x480 window costs: 1+N windows against one, divided by N.
run_windows()
{
    cp "$work/640x480-a.jpg" "$work/www/small.jpg"
    local one many
    # Not in $(...): a subshell's exit would not end the run, and the process it started would not
    # reach this shell's list of processes to end.
    windows_rss_mb 1 >"$work/one.rss"
    windows_rss_mb $((windows + 1)) >"$work/many.rss"
    one=$(<"$work/one.rss")
    many=$(<"$work/many.rss")
    result[window-rss]=$(awk -v a="$one" -v b="$many" -v n="$windows" 'BEGIN { printf "%.2f", (b - a) / n }')
    echo "640x480 windows: 1 window $one MB, $((windows + 1)) windows $many MB," \
        "each further one ${result[window-rss]} MB"
}

# One 720p camera refreshed $refreshes times, each time as soon as the previous refresh showed
# Done and each time with a new picture, as in the changed phase: resident memory after a tenth of
# the refreshes (once every buffer has had its first use) and after all of them.
run_flat()
{
    cp "$work/1280x720-a.jpg" "$work/www/cam.jpg"
    frame_now=a
    make_store flat "Bench flat=http://127.0.0.1:$port/cam.jpg?program"
    local trace=$work/flat-trace.log checkpoint=$((refreshes / 10)) i failed=0
    start_program flat
    wait_done "$trace" 1 10 || { echo "feh_side_by_side: the camera window never showed its picture" >&2; exit 1; }
    local window
    window=$(xdotool search --name '^Bench flat$' | head -1)
    for i in $(seq 1 "$refreshes"); do
        swap 1280x720
        local before=$done_lines
        xdotool windowfocus --sync "$window" key F5
        wait_done "$trace" $((before + 1)) || failed=$((failed + 1))
        ((i == checkpoint)) && result[flat-early-rss]=$(rss_mb "$app")
    done
    result[flat-late-rss]=$(rss_mb "$app")
    result[flat-growth]=$(awk -v a="${result[flat-early-rss]}" -v b="${result[flat-late-rss]}" \
        'BEGIN { printf "%.1f", b - a }')
    stop_program
    echo "flat: ${result[flat-early-rss]} MB after $checkpoint refreshes, ${result[flat-late-rss]} MB after" \
        "$refreshes ($failed without Done within 5 s)"
}

ratio()
{
    awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "-" }'
}

run_size 1280x720 720p
run_size 1920x1080 1080p
run_no_window
run_windows
run_flat

# A figure with one decimal (two below 1); "-" stays.
fig()
{
    awk -v v="$1" 'BEGIN { if (v == "-" || v == "") print "-"; else printf(v < 10 ? "%.2f" : "%.1f", v) }'
}

echo
printf '%-30s %10s %10s %8s\n' "measure" "program" "feh" "ratio"
for label in 720p 1080p; do
    for phase in unchanged changed; do
        k=$label-$phase
        printf '%-30s %10s %10s %8s\n' "$label $phase: CPU ms/refresh" "$(fig "${result[$k-app-cpu]}")" \
            "$(fig "${result[$k-feh-cpu]}")" "$(ratio "${result[$k-app-cpu]}" "${result[$k-feh-cpu]}")"
    done
    [[ -n ${result[$label-key-app-cpu]:-} ]] &&
        printf '%-30s %10s\n' "$label key press alone: CPU ms" "$(fig "${result[$label-key-app-cpu]}")"
    k=$label-changed
    printf '%-30s %10s %10s %8s\n' "$label resident MB" "${result[$k-app-rss]}" "${result[$k-feh-rss]}" \
        "$(ratio "${result[$k-app-rss]}" "${result[$k-feh-rss]}")"
    k=$label-unchanged
    printf '%-30s %10s %10s %8s\n' "$label bytes/unchanged refresh" "${result[$k-app-bytes]}" \
        "${result[$k-feh-bytes]}" "$(ratio "${result[$k-app-bytes]}" "${result[$k-feh-bytes]}")"
    printf '%-30s %10s %10s %8s\n' "$label unchanged/changed CPU" "" "" \
        "$(ratio "${result[$label-unchanged-app-cpu]}" "${result[$label-changed-app-cpu]}")"
    # What the window's own timer would cost: the same ratio without what the presses cost alone.
    if [[ -n ${result[$label-key-app-cpu]:-} ]]; then
        key=${result[$label-key-app-cpu]}
        printf '%-30s %10s %10s %8s\n' "$label same, less the key press" "" "" \
            "$(ratio "$(awk -v a="${result[$label-unchanged-app-cpu]}" -v k="$key" 'BEGIN { print a - k }')" \
                "$(awk -v a="${result[$label-changed-app-cpu]}" -v k="$key" 'BEGIN { print a - k }')")"
    fi
done

# One line per target: the figure, the bound it must not exceed, and the verdict.
target()
{
    local what=$1 figure=$2 bound=$3 verdict
    verdict=$(awk -v f="$figure" -v b="$bound" 'BEGIN { print (f != "-" && f != "" && f + 0 <= b + 0) ? "met" : "NOT met" }')
    printf '%-46s %8s  <= %-6s %s\n' "$what" "$figure" "$bound" "$verdict"
}
echo
printf '%-46s %8s  %-9s %s\n' "target" "figure" "bound" "verdict"
target "resident MB, no window" "${result[none-rss]}" 30
target "resident MB, one 720p camera" "${result[720p-changed-app-rss]}" 40
target "resident MB, one 1080p camera" "${result[1080p-changed-app-rss]}" 48
target "resident MB, each further 640x480 window" "${result[window-rss]}" 2
# Flat: at most 1 MB between the two readings, less than a third of one 720p frame (3.5 MB) and
# 1.1 KB per refresh over 900.
target "resident MB growth, refresh $((refreshes / 10)) to $refreshes" "${result[flat-growth]}" 1
for label in 720p 1080p; do
    target "$label unchanged / changed refresh, CPU" \
        "$(ratio "${result[$label-unchanged-app-cpu]}" "${result[$label-changed-app-cpu]}")" 0.1
done
for label in 720p 1080p; do
    target "$label bytes on the wire per unchanged refresh" "${result[$label-unchanged-app-bytes]}" 1024
done
target "720p changed refresh, CPU program / feh" \
    "$(ratio "${result[720p-changed-app-cpu]}" "${result[720p-changed-feh-cpu]}")" 0.3
target "1080p changed refresh, CPU program / feh" \
    "$(ratio "${result[1080p-changed-app-cpu]}" "${result[1080p-changed-feh-cpu]}")" 0.25
