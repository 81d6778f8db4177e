#!/usr/bin/env bash
# Installs what is missing, builds, installs the program folder and starts Dialtally.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh" --run
"$root/scripts/build.sh"
build=${DIALTALLY_BUILD_DIR:-$root/build}
prefix=${DIALTALLY_PREFIX:-${XDG_DATA_HOME:-$HOME/.local/share}/dialtally}
"$build/tools/dialtally-install" --prefix "$prefix" --build-dir "$build"
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
    cat >&2 <<MSG
Dialtally is installed in $prefix, but there is no graphical display to show it on
(neither DISPLAY nor WAYLAND_DISPLAY is set). Start it on a virtual display with:
    xvfb-run -a "$prefix/Dialtally"
MSG
    exit 1
fi
exec "$prefix/Dialtally"
