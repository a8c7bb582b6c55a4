#!/usr/bin/env bash
# Mutation testing: how many plausible faults do the tests catch?
#
#   tools/mutants.sh [--rev COMMIT] [pattern]
#
# Each line of tools/mutants.txt (or each one matching the grep pattern) is one mutant: a
# file, a text that occurs exactly once in it, and its replacement. The files of a commit
# (HEAD unless --rev names another; its own catalogue is used) are copied into
# build-mutants/, built and tested there once unmutated, then each mutant is applied in turn,
# built incrementally and tested; the tests kill it when one of them fails. The work tree is
# never read nor written: edits made while it runs change nothing.
set -euo pipefail

usage() {
    echo "usage: tools/mutants.sh [--rev COMMIT] [pattern]" >&2
    echo "  pattern: a grep pattern selecting lines of tools/mutants.txt (default: all)" >&2
}
rev=HEAD
case "${1:-}" in
-h | --help)
    usage
    exit 0
    ;;
--rev)
    [ $# -ge 2 ] || {
        usage
        exit 2
    }
    rev="$2"
    shift 2
    ;;
esac
if [ $# -gt 1 ]; then
    usage
    exit 2
fi
pattern="${1:-}"

root="$(git -C "$(dirname "$0")" rev-parse --show-toplevel)"
cd "$root"
commit="$(git rev-parse --verify -q "$rev^{commit}")" || {
    echo "mutants: no commit $rev" >&2
    exit 2
}
scratch="$root/build-mutants"
snapshot="$scratch/snapshot"
catalogue="$snapshot/tools/mutants.txt"
pristine="$scratch/pristine"
tree="$scratch/tree"
build="$scratch/build"
logs="$scratch/logs"
jobs="$(nproc)"
start_seconds=$SECONDS

# The snapshot: the commit's files, taken once, so that nothing done to the work tree during
# the run changes what is tested.
rm -rf "$snapshot"
mkdir -p "$snapshot"
git archive --format=tar "$commit" | tar -x -C "$snapshot"
if [ ! -f "$catalogue" ]; then
    echo "mutants: $rev has no tools/mutants.txt" >&2
    exit 2
fi

elapsed() {
    local s=$((SECONDS - start_seconds))
    printf '%dh %02dm %02ds' $((s / 3600)) $((s % 3600 / 60)) $((s % 60))
}

# The selected catalogue lines, numbered by their place among all mutant lines, so that a
# mutant keeps its number whatever the pattern.
numbers=()
lines=()
n=0
while IFS= read -r line || [ -n "$line" ]; do
    line="${line%$'\r'}"
    case "$line" in '' | '#'*) continue ;; esac
    n=$((n + 1))
    if [ -n "$pattern" ] && ! printf '%s\n' "$line" | grep -e "$pattern" >/dev/null; then
        continue
    fi
    numbers+=("$n")
    lines+=("$line")
