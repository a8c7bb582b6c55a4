#!/usr/bin/env bash
# Checks lumra.exe as Windows and a user would meet it. First the program file itself: its
# icon, its version information and its manifest. Then it shows the sample pictures under
# Wine on a virtual screen: the window at the bottom right with a sample picture in it, Page
# Down moving to another picture, the About box's version read off the screen, and Escape
# closing it with the changed option in the registry.
#   tools/windows/check-exe.sh lumra.exe samples-folder work-folder [lumra.msi newer.msi]
# With the two packages it then checks the installer too (the last section).
# WINEPREFIX names a prepared Wine prefix. Screenshots are left in the work folder.
set -euo pipefail

exe=$1 samples=$2 work=$3
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
key='HKCU\Software\Morvanell\Lumra'
width=1280 height=1024
mkdir -p "$work"
rm -f "$work"/*.png
fail() {
    echo "check: $*" >&2
    exit 1
}

# The version the program was built as, in the one place it is written.
version=$(sed -n 's/^project(Lumra VERSION \([0-9.]*\).*/\1/p' "$(dirname "$0")/../../CMakeLists.txt")
[[ $version =~ ^[0-9]+\.[0-9]+$ ]] || fail "no major.minor version in CMakeLists.txt"
quad=$version.0.0

# The icon Explorer shows: the program file's first icon group, in the four sizes.
group=$(wrestool --list --type=14 "$exe" | sed -n '1s/.*--name=\([^ ]*\).*/\1/p')
[ -n "$group" ] || fail "lumra.exe has no icon"
wrestool --extract --type=14 --name="$group" "$exe" >"$work/icon.ico"
sizes=$(icotool --list "$work/icon.ico" | sed -n 's/.*--width=\([0-9]*\).*/\1/p' | sort -n | xargs)
[ "$sizes" = "16 32 48 256" ] || fail "the icon has the sizes $sizes, not 16 32 48 256"
echo "icon: $sizes pixels"

