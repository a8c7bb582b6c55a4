# Sourced by the scripts that read Debian 12 from the machine's own apt sources, whatever host
# they name: no archive's address is written into the project.

# Prints "URI SUITE" for every Debian 12 (bookworm) suite of the machine's enabled "deb"
# sources, one-line (sources.list, *.list) and deb822 (*.sources) alike.
apt_bookworm_sources() {
    local file
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$file" ] || continue
        sed -e 's/#.*//' -e 's/\[[^]]*\]//' "$file" | awk '$1 == "deb" { print $2, $3 }'
    done
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        awk '
            function flush(    n, m, i, j, u, s) {
                if (index(" " types " ", " deb ") && enabled != "no") {
                    n = split(uris, u, " "); m = split(suites, s, " ")
                    for (i = 1; i <= n; i++) for (j = 1; j <= m; j++) print u[i], s[j]
                }
                types = uris = suites = enabled = ""
            }
            /^[ \t]*#/ { next }
            /^[ \t]*$/ { flush(); next }
            { key = tolower($1); $1 = ""; sub(/^ +/, "") }
            key == "types:" { types = $0 }
            key == "uris:" { uris = $0 }
            key == "suites:" { suites = $0 }
            key == "enabled:" { enabled = tolower($0) }
            END { flush() }' "$file"
    done | awk '$2 ~ /^bookworm(-[a-z]+)?$/' | sort -u
}

# Stops the calling script with a clear message when the machine names no Debian 12 archive.
apt_bookworm_missing() {
    echo "$1: this machine's apt sources (/etc/apt/sources.list, /etc/apt/sources.list.d) name" \
        "no Debian 12 (bookworm) archive; add one, then run this again" >&2
    exit 1
}
