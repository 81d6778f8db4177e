#!/usr/bin/env bash
# Configures and builds the whole project in build/ (or $DIALTALLY_BUILD_DIR).
# DIALTALLY_WERROR=1 makes every compiler warning an error, as CI builds; without it a
# warning of another compiler than Debian 12's does not stop a user's build.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=${DIALTALLY_BUILD_DIR:-$root/build}
werror=OFF
if [[ ${DIALTALLY_WERROR:-0} != 0 ]]; then
    werror=ON
fi
# Given on every run, so a build folder once configured for CI does not keep -Werror.
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_COMPILE_WARNING_AS_ERROR="$werror" >/dev/null
cmake --build "$build" -j"$(nproc)"