# The version information: the numbers Windows compares and the texts Explorer shows.
wrestool --extract --raw --type=16 "$exe" >"$work/version.res"
[ -s "$work/version.res" ] || fail "lumra.exe has no version information"
read -r file_ms file_ls product_ms product_ls < <(od -An -v -tx4 -w4 "$work/version.res" |
    awk '$1 == "feef04bd" {found = NR} found && NR >= found + 2 && NR <= found + 5 {printf "%s ", $1}
        END {print ""}')
[ -n "${product_ls:-}" ] || fail "the version information holds no fixed numbers"
dotted() { printf '%d.%d.%d.%d' $((0x$1 >> 16)) $((0x$1 & 0xffff)) $((0x$2 >> 16)) $((0x$2 & 0xffff)); }
[ "$(dotted "$file_ms" "$file_ls")" = "$quad" ] || fail "the file version is $(dotted "$file_ms" "$file_ls")"
[ "$(dotted "$product_ms" "$product_ls")" = "$quad" ] ||
    fail "the product version is $(dotted "$product_ms" "$product_ls")"
# Each text follows its name among the resource's UTF-16 strings.
texts=$(strings --encoding=l --bytes=1 "$work/version.res")
for pair in "ProductName=Lumra" "CompanyName=Morvanell" "FileDescription=Lumra picture viewer" \
    "FileVersion=$quad" "ProductVersion=$quad" "OriginalFilename=lumra.exe"; do
    value=$(awk -v name="${pair%%=*}" 'found {print; exit} $0 == name {found = 1}' <<<"$texts")
    [ "$value" = "${pair#*=}" ] || fail "the version information's ${pair%%=*} is \"$value\""
done
echo "version information: $quad, $(awk 'found {print; exit} $0 == "FileDescription" {found = 1}' <<<"$texts")"

# The manifest: sharp on every monitor, and UTF-8 for the 8-bit calls.
manifest=$(wrestool --extract --raw --type=24 "$exe")
grep -q '<activeCodePage[^>]*>UTF-8<' <<<"$manifest" || fail "the manifest asks for no UTF-8 code page"
grep -q '<dpiAwareness[^>]*>PerMonitorV2<' <<<"$manifest" || fail "the manifest is not per-monitor"
echo "manifest: UTF-8 code page, per-monitor DPI"

for screen in $(seq 70 99); do
    [ -e "/tmp/.X$screen-lock" ] || break
done
Xvfb ":$screen" -noreset -screen 0 ${width}x${height}x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
lumra=
cleanup() {
    [ -n "$lumra" ] && kill "$lumra" 2>/dev/null
    "$wineserver" -k 2>/dev/null || true
    kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT
export DISPLAY=:$screen
for _ in $(seq 100); do
    xdpyinfo >/dev/null 2>&1 && break
    sleep 0.1
done

# A first run, but for the slide show, which is off so that only the keys move.
"$wine" reg delete "$key" /f >/dev/null 2>&1 || true
"$wine" reg add "$key" /v AutoAdvance /d False /f >/dev/null
QT_QPA_PLATFORM=windows:fontengine=freetype "$wine" "$exe" "$("$wine" winepath -w "$samples")" \
    >"$work/lumra.log" 2>&1 &
lumra=$!

# The picture's name is the caption.
caption_window() {
    xdotool search --onlyvisible --name '\.(png|bmp|jpg|jpeg|gif)$' 2>/dev/null | head -1
}
window=
for _ in $(seq 300); do
    window=$(caption_window) && [ -n "$window" ] && break
    sleep 0.1
done
[ -n "$window" ] || fail "no window with a picture's name as its caption (log: $work/lumra.log)"
sleep 1 # the first paint

geometry() { # x y width height of the window on the screen
    xwininfo -id "$window" | awk '/Absolute upper-left X/ {x=$NF} /Absolute upper-left Y/ {y=$NF}
        /^ *Width/ {w=$NF} /^ *Height/ {h=$NF} END {print x, y, w, h}'
}
caption() { xdotool getwindowname "$window"; }
# Which sample the window shows: the sample whose mean colour is nearest the mean of the
# picture's place in the window (shrunk to fit with its aspect kept, centred on black).
# Wine's X window holds the whole frame: 4 pixels each side and a 16-pixel caption above.
shown() { # screenshot
    local x y w h
    read -r x y w h < <(geometry)
    x=$((x + 4)) y=$((y + 20)) w=$((w - 8)) h=$((h - 24))
    local best='' best_distance=9 name pw ph mr mg mb
    while read -r name pw ph mr mg mb; do
        local place
        place=$(awk -v w="$w" -v h="$h" -v pw="$pw" -v ph="$ph" 'BEGIN {
            s = 1; if (w / pw < s) s = w / pw; if (h / ph < s) s = h / ph
            sw = int(pw * s + 0.5); sh = int(ph * s + 0.5)
            printf "%dx%d+%d+%d", sw - 4, sh - 4, int((w - sw) / 2) + 2, int((h - sh) / 2) + 2 }')
        local means
        means=$(convert "$1" -crop "${w}x${h}+${x}+${y}" +repage -crop "$place" +repage \
            -format '%[fx:mean.r] %[fx:mean.g] %[fx:mean.b]' info:)
        local distance
        distance=$(echo "$means" | awk -v r="$mr" -v g="$mg" -v b="$mb" \
            '{d = ($1 - r) ^ 2 + ($2 - g) ^ 2 + ($3 - b) ^ 2; print sqrt(d)}')
        if awk -v d="$distance" -v b="$best_distance" 'BEGIN {exit !(d < b)}'; then
            best=$name best_distance=$distance
        fi
    done < <(for f in "$samples"/*; do
        identify -format '%f %w %h %[fx:mean.r] %[fx:mean.g] %[fx:mean.b]\n' "$f"
    done)
    # Within 4 % of the whole scale; the samples' means are at least 15 % apart.
    awk -v d="$best_distance" 'BEGIN {exit !(d < 0.04)}' && echo "$best"
}

import -window root "$work/first.png"
read -r x y w h < <(geometry)
echo "window: ${w}x${h} at ($x, $y) on a ${width}x${height} screen, caption \"$(caption)\""
# At the bottom right: its right edge at the screen's, its bottom 900 twips (60 pixels) above
# the screen's. Qt on Windows places the visible frame and takes part of the resize border
# for invisible, as it is on Windows 10; Wine draws it, so the edges may be a few pixels out.
right=$((x + w - width)) bottom=$((y + h - (height - 60)))
((right >= -8 && right <= 8)) || fail "the window's right edge is $right pixels from the screen's"
((bottom >= -8 && bottom <= 8)) || fail "the window's bottom is $bottom pixels from its place"
first=$(shown "$work/first.png") || fail "the window shows none of the sample pictures"
[ "$first" = "$(caption)" ] || fail "the window shows $first under the caption $(caption)"
echo "shows: $first"

# Page Down: the next picture, shown and named.
# A click on the caption makes the window the active one for Wine, as a user would.
xdotool mousemove $((x + 60)) $((y + 10)) click 1 sleep 0.5 key Next
for _ in $(seq 100); do
    [ "$(caption)" != "$first" ] && break
    sleep 0.1
done
sleep 1
import -window root "$work/next.png"
next=$(shown "$work/next.png") || fail "after Page Down the window shows none of the samples"
[ "$next" != "$first" ] || fail "Page Down left $first in the window"
[ "$next" = "$(caption)" ] || fail "the window shows $next under the caption $(caption)"
echo "after Page Down: $next"

# The About box, from the popup menu as a user opens it (its last item but one), and its
# version label read off the screen by OCR: what the program file's version information says.
xdotool mousemove $((x + w / 2)) $((y + h / 2)) click 3 sleep 0.5 key Up Up Return
about=
for _ in $(seq 100); do
    about=$(xdotool search --onlyvisible --name '^About Lumra$' 2>/dev/null | head -1) &&
        [ -n "$about" ] && break
    sleep 0.1
done
[ -n "$about" ] || fail "the popup menu's About item opened no About box"
sleep 1 # the first paint
import -window "$about" "$work/about.png"
# Enlarged, the box's small bold type reads reliably.
convert "$work/about.png" -colorspace Gray -resize 400% "$work/about-large.png"
label=$(tesseract "$work/about-large.png" - 2>/dev/null | grep -a '^Version' | head -1) || true
echo "About box: $label"
[ "$label" = "Version $version" ] || fail "the About box shows \"$label\", not \"Version $version\""
xdotool key Escape
for _ in $(seq 100); do
    xdotool search --onlyvisible --name '^About Lumra$' >/dev/null 2>&1 || break
    sleep 0.1
done
xdotool search --onlyvisible --name '^About Lumra$' >/dev/null 2>&1 && fail "Escape left the About box open"
xdotool mousemove $((x + 60)) $((y + 10)) click 1 sleep 0.5

# One option changed (the slide show's pace, digit 5), then Escape: the viewer closes and
# saves what changed.
xdotool key 5 Escape
for _ in $(seq 100); do
    kill -0 "$lumra" 2>/dev/null || break
    sleep 0.1
done
kill -0 "$lumra" 2>/dev/null && fail "Escape did not close the viewer"
wait "$lumra" || fail "the viewer ended with status $?"
lumra=
"$wineserver" -w
stored=$("$wine" reg query "$key" 2>/dev/null | tr -d '\r')
echo "$stored"
echo "$stored" | grep -qE '^ +AutoAdvanceSeconds +REG_SZ +5$' ||
    fail "AutoAdvanceSeconds = 5 is not in the registry"
for option in Sorted Reverse StayOnTop Transparent; do
    echo "$stored" | grep -qE "^ +$option " && fail "$option was written, though unchanged"
done
echo "check: passed"

# ---- The installer ----
# With a package and a newer one (check-exe.sh lumra.exe samples work lumra.msi newer.msi), the
# program is installed as a user would install it: quietly with msiexec, then what it put in
# place is looked at, a picture is opened through the Open with command line it registered,
# the newer package replaces it, and removing that leaves nothing but the user's options.
check_install() { # package newer-package
    local msi=$1 newer_msi=$2
    local classes='HKLM\Software\Classes'
    local program=$WINEPREFIX/drive_c/Program\ Files/Lumra
    # Lumra's own keys, and each picture type's offer of it: the types of the samples.
    local application=$classes\\Applications\\lumra.exe verb=$classes\\Directory\\shell\\Lumra
    local keys=("$application" "$verb")
    local types=() type
    for type in $(find "$samples" -maxdepth 1 -type f -name '*.*' | sed 's/.*\.//' | sort -u); do
        types+=("$type")
        keys+=("$classes\\.$type\\OpenWithList\\lumra.exe")
    done

    msiexec() { # action package-or-product-code: quietly, then waits for Wine to settle
        local what=$2
        [ -f "$what" ] && what=$("$wine" winepath -w "$what")
        "$wine" msiexec "$1" "$what" /qn >/dev/null 2>&1 || return
        "$wineserver" -w
    }
    # reg query writes a value as "    name    REG_type    data", and a default never set as
    # "(value not set)", which is taken here as no default, as when the key is missing.
    value() { # key [name]: the data of a value, or of the key's default; fails when absent
        local which=(/ve) found
        [ -n "${2:-}" ] && which=(/v "$2")
        found=$("$wine" reg query "$1" "${which[@]}" 2>/dev/null) || return
        tr -d '\r' <<<"$found" | awk -F '    ' 'NF >= 3 && $1 == "" {
            if ($2 != "(Default)" || $4 != "(value not set)") print $4; exit }'
    }
    has_key() { "$wine" reg query "$1" >/dev/null 2>&1; }
    lumra_subkeys() { # key name-value value...: the name and those values of each subkey of key
        local key=$1 name=$2 #                       whose name-value is Lumra, one a line
        shift 2
        "$wine" reg query "$key" /s 2>/dev/null | tr -d '\r' | awk -F '    ' -v name="$name" \
            -v wanted="$*" '
            function flush(i, line) {
                if (v[name] == "Lumra") {
                    line = subkey
                    for (i = 1; i <= n; i++) line = line " " v[w[i]]
                    print line
                }
                delete v
            }
            BEGIN { n = split(wanted, w, " ") }
            /^HKEY/ { flush(); k = split($0, part, "\\"); subkey = part[k] }
            NF >= 3 && $1 == "" { v[$2] = $4 }
            END { flush() }'
    }
    products() { # product code, version and maker of each product named Lumra
        lumra_subkeys 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' DisplayName \
            DisplayVersion Publisher
    }
    shortcut() { find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/Lumra.lnk' | head -1; }
    defaults() { # each picture type's own default, which Lumra leaves as it is
        for type in "${types[@]}"; do
            echo ".$type=$(value "HKCR\\.$type" || true)"
        done
    }

    # A package left by a check that stopped half way goes first.
    local code
    for code in $(products | cut -d ' ' -f 1); do
        msiexec /x "$code" || true
    done
    local before
    before=$(defaults)

    msiexec /i "$msi" || fail "msiexec /i $msi failed"
    local installed
    installed=$(products)
    echo "installed: $installed"
    [ "$(wc -l <<<"$installed")" = 1 ] || fail "not one product named Lumra after installing"
    local version maker own_version
    read -r _ version maker <<<"$installed"
    own_version=$("$wine" "$program/lumra.exe" --version | tr -d '\r')
    [ "Lumra $version" = "$own_version" ] ||
        fail "Apps and Features says version $version, the program says $own_version"
    [ "$maker" = Morvanell ] || fail "Apps and Features names $maker as the maker"
    [ -s "$program/Help/Lumra.htm" ] || fail "Help\\Lumra.htm is not installed"
    [ -n "$(shortcut)" ] || fail "no Start menu shortcut"
    # The icon Apps and Features shows, which Windows Installer keeps a copy of.
    local icon
    icon=$(lumra_subkeys "$classes\\Installer\\Products" ProductName ProductIcon |
        cut -d ' ' -f 2-)
    [ -n "$icon" ] || fail "no product icon for Apps and Features"
    [ "$(identify -format '%m\n' "$("$wine" winepath -u "$icon")" 2>/dev/null | head -1)" = ICO ] ||
        fail "the product icon $icon is not an icon"

    # Open with: how to open a picture and which types, each type offering Lumra, none made
    # Lumra's; the folders' verb starts it the same way.
    local open
    open=$(value "$application\\shell\\open\\command") || fail "no Open with command"
    [ "$open" = "\"$("$wine" winepath -w "$program/lumra.exe")\" \"%1\"" ] ||
        fail "the Open with command is $open"
    for type in "${types[@]}"; do
        value "$application\\SupportedTypes" ".$type" >/dev/null ||
            fail ".$type is not among Lumra's supported types"
        has_key "$classes\\.$type\\OpenWithList\\lumra.exe" || fail ".$type does not offer Lumra"
    done
    [ "$(defaults)" = "$before" ] || fail "a picture type's default changed: $(defaults)"
    [ "$(value "$verb" || true)" = "Show pictures with Lumra" ] ||
        fail "no Show pictures with Lumra on folders"
    [ "$(value "$verb\\command" || true)" = "$open" ] ||
        fail "the folders' command is not $open"
    echo "registered: Open with $open for ${types[*]}, and on folders"

    # The installed program opens a picture in a folder with a space in its name as Explorer
    # would: the registered command line, the picture's name in place of %1, run by cmd.
    local picture folder="$work/Open with"
    picture=$(find "$samples" -maxdepth 1 -type f | sort | tail -1)
    rm -rf "$folder" && mkdir -p "$folder" && cp "$picture" "$folder/"
    picture=$(basename "$picture")
    printf '@%s\r\n' "${open//%1/$("$wine" winepath -w "$folder/$picture")}" \
        >"$work/open-with.bat"
    QT_QPA_PLATFORM=windows:fontengine=freetype "$wine" cmd /c \
        "$("$wine" winepath -w "$work/open-with.bat")" >"$work/open-with.log" 2>&1 &
    lumra=$!
    window=
    for _ in $(seq 300); do
        window=$(caption_window) && [ -n "$window" ] && break
        sleep 0.1
    done
    [ -n "$window" ] || fail "the Open with command showed no picture (log: $work/open-with.log)"
    sleep 1
    import -window root "$work/open-with.png"
    local opened
    opened=$(shown "$work/open-with.png") ||
        fail "opened with Lumra, the window shows none of the samples"
    [[ $opened == "$picture" && $(caption) == "$picture" ]] ||
        fail "opened with Lumra, $picture shows as $opened under the caption $(caption)"
    echo "opened with Lumra: $opened"
    # An option of the user's (the slide show's pace, 2 seconds) for the removal to keep.
    local x y
    read -r x y _ _ < <(geometry)
    xdotool mousemove $((x + 60)) $((y + 10)) click 1 sleep 0.5 key 2 Escape
    for _ in $(seq 100); do
        kill -0 "$lumra" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 "$lumra" 2>/dev/null && fail "Escape did not close the installed viewer"
    lumra=
    "$wineserver" -w
    [ "$(value "$key" AutoAdvanceSeconds || true)" = 2 ] ||
        fail "the installed viewer saved no option"

    # The newer package replaces this one.
    msiexec /i "$newer_msi" || fail "msiexec /i $newer_msi failed"
    local upgraded
    upgraded=$(products)
    echo "upgraded: $upgraded"
    [[ $(wc -l <<<"$upgraded") == 1 && ${upgraded%% *} != "${installed%% *}" ]] ||
        fail "the newer package did not replace the first"
    [ -f "$program/lumra.exe" ] || fail "lumra.exe went with the upgrade"

    # Removed: every file and key gone but the user's options.
    msiexec /x "$newer_msi" || fail "msiexec /x $newer_msi failed"
    [ -z "$(products)" ] || fail "Lumra is still in Apps and Features"
    [ ! -e "$program" ] || fail "$program is still there"
    [ -z "$(shortcut)" ] || fail "the Start menu shortcut is still there"
    local stale
    for stale in "${keys[@]}"; do
        ! has_key "$stale" || fail "$stale is still in the registry"
    done
    [ "$(defaults)" = "$before" ] || fail "a picture type's default changed: $(defaults)"
    [ "$(value "$key" AutoAdvanceSeconds || true)" = 2 ] ||
        fail "the user's options went with Lumra"
    echo "removed: the files, the shortcut and the keys, the options kept"
    echo "check: the installer passed"
}
[ -n "${4:-}" ] && check_install "$4" "$5"
exit 0
