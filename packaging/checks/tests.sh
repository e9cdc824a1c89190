#!/usr/bin/env bash
# The released tests, from TESTS, against PROGRAM of TARGET and its MANPAGE
# ("-" for none), run as that target's programs are run here; where DEB_SUITE
# is another Debian suite than this machine's, on the libraries of that
# suite's chroot. Where REPEAT is above 0, the tests that meet another
# process's timing run again that many times, two at once.
# Usage: packaging/checks/tests.sh TESTS BUILD TARGET PROGRAM MANPAGE REPEAT [DEB_SUITE]
# shellcheck source=packaging/lib.sh
. "$(dirname "$0")/../lib.sh"
# shellcheck source=packaging/chroot.sh
. "$root/packaging/chroot.sh"
[ $# -ge 6 ] || usage
emulator=()
if [ -n "${7:-}" ]; then
    IFS=$'\t' read -r qemu arch <<<"$(target_where name "$3" emulator deb_arch)"
    emulator=(-DNAME_DIALOGUE_TEST_EMULATOR="$qemu")
    ! other_suite "$7" || emulator=(-DNAME_DIALOGUE_TEST_EMULATOR="$qemu;-L;$(chroot_dir "$7" "$arch")")
fi
cmake -S "$1" -B "$2" -DNAME_DIALOGUE_TARGET="$3" -DNAME_DIALOGUE_PROGRAM="$4" -DNAME_DIALOGUE_MANPAGE="${5#-}" \
    "${emulator[@]}" >"$2.log" 2>&1 || { cat "$2.log"; fail "the tests cannot be configured"; }
ctest --test-dir "$2" --output-on-failure -j 2
[ "$6" -eq 0 ] || ctest --test-dir "$2" -L timing --repeat until-fail:"$6" -j 2 --output-on-failure
