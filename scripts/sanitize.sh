#!/usr/bin/env bash
# Builds the project once more with AddressSanitizer and UndefinedBehaviorSanitizer in
# build-sanitize/ (or $DIALTALLY_SANITIZE_DIR) and runs the suite there, but for the
# desktop scenarios: they drive the installed programs on a real desktop, which the
# plain suite does already. Any report of either sanitizer fails the test that raised
# it; the programs that tests start (the crash loop, the session's end) are sanitized
# too.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/deps.sh" --tests
build=${DIALTALLY_SANITIZE_DIR:-$root/build-sanitize}
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
flags="-O1 -g -fno-omit-frame-pointer -fsanitize=address,undefined -fno-sanitize-recover=all"
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug "${launcher[@]}" \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DDIALTALLY_BUILD_BENCH=OFF -DDIALTALLY_DESKTOP_SCENARIOS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
export QT_QPA_PLATFORM=offscreen
export DIALTALLY_REQUIRE_SERVERS=1
# Qt's and the libraries' own allocations that live until exit are not ours to mend;
# a leak check would report them on every test.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:strict_string_checks=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd "$build"
ctest --output-on-failure -j"$(nproc)" --timeout 900
