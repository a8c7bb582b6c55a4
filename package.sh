#!/usr/bin/env bash
# Builds the Debian package of Lumra (build-package/lumra_*.deb) and checks what it holds.
# Install it with: sudo apt-get install ./build-package/lumra_*.deb
set -euo pipefail
cd "$(dirname "$0")"
bash tools/deps.sh package

build=build-package
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
cmake --build "$build" -j "$(nproc)"
(cd "$build" && rm -f lumra_*.deb && cpack -G DEB >/dev/null)
deb=$(ls "$build"/lumra_*.deb)

# Unpack it and check it holds what the install rules promise.
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
dpkg-deb -x "$deb" "$root"
tools/check-install.sh "$root" /usr
# Debian's own checks: any error or warning fails the package.
lintian --fail-on error,warning "$deb"
echo "Depends: $(dpkg-deb -f "$deb" Depends)"
echo "Package: $deb"
