#!/usr/bin/env bash
# Proves that the README's two commands work on a machine where nothing was installed before.
# Builds a minimal Debian 12 root (cached between runs), copies a clean clone of the current
# commit into it and runs ./run.sh (headless: it must print a screenshot that shows a picture)
# and ./test.sh inside it with chroot. Prints the time each took; exits non-zero on a failure.
#
#   tools/fresh-machine.sh             ./run.sh and ./test.sh
#   tools/fresh-machine.sh --windows   tools/windows-build.sh --check instead: Qt for Windows,
#                                      lumra.exe and its check under Wine, all from nothing
#
# Needs root (it asks through sudo) and the network to the Debian 12 archive that this
# machine's apt sources name. The cache lives in LUMRA_FRESH_CACHE (default
# /var/cache/lumra-fresh-machine): the base root, the last run's root, logs and screenshot.
# Remove it to start from a new base.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
cache="${LUMRA_FRESH_CACHE:-/var/cache/lumra-fresh-machine}"
windows=0
case "${1:-}" in
'') ;;
--windows) windows=1 ;;
*)
    echo "usage: tools/fresh-machine.sh [--windows]" >&2
    exit 2
    ;;
esac

if [ "$(id -u)" -ne 0 ]; then
    exec sudo LUMRA_FRESH_CACHE="$cache" bash "$0" "$@"
fi
cache="$(mkdir -p "$cache" && cd "$cache" && pwd)"
case "$cache/" in
"$repo"/*)
    echo "fresh-machine: the cache must be outside the repository" >&2
    exit 2
    ;;
esac

say() { echo "fresh-machine: $*"; }

# The machine's own Debian 12 archive, whatever host its apt sources name.
source "$repo/tools/apt-sources.sh"
mirror=$(apt_bookworm_sources | awk '$2 == "bookworm" { print $1; exit }')
[ -n "$mirror" ] || apt_bookworm_missing fresh-machine

if ! command -v debootstrap >/dev/null; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap
fi

base="$cache/bookworm-minbase"
if [ ! -d "$base" ]; then
    say "building a minimal Debian 12 root from $mirror (once; cached in $base)"
    rm -rf --one-file-system "$base.tmp"
    debootstrap --variant=minbase bookworm "$base.tmp" "$mirror" >"$cache/debootstrap.log" 2>&1 \
        || { tail -n 20 "$cache/debootstrap.log"; exit 1; }
    mv "$base.tmp" "$base"
fi

root="$cache/root"
mounted=()

# Ends whatever still runs inside the root, then unmounts in reverse order. Runs on every
# exit, Ctrl+C included, so /proc, /dev and /sys are never left mounted.
cleanup() {
    local pid
    for pid in /proc/[0-9]*; do
        if [ "$(readlink "$pid/root" 2>/dev/null)" = "$root" ]; then
            kill -KILL "${pid#/proc/}" 2>/dev/null || true
        fi
    done
    local i
    for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
        umount "${mounted[i]}" 2>/dev/null || umount -l "${mounted[i]}" || true
    done
    mounted=()
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

still_mounted() { findmnt -rn -o TARGET | grep -q "^$root/"; }

# A fresh copy of the base for every run; nothing of the last run is left.
if still_mounted; then
    echo "fresh-machine: something is still mounted below $root; unmount it first" >&2
    exit 1
fi
rm -rf --one-file-system "$root"
cp -a "$base" "$root"
cat /etc/resolv.conf >"$root/etc/resolv.conf"
# The same package sources as this machine, so the root sees the same versions.
if compgen -G '/etc/apt/sources.list.d/*.sources' >/dev/null; then
    cp /etc/apt/sources.list.d/*.sources "$root/etc/apt/sources.list.d/"
    : >"$root/etc/apt/sources.list"
fi

commit=$(git -C "$repo" rev-parse HEAD)
git clone -q --no-hardlinks "$repo" "$root/root/lumra"
git -C "$root/root/lumra" checkout -q --detach "$commit"
say "commit $commit"

mount -t proc proc "$root/proc" && mounted+=("$root/proc")
mount -t sysfs sysfs "$root/sys" && mounted+=("$root/sys")
mount --bind /dev "$root/dev" && mounted+=("$root/dev")
mount --bind /dev/pts "$root/dev/pts" && mounted+=("$root/dev/pts")

# Runs a command in the clone inside the root, with the environment of a new login.
inside() {
    chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        bash -c "cd /root/lumra && $1"
}

failed=0
step() {
    local name=$1 log="$cache/$2.log" start end
    say "running $name (log: $log)"
    start=$(date +%s)
    if inside "$name" >"$log" 2>&1; then
        end=$(date +%s)
        say "$name passed in $((end - start)) s"
    else
        end=$(date +%s)
        tail -n 40 "$log"
        say "$name FAILED after $((end - start)) s"
        failed=1
        return 1
    fi
}

if ((windows)); then
    step "tools/windows-build.sh --check" windows || true
elif step ./run.sh run; then
    shot=$(sed -n 's/.*Screenshot: //p' "$cache/run.log" | tail -n 1)
    if [ -z "$shot" ] || [ ! -f "$root$shot" ]; then
        say "./run.sh printed no screenshot"
        failed=1
    else
        cp "$root$shot" "$cache/screenshot.png"
        # The grey desktop and the black window are two colours; a picture brings many more.
        colours=$(inside "identify -format %k '$shot'")
        if [ "$colours" -ge 16 ]; then
            say "the screenshot shows a picture ($colours colours): $cache/screenshot.png"
        else
            say "the screenshot shows no picture ($colours colours): $cache/screenshot.png"
            failed=1
        fi
    fi
fi
((windows)) || step ./test.sh test || true

if [ "$failed" -ne 0 ]; then
    say "FAILED"
    exit 1
fi
say "passed"
