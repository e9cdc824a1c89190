# shellcheck shell=bash
# Sourced, after lib.sh, by build.sh and the release's checks. A target whose Debian
# packages are in another suite than this machine's is built, and its .deb
# tested, in a chroot of that suite; the checks install in clean systems. All
# are made with mmdebstrap (as root) and kept in NAME_DIALOGUE_CHROOTS
# (default ~/.cache/name-dialogue/chroots, or under XDG_CACHE_HOME).

# shellcheck disable=SC2154 # runtime_packages comes from lib.sh
host_arch=$(dpkg --print-architecture)
host_suite=$(sed -n 's/^VERSION_CODENAME=//p' /etc/os-release)

# other_suite SUITE: whether SUITE, a target's fact, is not this machine's.
other_suite() {
    [ "$1" != - ] && [ "$1" != "$host_suite" ]
}

# chroot_dir SUITE ARCH: where the chroot of SUITE for building for ARCH is
# kept, whether or not it has been made.
chroot_dir() {
    local cache=${XDG_CACHE_HOME:-${HOME:-/root}/.cache}
    echo "${NAME_DIALOGUE_CHROOTS:-$cache/name-dialogue/chroots}/$1-$host_arch-$2"
}

# mmdebstrap, whose refresh of the indexes is packaging/apt-update.sh's: a
# list that a mirror caught mid-sync fails does not stop it, a package that
# cannot be had does.
debstrap() {
    command -v mmdebstrap >/dev/null || fail "mmdebstrap is needed for a chroot of Debian"
    [ "$(id -u)" -eq 0 ] || fail "a chroot of Debian takes root"
    mmdebstrap --quiet --skip=update \
        --setup-hook="APT_CONFIG=\$MMDEBSTRAP_APT_CONFIG '$(realpath "$(dirname "${BASH_SOURCE[0]}")")/apt-update.sh'" \
        "$@" >&2
}

# chroot_for SUITE ARCH: the chroot of SUITE for this machine that can cross
# build for ARCH and run ARCH's programs, made on first use, by one maker.
chroot_for() {
    local dir
    dir=$(chroot_dir "$1" "$2")
    mkdir -p "${dir%/*}"
    (
        flock 9
        [ -d "$dir" ] || {
            rm -rf "$dir.new"
            debstrap --variant=buildd --architectures="$host_arch,$2" \
                --include="crossbuild-essential-$2,debhelper,cmake$(printf ",%s:$2" "${runtime_packages[@]}")" \
                "$1" "$dir.new" && mv "$dir.new" "$dir"
        }
    ) 9>"$dir.lock" || return 1
    echo "$dir"
}

# clean_system SUITE: a tarball of a clean system of SUITE for this machine,
# as a user has it, for the checks to unpack afresh each time: with curl and
# sudo for the README's steps, what the package's tests depend on and what
# autopkgtest itself uses there (dpkg-dev, apt-utils), and the
# architectures of SUITE's other targets with their runtime libraries. Its
# Debian packages come from the mirror once, when it is made; then Debian's
# sources are taken out, so that its apt meets only what a check serves it
# and a mirror mid-sync cannot fail a check. Made on first use, one maker at
# a time, and named by what it holds, so that a change makes a new one.
clean_system() {
    local system arch suite archs=$host_arch packages file
    packages=curl,sudo,dpkg-dev,apt-utils
    packages+=$(sed -n 's/^Depends: *//p' "$(dirname "${BASH_SOURCE[0]}")/debian/tests/control" |
        tr -d ' ' | tr ',' '\n' | grep -vx '@' | sed 's/^/,/' | tr -d '\n')
    while IFS=$'\t' read -r system arch suite; do
        [ "$suite" != - ] || suite=$host_suite
        if [ "$system" = Linux ] && [ "$arch" != "$host_arch" ] && [ "$suite" = "$1" ]; then
            archs=$archs,$arch
            packages=$packages$(printf ",%s:$arch" "${runtime_packages[@]}")
        fi
    done < <(targets system deb_arch deb_suite)
    file=$(chroot_dir "$1" "clean-$(sha256sum <<<"$archs $packages" | cut -c 1-12)").tar
    mkdir -p "${file%/*}"
    (
        flock 9
        [ -f "$file" ] || {
            # shellcheck disable=SC2016 # the hook's own $1, the chroot
            debstrap --variant=apt --architectures="$archs" --include="$packages" \
                --customize-hook='rm -f "$1/etc/apt/sources.list" "$1"/etc/apt/sources.list.d/*' \
                "$1" "$file.new.tar" &&
                mv "$file.new.tar" "$file"
        }
    ) 9>"$file.lock" || return 1
    echo "$file"
}
