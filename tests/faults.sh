#!/bin/sh
# shellcheck disable=SC2119 # the program takes no arguments here
# Makes each read of standard input, each write to standard output, or the
# close of it fail in turn, once a run, with each error the system really
# returns there; every such run must exit 1 with the one matching message.
# The pairs make a second, later call fail too, with another error: the
# first one's reason must be the one reported.
# Usage: faults.sh EXE read|write|close|write-close|read-write
exe=$1
# shellcheck source=tests/lib.sh
. "${0%/*}/lib.sh"
! on_windows || skip "Wine turns the system's errors into Windows' own, whose texts differ"
need strace
strace -o /dev/null true 2>/dev/null || skip "this machine does not allow tracing"
# LeakSanitizer cannot check a process that is being traced.
ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0
export ASAN_OPTIONS

case $2 in
read) call=read errors=EIO ;;
write) call=write errors="EIO ENOSPC EDQUOT EFBIG EPIPE" ;;
close) call=close errors="EIO ENOSPC EDQUOT" ;;
write-close | read-write) call=${2%-*} later=${2#*-} ;;
*) fail "no such check: $2" ;;
esac

# A first name longer than a stdio buffer and a last line with no line end:
# a run then reads and writes several times, and meets the end of input.
head -c 5000 /dev/zero | tr '\0' x >"$tmp/name"
{ cat "$tmp/name" && printf '\nLovelace'; } >"$tmp/in"
# trace ARGS...: runs the program with its streams on files, tracing only the
# system calls on those, so that no dynamic loader's own calls are counted.
# An emulator makes each of the program's calls as one of its own.
trace() {
    # shellcheck disable=SC2086,SC2094 # the emulator may be a command with
    # arguments; strace takes the streams' paths as filters, not as files
    strace -f -o "$tmp/trace" -e trace="$call${later:+,$later}" -P "$tmp/in" -P "$tmp/out" "$@" \
        ${NAME_DIALOGUE_EMULATOR:-} "$exe" <"$tmp/in" >"$tmp/out" 2>"$tmp/err"
}

trace
status=$?
{ cat "$tmp/err" && echo "exit status $status"; } >"$tmp/clean"
echo "exit status 0" | cmp -s - "$tmp/clean" || fail "the run without a fault: $(cat "$tmp/clean")"
cp "$tmp/out" "$tmp/whole"
calls=$(grep -c "^[0-9 ]*$call(" "$tmp/trace")
[ "$calls" -gt 0 ] || fail "the run made no $call call on its streams"

# reason ERRNO: the system's text for it, as strace prints it.
reason() {
    grep -m 1 -o "$1 ([^)]*)" "$tmp/trace" | sed 's/^[^(]*(\(.*\))$/\1/'
}
# expect_err AT TEXT: the last run must have exited 1 with TEXT on stderr.
expect_err() {
    [ "$status" -eq 1 ] || fail "$1: exit status $status, expected 1"
    printf '%s' "$2" | cmp -s - "$tmp/err" || fail "$1: standard error: $(cat "$tmp/err")"
}

case ${later:-} in
close)
    # A write fails, then so would the close: the write's reason stands.
    n=1
    while [ "$n" -le "$calls" ]; do
        trace -e inject="write:error=ENOSPC:when=$n" -e inject=close:error=EIO:when=1
        status=$?
        expect_err "ENOSPC at write $n, then EIO at the close" \
            "name-dialogue: write error: $(reason ENOSPC)$nl"
        n=$((n + 1))
    done
    echo "$calls writes failed before a failing close, each reported for itself"
    exit 0
    ;;
write)
    # A read fails, then a later write: each is reported with its own reason.
    pairs=0
    n=1
    while [ "$n" -le "$calls" ]; do
        trace -e inject="read:error=EIO:when=$n"
        # The writes of that run after the failed read.
        first=$(grep -E '^[0-9 ]*(read|write)\(' "$tmp/trace" |
            awk '/INJECTED/ { print w + 1; exit } /write\(/ { w++ }')
        last=$(grep -c '^[0-9 ]*write(' "$tmp/trace")
        [ -n "$first" ] || fail "EIO at read $n: nothing was injected"
        m=$first
        while [ "$m" -le "$last" ]; do
            trace -e inject="read:error=EIO:when=$n" -e inject="write:error=ENOSPC:when=$m"
            status=$?
            expect_err "EIO at read $n, then ENOSPC at write $m" \
                "name-dialogue: read error: $(reason EIO)${nl}name-dialogue: write error: $(reason ENOSPC)$nl"
            pairs=$((pairs + 1))
            m=$((m + 1))
        done
        n=$((n + 1))
    done
    [ "$pairs" -gt 0 ] || fail "no write came after a failed read"
    echo "$pairs failed reads followed by a failed write, each reported for itself"
    exit 0
    ;;
esac

what="write error"
[ "$call" = read ] && what="read error"
runs=0
for error in $errors; do
    n=1
    while [ "$n" -le "$calls" ]; do
        (
            # The system stops a writer to a vanished reader with SIGPIPE,
            # unless that is ignored; then the write fails with EPIPE.
            [ "$error" = EPIPE ] && trap '' PIPE
            trace -e inject="$call:error=$error:when=$n"
        )
        status=$?
        at="$error at $call $n of $calls"
        grep -q "INJECTED" "$tmp/trace" || fail "$at: nothing was injected"
        expect_err "$at" "name-dialogue: $what: $(reason "$error")$nl"
        # What did arrive is the start of the whole dialogue, never garbage.
        if [ "$call" != read ]; then
            head -c "$(wc -c <"$tmp/out")" "$tmp/whole" | cmp -s - "$tmp/out" ||
                fail "$at: standard output is not the start of the dialogue"
        fi
        runs=$((runs + 1))
        n=$((n + 1))
    done
done
echo "$runs faults injected into $call, each reported"
