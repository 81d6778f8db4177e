#!/usr/bin/env bash
# Dialtally idle in the tray beside a Qt hello-world with a tray icon and a label set
# once a second (bench/helloTray.cpp), on the same desktop: Xvfb, openbox and trayer,
# as the desktop scenarios use. Each run starts both programs afresh, lets them settle,
# and takes for each: the CPU share over the measuring time (from the kernel's
# per-thread run times, in nanoseconds), the resident memory (VmRSS, and the
# proportional Pss that shares libraries fairly), and the system calls a second (strace
# over a window of its own, after the CPU figure, so its own cost is not counted).
# Prints every run, the medians, the machine's load, and where the memory of the last
# run lies (the largest mappings of each program).
#
#     bench/idle.sh BUILD_DIR [RUNS [SECONDS]]
#
# DIALTALLY_PROGRAM=path measures that Dialtally binary (another build's, before a
# change) in place of the one the installation lays out from BUILD_DIR.
set -uo pipefail
BUILD_DIR=$(cd "${1:?the build folder}" && pwd)
RUNS=${2:-5}
SECONDS_MEASURED=${3:-30}
SETTLE=10
STRACE_SECONDS=10
HELLO="$BUILD_DIR/bench/helloTray"
source "$(dirname "$0")/../tests/desktop/desktop.sh"
[[ -x "$HELLO" ]] || fail "no $HELLO: build the bench folder first"
require_tools
command -v strace >/dev/null || fail "strace is not installed"

# cpu_ns PID: the time all of the process's threads have run, in nanoseconds.
cpu_ns() {
    cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%d\n", s }'
}

status_kb() {  # status_kb PID FIELD
    awk -v f="$2:" '$1 == f { print $2 }' /proc/"$1"/status
}

pss_kb() {
    awk '$1 == "Pss:" { print $2 }' /proc/"$1"/smaps_rollup
}

# measure NAME PID: one line of figures for the run.
measure() {
    local name=$1 pid=$2
    sleep "$SETTLE"
    local c0 c1 t0 t1
    c0=$(cpu_ns "$pid")
    t0=$(date +%s%N)
    sleep "$SECONDS_MEASURED"
    c1=$(cpu_ns "$pid")
    t1=$(date +%s%N)
    local rss pss
    rss=$(status_kb "$pid" VmRSS)
    pss=$(pss_kb "$pid")
    timeout $((STRACE_SECONDS + 5)) strace -f -c -o "$WORK/$name.strace" -p "$pid" 2>/dev/null &
    local tracer=$!
    sleep "$STRACE_SECONDS"
    kill -INT "$tracer" 2>/dev/null
    wait "$tracer" 2>/dev/null
    local calls fcntl
    calls=$(awk '$NF == "total" { print $4 }' "$WORK/$name.strace")
    fcntl=$(awk '$NF == "fcntl" { print $4 }' "$WORK/$name.strace")
    awk -v n="$name" -v c=$((c1 - c0)) -v t=$((t1 - t0)) -v r="$rss" -v p="$pss" -v s="${calls:-0}" \
        -v f="${fcntl:-0}" -v w="$STRACE_SECONDS" \
        'BEGIN { printf "%-10s cpu %.3f %%  rss %.1f MB  pss %.1f MB  syscalls %.1f/s  fcntl %.1f/s\n",
                 n, 100 * c / t, r / 1024, p / 1024, s / w, f / w }'
}

# mappings PID: the resident memory by what it maps, largest first.
mappings() {
    awk '/^[0-9a-f]+-[0-9a-f]+ / { name = (NF >= 6 ? $6 : "[anonymous]"); sub(".*/", "", name) }
         $1 == "Rss:" { kb[name] += $2 }
         END { for (n in kb) printf "%8.1f MB  %s\n", kb[n] / 1024, n }' /proc/"$1"/smaps | sort -rn | head -25
}

start_desktop
echo "load average before: $(cut -d' ' -f1-3 /proc/loadavg)"
install_programs
if [[ -n "${DIALTALLY_PROGRAM:-}" ]]; then
    cp "$DIALTALLY_PROGRAM" "$PROGRAMS/Dialtally" || fail "cannot copy $DIALTALLY_PROGRAM"
fi
# A first start writes the defaults and asks to confirm them; the measured starts are
# the ones after it, as every start of a user's day is.
start_program Dialtally
until=$((SECONDS + 120))
while ((SECONDS < until)) && ! has_tray_icon "$APP_PID" Dialtally; do
    running || fail "Dialtally ended during its first start"
    has_dialog "$APP_PID" && answer_dialog "$APP_PID" Return
    sleep 0.2
done
has_tray_icon "$APP_PID" Dialtally || fail "no tray icon after the first start"
kill "$APP_PID"
wait "$APP_PID" 2>/dev/null
# The defaults (the tray, the logo at each start) are what is measured.

results="$WORK/results"
for ((run = 1; run <= RUNS; run++)); do
    start_program Dialtally
    dialtally=$APP_PID
    wait_for 30 has_tray_icon "$dialtally" Dialtally || fail "no Dialtally tray icon in run $run"
    QT_QPA_PLATFORM=xcb "$HELLO" >"$WORK/hello.log" 2>&1 &
    hello=$!
    PIDS+=("$hello")
    wait_for 30 sh -c "xdotool search --pid $hello >/dev/null" || fail "the hello-world did not start"
    # Both measured over the same seconds, so both meet the same load.
    measure Dialtally "$dialtally" | tee -a "$results" &
    first=$!
    measure hello "$hello" | tee -a "$results" &
    wait "$first" $!
    if ((run == RUNS)); then
        echo "--- where Dialtally's memory lies"
        mappings "$dialtally"
        echo "--- where the hello-world's memory lies"
        mappings "$hello"
        echo "--- Dialtally's system calls over ${STRACE_SECONDS} s"
        sed -n '1,20p' "$WORK/Dialtally.strace"
    fi
    kill "$dialtally" "$hello"
    wait "$dialtally" "$hello" 2>/dev/null
done
echo "load average after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo "--- medians of $RUNS runs"
for name in Dialtally hello; do
    grep "^$name " "$results" | awk -v n="$name" '
        { cpu[NR] = $3; rss[NR] = $6; pss[NR] = $9; sys[NR] = $12; fc[NR] = $14 }
        function median(a, k,   i, j, t) {
            for (i = 1; i <= k; i++) for (j = i + 1; j <= k; j++) if (a[j] + 0 < a[i] + 0) { t = a[i]; a[i] = a[j]; a[j] = t }
            return k % 2 ? a[(k + 1) / 2] : (a[k / 2] + a[k / 2 + 1]) / 2
        }
        END { printf "%-10s cpu %.3f %%  rss %.1f MB  pss %.1f MB  syscalls %s  fcntl %s\n",
              n, median(cpu, NR), median(rss, NR), median(pss, NR), median(sys, NR), median(fc, NR) }'
done
