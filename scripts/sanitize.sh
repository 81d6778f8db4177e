#!/usr/bin/env bash
# Builds the project once more with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-sanitize/ (or $DIALTALLY_SANITIZE_DIR) and runs the suite there, all but the
# desktop scenarios: they drive the installed programs on a real desktop, which the
# plain suite covers. A report of either sanitizer ends the process that raised it and
# so fails its test; the programs the tests start (the crash loop, the session's end)
# are sanitized too.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh" --tests
build=${DIALTALLY_SANITIZE_DIR:-$root/build-sanitize}

# -O1 keeps the run near the plain suite's timeouts and the stacks still readable.
flags="-O1 -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=undefined"
launcher=()
if command -v ccache >/dev/null; then
    launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

# The build itself runs the test executables to list their tests, so the options hold
# from here on. No leak check: Qt, fontconfig and glib keep one-off allocations until
# exit, which it would report from every test that opens a font or a window.
export ASAN_OPTIONS=abort_on_error=1:detect_stack_use_after_return=1:detect_leaks=0
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug "${launcher[@]}" \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DDIALTALLY_BUILD_BENCH=OFF -DDIALTALLY_DESKTOP_SCENARIOS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"

export QT_QPA_PLATFORM=offscreen
cd "$build"
ctest --output-on-failure -j"$(nproc)" --timeout 900
