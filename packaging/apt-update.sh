#!/usr/bin/env bash
# Refreshes apt's package indexes as well as a mirror allows: apt-get update,
# tried up to four times, 20 seconds apart. Debian's mirrors are now and then
# caught mid-sync for some lists, and the packages wanted may well be in the
# lists that did load, so a refresh that still fails is said, with apt's own
# lines, and is not a failure: what cannot then be installed is.
# APT_CONFIG, as mmdebstrap's hooks set it, points it at another system's apt.
# Usage: packaging/apt-update.sh [APT-GET OPTION]...
# shellcheck source=packaging/lib.sh
. "$(dirname "$0")/lib.sh"
log=$tmp/log
for try in 1 2 3 4; do
    if apt-get "$@" update >"$log" 2>&1; then
        exit 0
    fi
    [ "$try" -eq 4 ] || sleep 20
done
echo "apt-update.sh: the package indexes could not all be refreshed in 4 tries; going on with those there are." >&2
echo "apt-update.sh: apt said:" >&2
grep -E '^(E|W):' "$log" >&2 || tail -n 20 "$log" >&2
exit 0
