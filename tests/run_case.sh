#!/bin/sh
# Runs one data case: CASE.in on standard input and the words of CASE.args,
# if there is one, as arguments. Standard output must equal the expected bytes,
# standard error must stay empty and the exit status must be 0. The expected
# bytes are CASE.out, with CR LF line ends for Windows; where Windows gives
# other bytes still, CASE.windows.out holds them.
# Usage: run_case.sh EXE CASE
exe=$1
case=$2
# shellcheck source=tests/lib.sh
. "${0%/*}/lib.sh"

expected=$case.out
if on_windows && [ -f "$case.windows.out" ]; then
    expected=$case.windows.out
elif on_windows; then
    # Every expected output ends in a line end, so each line gains a CR.
    LC_ALL=C sed "s/\$/$(printf '\r')/" "$case.out" >"$tmp/expected"
    expected=$tmp/expected
fi

args=
[ -f "$case.args" ] && args=$(cat "$case.args")
# shellcheck disable=SC2086 # the words are meant to be split
run $args <"$case.in" >"$tmp/out" 2>"$tmp/err"
status=$?

ok=true
[ "$status" -eq 0 ] || { echo "exit status $status, expected 0"; ok=false; }
if ! cmp -s "$expected" "$tmp/out"; then
    echo "standard output differs (expected, then actual):"
    od -c "$expected" >"$tmp/expected.od"
    od -c "$tmp/out" >"$tmp/actual.od"
    diff "$tmp/expected.od" "$tmp/actual.od"
    ok=false
fi
[ ! -s "$tmp/err" ] || { echo "standard error is not empty: $(cat "$tmp/err")"; ok=false; }
$ok
