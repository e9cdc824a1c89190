#!/usr/bin/env bash
# Checks a downloaded release in DIR: SHA256SUMS.asc against KEYFILE (a
# public key, armored or not) where both are there, then every sum; then it
# rebuilds every artifact this machine can build from the release's own
# source tarball, with the release's SOURCE_DATE_EPOCH and the release's own
# packaging/release.sh, and compares each with the one in DIR byte for byte
# (a signed .rpm counts as the same when all but its signature is). It prints
# a line per artifact and exits 1 when any differs. Where this machine's
# toolchain is not the one a .buildinfo or an SBOM names, it says which
# package versions differ. A target of another Debian suite needs a chroot,
# and so root; as a normal user it is skipped, saying so.
# Usage: packaging/verify.sh [--key KEYFILE] [--target NAME]... [--kind KIND]... DIR
# (--target and --kind narrow the rebuild as they do release.sh's.)
# shellcheck source=packaging/lib.sh
. "$(dirname "$0")/lib.sh"
key="" dir="" only=() kinds=()
while [ $# -gt 0 ]; do
    case $1 in
    --key) key=$(realpath "${2:?--key needs a file}") && shift ;;
    --target) only+=("${2:?--target needs a name}") && shift ;;
    --kind) kinds+=(--kind "${2:?--kind needs deb, rpm or archive}") && shift ;;
    -*) usage ;;
    *) dir=$(realpath "$1") ;;
    esac
    shift
done
[ -n "$dir" ] || usage
export LC_ALL=C
cd "$dir"
[ -f SHA256SUMS ] || fail "$dir holds no SHA256SUMS"

if [ -n "$key" ] && [ -f SHA256SUMS.asc ]; then
    if grep -q -- '-----BEGIN PGP PUBLIC KEY BLOCK-----' "$key"; then
        gpg --batch --dearmor <"$key" >"$tmp/key.gpg"
    else
        cp "$key" "$tmp/key.gpg"
    fi
    gpgv --keyring "$tmp/key.gpg" SHA256SUMS.asc SHA256SUMS 2>"$tmp/gpgv.log" ||
        { cat "$tmp/gpgv.log"; fail "SHA256SUMS.asc is not a good signature by $key"; }
    echo "signature: good, $(grep -m 1 -o 'using .*' "$tmp/gpgv.log")"
elif [ -n "$key" ]; then
    echo "signature: none in $dir, so only the sums are checked"
fi
sha256sum --quiet -c SHA256SUMS || fail "an artifact does not match SHA256SUMS"
echo "sums: every file matches SHA256SUMS"

