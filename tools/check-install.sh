#!/usr/bin/env bash
# Checks that an installed tree (a DESTDIR, or an unpacked package) holds what the install
# rules promise, and that its desktop entry and metainfo validate.
set -euo pipefail
root=${1:?usage: check-install.sh ROOT [PREFIX]}
prefix=${2:-/usr}
base="$root$prefix"
status=0
expect() {
    if [ ! -e "$base/$1" ] && [ ! -L "$base/$1" ]; then
        echo "missing: $prefix/$1"
        status=1
    fi
}
expect lib/lumra/lumra
expect lib/lumra/Help/Lumra.htm
expect bin/lumra
expect share/applications/lumra.desktop
expect share/metainfo/example.morvanell.Lumra.metainfo.xml
for size in 16 32 48; do
    expect "share/icons/hicolor/${size}x${size}/apps/lumra.png"
done
expect share/icons/hicolor/scalable/apps/lumra.svg
expect share/man/man1/lumra.1.gz
expect share/doc/lumra/copyright
expect share/doc/lumra/changelog.Debian.gz
if [ -L "$base/bin/lumra" ] && [ "$(readlink "$base/bin/lumra")" != "../lib/lumra/lumra" ]; then
    echo "bin/lumra does not lead to the program folder: $(readlink "$base/bin/lumra")"
    status=1
fi
[ -x "$base/lib/lumra/lumra" ] || { echo "lib/lumra/lumra is not executable"; status=1; }
desktop-file-validate "$base/share/applications/lumra.desktop" || status=1
appstreamcli validate --no-net --pedantic "$base/share/metainfo/example.morvanell.Lumra.metainfo.xml" >/dev/null \
    || { appstreamcli validate --no-net "$base/share/metainfo/example.morvanell.Lumra.metainfo.xml"; status=1; }
grep -q '^Exec=lumra %F$' "$base/share/applications/lumra.desktop" || { echo "Exec line"; status=1; }
[ "$status" -eq 0 ] && echo "install tree complete: $root$prefix"
exit "$status"
