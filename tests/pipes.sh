#!/bin/sh
# shellcheck disable=SC2119 # the program takes no arguments here
# Talks to the program through named pipes, answering only once a prompt has
# arrived, as a person would. Usage: pipes.sh EXE prompts|reader-gone
exe=$1
# shellcheck source=tests/lib.sh
. "${0%/*}/lib.sh"
need timeout
need mkfifo
mkfifo "$tmp/in" "$tmp/out" || skip "named pipes cannot be made here"

# The next bytes from the program must be TEXT, and arrive without more input
# (the dot keeps command substitution from dropping trailing line ends).
expect() {
    got=$(timeout 5 head -c "${#1}" <&4; echo .)
    [ "$got" = "$1." ] || fail "read '${got%.}' where '$1' was due"
}

case $2 in
prompts)
    run_limited <"$tmp/in" >"$tmp/out" &
    exec 3>"$tmp/in" 4<"$tmp/out"
    expect "Please enter your first name: "
    echo "Ada" >&3
    expect "Please enter your last name: "
    echo "Lovelace" >&3
    exec 3>&-
    expect "First name is: Ada${nl}Last name is: Lovelace$nl"
    wait $! || fail "exit status $?, expected 0"
    ;;
reader-gone)
    # With SIGPIPE ignored, or on a system without it, the lost reader shows
    # up as a write error, whose text is the system's own.
    (
        trap '' PIPE
        run_limited <"$tmp/in" >"$tmp/out" 2>"$tmp/err"
    ) &
    exec 3>"$tmp/in" 4<"$tmp/out"
    expect "Please enter your first name: "
    exec 4<&-
    printf 'Ada\nLovelace\n' >&3
    exec 3>&-
    wait $!
    status=$?
    [ "$status" -eq 1 ] || fail "exit status $status, expected 1"
    # The reason is a pattern (the dot keeps the line end).
    # shellcheck disable=SC2254,SC2027 # so it is matched as one
    case $(cat "$tmp/err"; echo .) in
    "name-dialogue: write error: "$(because "Broken pipe")"$nl.") ;;
    *) fail "standard error: $(cat "$tmp/err")" ;;
    esac
    ;;
*) fail "no such check: $2" ;;
esac
