#!/usr/bin/env bash
# Runs the README's test command on a machine that has nothing but Debian 12 minbase
# (plus git and ca-certificates), as root with a clean environment, and ends with a
# verdict. A green suite on a developer's machine can hide a package that deps.sh
# never installs; this check cannot, because the fresh system starts without it.
#
# The minbase system is cached as a tarball, and the .deb files apt downloads are
# cached per package list, so a second run needs no large download; every package
# is still installed by deps.sh inside the fresh system on every run.
#
# Needs root, debootstrap, unshare and git. Cache: $DIALTALLY_FRESH_CACHE, default
# /var/cache/dialtally-fresh; the whole log of the last run is left in it.
set -euo pipefail
# Read whole before it runs: a checkout that changes under a running check must not
# change the check.
{

if [[ $(id -u) -ne 0 ]]; then
    echo "fresh-check: needs root (debootstrap, chroot and mounts)" >&2
    exit 2
fi
# Like the README's commands, the check installs what it needs and is missing.
missing=()
for tool in debootstrap unshare git chroot ip; do
    command -v "$tool" >/dev/null || missing+=("$tool")
done
if ((${#missing[@]} > 0)) && command -v apt-get >/dev/null; then
    echo "fresh-check: installing debootstrap and iproute2 (missing: ${missing[*]})" >&2
    DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends debootstrap iproute2 util-linux git coreutils >&2 \
        || { apt-get update -q >&2 && DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends debootstrap iproute2 util-linux git coreutils >&2; } \
        || true
fi
for tool in debootstrap unshare git chroot ip; do
    if ! command -v "$tool" >/dev/null; then
        echo "fresh-check: needs $tool (Debian packages debootstrap, util-linux, git, coreutils, iproute2)" >&2
        exit 2
    fi
done

repo=$(git -C "$(dirname "$0")/.." rev-parse --show-toplevel)
cache=${DIALTALLY_FRESH_CACHE:-/var/cache/dialtally-fresh}
# The in-system run gets this many seconds before it counts as hung.
limit=${DIALTALLY_FRESH_TIMEOUT:-1500}
suite=bookworm
includes=git,ca-certificates
mkdir -p "$cache"
log=$cache/last-run.log
: > "$log"

say() { printf 'fresh-check: %s\n' "$*" | tee -a "$log"; }
started=$SECONDS
elapsed() { printf '%dm%02ds' $(((SECONDS - started) / 60)) $(((SECONDS - started) % 60)); }

# The mirrors apt on this machine uses for Debian 12 itself, not third-party sources.
mapfile -t sources < <(apt-get indextargets --format '$(SITE) $(RELEASE)' 'Identifier: Packages' 2>/dev/null \
    | grep -E " ${suite}(-updates|-security)?\$" | sort -u)
mirror=
for source in "${sources[@]}"; do
    [[ ${source#* } == "$suite" ]] && mirror=${source% *}
done
if [[ -z $mirror ]]; then
    mirror=http://deb.debian.org/debian
    sources=("$mirror $suite" "$mirror $suite-updates" "http://deb.debian.org/debian-security $suite-security")
fi

work=$(mktemp -d /var/tmp/dialtally-fresh.XXXXXX)
root=$work/root
mkdir "$root"

# Anything left behind by an interrupted run: the running step, processes whose root
# is inside the fresh system (or the one debootstrap is making), then the mounts there,
# deepest first. The namespaces below make the last two rare.
step=
cleanup() {
    local status=$? pid link
    trap - EXIT INT TERM HUP
    # Every step here is worth trying whatever the one before it did.
    set +e
    [[ -n $step ]] && kill -TERM "$step" 2>/dev/null
    for pid in /proc/[0-9]*; do
        link=$(readlink "$pid/root" 2>/dev/null) || continue
        [[ $link == "$work"/* ]] && kill -KILL "${pid#/proc/}" 2>/dev/null
    done
    [[ -n $step ]] && wait "$step" 2>/dev/null
    local mounts
    mounts=$(awk -v w="$work/" 'index($2, w) == 1 { print $2 }' /proc/mounts | sort -r)
    for m in $mounts; do umount -l "$m" 2>/dev/null || true; done
    if awk -v w="$work/" 'index($2, w) == 1 { found = 1 } END { exit !found }' /proc/mounts; then
        echo "fresh-check: mounts under $work remain; not removing it" >&2
    else
        rm -rf "$work"
    fi
    exit "$status"
}
# Long steps run in the background so that a signal reaches the trap at once, not when
# the step is over.
run_step() {
    "$@" &
    step=$!
    local status=0
    wait "$step" || status=$?
    step=
    return "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

# Runs a command inside the fresh system in its own mount and process namespaces (with
# its own network namespace too when the first argument is "isolated"): its mounts and
# processes end with it, and it sees neither the host's /tmp nor the host's loopback
# services, nor the host's X displays.
inside() {
    local network=$1
    shift
    local flags=(--mount --pid --fork --kill-child --propagation private)
    [[ $network == isolated ]] && flags+=(--net)
    unshare "${flags[@]}" -- bash -c "$(declare -f enter_root); enter_root \"\$@\"" enter_root "$root" "$network" "$@"
}
enter_root() {
    local root=$1 network=$2
    shift 2
    set -e
    mount -t proc proc "$root/proc"
    mount -t sysfs -o ro sysfs "$root/sys"
    mount -t tmpfs -o mode=0755,size=16m dev "$root/dev"
    for node in null zero full random urandom tty; do
        touch "$root/dev/$node"
        mount --bind "/dev/$node" "$root/dev/$node"
    done
    mkdir "$root/dev/pts" "$root/dev/shm"
    mount -t devpts -o newinstance,ptmxmode=0666,mode=0620,gid=5 devpts "$root/dev/pts"
    ln -s pts/ptmx "$root/dev/ptmx"
    mount -t tmpfs -o mode=1777 shm "$root/dev/shm"
    ln -s /proc/self/fd "$root/dev/fd"
    ln -s /proc/self/fd/0 "$root/dev/stdin"
    ln -s /proc/self/fd/1 "$root/dev/stdout"
    ln -s /proc/self/fd/2 "$root/dev/stderr"
    mount -t tmpfs -o mode=1777 tmp "$root/tmp"
    [[ $network == isolated ]] && ip link set lo up
    exec chroot "$root" /usr/bin/env -i \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root LANG=C.UTF-8 \
        "$@" </dev/null
}

# The first line of the log that explains a failure, with the lines that belong to it.
explain() {
    local failed
    failed=$(sed -n '/The following tests FAILED:/,/^[^[:space:]]/p' "$log" | grep -E '^[[:space:]]+[0-9]+ - ' || true)
    if [[ -n $failed ]]; then
        echo "failed tests:"
        echo "$failed"
        return
    fi
    local line
    line=$(grep -n -m1 -E '^E: |could not be found because|CMake Error|: error: |: fatal error: |^ninja: build stopped|Permission denied|command not found|No tests were found|^fresh-check: timed out' "$log" | cut -d: -f1 || true)
    if [[ -n $line ]]; then
        # The line and its explanation: the indented lines under it (CMake), or the
        # further lines of the same kind (apt), at most a screenful.
        awk -v from="$line" 'NR == from { print; kind = substr($0, 1, 3); next }
            NR > from && NR < from + 20 && ($0 == "" || /^[[:space:]]/ || (kind == "E: " && substr($0, 1, 3) == kind)) { print; next }
            NR > from { exit }' "$log"
    else
        tail -n 10 "$log"
    fi
}

verdict_failed() {
    say "FAIL after $(elapsed): $1"
    echo "---- first error (whole log: $log) ----"
    explain
    exit 1
}

# The bare system, cached by everything that shapes it.
base_key=$(printf '%s\n' "$suite" "$mirror" "$includes" minbase "$(debootstrap --version)" "$(dpkg --print-architecture)" \
    | sha256sum | cut -c1-16)
base=$cache/minbase-$base_key.tar
exec 9>"$cache/lock"
if [[ ! -f $base ]]; then
    flock 9
    if [[ ! -f $base ]]; then
        say "making a Debian 12 minbase system with debootstrap from $mirror"
        mkdir "$work/base"
        # In its own mount namespace, so an interrupted debootstrap leaves no /proc mounted.
        if ! run_step unshare --mount --propagation private -- \
            debootstrap --variant=minbase --include="$includes" "$suite" "$work/base" "$mirror" >>"$log" 2>&1; then
            grep -m1 -E '^E: ' "$log" >&2 || tail -n 5 "$log" >&2
            verdict_failed "debootstrap could not make the minbase system"
        fi
        rm -f "$work/base/var/cache/apt/archives/"*.deb
        tar -C "$work/base" --numeric-owner -cf "$base.part" .
        mv "$base.part" "$base"
        rm -rf "$work/base"
        # Tarballs of an older debootstrap or mirror are of no more use.
        find "$cache" -maxdepth 1 -name 'minbase-*.tar' ! -name "${base##*/}" -delete
    fi
    flock -u 9
fi
tar -C "$root" --numeric-owner -xpf "$base"

# A fresh Debian 12 machine gets its updates and security fixes from the same sources
# as this one.
rm -f "$root/etc/apt/sources.list"
for source in "${sources[@]}"; do
    echo "deb ${source% *} ${source#* } main"
done > "$root/etc/apt/sources.list.d/debian.list"
cp -L /etc/resolv.conf "$root/etc/resolv.conf"
# A system thrown away after the run needs no fsync after every file dpkg unpacks.
echo force-unsafe-io > "$root/etc/dpkg/dpkg.cfg.d/unsafe-io"

# The downloaded packages, per package list. A new list starts from the newest old
# cache, so adding one package downloads one package.
rev=$(git -C "$repo" rev-parse HEAD)
debs_key=$(git -C "$repo" show "$rev:scripts/deps.sh" | sha256sum | cut -c1-16)
debs=$cache/debs-$debs_key
seed=$debs
[[ -d $seed ]] || seed=$(ls -dt "$cache"/debs-* 2>/dev/null | head -n1 || true)
if [[ -n $seed && -d $seed ]]; then
    find "$seed" -maxdepth 1 -name '*.deb' -exec cp -l -t "$root/var/cache/apt/archives/" {} + 2>/dev/null \
        || find "$seed" -maxdepth 1 -name '*.deb' -exec cp -t "$root/var/cache/apt/archives/" {} +
fi
save_debs() {
    flock 9
    rm -rf "$debs.part"
    mkdir "$debs.part"
    find "$root/var/cache/apt/archives" -maxdepth 1 -name '*.deb' -exec cp -l -t "$debs.part/" {} + 2>/dev/null \
        || find "$root/var/cache/apt/archives" -maxdepth 1 -name '*.deb' -exec cp -t "$debs.part/" {} +
    rm -rf "$debs.old"
    [[ -d $debs ]] && mv "$debs" "$debs.old"
    mv "$debs.part" "$debs"
    rm -rf "$debs.old"
    find "$cache" -maxdepth 1 -name 'debs-*' ! -name "${debs##*/}" -exec rm -rf {} +
    flock -u 9
}

# The committed HEAD, whatever branch or detached state the checkout is in.
if [[ -n $(git -C "$repo" status --porcelain --untracked-files=no) ]]; then
    say "note: uncommitted changes in $repo are not part of the check"
fi
git -C "$repo" bundle create -q "$work/head.bundle" HEAD 2>>"$log"
git clone -q "$work/head.bundle" "$root/root/dialtally" 2>>"$log"
git -C "$root/root/dialtally" checkout -q --detach "$rev"
say "checking $(git -C "$repo" log -1 --format='%h %s' "$rev")"

# The README's test command installs with deps.sh --tests before anything else; that
# part needs the mirror. The rest runs without any network, so the test command's own
# deps.sh must find every package installed.
say "installing the packages with ./scripts/deps.sh --tests"
install_packages() { inside shared bash -c 'cd /root/dialtally && ./scripts/deps.sh --tests' 2>&1 | tee -a "$log"; }
if ! run_step install_packages; then
    save_debs
    verdict_failed "./scripts/deps.sh --tests failed"
fi
save_debs
say "packages installed after $(elapsed); running ./scripts/test.sh without network"

run_tests() {
    timeout --kill-after=30 "$limit" bash -c "$(declare -f inside enter_root); root=$(printf %q "$root");"'
        inside isolated bash -c "cd /root/dialtally && ./scripts/test.sh"' 2>&1 | tee -a "$log"
    return "${PIPESTATUS[0]}"
}
status=0
run_step run_tests || status=$?
if ((status == 124 || status == 137)); then
    echo "fresh-check: timed out after ${limit}s" >>"$log"
    verdict_failed "./scripts/test.sh did not finish within ${limit}s"
fi
if ((status != 0)); then
    verdict_failed "./scripts/test.sh exited with status $status"
fi
# A test that skips because a program is missing would hide the very fault this check
# is for.
lasttest=$root/root/dialtally/build/Testing/Temporary/LastTest.log
skips=$(grep -h -A1 -E ': Skipped$' "$lasttest" 2>/dev/null | grep -v -E ': Skipped$|^--$' | sort | uniq -c || true)
if [[ -n $skips ]]; then
    say "skipped tests, by reason:"
    echo "$skips" | tee -a "$log"
fi
if grep -q -i -E 'not installed|not found|is missing|no such' <<<"$skips"; then
    echo "$skips" | grep -i -E 'not installed|not found|is missing|no such' >>"$log"
    verdict_failed "tests skipped because something is not installed"
fi
summary=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -n1 || true)
say "PASS after $(elapsed): ./scripts/test.sh passed on a fresh Debian 12 minbase system${summary:+ ($summary)}"
exit 0
}
