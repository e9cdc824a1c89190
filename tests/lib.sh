# shellcheck shell=sh
# Sourced by the test scripts once they have set exe to the program. The build
# passes in the environment the system the program is for
# (NAME_DIALOGUE_SYSTEM) and, when that is not this machine's, the command
# that runs it here (NAME_DIALOGUE_EMULATOR).
set -u
tmp=$(mktemp -d) || exit 1
trap 'rm -rf "$tmp"' EXIT

on_windows() {
    [ "${NAME_DIALOGUE_SYSTEM:-}" = Windows ]
}

# The line end the program writes: Windows' text streams write CR LF, on
# standard error too.
nl=$(printf '\n.')
! on_windows || nl=$(printf '\r\n.')
nl=${nl%.}

# The system's text for an error, as a shell pattern. Wine's C runtime has
# its own texts for some errors, so there any reason will do.
because() {
    if on_windows; then echo '?*'; else echo "$1"; fi
}

fail() {
    echo "$*"
    exit 1
}

# CTest counts exit status 77 as skipped, never as passed. Where skips are
# not allowed (NAME_DIALOGUE_NO_SKIPS), only a check that the build declared
# may skip (NAME_DIALOGUE_MAY_SKIP) does; any other fails, saying why.
skip() {
    if [ -n "${NAME_DIALOGUE_NO_SKIPS:-}" ] && [ -z "${NAME_DIALOGUE_MAY_SKIP:-}" ]; then
        echo "not allowed to skip: $*"
        exit 1
    fi
    echo "skipped: $*"
    exit 77
}

need() {
    command -v "$1" >/dev/null 2>&1 || skip "$1 is not installed"
}

# shellcheck disable=SC2154 # exe is set by the script that sources this one
run() {
    # shellcheck disable=SC2086 # the emulator may be a command with arguments
    ${NAME_DIALOGUE_EMULATOR:-} "$exe" "$@"
}

# As run, but a hang ends after 10 seconds as a failure.
run_limited() {
    # shellcheck disable=SC2086 # the emulator may be a command with arguments
    timeout 10 ${NAME_DIALOGUE_EMULATOR:-} "$exe" "$@"
}
