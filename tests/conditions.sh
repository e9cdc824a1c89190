#!/bin/sh
# shellcheck disable=SC2119 # the program takes no arguments here
# Runs that data files cannot express: broken streams and sizes.
# Usage: conditions.sh EXE CHECK
exe=$1
# shellcheck source=tests/lib.sh
. "${0%/*}/lib.sh"
prompts="Please enter your first name: Please enter your last name: "

# check STATUS STDERR [STDOUT]: the last run must have ended so, byte for byte
# (the dot keeps command substitution from dropping trailing line ends).
# STDERR is a shell pattern, for the reasons below. Standard output is
# compared only where the run wrote it to a file.
check() {
    ok=true
    [ "$status" -eq "$1" ] || { echo "exit status $status, expected $1"; ok=false; }
    # shellcheck disable=SC2254 # the pattern is meant to match
    case $(cat "$tmp/err"; echo .) in
    $2.) ;;
    *) echo "standard error: $(cat "$tmp/err")"; ok=false ;;
    esac
    if [ $# -gt 2 ]; then
        [ "$(cat "$tmp/out"; echo .)" = "$3." ] || { echo "standard output begins: $(head -c 200 "$tmp/out")"; ok=false; }
    fi
    $ok || exit 1
}

printf 'Ada\nLovelace\n' >"$tmp/in"
case $2 in
full-device)
    [ -w /dev/full ] || skip "there is no /dev/full"
    run <"$tmp/in" >/dev/full 2>"$tmp/err"
    status=$?
    check 1 "name-dialogue: write error: No space left on device$nl"
    ;;
closed-stdout)
    run <"$tmp/in" >&- 2>"$tmp/err"
    status=$?
    check 1 "name-dialogue: write error: Bad file descriptor$nl"
    ;;
directory-stdin)
    ! on_windows || skip "Windows cannot give a directory as standard input"
    run </ >"$tmp/out" 2>"$tmp/err"
    status=$?
    check 1 "name-dialogue: read error: Is a directory$nl" \
        "${prompts}First name is: ${nl}Last name is: $nl"
    ;;
read-and-write)
    # The prompt's failed flush and the failed read happen in one call; only
    # the read's reason survives it.
    ! on_windows || skip "Windows cannot give a directory as standard input"
    [ -w /dev/full ] || skip "there is no /dev/full"
    run </ >/dev/full 2>"$tmp/err"
    status=$?
    check 1 "name-dialogue: read error: Is a directory${nl}name-dialogue: write error$nl"
    ;;
memory-limit)
    ! on_windows || skip "Windows has no address-space limit to set"
    [ -z "${NAME_DIALOGUE_EMULATOR:-}" ] ||
        skip "an address-space limit binds the emulator itself, not only the program"
    [ -z "${NAME_DIALOGUE_SANITIZED:-}" ] ||
        skip "sanitizers reserve more address space than the limit allows"
    # shellcheck disable=SC3045 # beyond POSIX on purpose; checked for first
    (ulimit -v 65536) 2>/dev/null || skip "this shell cannot limit the address space"
    # A 64 MiB address space cannot hold a 200 MB line.
    head -c 200000000 /dev/zero | (
        # shellcheck disable=SC3045 # checked for above
        ulimit -v 65536
        run >"$tmp/out" 2>"$tmp/err"
    )
    status=$?
    check 1 "name-dialogue: memory exhausted$nl" "Please enter your first name: "
    ;;
large-name)
    head -c 8388608 /dev/zero | tr '\0' x >"$tmp/name"
    { cat "$tmp/name" && echo && echo Byron; } >"$tmp/in"
    run <"$tmp/in" >"$tmp/out" 2>"$tmp/err"
    status=$?
    check 0 "" "${prompts}First name is: $(cat "$tmp/name")${nl}Last name is: Byron$nl"
    ;;
closed-stdin)
    run <&- >"$tmp/out" 2>"$tmp/err"
    status=$?
    check 1 "name-dialogue: read error: $(because "Bad file descriptor")$nl" \
        "${prompts}First name is: ${nl}Last name is: $nl"
    ;;
file-size)
    # Output cut short by a file size limit; the system's signal for it is
    # ignored, so the write fails instead. The limit, 100 blocks of 512 or
    # 1024 bytes, leaves room for a coverage build's own data files.
    head -c 200000 /dev/zero | tr '\0' x >"$tmp/name"
    { cat "$tmp/name" && echo && echo Byron; } >"$tmp/in"
    (
        trap '' XFSZ
        ulimit -f 100 || exit 125
        run <"$tmp/in" >"$tmp/out" 2>"$tmp/err"
    )
    status=$?
    [ "$status" -ne 125 ] || skip "this shell cannot limit the file size"
    check 1 "name-dialogue: write error: $(because "File too large")$nl"
    [ "$(wc -c <"$tmp/out")" -lt 200000 ] || fail "the limit did not cut the output short"
    ;;
*) fail "no such check: $2" ;;
esac