tarball=$(release_tarball SHA256SUMS)
[ -n "$tarball" ] || fail "SHA256SUMS names no source tarball"
tar -xzf "$tarball" -C "$tmp"
source=$tmp/${tarball%.tar.gz}
# The release's time, as its .buildinfo files recorded it, or the tarball's.
epoch=$(sed -n 's/^ SOURCE_DATE_EPOCH="\([0-9]*\)"$/\1/p' ./*.buildinfo 2>/dev/null | sort -u)
[ "$(wc -l <<<"$epoch")" -le 1 ] || fail "the .buildinfo files name several SOURCE_DATE_EPOCH"
export SOURCE_DATE_EPOCH=${epoch:-$(stat -c %Y "$source/CMakeLists.txt")}

# What this machine can rebuild: the targets whose compiler is here, and of
# those of another Debian suite only what root can build in a chroot.
# shellcheck source=packaging/targets.sh
. "$source/packaging/targets.sh"
# shellcheck source=packaging/chroot.sh
. "$source/packaging/chroot.sh"
chosen=()
while read -r line; do
    target=$(fact name "$line")
    if ((${#only[@]})) && ! printf '%s\n' "${only[@]}" | grep -qx "$target"; then
        continue
    fi
    if ! command -v "$(fact triplet "$line")-g++" >/dev/null; then
        echo "skipped: $target, whose compiler $(fact compiler_package "$line") is not installed"
    else
        chosen+=(--target "$target")
    fi
done <<<"$targets"
((${#chosen[@]})) || fail "this machine can rebuild nothing of the release"

echo "== rebuilding from $tarball with SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH"
"$source/packaging/release.sh" --source "$dir/$tarball" --nocheck --available "${chosen[@]}" "${kinds[@]}" \
    --dist "$tmp/rebuilt" >"$tmp/rebuild.log" 2>&1 || { tail -n 40 "$tmp/rebuild.log"; fail "the rebuild failed"; }
grep '^skipped: ' "$tmp/rebuild.log" || true

# rpm_unsigned FILE: an .rpm's header and payload, without its lead and its
# signature header, which is all that signing changes.
rpm_unsigned() {
    local entries size
    read -r entries size < <(od -An -tu4 --endian=big -j 104 -N 8 "$1")
    tail -c +$((96 + 16 + entries * 16 + (size + 7) / 8 * 8 + 1)) "$1"
}

differ=0
same=0
while read -r _ file; do
    case $file in
    *.buildinfo) continue ;; # a record of when and how a build ran
    esac
    if [ ! -f "$tmp/rebuilt/$file" ]; then
        echo "not rebuilt here: $file"
        continue
    fi
    if cmp -s "$file" "$tmp/rebuilt/$file"; then
        echo "same: $file"
    elif [[ $file == *.rpm ]] && cmp -s <(rpm_unsigned "$file") <(rpm_unsigned "$tmp/rebuilt/$file"); then
        echo "same but for its signature: $file"
    else
        echo "different: $file"
        differ=$((differ + 1))
        continue
    fi
    same=$((same + 1))
done <SHA256SUMS

# Where the toolchains differ, the differences may explain the bytes.
# jail_of ARCH: the chroot where ARCH's .deb was built, if another suite's.
jail_of() {
    local suite
    suite=$(fact deb_suite "$(grep " deb_arch=$1 " <<<"$targets")")
    other_suite "$suite" || return 0
    chroot_dir "$suite" "$1"
}
# installed PACKAGE ARCH [JAIL]: the version of PACKAGE installed here, or in
# JAIL, for ARCH if it is of one; "none" where it is not installed.
installed() {
    local run=() version
    [ -z "${3:-}" ] || run=(chroot "$3")
    # shellcheck disable=SC2016 # dpkg-query's own field
    version=$("${run[@]}" dpkg-query -W -f '${Version}\n' "$1:$2" 2>/dev/null ||
        "${run[@]}" dpkg-query -W -f '${Version}\n' "$1" 2>/dev/null | sort -u | paste -sd ' ') || true
    echo "${version:-none}"
}
# compare RECORD JAIL: each "PACKAGE VERSION ARCH" line on standard input
# that RECORD names and that is not so here, or in JAIL.
compare() {
    local package version arch here
    while read -r package version arch; do
        here=$(installed "$package" "$arch" "$2")
        [ "$here" = "$version" ] || echo "$package: $1 names $version, here $here"
    done
}
notes=$tmp/toolchain
: >"$notes"
for record in ./*.buildinfo ./*.cdx.json; do
    [ -f "$record" ] || continue
    jail=""
    if [[ $record == *.deb.cdx.json ]] || [[ $record == *.buildinfo ]]; then
        arch=${record%.deb.cdx.json}
        arch=${arch%.buildinfo}
        jail=$(jail_of "${arch##*_}")
    fi
    if [ -n "$jail" ] && { [ ! -d "$jail" ] || [ "$(id -u)" -ne 0 ]; }; then
        echo "${record#./}: built in a chroot of another suite, which takes root and is not looked at here" >>"$notes"
        continue
    fi
    if [[ $record == *.buildinfo ]]; then
        build_arch=$(sed -n 's/^Build-Architecture: //p' "$record")
        sed -n '/^Installed-Build-Depends:/,/^[A-Z]/p' "$record" |
            sed -n "s/^ \([^ ]*\) (= \([^)]*\)),\{0,1\}\$/\1 \2 $build_arch/p"
    else
        # The tools that built it, whose purls carry a version.
        grep -o '"purl": "pkg:deb/debian/[^"@]*@[^"?]*?arch=[a-z0-9]*"' "$record" | grep -v 'arch=source' |
            sed 's|.*pkg:deb/debian/\([^@]*\)@\([^?]*\)?arch=\(.*\)"|\1 \2 \3|' |
            while read -r package version arch; do
                echo "$package $(printf '%b' "${version//%/\\x}") $arch"
            done
    fi | compare "${record#./}" "$jail" >>"$notes"
done
if [ -s "$notes" ]; then
    echo "== the toolchain here is not the one that built the release:"
    sort -u "$notes"
fi
echo "$same same, $differ different"
[ "$differ" -eq 0 ]
