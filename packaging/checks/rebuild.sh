#!/usr/bin/env bash
# Checks packaging/verify.sh as a user holding a downloaded release runs it:
#   same DIST [KEYFILE]    every artifact of DIST rebuilt here the same
#   changed-program DIST   on a copy whose tarball for this machine has one
#                          byte of its program changed, repacked, with
#                          SHA256SUMS rewritten to match, verify.sh names
#                          that tarball alone and fails
# Usage: packaging/checks/rebuild.sh CHECK DIST [KEYFILE]
# shellcheck source=packaging/lib.sh
. "$(dirname "$0")/../lib.sh"
export LC_ALL=C
[ $# -ge 2 ] || usage
dist=$(realpath "$2")
case $1 in
same)
    key=()
    [ -z "${3:-}" ] || key=(--key "$3")
    "$root/packaging/verify.sh" "${key[@]}" "$dist" | tee "$tmp/verify.log"
    ! grep -q '^\(different\|not rebuilt here\):' "$tmp/verify.log" || fail "not every artifact was rebuilt the same"
    ;;
changed-program)
    row=$(target_where processor "$(uname -m)" system name archive | grep -m 1 '^Linux')
    IFS=$'\t' read -r _ target archive <<<"$row"
    tarball=$(awk '{ print $2 }' "$dist/SHA256SUMS" | grep -x "name-dialogue-.*-$archive\.tar\.gz")
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
    (cd "$tmp/changed" && rm SHA256SUMS.asc && sha256sum -- "${files[@]}" >SHA256SUMS)
    if "$root/packaging/verify.sh" --target "$target" --channel archive "$tmp/changed" >"$tmp/verify.log" 2>&1; then
        cat "$tmp/verify.log"
        fail "verify.sh passed a release whose program was changed"
    fi
    [ "$(grep '^different:' "$tmp/verify.log")" = "different: $tarball" ] ||
        { cat "$tmp/verify.log"; fail "verify.sh did not name $tarball alone"; }
    echo "verify.sh named $tarball alone and failed"
    ;;
*) usage ;;
esac
