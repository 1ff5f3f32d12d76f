#!/usr/bin/env bash
# The program as a user installs it: `cmake --install` into a temporary root, then the Debian
# package built from the same tree, checked by lintian and unpacked into another root. In both
# the installed program is started through its link in bin/ and must find itself there.
# Usage: install_and_package.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

# Starts <root>/usr/bin/vrel-web-camera with private stores and the option to start at log-on;
# the autostart entry it writes must name the installed program.
start_installed() {
    local root=$1 home=$work/home-$2
    mkdir -p "$home/config" "$home/data" "$home/runtime" "$home/tmp"
    chmod 700 "$home/runtime"
    local env=(env -u VREL_AUTO_ANSWER HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data"
               XDG_RUNTIME_DIR="$home/runtime" TMPDIR="$home/tmp" VREL_USER_REGISTRY="$home/user.db"
               VREL_MACHINE_REGISTRY="$home/machine.db" VREL_TRACE=1 QT_QPA_PLATFORM=offscreen
               VREL_WEB_HOST=127.0.0.1:1 VREL_SHELL_OPEN=off)
    printf 'REGEDIT4\n\n[HKEY_CURRENT_USER\\SOFTWARE\\Vrel Kestro Software\\Vrel Kestro Web Camera]\n"StartOnStartup"=dword:00000001\n"ShowTipsOnStartup"=dword:00000000\n"CheckForUpdatesOnStartup"=dword:00000000\n' \
        > "$home/options.reg"
    "${env[@]}" "$root/usr/bin/vrel-regedit" import "$home/options.reg" || fail "$2: the installed vrel-regedit failed"
    "${env[@]}" timeout 60 "$root/usr/bin/vrel-web-camera" -startoptions > "$home/out.txt" 2>&1 \
        || { cat "$home/out.txt" >&2; fail "$2: the installed program did not end cleanly"; }
    grep -q '^vrel-trace: step exit$' "$home/out.txt" || { cat "$home/out.txt" >&2; fail "$2: no exit step"; }
    local exec_line
    exec_line=$(grep '^Exec=' "$home/config/autostart/vrel-web-camera.desktop") || fail "$2: no autostart entry"
    [[ "$exec_line" == "Exec=$(realpath "$root")/usr/lib/vrel-web-camera/vrel-web-camera -start" ]] \
        || fail "$2: autostart names $exec_line"
}

check_tree() {
    local root=$1
    for f in usr/bin/vrel-web-camera usr/bin/vrel-regedit usr/lib/vrel-web-camera/vrel-web-camera \
             usr/lib/vrel-web-camera/vrel-regedit usr/lib/vrel-web-camera/Readme.txt \
             usr/lib/vrel-web-camera/vrel-web-camera.EN usr/lib/vrel-web-camera/TIPS.EN \
             usr/lib/vrel-web-camera/Options.EN usr/lib/vrel-web-camera/Options.DE \
             usr/lib/vrel-web-camera/Options.RU \
             usr/share/applications/vrel-web-camera.desktop \
             usr/share/metainfo/example.vrelkestro.VrelWebCamera.metainfo.xml \
             usr/share/icons/hicolor/scalable/apps/vrel-web-camera.svg \
             usr/share/man/man1/vrel-web-camera.1.gz usr/share/man/man1/vrel-regedit.1.gz \
             usr/share/doc/vrel-web-camera/copyright; do
        [[ -e "$root/$f" ]] || fail "missing $f"
    done
    for size in 16 22 24 32 48 64 128 256; do
        local icon=$root/usr/share/icons/hicolor/${size}x${size}/apps/vrel-web-camera.png
        [[ "$(identify -format '%wx%h' "$icon")" == "${size}x${size}" ]] || fail "icon $icon is not ${size}x${size}"
    done
    [[ -L "$root/usr/bin/vrel-web-camera" ]] || fail "bin/vrel-web-camera is not a link"
    desktop-file-validate "$root/usr/share/applications/vrel-web-camera.desktop"
    appstreamcli validate --no-net "$root/usr/share/metainfo/example.vrelkestro.VrelWebCamera.metainfo.xml" >/dev/null \
        || fail "AppStream metadata does not validate"
    for page in vrel-web-camera vrel-regedit; do
        [[ -n "$(MANWIDTH=80 man -l "$root/usr/share/man/man1/$page.1.gz" 2>&1 | grep -i 'warning')" ]] \
            && fail "man page $page has warnings"
    done
    return 0
}

DESTDIR=$work/installed cmake --install "$build" --prefix /usr > /dev/null
check_tree "$work/installed"
start_installed "$work/installed" installed
echo "cmake --install: ok"

(cd "$build" && cpack -G DEB -B "$work/package" > "$work/cpack.txt" 2>&1) || { cat "$work/cpack.txt" >&2; fail "cpack"; }
deb=$(ls "$work"/package/vrel-web-camera_*.deb)
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "no dependencies computed from the libraries"
# libcurl is opened with dlopen once downloading begins: the program must not link it, and the
# package must still depend on it, as dpkg-shlibdeps cannot see that.
dpkg-deb -f "$deb" Depends | grep -Eq '(^|, )libcurl4 \(>= ' || fail "no dependency on libcurl4"
readelf -d "$build/bin/vrel-web-camera" | grep -q 'NEEDED.*libcurl' && fail "vrel-web-camera links libcurl"
lintian --fail-on error --allow-root "$deb" || fail "lintian reports errors"
dpkg-deb -x "$deb" "$work/unpacked"
check_tree "$work/unpacked"
start_installed "$work/unpacked" unpacked
echo "package $(basename "$deb"): ok"
