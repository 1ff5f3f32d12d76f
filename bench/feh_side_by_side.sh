#!/usr/bin/env bash
# The program and feh side by side: one camera window and `feh --reload 1` show the same JPEG
# from one loopback nginx (which sends ETag and Last-Modified and answers conditional requests
# with 304) on one virtual display, at 720p and at 1080p. The camera is refreshed once a second
# with its Refresh key (F5), feh reloads once a second by itself. Each resolution runs two
# phases: the file stays as it is ("unchanged"), then it is replaced by a different picture
# before every refresh ("changed"). Printed for both and as ratios (program / feh): CPU time per
# refresh, resident memory at the end of the phase, and bytes on the wire per unchanged refresh
# (response plus request, from nginx's access log).
# Usage: feh_side_by_side.sh [build dir with bin/vrel-web-camera, default build-bench]
# FEH_BENCH_SECONDS sets the length of one phase (default 30). feh is installed when missing.
set -euo pipefail

build=$(cd "${1:-build-bench}" && pwd)
program=$build/bin/vrel-web-camera
regedit=$build/bin/vrel-regedit
seconds=${FEH_BENCH_SECONDS:-30}
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
for tool in nginx Xvfb xdotool convert python3 curl; do
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
for size in 1280x720 1920x1080; do
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
ms_per_tick=$(awk -v t="$(getconf CLK_TCK)" 'BEGIN { print 1000 / t }')

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

declare -A result
run_size()
{
    local size=$1 label=$2
    cp "$work/$size-a.jpg" "$work/www/cam.jpg"
    frame_now=a
    local store=$work/$label-user.db
    cat >"$work/$label.reg" <<EOF
REGEDIT4

[HKEY_CURRENT_USER\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web Camera]
"ShowTipsOnStartup"=dword:00000000
"CheckForUpdatesOnStartup"=dword:00000000
"StartOnStartup"=dword:00000000

[HKEY_CURRENT_USER\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web Camera\\My Favorites\\Bench $label]
"URL"="http://127.0.0.1:$port/cam.jpg?program"
"UpdateInterval"=dword:00000000
"Scale"=dword:00000064
"RunOnStartup"=dword:00000001
"AlwaysOnTop"=dword:00000000
"Left"=dword:00000001
"Top"=dword:00000001
EOF
    VREL_USER_REGISTRY=$store VREL_MACHINE_REGISTRY=$work/machine.db "$regedit" import "$work/$label.reg"

    local trace=$work/$label-trace.log
    VREL_USER_REGISTRY=$store VREL_MACHINE_REGISTRY=$work/machine.db VREL_TRACE=1 \
        "$program" -start 2>"$trace" &
    local app=$!
    pids+=("$app")
    feh --reload 1 --borderless --geometry +0+1200 "http://127.0.0.1:$port/cam.jpg?feh" \
        >/dev/null 2>&1 &
    local viewer=$!
    pids+=("$viewer")

    local done_lines=0 i
    for _ in $(seq 1 1000); do
        done_lines=$(grep -c 'Status: Done' "$trace" || true)
        [[ $done_lines -ge 1 ]] && break
        sleep 0.01
    done
    [[ $done_lines -ge 1 ]] || { echo "feh_side_by_side: the camera window never showed its picture" >&2; exit 1; }
    local window
    window=$(xdotool search --name "^Bench $label\$" | head -1)
    # Let both settle into their once-a-second rhythm.
    sleep 3

    local phase
    for phase in unchanged changed; do
        local first_line app_start feh_start
        first_line=$(($(wc -l <"$work/access.log") + 1))
        app_start=$(ticks "$app")
        feh_start=$(ticks "$viewer")
        local start_ns next refreshed=0
        start_ns=$(date +%s%N)
        for i in $(seq 1 "$seconds"); do
            [[ $phase == changed ]] && swap "$size"
            local before=$done_lines
            xdotool windowfocus --sync "$window" key F5
            for _ in $(seq 1 500); do
                done_lines=$(grep -c 'Status: Done' "$trace" || true)
                [[ $done_lines -gt $before ]] && break
                sleep 0.01
            done
            [[ $done_lines -gt $before ]] && refreshed=$((refreshed + 1))
            # The next refresh a second after the previous one started, as feh's.
            next=$((start_ns + i * 1000000000))
            local now
            now=$(date +%s%N)
            ((now < next)) && sleep "$(awk -v d=$((next - now)) 'BEGIN { printf "%.3f", d / 1e9 }')"
        done
        local app_ticks=$(($(ticks "$app") - app_start))
        local feh_ticks=$(($(ticks "$viewer") - feh_start))
        local last_line
        last_line=$(wc -l <"$work/access.log")
        read -r app_requests app_bytes app_status <<<"$(log_figures "$first_line" "$last_line" program)"
        read -r feh_requests feh_bytes feh_status <<<"$(log_figures "$first_line" "$last_line" feh)"
        local key=$label-$phase
        result[$key-app-cpu]=$(awk -v t="$app_ticks" -v n="$refreshed" -v m="$ms_per_tick" \
            'BEGIN { printf "%.1f", n ? t * m / n : 0 }')
        result[$key-feh-cpu]=$(awk -v t="$feh_ticks" -v n="$feh_requests" -v m="$ms_per_tick" \
            'BEGIN { printf "%.1f", n ? t * m / n : 0 }')
        result[$key-app-rss]=$(rss_mb "$app")
        result[$key-feh-rss]=$(rss_mb "$viewer")
        result[$key-app-bytes]=$app_bytes
        result[$key-feh-bytes]=$feh_bytes
        printf '%-5s %-9s program: %d refreshes (%d requests: %s) feh: %d requests (%s)\n' \
            "$label" "$phase" "$refreshed" "$app_requests" "${app_status% }" "$feh_requests" "${feh_status% }"
    done
    kill "$app" "$viewer" 2>/dev/null || true
    wait "$app" 2>/dev/null || true
    wait "$viewer" 2>/dev/null || true
}

ratio()
{
    awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else printf "-" }'
}

run_size 1280x720 720p
run_size 1920x1080 1080p

echo
printf '%-30s %10s %10s %8s\n' "measure" "program" "feh" "ratio"
for label in 720p 1080p; do
    for phase in unchanged changed; do
        k=$label-$phase
        printf '%-30s %10s %10s %8s\n' "$label $phase: CPU ms/refresh" "${result[$k-app-cpu]}" \
            "${result[$k-feh-cpu]}" "$(ratio "${result[$k-app-cpu]}" "${result[$k-feh-cpu]}")"
    done
    k=$label-changed
    printf '%-30s %10s %10s %8s\n' "$label resident MB" "${result[$k-app-rss]}" "${result[$k-feh-rss]}" \
        "$(ratio "${result[$k-app-rss]}" "${result[$k-feh-rss]}")"
    k=$label-unchanged
    printf '%-30s %10s %10s %8s\n' "$label bytes/unchanged refresh" "${result[$k-app-bytes]}" \
        "${result[$k-feh-bytes]}" "$(ratio "${result[$k-app-bytes]}" "${result[$k-feh-bytes]}")"
done
