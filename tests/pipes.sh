#!/bin/sh
# Talks to the program through named pipes, answering only once a prompt has
# arrived, as a person would. Usage: pipes.sh EXE prompts|reader-gone
set -u
exe=$1
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT
mkfifo "$tmp/in" "$tmp/out"

fail() {
    echo "$*"
    exit 1
}

# The next bytes from the program must be TEXT, and arrive without more input.
expect() {
    got=$(timeout 5 head -c "${#1}" <&4)
    [ "$got" = "$1" ] || fail "read '$got' where '$1' was due"
}

case $2 in
prompts)
    timeout 10 "$exe" <"$tmp/in" >"$tmp/out" &
    exec 3>"$tmp/in" 4<"$tmp/out"
    expect "Please enter your first name: "
    echo "Ada" >&3
    expect "Please enter your last name: "
    echo "Lovelace" >&3
    exec 3>&-
    expect "First name is: Ada
Last name is: Lovelace"
    wait $! || fail "exit status $?, expected 0"
    ;;
reader-gone)
    # With SIGPIPE ignored the lost reader shows up as a write error.
    (
        trap '' PIPE
        exec timeout 10 "$exe" <"$tmp/in" >"$tmp/out" 2>"$tmp/err"
    ) &
    exec 3>"$tmp/in" 4<"$tmp/out"
    expect "Please enter your first name: "
    exec 4<&-
    printf 'Ada\nLovelace\n' >&3
    exec 3>&-
    wait $!
    status=$?
    [ "$status" -eq 1 ] || fail "exit status $status, expected 1"
    [ "$(cat "$tmp/err")" = "name-dialogue: write error: Broken pipe" ] ||
        fail "standard error: $(cat "$tmp/err")"
    ;;
*) fail "no such check: $2" ;;
esac
