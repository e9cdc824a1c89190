#!/usr/bin/env bash
# Checks what packaging/release.sh put in dist/, as a user and a distribution
# would: lint, contents, and each program run from its artifact. Installs and
# removes the .deb, so it is for a machine of one's own or CI.
# Usage: packaging/check-release.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dist=$root/dist
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

fail() {
    echo "check-release.sh: $*" >&2
    exit 1
}
[ -f "$dist/SHA256SUMS" ] || fail "no $dist/SHA256SUMS; run packaging/release.sh first"
# Every artifact is named once, by the build that made it; SHA256SUMS lists them.
artifacts=$(awk '{ print $2 }' "$dist/SHA256SUMS")
only() {
    grep -x "$1" <<<"$artifacts" || fail "SHA256SUMS lists no $1"
}
name=$(only 'name-dialogue-[0-9][0-9.]*\.tar\.gz')
name=${name%.tar.gz}
deb=$dist/$(only 'name-dialogue_.*_amd64\.deb')
rpm=$dist/$(only 'name-dialogue-.*\.x86_64\.rpm')
printf 'Ada\nLovelace\n' >"$tmp/names"
printf 'Please enter your first name: Please enter your last name: First name is: Ada\nLast name is: Lovelace\n' >"$tmp/expected"
# dialogue COMMAND...: the command must hold the whole dialogue, byte for byte.
dialogue() {
    "$@" <"$tmp/names" >"$tmp/out" || fail "$* failed"
    tr -d '\r' <"$tmp/out" | cmp -s - "$tmp/expected" || fail "$* wrote: $(cat "$tmp/out")"
}

