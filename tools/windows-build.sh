#!/usr/bin/env bash
# Cross-builds Lumra for 64-bit Windows: a static lumra.exe, made with Debian's mingw-w64
# compilers against a static Qt built from Debian's own Qt source.
#   tools/windows-build.sh           build (the first run takes about half an hour)
#   tools/windows-build.sh --msi     build, then make the installer lumra-<version>-x64.msi and
#                                    the portable lumra-<version>-x64.zip in build-windows-exe
#   tools/windows-build.sh --check   build and package, then show the sample pictures under Wine
#                                    and check the window, a move and the options written at the
#                                    end; then install the package, open a picture with it as
#                                    Open with does, upgrade it and remove it
#   tools/windows-build.sh --tests   build, then run the Qt test programs under Wine
# Qt and the picture libraries are built once into the cache folder, $LUMRA_WINDOWS_CACHE
# (~/.cache/lumra-windows when unset); later runs reuse them and only build Lumra, into
# build-windows-exe in the repository.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cache=${LUMRA_WINDOWS_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/lumra-windows}
prefix=$cache/prefix # Qt, libjpeg-turbo, libpng and giflib for Windows
build=$root/build-windows-exe
jobs=$(nproc)
mode=build
case "${1:-}" in
'') ;;
--msi) mode=msi ;;
--check) mode=check ;;
--tests) mode=tests ;;
*)
    echo "usage: tools/windows-build.sh [--msi | --check | --tests]" >&2
    exit 2
    ;;
esac

"$root/tools/deps.sh" windows
source "$root/tools/apt-sources.sh"
mkdir -p "$cache/sources" "$prefix"
# A file's own toolchain, so the picture libraries and Qt are looked for in the prefix too.
toolchain=$cache/toolchain.cmake
{
    cat "$root/cmake/mingw-w64.cmake"
    echo "list(APPEND CMAKE_FIND_ROOT_PATH $prefix)"
} >"$toolchain"
say() { printf '\n== %s\n' "$*"; }

# The sources come from the Debian archive the machine already uses, read through a private
# sources list, so the system's own apt configuration is left as it is.
apt_private=(-o "Dir::Etc::SourceList=$cache/apt/sources.list" -o Dir::Etc::SourceParts=/dev/null
    -o "Dir::State::Lists=$cache/apt/lists" -o "Dir::Cache=$cache/apt/cache"
    -o Debug::NoLocking=1 -o APT::Sandbox::User=root)