done <"$catalogue"
if [ ${#lines[@]} -eq 0 ]; then
    echo "mutants: no mutant in $catalogue matches '${pattern}'" >&2
    exit 2
fi

# Mirrors one folder of files into another, copying only files whose content differs, so
# that an unchanged file keeps its time and Ninja rebuilds only what changed. The list of
# files comes on stdin, NUL-separated; files no longer listed are removed.
sync_py="$(
    cat <<'PY'
import filecmp, os, shutil, sys

source, target = sys.argv[1], sys.argv[2]
wanted = set()
for path in sys.stdin.buffer.read().split(b"\0"):
    if not path:
        continue
    path = os.fsdecode(path)
    origin = os.path.join(source, path)
    if not os.path.lexists(origin):
        continue
    wanted.add(path)
    copy = os.path.join(target, path)
    if os.path.islink(origin):
        link = os.readlink(origin)
        if os.path.islink(copy) and os.readlink(copy) == link:
            continue
        if os.path.lexists(copy):
            os.remove(copy)
        os.makedirs(os.path.dirname(copy), exist_ok=True)
        os.symlink(link, copy)
        continue
    if os.path.lexists(copy) and not os.path.islink(copy) and filecmp.cmp(origin, copy, shallow=False):
        if os.stat(origin).st_mode & 0o777 != os.stat(copy).st_mode & 0o777:
            shutil.copymode(origin, copy)
        continue
    if os.path.lexists(copy):
        os.remove(copy)
    os.makedirs(os.path.dirname(copy), exist_ok=True)
    shutil.copyfile(origin, copy)
    shutil.copymode(origin, copy)
for folder, _, files in os.walk(target):
    for name in files:
        path = os.path.relpath(os.path.join(folder, name), target)
        if path not in wanted:
            os.remove(os.path.join(folder, name))
PY
)"
sync_files() { python3 -c "$sync_py" "$1" "$2"; }

# Writes the mutant into the scratch tree: the pristine file with its one occurrence of the
# text replaced. Exit status 3 when the text does not occur exactly once.
apply_py="$(
    cat <<'PY'
import sys

original, mutated, find, replace = sys.argv[1:5]
with open(original, "rb") as f:
    text = f.read()
find_b, replace_b = find.encode(), replace.encode()
first = text.find(find_b)
if not find_b or first < 0 or text.find(find_b, first + 1) >= 0 or find_b == replace_b:
    sys.exit(3)
with open(mutated, "wb") as f:
    f.write(text[:first] + replace_b + text[first + len(find_b):])
PY
)"
apply_mutant() {
    python3 -c "$apply_py" "$pristine/$1" "$tree/$1" "$2" "$3" || return
    touch "$tree/$1"
}

stop_on_failure=()
if ctest --help 2>/dev/null | grep -e '--stop-on-failure' >/dev/null; then
    stop_on_failure=(--stop-on-failure)
fi
linker=()
if command -v ld.lld >/dev/null; then
    linker=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld)
fi

# CTest runs in a session of its own, so that once one test has failed the tests still
# running (the end-to-end test can wait minutes on a broken program) are ended with it,
# their children included. A failed test is the first line CTest marks with "***".
tests_pid=""
stop_tests() {
    [ -n "$tests_pid" ] || return 0
    # The group only when setsid has made it: never the group this script runs in.
    local target="$tests_pid"
    if [ "$(ps -o pgid= -p "$tests_pid" | tr -d ' ')" = "$tests_pid" ]; then
        target="-$tests_pid"
    fi
    kill -TERM -- "$target" 2>/dev/null || true
    local waited=0
    while kill -0 -- "$target" 2>/dev/null && [ $waited -lt 10 ]; do
        sleep 1
        waited=$((waited + 1))
    done
    kill -KILL -- "$target" 2>/dev/null || true
    wait "$tests_pid" 2>/dev/null || true
    tests_pid=""
}
run_tests() {
    local out="$1"
    QT_QPA_PLATFORM=offscreen setsid ctest --test-dir "$build" -j "$jobs" --timeout 300 \
        "${stop_on_failure[@]}" --output-on-failure >>"$out" 2>&1 </dev/null &
    tests_pid=$!
    while kill -0 "$tests_pid" 2>/dev/null; do
        if grep -qE 'Test +#[0-9]+: .*\*\*\*' "$out"; then
            stop_tests
            return 1
        fi
        sleep 1
    done
    local status=0
    wait "$tests_pid" || status=$?
    tests_pid=""
    return $status
}

# The file under mutation, restored to its pristine content with a new time, so that the
# next build compiles it again.
mutated_file=""
restore() {
    if [ -n "$mutated_file" ]; then
        cp "$pristine/$mutated_file" "$tree/$mutated_file"
        touch "$tree/$mutated_file"
        mutated_file=""
    fi
}
# Messages go to the script's own output even when a trap runs inside a redirection.
exec 3>&1 4>&2
on_interrupt() {
    trap - INT TERM
    stop_tests
    restore
    echo >&3
    echo "mutants: interrupted after $(elapsed); the scratch copy is restored" >&4
    exit 130
}
trap on_interrupt INT TERM
trap 'stop_tests; restore' EXIT

