#!/usr/bin/env bash
# Installs what Lumra needs on Debian 12, when it is missing. Run by run.sh, test.sh, bench.sh
# and package.sh, each naming the groups it needs beyond the build:
#   tools/deps.sh [--no-build] [display] [bench] [test] [package] [windows] [installed]
# --no-build leaves the build out, for a machine that runs the installed package only.
# Every package is here because a command of the project uses it; tools/fresh-machine.sh
# proves the list on a new Debian root.
set -euo pipefail

# The build: the compiler and generator, Qt, libpng, giflib and libjpeg for the PNG, GIF and
# JPEG rows and xcb for the window manager's records (system/WindowManager).
lumra_packages=(cmake ninja-build g++ qt6-base-dev libpng-dev libgif-dev libjpeg-dev libxcb1-dev)
if [ "${1:-}" = --no-build ]; then
    lumra_packages=()
    shift
fi
for group in "$@"; do
    case "$group" in
    # tools/headless.sh (run.sh without a display): the virtual screen, its wait (xdpyinfo),
    # its grey desktop (xsetroot) and the screenshot (import).
    display) lumra_packages+=(xvfb x11-utils x11-xserver-utils imagemagick) ;;
    # The benchmarks (built by test.sh too): Google Benchmark (libjpeg for the baselines and
    # giflib for the big test pictures come with the build).
    bench) lumra_packages+=(libbenchmark-dev) ;;
    # test.sh: clang and its fuzzer runtime for the fuzz targets; clang-format and clang-tidy
    # for the checks under CI; Xvfb, the X tools (xprop, xwininfo, xdotool, import) and Xlib
    # for the end-to-end test; the validators of the install test; Qt's extra image plugins,
    # so the loader is shown to refuse a TIFF or WebP file even where Qt could read it;
    # GoogleTest's sources, mingw-w64 and Wine for the operating-system layer's contract tests
    # on Linux and, cross-built, on Windows.
    test)
        lumra_packages+=(clang libclang-rt-14-dev clang-format clang-tidy xvfb x11-utils xdotool
            imagemagick libx11-dev desktop-file-utils appstream qt6-image-formats-plugins
            googletest g++-mingw-w64-x86-64-posix wine64)
        ;;
    # tools/windows-build.sh: mingw-w64 and Windows' zlib for the cross-build, dpkg-dev and
    # patch to unpack and mend the Debian sources it builds, nasm for libjpeg-turbo's SIMD
    # code, Wine to run the result, and for --check a virtual screen, key presses
    # (xdotool), the screenshot (import), the program file's icon and version information
    # read back (wrestool and icotool of icoutils) and the About box's version read off the
    # screen (tesseract); for --msi, wixl (of msitools) to make the installer and zip for the
    # portable folder.
    windows)
        lumra_packages+=(g++-mingw-w64-x86-64-posix libz-mingw-w64-dev dpkg-dev patch nasm wine64
            xvfb x11-utils xdotool imagemagick icoutils tesseract-ocr wixl zip)
        ;;
    # package.sh: dpkg-shlibdeps for the package's dependencies and file, which it calls; the
    # validators of tools/check-install.sh; lintian, which checks the package against Debian's
    # rules, and man-db, whose man it checks the manual page with.
    package) lumra_packages+=(dpkg-dev file desktop-file-utils appstream lintian man-db) ;;
    # tools/fresh-machine.sh --package, where the package is installed: man-db for man -w.
    installed) lumra_packages+=(man-db) ;;
    *)
        echo "deps.sh: unknown group $group" >&2
        exit 2
        ;;
    esac
done

missing=()
for package in "${lumra_packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo_cmd=(sudo)
    fi
    export DEBIAN_FRONTEND=noninteractive
    "${sudo_cmd[@]}" apt-get update -qq
    "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