(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "SHA256SUMS does not match"

echo "== .deb: lintian, contents, install, remove"
# lintian's note about running as root goes to standard error, not a tag.
# It exits non-zero on an error tag, which must not stop the script before
# the tags are shown.
status=0
tags=$(lintian --pedantic --display-info --display-experimental "$deb") || status=$?
if [ -n "$tags" ] || [ "$status" -ne 0 ]; then
    fail "lintian (exit status $status): $tags"
fi
dpkg-deb --contents "$deb" | awk '{ print $6 }' | sort >"$tmp/deb-files"
printf '%s\n' ./usr/ ./usr/bin/ ./usr/bin/name-dialogue ./usr/share/ ./usr/share/doc/ \
    ./usr/share/doc/name-dialogue/ ./usr/share/doc/name-dialogue/changelog.gz \
    ./usr/share/doc/name-dialogue/copyright ./usr/share/man/ ./usr/share/man/man1/ \
    ./usr/share/man/man1/name-dialogue.1.gz | sort | diff - "$tmp/deb-files" ||
    fail "the .deb holds other files"
dpkg-deb --field "$deb" Depends | grep -q 'libstdc++6' || fail "the .deb does not depend on libstdc++6"
DEBIAN_FRONTEND=noninteractive apt-get install -y "$deb" >/dev/null
dialogue /usr/bin/name-dialogue
man -w name-dialogue >/dev/null || fail "man cannot find name-dialogue(1)"
DEBIAN_FRONTEND=noninteractive apt-get remove -y name-dialogue >/dev/null
for path in /usr/bin/name-dialogue /usr/share/doc/name-dialogue /usr/share/man/man1/name-dialogue.1.gz; do
    [ ! -e "$path" ] || fail "$path is left after apt-get remove"
done

echo "== .rpm: rpmlint, metadata, contents"
# Beyond what needs a signing key (no-signature) or a URL (no-url-tag), one
# report is rpmlint 2.4's own fault: it compares each program with the
# sections of the manual pages, "1", rather than their names, so every
# program is reported as having no manual page.
report=$(rpmlint -c "$root/packaging/rpmlint.toml" "$rpm" 2>&1 || true)
printf '%s\n' "$report" | grep -E ': [WE]: ' |
    grep -vE ': (E: no-signature|W: no-url-tag|W: no-manual-page-for-binary name-dialogue)$' &&
    fail "rpmlint: $report"
printf '%s\n' "$report" | grep -q 'packages and 0 specfiles checked' || fail "rpmlint did not run: $report"
info=$(rpm -qpi "$rpm")
for field in 'License *: MIT' 'Release *: 1' 'Packager *: .*@' 'Build Host *: reproducible' 'Summary *: Ask for'; do
    grep -q "^$field" <<<"$info" || fail "rpm -qpi has no '$field'"
done
grep -q '^Relocations' <<<"$info" && fail "the .rpm is relocatable"
rpm -qpl "$rpm" >"$tmp/rpm-files"
printf '%s\n' /usr/bin/name-dialogue /usr/share/licenses/name-dialogue \
    /usr/share/licenses/name-dialogue/LICENSE /usr/share/man/man1/name-dialogue.1.gz |
    diff - "$tmp/rpm-files" || fail "the .rpm owns other files"
rpm -qpR "$rpm" | grep -q '^libstdc++.so.6' || fail "the .rpm does not require libstdc++"

echo "== source tarball: exactly the tracked files"
mkdir "$tmp/source"
tar -xzf "$dist/$name.tar.gz" -C "$tmp/source"
source=$tmp/source/$name
git -C "$root" ls-files | sort >"$tmp/tracked"
(cd "$source" && find . -type f | sed 's|^\./||' | sort) | diff "$tmp/tracked" - ||
    fail "the source tarball is not exactly the tracked files"

# suite TARGET PROGRAM [MANPAGE]: the released source's whole test suite must
# pass against PROGRAM, run as the declared TARGET's programs are run here.
suite() {
    local dir=$tmp/suite-$1
    if ! cmake -S "$source/tests" -B "$dir" -DNAME_DIALOGUE_TARGET="$1" \
        -DNAME_DIALOGUE_PROGRAM="$2" -DNAME_DIALOGUE_MANPAGE="${3:-}" >"$dir.log" 2>&1 ||
        ! ctest --test-dir "$dir" --output-on-failure -j "$(nproc)" >>"$dir.log" 2>&1; then
        cat "$dir.log"
        fail "the test suite fails against $2"
    fi
    grep -E 'tests passed|\(Skipped\)' "$dir.log"
}

# The fields of an ELF header that tell the architecture and its ABI.
header() {
    readelf -h "$1" | grep -E '^ *(Class|Data|Machine|Flags):'
}

echo "== Linux tarballs: static, of their architecture, the whole suite under each emulator"
targets=$(cmake -P "$root/cmake/targets.cmake")
tarballs=0
while read -r target system triplet _ cpu _; do
    [ "$system" = Linux ] || continue
    archive=$name-linux-$cpu
    only "$archive\.tar\.gz" >/dev/null || fail "no tarball for $target"
    echo "-- $archive.tar.gz"
    mkdir "$tmp/$target"
    tar -xzf "$dist/$archive.tar.gz" -C "$tmp/$target"
    unpacked=$tmp/$target/$archive
    program=$unpacked/bin/name-dialogue
    ! readelf -lW "$program" | grep -q 'program interpreter' || fail "$archive: the program is not static"
    # The ELF header must be that of a program the target's compiler links.
    echo 'int main(void) { return 0; }' | "$triplet-gcc" -static -x c -o "$tmp/$target.probe" -
    [ "$(header "$program")" = "$(header "$tmp/$target.probe")" ] ||
        fail "$archive: the program is not for $triplet: $(header "$program")"
    doc=$unpacked/share/doc/name-dialogue
    cmp -s "$root/LICENSE" "$doc/LICENSE" || fail "$archive: LICENSE differs"
    for notice in 'GNU C Library, version [0-9]' 'GCC runtime libraries: libstdc++, libgcc, version [0-9]' \
        "Corresponding source: Debian's source package glibc " "apt-get source glibc="; do
        grep -q "$notice" "$doc/NOTICES" || fail "$archive: NOTICES lacks '$notice'"
    done
    suite "$target" "$program" "$unpacked/share/man/man1/name-dialogue.1.gz"
    tarballs=$((tarballs + 1))
done <<<"$targets"
[ "$tarballs" -eq "$(only '.*-linux-.*\.tar\.gz' | wc -l)" ] || fail "a tarball has no declared target"
dialogue env -i "$tmp/linux-amd64/$name-linux-x86_64/bin/name-dialogue"

echo "== Windows zip: the whole suite under Wine"
mkdir "$tmp/windows"
(cd "$tmp/windows" && cmake -E tar xf "$dist/$name-windows-x86_64.zip")
unpacked=$tmp/windows/$name-windows-x86_64
{ [ -f "$unpacked/LICENSE" ] && grep -q 'MinGW-w64 runtime, version' "$unpacked/NOTICES"; } ||
    fail "the zip lacks LICENSE or NOTICES"
suite windows "$unpacked/name-dialogue.exe"

echo "== source tarball: the README's test command passes inside it"
(cd "$source" && cmake -B build && cmake --build build && ctest --test-dir build --output-on-failure) >"$tmp/source.log" 2>&1 ||
    { cat "$tmp/source.log"; fail "the source tarball does not pass its tests"; }
tail -n 3 "$tmp/source.log"
