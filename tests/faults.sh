#!/bin/sh
# shellcheck disable=SC2119 # the program takes no arguments here
# Makes each read of standard input, each write to standard output, or the
# close of it fail in turn, once a run, with each error the system really
# returns there; every such run must exit 1 with the one matching message.
# Usage: faults.sh EXE read|write|close
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
    strace -f -o "$tmp/trace" -e trace="$call" -P "$tmp/in" -P "$tmp/out" "$@" \
        ${NAME_DIALOGUE_EMULATOR:-} "$exe" <"$tmp/in" >"$tmp/out" 2>"$tmp/err"
}

trace
status=$?
{ cat "$tmp/err" && echo "exit status $status"; } >"$tmp/clean"
echo "exit status 0" | cmp -s - "$tmp/clean" || fail "the run without a fault: $(cat "$tmp/clean")"
cp "$tmp/out" "$tmp/whole"
calls=$(grep -c "^[0-9 ]*$call(" "$tmp/trace")
[ "$calls" -gt 0 ] || fail "the run made no $call call on its streams"

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
        [ "$status" -eq 1 ] || fail "$at: exit status $status, expected 1"
        reason=$(grep -m 1 -o "$error ([^)]*)" "$tmp/trace" | sed 's/^[^(]*(\(.*\))$/\1/')
        echo "name-dialogue: $what: $reason" | cmp -s - "$tmp/err" ||
            fail "$at: standard error: $(cat "$tmp/err")"
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
