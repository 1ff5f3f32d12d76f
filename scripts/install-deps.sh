#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and `make run` need, and only those missing.
set -euo pipefail

packages=(
    cmake g++ make pkg-config ccache
    # The format check of make test, and scripts/clang-tidy.sh.
    clang-format clang-tidy
    qt6-base-dev libcurl4-openssl-dev libsqlite3-dev libjpeg62-turbo-dev libpng-dev libxcb1-dev libxcb-xinput-dev
    # Test servers and the virtual desktop used by the end-to-end tests and by `make run` without a display.
    nginx-light openssl ca-certificates
    xvfb trayer xdotool x11-utils imagemagick openbox
    # The Wayland session test: a headless compositor with XWayland, a StatusNotifier tray, screenshots.
    sway waybar grim qt6-wayland xwayland dbus dbus-user-session
    # The install and package test.
    desktop-file-utils appstream lintian man-db
)

missing=()
for p in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

echo "install-deps: installing ${missing[*]}" >&2
sudo=""
if [[ $(id -u) -ne 0 ]]; then
    if command -v sudo >/dev/null; then sudo="sudo"; else
        echo "install-deps: need root (or sudo) to install: ${missing[*]}" >&2
        exit 1
    fi
fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
