# shellcheck shell=bash
# Sourced first by every script in packaging/, with the script's arguments:
# strict mode; root, the project's top folder; --help, which prints the
# script's header; fail, one line on standard error and exit 1; tmp, a
# folder of its own, removed at the end, when whatever still runs beside the
# script is stopped too; and what several scripts read off a release.
set -euo pipefail
# shellcheck disable=SC2034 # for the scripts that source this one
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
case ${1:-} in -h | --help)
    sed -n '2,/^[^#]/s/^# \{0,1\}//p' "$0"
    exit 0
    ;;
esac

fail() {
    echo "${0##*/}: $*" >&2
    exit 1
}

tmp=$(mktemp -d)
finish() {
    jobs -p | xargs -r kill 2>/dev/null || true
    wait 2>/dev/null || true
    rm -rf "$tmp"
}
trap finish EXIT
trap 'exit 1' TERM INT

# job NAME COMMAND...: adds NAME, running COMMAND (one of the script's
# functions, say), to the graph that run_graph runs next.
declare -A graph=()
graph_order=()
job() {
    graph[$1]=$(printf '%q ' "${@:2}")
    graph_order+=("$1")
}
# run_graph VARIABLE...: runs the graph's jobs with make, a job a core, each
# in a bash that has the script's functions and these variables, with its
# log in tmp, JOB.log; they start in the order they were added, and a failed
# one shows the end of its log and fails the graph once the others have
# ended. The graph is then empty again.
run_graph() {
    ((${#graph[@]})) || return 0
    { echo 'set -euo pipefail'; declare -p graph tmp root "$@"; declare -f; } >"$tmp/graph.sh"
    BASH_ENV=$tmp/graph.sh make -s -k -j "$(nproc)" -f "$root/packaging/graph.mk" \
        LOGS="$tmp" JOBS="${graph_order[*]}" SCRIPT="${0##*/}"
    graph=()
    graph_order=()
}

# usage: the script's own Usage line, as a wrong call's answer.
usage() {
    echo "usage: $(sed -n 's/^# Usage: //p' "$0" | sed -n 1p) (--help says more)" >&2
    exit 2
}

# repeat_timing DIR N: the tests of the build DIR that meet another
# process's timing, N times more, two a core at once; a failure shows what
# the failed runs printed.
repeat_timing() {
    if ! ctest --test-dir "$1" -L timing --repeat until-fail:"$2" -j $(($(nproc) * 2)) --output-on-failure \
        >"$1/repeat.log" 2>&1; then
        sed -n '/\*\*\*Failed/,/^ *Start /p' "$1/repeat.log"
        echo "a timing test failed in $2 runs in $1"
        return 1
    fi
    echo "$2 runs each: $(grep 'tests passed' "$1/repeat.log")"
}

# dialogue COMMAND...: COMMAND, given two names, must hold the whole
# dialogue, byte for byte.
dialogue() {
    printf 'Ada\nLovelace\n' | "$@" >"$tmp/dialogue" || fail "$* failed"
    printf 'Please enter your first name: Please enter your last name: First name is: Ada\nLast name is: Lovelace\n' |
        cmp -s - "$tmp/dialogue" || fail "$* wrote: $(cat "$tmp/dialogue")"
}

# release_of SUMS: sets tarball, the source tarball that a release's
# SHA256SUMS names, and version, the version in its name.
release_of() {
    tarball=$(awk '$2 ~ /^name-dialogue-[0-9.]+\.tar\.gz$/ { print $2 }' "$1")
    [ -n "$tarball" ] || fail "$1 names no source tarball"
    version=${tarball#name-dialogue-}
    version=${version%.tar.gz}
}
