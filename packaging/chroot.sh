# shellcheck shell=bash
# Sourced by release.sh and check-release.sh. A target whose Debian packages
# are in another suite than this machine's is built, and its .deb tested, in
# a chroot of that suite, made with mmdebstrap (as root) and kept in
# NAME_DIALOGUE_CHROOTS (default ~/.cache/name-dialogue/chroots, or under
# XDG_CACHE_HOME) for later runs.

host_arch=$(dpkg --print-architecture)
host_suite=$(sed -n 's/^VERSION_CODENAME=//p' /etc/os-release)
# What dh_shlibdeps reads a foreign program's dependencies off.
runtime_packages=(libc6 libstdc++6 libgcc-s1)

# other_suite SUITE: whether SUITE, a target's fact, is not this machine's.
other_suite() {
    [ -n "$1" ] && [ "$1" != "$host_suite" ]
}

# chroot_dir SUITE ARCH: where the chroot of SUITE for building for ARCH is
# kept, whether or not it has been made.
chroot_dir() {
    local cache=${XDG_CACHE_HOME:-${HOME:-/root}/.cache}
    echo "${NAME_DIALOGUE_CHROOTS:-$cache/name-dialogue/chroots}/$1-$host_arch-$2"
}

# chroot_for SUITE ARCH: the chroot of SUITE for this machine that can cross
# build for ARCH and run ARCH's programs, made on first use.
chroot_for() {
    local dir
    dir=$(chroot_dir "$1" "$2")
    if [ ! -d "$dir" ]; then
        [ "$(id -u)" -eq 0 ] || fail "building for $2 in $1 takes root, for its chroot"
        command -v mmdebstrap >/dev/null || fail "mmdebstrap is needed to build for $2 in $1"
        mkdir -p "${dir%/*}"
        rm -rf "$dir.new"
        mmdebstrap --quiet --variant=buildd --architectures="$host_arch,$2" \
            --include="crossbuild-essential-$2,debhelper,cmake$(printf ",%s:$2" "${runtime_packages[@]}")" \
            "$1" "$dir.new" >&2
        mv "$dir.new" "$dir"
    fi
    echo "$dir"
}

# client_chroot SUITE: a tarball of a clean system of SUITE for this machine,
# as a user has it, with curl and sudo for the README's steps; made on first
# use, like the chroots above, and unpacked afresh by each check.
client_chroot() {
    local file
    file=$(chroot_dir "$1" client).tar
    if [ ! -f "$file" ]; then
        [ "$(id -u)" -eq 0 ] || fail "a chroot of $1 takes root"
        command -v mmdebstrap >/dev/null || fail "mmdebstrap is needed for a chroot of $1"
        mkdir -p "${file%/*}"
        mmdebstrap --quiet --variant=apt --include=curl,sudo "$1" "$file.new.tar" >&2
        mv "$file.new.tar" "$file"
    fi
    echo "$file"
}
