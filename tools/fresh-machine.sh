#!/usr/bin/env bash
# Proves that the README's two commands work on a machine where nothing was installed before.
# Builds a minimal Debian 12 root (cached between runs), copies a clean clone of the current
# commit into it and runs ./run.sh (headless: it must print a screenshot that shows a picture)
# and ./test.sh inside it with chroot. Prints the time each took; exits non-zero on a failure.
#
#   tools/fresh-machine.sh             ./run.sh and ./test.sh
#   tools/fresh-machine.sh --windows   tools/windows-build.sh --check instead: Qt for Windows,
#                                      lumra.exe and its check under Wine, all from nothing
#   tools/fresh-machine.sh --package   ./package.sh instead; then, in a second new root, the
#                                      package installed with apt-get, lumra --version,
#                                      man -w lumra, its screenshot, and apt-get remove,
#                                      which must leave nothing of it but the user's options
#
# Needs root (it asks through sudo) and the network to the Debian 12 archive that this
# machine's apt sources name. The cache lives in LUMRA_FRESH_CACHE (default
# /var/cache/lumra-fresh-machine): the base root, the last run's roots, logs and screenshots.
# Remove it to start from a new base.
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
cache="${LUMRA_FRESH_CACHE:-/var/cache/lumra-fresh-machine}"
mode=readme
case "${1:-}" in
'') ;;
--windows) mode=windows ;;
--package) mode=package ;;
*)
    echo "usage: tools/fresh-machine.sh [--windows | --package]" >&2
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

roots=()
mounted=()

# Ends whatever still runs inside the roots, then unmounts in reverse order. Runs on every
# exit, Ctrl+C included, so /proc, /dev and /sys are never left mounted.
cleanup() {
    local pid dir
    for pid in /proc/[0-9]*; do
        for dir in "${roots[@]}"; do
            if [ "$(readlink "$pid/root" 2>/dev/null)" = "$dir" ]; then
                kill -KILL "${pid#/proc/}" 2>/dev/null || true
            fi
        done
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

commit=$(git -C "$repo" rev-parse HEAD)
say "commit $commit"

# Makes root a fresh copy of the base, with the same package sources as this machine (so it
# sees the same versions), a clean clone of the commit in /root/lumra and the system's file
# systems mounted. Nothing of the last run is left.
new_root() {
    root=$1
    if findmnt -rn -o TARGET | grep -q "^$root/"; then
        echo "fresh-machine: something is still mounted below $root; unmount it first" >&2
        exit 1
    fi
    rm -rf --one-file-system "$root"
    cp -a "$base" "$root"
    roots+=("$root")
    cat /etc/resolv.conf >"$root/etc/resolv.conf"
    if compgen -G '/etc/apt/sources.list.d/*.sources' >/dev/null; then
        cp /etc/apt/sources.list.d/*.sources "$root/etc/apt/sources.list.d/"
        : >"$root/etc/apt/sources.list"
    fi
    git clone -q --no-hardlinks "$repo" "$root/root/lumra"
    git -C "$root/root/lumra" checkout -q --detach "$commit"
    mount -t proc proc "$root/proc" && mounted+=("$root/proc")
    mount -t sysfs sysfs "$root/sys" && mounted+=("$root/sys")
    mount --bind /dev "$root/dev" && mounted+=("$root/dev")
    mount --bind /dev/pts "$root/dev/pts" && mounted+=("$root/dev/pts")
}

# Runs a command in the clone inside the current root, with the environment of a new login.
inside() {
    chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb LANG=C.UTF-8 \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
        bash -c "cd /root/lumra && $1"
}

failed=0
# Runs a step, the command NAME or the one given after its log's name, and says how long it
# took.
step() {
    local name=$1 log="$cache/$2.log" command=${3:-$1} start end
    say "running $name (log: $log)"
    start=$(date +%s)
    if inside "$command" >"$log" 2>&1; then
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

# The screenshot a step's log names must show a picture: the grey desktop and the black
# window are two colours; a picture brings many more.
check_screenshot() {
    local name=$1 shot colours
    shot=$(sed -n 's/.*Screenshot: //p' "$cache/$2.log" | tail -n 1)
    if [ -z "$shot" ] || [ ! -f "$root$shot" ]; then
        say "$name printed no screenshot"
        failed=1
        return
    fi
    cp "$root$shot" "$cache/$3"
    colours=$(inside "identify -format %k '$shot'")
    if [ "$colours" -ge 16 ]; then
        say "the screenshot shows a picture ($colours colours): $cache/$3"
    else
        say "the screenshot shows no picture ($colours colours): $cache/$3"
        failed=1
    fi
}

# After apt-get remove, every file of the package must be gone, and every folder but those
# that still hold other files or belong to another package too; the user's options stay.
removal_check='
dpkg -L lumra >/root/lumra.list
DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq lumra
left=0
while read -r path; do
    if [ ! -e "$path" ] && [ ! -L "$path" ]; then
        continue
    fi
    if [ -d "$path" ] && [ ! -L "$path" ] \
        && { [ -n "$(ls -A "$path")" ] || dpkg -S "$path" >/dev/null 2>&1; }; then
        continue
    fi
    echo "left behind: $path"
    left=1
done </root/lumra.list
echo "$(wc -l </root/lumra.list) paths of the package checked"
if ! grep -qx AutoAdvance=False /root/.config/Morvanell/Lumra.conf; then
    echo "the user'"'"'s options went with the package"
    left=1
fi
exit "$left"'

build_root="$cache/root"
case "$mode" in
windows)
    new_root "$build_root"
    step "tools/windows-build.sh --check" windows || true
    ;;
readme)
    new_root "$build_root"
    if step ./run.sh run; then
        check_screenshot ./run.sh run screenshot.png
    fi
    step ./test.sh test || true
    ;;
package)
    # Built where nothing was installed, then installed into a second new root: what the
    # program needs there comes through the package's dependencies alone, not with the build.
    new_root "$build_root"
    if step ./package.sh package; then
        deb=$(cd "$root/root/lumra" && ls build-package/lumra_*.deb)
        new_root "$cache/install-root"
        cp "$build_root/root/lumra/$deb" "$root/root/"
        deb=$(basename "$deb")
        # The user's options, which removing the package must leave; the slide show off, so
        # the screenshot shows the first picture.
        mkdir -p "$root/root/.config/Morvanell"
        printf '[General]\nAutoAdvance=False\n' >"$root/root/.config/Morvanell/Lumra.conf"
        step "apt-get install ./$deb" install "cd /root && apt-get update -qq &&
            DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends ./$deb" &&
            step "lumra --version" version "lumra --version | grep -x 'Lumra [0-9.]*'" &&
            step "bash tools/deps.sh --no-build installed display" deps &&
            step "man -w lumra" manual "man -w lumra | grep -x /usr/share/man/man1/lumra.1.gz" &&
            step "bash tools/headless.sh lumra samples" installed-run &&
            check_screenshot "tools/headless.sh lumra" installed-run screenshot-package.png &&
            step "apt-get remove lumra" remove "$removal_check" || true
    fi
    ;;
esac

if [ "$failed" -ne 0 ]; then
    say "FAILED"
    exit 1
fi
say "passed"
