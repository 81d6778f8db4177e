#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing need, but only
# those that are missing, so a prepared machine does not touch the network.
set -euo pipefail

packages=(
    cmake g++ ninja-build pkg-config
    qt6-base-dev qt6-charts-dev libgl-dev
    # Qt6Charts' CMake files need Qt6OpenGL's, which qt6-charts-dev does not pull in.
    libqt6opengl6-dev
    libsqlite3-dev libcanberra-dev
    # Postpeek decodes the headers of mail with it.
    libgmime-3.0-dev
    libgtest-dev libgmock-dev libbenchmark-dev
)
if [[ "${1:-}" == "--tests" ]]; then
    # Real servers on loopback for the network tests, and the tools they compare with.
    packages+=(dovecot-pop3d xinetd rdate curl xvfb xauth)
    # The desktop scenarios: a window manager, the X tools that drive it, and the
    # desktop's own opener with the mime lookup it does through file(1).
    packages+=(openbox xdotool x11-utils xdg-utils file)
    # The desktop's own checker and launcher read the desktop entries back.
    packages+=(desktop-file-utils libglib2.0-bin)
    # The tray and window scenarios: a notification area, and screenshots of failures.
    packages+=(trayer imagemagick)
fi
if [[ "${1:-}" == "--run" ]]; then
    packages+=(xvfb xauth)
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    if [[ $(id -u) -ne 0 ]]; then
        echo "These Debian packages are missing and installing them needs root: ${missing[*]}" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    # Servers installed for the tests must not start as system services on their
    # standard ports; the tests start their own instances.
    policy=/usr/sbin/policy-rc.d
    made_policy=0
    if [[ ! -e $policy ]]; then
        printf '#!/bin/sh\nexit 101\n' > "$policy"
        chmod +x "$policy"
        made_policy=1
    fi
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
    if ((made_policy)); then rm -f "$policy"; fi
fi
