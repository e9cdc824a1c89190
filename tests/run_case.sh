#!/bin/sh
# Runs one data case: CASE.in on standard input and the words of CASE.args,
# if there is one, as arguments. Standard output must equal CASE.out byte for
# byte, standard error must stay empty and the exit status must be 0.
set -u
exe=$1
case=$2
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT

args=
[ -f "$case.args" ] && args=$(cat "$case.args")
# shellcheck disable=SC2086 # the words are meant to be split
"$exe" $args <"$case.in" >"$tmp/out" 2>"$tmp/err"
status=$?

ok=true
if [ "$status" -ne 0 ]; then
    echo "exit status $status, expected 0"
    ok=false
fi
if ! cmp -s "$case.out" "$tmp/out"; then
    echo "standard output differs (expected, then actual):"
    od -c "$case.out" >"$tmp/expected.od"
    od -c "$tmp/out" >"$tmp/actual.od"
    diff "$tmp/expected.od" "$tmp/actual.od"
    ok=false
fi
if [ -s "$tmp/err" ]; then
    echo "standard error is not empty:"
    cat "$tmp/err"
    ok=false
fi
$ok