fetch_source() { # package: unpacks its source into $cache/sources/package
    local package=$1
    [ -d "$cache/sources/$package" ] && return
    if [ ! -f "$cache/apt/sources.list" ]; then
        mkdir -p "$cache/apt/lists/partial" "$cache/apt/cache"
        # The suites of the system's own sources, as source archives.
        local sources
        sources=$(apt_bookworm_sources)
        [ -n "$sources" ] || apt_bookworm_missing windows-build
        awk '{ print "deb-src", $1, $2, "main" }' <<<"$sources" >"$cache/apt/sources.list.new"
        mv "$cache/apt/sources.list.new" "$cache/apt/sources.list"
        apt-get -qq "${apt_private[@]}" update
    fi
    say "Fetching the source of $package"
    local work=$cache/sources/.$package
    rm -rf "$work" && mkdir -p "$work"
    # Newest first; a version the archive lists but no longer serves is passed over.
    local version fetched=
    for version in $(apt-cache "${apt_private[@]}" showsrc "$package" |
        sed -n 's/^Version: //p' | sort -urV); do
        if (cd "$work" && apt-get -qq "${apt_private[@]}" source --download-only \
            "$package=$version" >/dev/null 2>&1); then
            fetched=$version
            break
        fi
        rm -f "$work"/*
    done
    if [ -z "$fetched" ]; then
        echo "windows-build.sh: the source of $package could not be fetched" >&2
        exit 1
    fi
    (cd "$work" && dpkg-source --no-check -x ./*.dsc unpacked >/dev/null 2>&1)
    mv "$work/unpacked" "$cache/sources/$package"
    rm -rf "$work"
}

cmake_windows() { # source build [options...]: configures, builds and installs into the prefix
    local source=$1 binary=$2
    shift 2
    cmake -S "$source" -B "$binary" -G Ninja -Wno-dev -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" "$@" >/dev/null
    cmake --build "$binary" -j "$jobs" >/dev/null
    cmake --install "$binary" >/dev/null
}

cmake_library() { # name package [options...]: a library built with CMake, once
    local name=$1 package=$2
    shift 2
    [ -f "$prefix/.$name" ] && return
    fetch_source "$package"
    say "Building $name"
    rm -rf "$cache/build/$name"
    cmake_windows "$cache/sources/$package" "$cache/build/$name" "$@"
    touch "$prefix/.$name"
}
cmake_library libjpeg-turbo libjpeg-turbo \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_TURBOJPEG=OFF -DWITH_JAVA=OFF
cmake_library libpng libpng1.6 -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF

if [ ! -f "$prefix/.giflib" ]; then
    fetch_source giflib
    say "Building giflib"
    # giflib has a plain makefile: the library is its six C files.
    rm -rf "$cache/build/giflib" && mkdir -p "$cache/build/giflib"
    gif=$cache/sources/giflib
    for file in dgif_lib egif_lib gifalloc gif_err gif_hash openbsd-reallocarray; do
        x86_64-w64-mingw32-gcc-posix -O2 -c "$gif/$file.c" -o "$cache/build/giflib/$file.o"
    done
    x86_64-w64-mingw32-ar rcs "$prefix/lib/libgif.a" "$cache/build/giflib"/*.o
    install -m 644 "$gif/gif_lib.h" "$prefix/include/"
    touch "$prefix/.giflib"
fi

if [ ! -f "$prefix/.qt" ]; then
    fetch_source qt6-base
    say "Building Qt for Windows (about 25 minutes on two cores)"
    qt=$cache/sources/qt6-base
    if [ ! -f "$qt/.lumra-patched" ]; then
        patch -d "$qt" -p1 <"$root/tools/windows/qt-6.4-windows-fontdatabase.patch" >/dev/null
        touch "$qt/.lumra-patched"
    fi
    rm -rf "$cache/build/qt"
    # Qt's own freetype, harfbuzz and pcre2; Windows' zlib from mingw-w64, and the libjpeg and
    # libpng just built, so the program holds one copy of each.
    cmake_windows "$qt" "$cache/build/qt" \
        -DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake \
        -DQT_QMAKE_TARGET_MKSPEC=win32-g++ \
        -DBUILD_SHARED_LIBS=OFF -DFEATURE_static_runtime=ON \
        -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF -DQT_BUILD_BENCHMARKS=OFF \
        -DFEATURE_opengl=OFF -DINPUT_opengl=no -DFEATURE_vulkan=OFF -DFEATURE_direct2d=OFF \
        -DFEATURE_dbus=OFF -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_concurrent=OFF \
        -DFEATURE_xml=OFF -DFEATURE_printsupport=OFF -DFEATURE_icu=OFF \
        -DFEATURE_tabletevent=OFF \
        -DFEATURE_system_freetype=OFF -DFEATURE_system_harfbuzz=OFF -DFEATURE_system_pcre2=OFF \
        -DFEATURE_system_zlib=ON -DFEATURE_system_png=ON -DFEATURE_system_jpeg=ON
    touch "$prefix/.qt"
fi

say "Building lumra.exe"
tests=OFF
[ "$mode" = tests ] && tests=ON
# A build folder configured against another cache's Qt starts again.
if [ -f "$build/CMakeCache.txt" ] && ! grep -q "^Qt6_DIR:PATH=$prefix/" "$build/CMakeCache.txt"; then
    rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"
fi
# Qt's own qt-cmake, which finds the Windows Qt under the cross-build's root path rules.
# mingw-w64's zlib is linked from its static library, which CMake would pass over for the
# DLL's import library, so that lumra.exe needs no DLL beside it.
mingw_lib=/usr/x86_64-w64-mingw32/lib
"$prefix/bin/qt-cmake" -S "$root" -B "$build" -G Ninja -Wno-dev --no-warn-unused-cli -DCMAKE_BUILD_TYPE=Release \
    -DLUMRA_WERROR=ON -DBUILD_TESTING=$tests -DZLIB_LIBRARY_RELEASE="$mingw_lib/libz.a" >/dev/null
cmake --build "$build" -j "$jobs"
exe=$build/lumra.exe
echo "lumra.exe: $exe"
[ "$mode" = build ] && exit 0

# The packages hold what a user needs: the program and its help, stripped of the debugging
# sections Qt's static libraries bring. A DLL that the cross-build's own libraries provide
# would have to travel with the program; only Windows' own may be imported.
package_files() { # folder: fills it as Program Files\Lumra is laid out
    local folder=$1 dll
    rm -rf "$folder" && mkdir -p "$folder/Help"
    x86_64-w64-mingw32-strip -o "$folder/lumra.exe" "$exe"
    cp "$root/Help/Lumra.htm" "$folder/Help/"
    for dll in $(x86_64-w64-mingw32-objdump -p "$exe" | sed -n 's/^\tDLL Name: //p'); do
        if [ -n "$(find "$mingw_lib" "$prefix/bin" -maxdepth 1 -iname "$dll" 2>/dev/null)" ]; then
            echo "windows-build.sh: lumra.exe needs $dll, which Windows does not have" >&2
            exit 1
        fi
    done
}
make_msi() { # version output.msi: the installer of dist/windows/lumra.wxs for the staged files
    local version=$1 output=$2 log icon
    # wixl takes the files' names relative to the folder it runs in, and ignores what it does
    # not know with a warning: any message fails the package.
    icon=$(realpath --relative-to="$stage" "$root/icons/lumra.ico")
    log=$(cd "$stage" && wixl -a x64 -D Version="$version" -D ExeFile=lumra.exe \
        -D HelpFile=Help/Lumra.htm -D IconFile="$icon" -o "$output" "$root/dist/windows/lumra.wxs" \
        2>&1) || true
    if [ -n "$log" ] || [ ! -f "$output" ]; then
        printf 'windows-build.sh: wixl did not make %s:\n%s\n' "$output" "$log" >&2
        exit 1
    fi
}
if [ "$mode" != tests ]; then
    # The version is the project's, as CMake read it.
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
    say "Packaging Lumra $version"
    stage=$build/package/Lumra
    package_files "$stage"
    msi=$build/lumra-$version-x64.msi zip=$build/lumra-$version-x64.zip
    rm -f "$msi" "$zip"
    make_msi "$version" "$msi"
    # The portable folder: the same files in a Lumra folder, to unpack anywhere.
    (cd "$build/package" && zip -qr -X "$zip" Lumra)
    echo "installer: $msi"
    echo "portable: $zip"
    [ "$mode" = msi ] && exit 0
fi

# Wine in a prefix of its own under the build folder, with no display of its own, no Mono
# and no Gecko prompts, and without the menu entries and file types Wine would otherwise
# copy to this machine's desktop from what is installed in it.
export WINEPREFIX=$build/wineprefix WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    say "Making the Wine prefix"
    DISPLAY= "$wine" wineboot -i >/dev/null 2>&1
    "$wineserver" -w
fi

if [ "$mode" = check ]; then
    # The same package a version later, to show that it replaces the first.
    newer=$(awk -F . '{ printf "%d.%d.%d", $1, $2, $3 + 1 }' <<<"$version")
    newer_msi=$build/check-upgrade/lumra-$newer-x64.msi
    mkdir -p "$build/check-upgrade"
    rm -f "$newer_msi"
    make_msi "$newer" "$newer_msi"
    say "Checking lumra.exe under Wine"
    "$root/tools/windows/check-exe.sh" "$exe" "$root/samples" "$build/check" "$msi" "$newer_msi"
    echo "Screenshots: $build/check"
    exit 0
fi

# The tests: each Qt test program and the contract tests under Wine, offscreen, with a
# summary of which pass. Wine keeps QT_* variables of the Linux environment from Windows
# programs, so the platform is set inside Wine. Paths the tests were built with resolve
# through Wine's Z: drive; the user profile is the prefix's registry.
say "Running the tests under Wine"
failed=()
cd "$build"
for test in tst_*.exe contract_system.exe; do
    name=${test%.exe}
    rm -f "$name.wine.txt"
    if [ "$name" = contract_system ]; then
        DISPLAY= timeout 600 "$wine" "$test" >"$name.wine.txt" 2>&1 && status=0 || status=$?
        summary=$(grep -aE '^\[  (PASSED|FAILED)  \]' "$name.wine.txt" | tr '\n' ' ' || true)
    else
        DISPLAY= QTEST_FUNCTION_TIMEOUT=300000 timeout 600 "$wine" cmd /c \
            "set QT_QPA_PLATFORM=offscreen&& $test -o $name.wine.txt,txt" >/dev/null 2>&1 &&
            status=0 || status=$?
        summary=$(grep -a '^Totals' "$name.wine.txt" | tr -d '\r' || true) # none when it broke off
    fi
    # Rows that fail for a known reason outside Lumra's code (tools/windows/wine-known-failures.txt).
    unknown=0
    while IFS= read -r line; do
        row=${line#FAIL!  : }
        reason=$(awk -F '\t' -v row="$row" 'index(row, $1 " ") == 1 && $1 !~ /^#/ {print $2}' \
            "$root/tools/windows/wine-known-failures.txt")
        if [ -n "$reason" ]; then
            echo "    known: ${row%% Compared*} - $reason"
        else
            echo "    FAIL: $row" | cut -c1-200
            unknown=$((unknown + 1))
        fi
    done < <(grep -a '^FAIL!' "$name.wine.txt" | tr -d '\r')
    if ((status == 0)) || { grep -qa '^Totals' "$name.wine.txt" && ((unknown == 0)); }; then
        echo "PASS $name: $summary"
    else
        echo "FAIL $name: ${summary:-no result} (log: $build/$name.wine.txt)"
        failed+=("$name")
    fi
done
"$wineserver" -w
((${#failed[@]} == 0)) || exit 1
