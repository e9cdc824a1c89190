# shellcheck shell=bash
# Sourced first by every script in packaging/, with the script's arguments:
# strict mode; root, the project's top folder; --help, which prints the
# script's header; fail, one line on standard error and exit 1; usage, the
# answer to a wrong call; tmp, a folder of its own, removed at the end; and
# what several scripts read: the targets' table and a signed SHA256SUMS.
set -euo pipefail
# shellcheck disable=SC2034 # for the scripts that source this one
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
case ${1:-} in -h | --help)
    # The header, to the first line that is no comment or is shellcheck's.
    sed -n '2,/^[^#]/{/^# shellcheck /q;s/^# \{0,1\}//p;}' "$0"
    exit 0
    ;;
esac

fail() {
    echo "${0##*/}: $*" >&2
    exit 1
}
usage() {
    echo "usage: $(sed -n 's/^# Usage: //p' "$0" | sed -n 1p) (--help says more)" >&2
    exit 2
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
trap 'exit 1' TERM INT

# What dh_shlibdeps reads a foreign program's dependencies off, and so what
# a foreign architecture's .deb needs installed to be built and run.
# shellcheck disable=SC2034
runtime_packages=(libc6 libstdc++6 libgcc-s1)

# targets COLUMN...: those columns of cmake/targets.tsv, a target a line,
# tab-separated, "-" where a fact is empty, for `IFS=$'\t' read -r`.
targets() {
    awk -F '\t' -v want="$*" 'NR == 1 {
            for (i = 1; i <= NF; i++) column[$i] = i
            n = split(want, wanted, " ")
            for (i = 1; i <= n; i++) if (!(wanted[i] in column)) { print "no column " wanted[i] > "/dev/stderr"; exit 1 }
            next
        }
        { for (i = 1; i <= n; i++) printf "%s%s", $column[wanted[i]], (i < n ? "\t" : "\n") }' \
        "$root/cmake/targets.tsv"
}

# target_where COLUMN VALUE WANTED...: the WANTED columns of each target
# whose COLUMN is VALUE, as targets prints them.
target_where() {
    targets "$1" "${@:3}" | awk -F '\t' -v value="$2" '$1 == value { sub(/^[^\t]*\t/, ""); print }'
}

# verify_sums KEYFILE DIR: DIR's SHA256SUMS.asc must be a good signature of
# its SHA256SUMS by KEYFILE, a public key file, armored or not; then every
# file SHA256SUMS names must match it.
verify_sums() {
    if grep -q -- '-----BEGIN PGP PUBLIC KEY BLOCK-----' "$1"; then
        gpg --batch --dearmor <"$1" >"$tmp/keyring.gpg"
    else
        cp "$1" "$tmp/keyring.gpg"
    fi
    gpgv --keyring "$tmp/keyring.gpg" "$2/SHA256SUMS.asc" "$2/SHA256SUMS" 2>"$tmp/gpgv.log" ||
        { cat "$tmp/gpgv.log" >&2; fail "$2/SHA256SUMS.asc is not a good signature by $1"; }
    echo "signature: good, $(grep -m 1 -o 'using .*' "$tmp/gpgv.log")"
    (cd "$2" && sha256sum --quiet -c SHA256SUMS) || fail "a file of $2 does not match its SHA256SUMS"
    echo "sums: every file matches SHA256SUMS"
}

# source_tarball DIR: the source tarball that DIR's SHA256SUMS names;
# release_version DIR: the version it holds.
source_tarball() {
    awk '$2 ~ /^name-dialogue-[0-9.]+\.tar\.gz$/ { print $2 }' "$1/SHA256SUMS"
}
release_version() {
    tar -xzOf "$1/$(source_tarball "$1")" --wildcards 'name-dialogue-*/VERSION'
}

# release_at DIST VERSION DIR OPTION...: the release DIST's source as
# VERSION, its changelog and spec following, built by release.sh --nocheck
# with OPTIONs into DIR, for the checks of upgrades and downgrades.
release_at() {
    local src
    mkdir "$tmp/at"
    tar -xzf "$1/$(source_tarball "$1")" -C "$tmp/at"
    src=$(echo "$tmp"/at/name-dialogue-*)
    echo "$2" >"$src/VERSION"
    sed -i "s/^Version: .*/Version:        $2/; /^%changelog/a\\
* Wed Dec 09 2026 name-dialogue developers <name-dialogue@example.org> - $2-1\\
- Version $2, to test updates.\\
" "$src/packaging/rpm/name-dialogue.spec"
    { printf 'name-dialogue (%s-1) unstable; urgency=medium\n\n  * Version %s, to test updates.\n\n' "$2" "$2"
        printf ' -- name-dialogue developers <name-dialogue@example.org>  Wed, 09 Dec 2026 12:00:00 +0000\n\n'
        cat "$src/packaging/debian/changelog"; } >"$tmp/changelog"
    mv "$tmp/changelog" "$src/packaging/debian/changelog"
    mv "$src" "$tmp/at/name-dialogue-$2"
    tar -C "$tmp/at" -cf - "name-dialogue-$2" | gzip -9n >"$tmp/at.tar.gz"
    "$root/packaging/release.sh" --source "$tmp/at.tar.gz" --nocheck --dist "$3" "${@:4}" >"$tmp/at.log" 2>&1 ||
        { tail -n 40 "$tmp/at.log"; fail "version $2 did not build"; }
}
