#!/usr/bin/env bash
# Checks a downloaded release in DIR: SHA256SUMS.asc against KEYFILE (a
# public key file, armored or not) and every sum; then it
# rebuilds every artifact this machine can build from the release's own
# source tarball, with the release's SOURCE_DATE_EPOCH and the release's own
# packaging/release.sh, and compares each with the one in DIR byte for byte
# (a signed .rpm counts as the same when all but its signature is). It prints
# a line per artifact and exits 1 when any differs or, named by the release's
# own release.sh --list, is missing from the rebuild. The bytes come out the
# same only with the toolchain that each .buildinfo and SBOM names. A target
# of another Debian suite needs a chroot, and so root; as a normal user it
# is skipped, saying so.
# Usage: packaging/verify.sh [--key KEYFILE] [--target NAME]... [--channel NAME]... DIR
# (--target and --channel narrow the rebuild as they do release.sh's.)
# shellcheck source=packaging/lib.sh
. "$(dirname "$0")/lib.sh"
key="" dir="" only=() channels=()
while [ $# -gt 0 ]; do
    case $1 in
    --key) key=$(realpath "${2:?--key needs a file}") && shift ;;
    --target) only+=("${2:?--target needs a name}") && shift ;;
    --channel) channels+=(--channel "${2:?--channel needs a name}") && shift ;;
    -*) usage ;;
    *) [ -z "$dir" ] || usage && dir=$(realpath "$1") ;;
    esac
    shift
done
[ -n "$dir" ] || usage
export LC_ALL=C
cd "$dir"
[ -f SHA256SUMS ] || fail "$dir holds no SHA256SUMS"

if [ -n "$key" ]; then
    [ -f SHA256SUMS.asc ] || fail "$dir holds no SHA256SUMS.asc to check with $key"
    verify_sums "$key" .
else
    sha256sum --quiet -c SHA256SUMS || fail "a file of $dir does not match its SHA256SUMS"
    echo "sums: every file matches SHA256SUMS, whose signature was not checked (no --key)"
fi
tarball=$(source_tarball .)
[ -n "$tarball" ] || fail "SHA256SUMS names no source tarball"
tar -xzf "$tarball" -C "$tmp"
source=$tmp/${tarball%.tar.gz}
# The release's time, as its .buildinfo files recorded it, or the tarball's.
epoch=$(find . -maxdepth 1 -name '*.buildinfo' -exec sed -n 's/^ SOURCE_DATE_EPOCH="\([0-9]*\)"$/\1/p' {} + | sort -u)
[ "$(wc -l <<<"$epoch")" -le 1 ] || fail "the .buildinfo files name several SOURCE_DATE_EPOCH"
export SOURCE_DATE_EPOCH=${epoch:-$(stat -c %Y "$source/VERSION")}

# What this machine can rebuild: the targets whose compiler is here, and of
# those of another Debian suite only what root can build in a chroot.
chosen=()
while IFS=$'\t' read -r target triplet package; do
    if ((${#only[@]})) && ! printf '%s\n' "${only[@]}" | grep -qx "$target"; then
        continue
    fi
    if ! command -v "$triplet-g++" >/dev/null; then
        echo "skipped: $target, whose compiler $package is not installed"
    else
        chosen+=(--target "$target")
    fi
done < <(targets name triplet compiler_package)
((${#chosen[@]})) || fail "this machine can rebuild nothing of the release"

echo "== rebuilding from $tarball with SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH"
# What the rebuild must give, as the release's own release.sh names it.
options=(--available "${chosen[@]}" "${channels[@]}")
"$source/packaging/release.sh" --list "${options[@]}" >"$tmp/rebuildable"
"$source/packaging/release.sh" --source "$dir/$tarball" --nocheck "${options[@]}" --dist "$tmp/rebuilt" \
    >"$tmp/rebuild.log" 2>&1 || { tail -n 40 "$tmp/rebuild.log"; fail "the rebuild failed"; }

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
    if ! grep -qxF "$file" "$tmp/rebuildable"; then
        echo "not rebuilt here: $file"
        continue
    fi
    if [ ! -f "$tmp/rebuilt/$file" ]; then
        echo "missing from the rebuild: $file"
    elif cmp -s "$file" "$tmp/rebuilt/$file"; then
        echo "same: $file"
        same=$((same + 1))
        continue
    elif [[ $file == *.rpm ]] && cmp -s <(rpm_unsigned "$file") <(rpm_unsigned "$tmp/rebuilt/$file"); then
        echo "same but for its signature: $file"
        same=$((same + 1))
        continue
    else
        echo "different: $file"
    fi
    differ=$((differ + 1))
done <SHA256SUMS

echo "$same same, $differ different"
[ "$differ" -eq 0 ]