# One line for a mutant: both texts with blanks squeezed and, when long, shown from a
# little before where they first differ.
summarize() {
    local find replace at=0 from=0
    find="$(printf '%s' "$1" | tr -s ' \t' '  ')"
    replace="$(printf '%s' "$2" | tr -s ' \t' '  ')"
    find="${find# }"
    replace="${replace# }"
    while [ $at -lt ${#find} ] && [ "${find:at:1}" = "${replace:at:1}" ]; do
        at=$((at + 1))
    done
    if [ ${#find} -gt 60 ] || [ ${#replace} -gt 60 ]; then
        from=$((at > 30 ? at - 30 : 0))
    fi
    printf '%s -> %s' "$(cut_text "$find" $from)" "$(cut_text "$replace" $from)"
}
cut_text() {
    local text="${1:$2}"
    [ "$2" -eq 0 ] || text="...$text"
    [ ${#text} -le 60 ] || text="${text:0:57}..."
    printf '%s' "$text"
}

# The pristine copy and the tree that is built keep unchanged files' times, so that the build
# stays incremental from one run to the next.
mkdir -p "$pristine" "$tree" "$build" "$logs"
rm -f "$logs"/*.log
snapshot_files() { (cd "$snapshot" && find . -type f -printf '%P\0' -o -type l -printf '%P\0'); }
snapshot_files | sync_files "$snapshot" "$pristine"
snapshot_files | sync_files "$pristine" "$tree"

echo "mutants: ${#lines[@]} selected from $(git rev-parse --short "$commit"); baseline build in $build"
if ! cmake -S "$tree" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DLUMRA_BENCH=OFF \
    -DLUMRA_SANITIZE=OFF -DLUMRA_FUZZ=OFF -DLUMRA_WERROR=OFF "${linker[@]}" \
    >"$logs/baseline.log" 2>&1 ||
    ! cmake --build "$build" -j "$jobs" >>"$logs/baseline.log" 2>&1; then
    echo "mutants: the unmutated copy does not build; see $logs/baseline.log" >&2
    exit 1
fi
if ! run_tests "$logs/baseline.log"; then
    echo "mutants: the tests fail on the unmutated copy; see $logs/baseline.log" >&2
    exit 1
fi
echo "mutants: baseline passes ($(elapsed))"

killed=0
ran=0
stillborn=0
refused=0
survivors=()
for i in "${!lines[@]}"; do
    number="${numbers[$i]}"
    line="${lines[$i]}"
    log="$logs/mutant-$number.log"
    file="${line%%$'\t'*}"
    rest="${line#*$'\t'}"
    find="${rest%%$'\t'*}"
    replace="${rest#*$'\t'}"
    if [ "$file" = "$line" ] || [ "$find" = "$rest" ] || [[ "$replace" == *$'\t'* ]]; then
        echo "MUTANT $number refused: not three tab-separated fields"
        refused=$((refused + 1))
        continue
    fi
    summary="$file: $(summarize "$find" "$replace")"
    if [ ! -f "$pristine/$file" ]; then
        echo "MUTANT $number refused: no tracked file $file"
        refused=$((refused + 1))
        continue
    fi

    mutated_file="$file"
    status=0
    apply_mutant "$file" "$find" "$replace" || status=$?
    if [ $status -ne 0 ]; then
        restore
        if [ $status -eq 3 ]; then
            echo "MUTANT $number refused: text not found once in $file"
            refused=$((refused + 1))
            continue
        fi
        exit $status
    fi

    if ! cmake --build "$build" -j "$jobs" >"$log" 2>&1; then
        echo "MUTANT $number stillborn $summary"
        stillborn=$((stillborn + 1))
    else
        ran=$((ran + 1))
        if run_tests "$log"; then
            echo "MUTANT $number survived $summary"
            survivors+=("MUTANT $number $summary")
        else
            echo "MUTANT $number killed $summary"
            killed=$((killed + 1))
        fi
    fi
    restore
done

echo
echo "MUTANTS killed $killed of $ran"
echo "stillborn: $stillborn, refused: $refused"
if [ ${#survivors[@]} -gt 0 ]; then
    echo "survivors:"
    printf '  %s\n' "${survivors[@]}"
fi
echo "logs: $logs"
echo "elapsed: $(elapsed)"
