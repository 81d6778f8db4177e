#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh" --tests
"$root/scripts/build.sh"
build=${DIALTALLY_BUILD_DIR:-$root/build}
export QT_QPA_PLATFORM=offscreen
cd "$build"
# DIALTALLY_CTEST_EXCLUDE: a regular expression of tests to leave out (the fresh-machine
# check leaves the tray scenarios to the suite on the real machine).
ctest --output-on-failure -j"$(nproc)" --timeout 600 ${DIALTALLY_CTEST_EXCLUDE:+-E "$DIALTALLY_CTEST_EXCLUDE"}
