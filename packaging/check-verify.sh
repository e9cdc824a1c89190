#!/usr/bin/env bash
# Checks packaging/verify.sh as a user holding a downloaded release runs it:
# on a copy of DIST in another folder, with the public key of KEY from
# GnuPG's home, it must find every artifact the same; and on a copy whose
# linux-x86_64 tarball has one byte of its program changed, repacked, with
# SHA256SUMS rewritten to match, the sums pass and verify.sh must name that
# tarball and fail.
# Usage: packaging/check-verify.sh --key KEY [DIST]
# shellcheck source=packaging/lib.sh
. "$(dirname "$0")/lib.sh"
[ "${1:-}" = --key ] || usage
key=$2
dist=$(realpath "${3:-$root/dist}")
export LC_ALL=C
gpg --batch --armor --export "$key" >"$tmp/key.asc"

echo "== verify.sh on a copy of the release"
cp -a "$dist" "$tmp/download"
"$root/packaging/verify.sh" --key "$tmp/key.asc" "$tmp/download" >"$tmp/verify.log" 2>&1 ||
    { cat "$tmp/verify.log"; fail "verify.sh does not find the release the same"; }
grep -v '^same' "$tmp/verify.log"
if grep -q '^\(different\|not rebuilt here\):' "$tmp/verify.log"; then
    fail "verify.sh did not rebuild every artifact here the same"
fi

echo "== verify.sh on a copy with one byte of a tarball's program changed"
tarball=$(cd "$dist" && ls -- name-dialogue-*-linux-x86_64.tar.gz)
cp -a "$dist" "$tmp/changed"
mkdir "$tmp/unpacked"
tar -xzf "$dist/$tarball" -C "$tmp/unpacked"
program=$tmp/unpacked/${tarball%.tar.gz}/bin/name-dialogue
cp "$program" "$tmp/program"
# A byte of the program's own text: the prompt's colon becomes a semicolon.
offset=$(grep -abo 'Please enter your first name: ' "$program" | sed -n 's/:.*//p' | sed -n 1p)
printf ';' | dd of="$program" bs=1 seek=$((offset + 28)) conv=notrunc status=none
! cmp -s "$program" "$tmp/program" || fail "the program was not changed"
tar -C "$tmp/unpacked" --sort=name --owner=0 --group=0 --numeric-owner -cf - "${tarball%.tar.gz}" |
    gzip -9n >"$tmp/changed/$tarball"
mapfile -t files < <(awk '{ print $2 }' "$dist/SHA256SUMS")
(cd "$tmp/changed" && rm -f SHA256SUMS.asc && sha256sum -- "${files[@]}" >SHA256SUMS &&
    sha256sum --quiet -c SHA256SUMS) || fail "the rewritten sums do not pass"
if "$root/packaging/verify.sh" --target linux-amd64 --kind archive "$tmp/changed" >"$tmp/verify.log" 2>&1; then
    cat "$tmp/verify.log"
    fail "verify.sh passed a release whose program was changed"
fi
grep -x "different: $tarball" "$tmp/verify.log" || { cat "$tmp/verify.log"; fail "verify.sh did not name $tarball"; }
grep -c '^different:' "$tmp/verify.log" | grep -qx 1 || { cat "$tmp/verify.log"; fail "verify.sh named more than $tarball"; }
echo "verify.sh named $tarball alone and failed"
