#!/bin/sh
# Runs that data files cannot express: broken streams and sizes.
# Usage: conditions.sh EXE CHECK
set -u
exe=$1
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
prompts="Please enter your first name: Please enter your last name: "
nl='
'

# check STATUS STDOUT STDERR: the last run must have ended so, byte for byte
# (the dot keeps command substitution from dropping trailing line ends).
check() {
    ok=true
    [ "$status" -eq "$1" ] || { echo "exit status $status, expected $1"; ok=false; }
    [ "$(cat "$tmp/out"; echo .)" = "$2." ] || { echo "standard output begins: $(head -c 200 "$tmp/out")"; ok=false; }
    [ "$(cat "$tmp/err"; echo .)" = "$3." ] || { echo "standard error: $(cat "$tmp/err")"; ok=false; }
    $ok
}

printf 'Ada\nLovelace\n' >"$tmp/in"
: >"$tmp/out"
case $2 in
full-device)
    "$exe" <"$tmp/in" >/dev/full 2>"$tmp/err"
    status=$?
    check 1 "" "name-dialogue: write error: No space left on device$nl"
    ;;
closed-stdout)
    "$exe" <"$tmp/in" >&- 2>"$tmp/err"
    status=$?
    check 1 "" "name-dialogue: write error: Bad file descriptor$nl"
    ;;
directory-stdin)
    "$exe" </ >"$tmp/out" 2>"$tmp/err"
    status=$?
    check 1 "${prompts}First name is: ${nl}Last name is: $nl" \
        "name-dialogue: read error: Is a directory$nl"
    ;;
memory-limit)
    if [ -n "${NAME_DIALOGUE_SANITIZED:-}" ]; then
        echo "skipped: sanitizers reserve more address space than the limit allows"
        exit 77
    fi
    # A 64 MiB address space cannot hold a 200 MB line.
    head -c 200000000 /dev/zero | (
        ulimit -v 65536
        exec "$exe" >"$tmp/out" 2>"$tmp/err"
    )
    status=$?
    check 1 "Please enter your first name: " "name-dialogue: memory exhausted$nl"
    ;;
large-name)
    head -c 8388608 /dev/zero | tr '\0' x >"$tmp/name"
    { cat "$tmp/name" && echo && echo Byron; } >"$tmp/in"
    "$exe" <"$tmp/in" >"$tmp/out" 2>"$tmp/err"
    status=$?
    check 0 "${prompts}First name is: $(cat "$tmp/name")${nl}Last name is: Byron$nl" ""
    ;;
*)
    echo "no such check: $2"
    exit 1
    ;;
esac
