#!/usr/bin/env bash
# Checks what packaging/release.sh put in dist/, as a user and a distribution
# would: lint, contents, and each program run from its artifact. Installs and
# removes the .deb, so it is for a machine of one's own or CI.
# Usage: packaging/check-release.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dist=$root/dist
version=$(sed -n 's/^ *VERSION \([0-9][0-9.]*\)$/\1/p' "$root/CMakeLists.txt" | head -n 1)
name=name-dialogue-$version
deb=$dist/name-dialogue_${version}_amd64.deb
rpm=$dist/$name-1.x86_64.rpm
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

fail() {
    echo "check-release.sh: $*" >&2
    exit 1
}
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
[ -z "$tags" ] && [ "$status" -eq 0 ] || fail "lintian (exit status $status): $tags"
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

echo "== Linux tarball: unpacked, it runs on its own"
mkdir "$tmp/linux"
tar -xzf "$dist/$name-linux-x86_64.tar.gz" -C "$tmp/linux"
unpacked=$tmp/linux/$name-linux-x86_64
dialogue env -i "$unpacked/bin/name-dialogue"
grep -q 'GNU C Library' "$unpacked/share/doc/name-dialogue/NOTICES" || fail "NOTICES names no C library"
grep -q 'apt-get source glibc=' "$unpacked/share/doc/name-dialogue/NOTICES" || fail "NOTICES says not where glibc's source is"
cmp -s "$root/LICENSE" "$unpacked/share/doc/name-dialogue/LICENSE" || fail "the tarball's LICENSE differs"

echo "== Windows zip: the .exe runs under Wine"
mkdir "$tmp/windows"
(cd "$tmp/windows" && cmake -E tar xf "$dist/$name-windows-x86_64.zip")
unpacked=$tmp/windows/$name-windows-x86_64
{ [ -f "$unpacked/LICENSE" ] && grep -q 'MinGW-w64' "$unpacked/NOTICES"; } || fail "the zip lacks LICENSE or NOTICES"
export WINEPREFIX=$tmp/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir "$WINEPREFIX"
# A server started here rather than by the first program, which would hand it
# its pipes and keep them open.
wineserver -p </dev/null >/dev/null 2>&1
wineboot -i </dev/null >/dev/null 2>&1
dialogue wine "$unpacked/name-dialogue.exe"
wineserver -k

echo "== source tarball: the README's test command passes inside it"
mkdir "$tmp/source"
tar -xzf "$dist/$name.tar.gz" -C "$tmp/source"
git -C "$root" ls-files | sort >"$tmp/tracked"
(cd "$tmp/source/$name" && find . -type f | sed 's|^\./||' | sort) | diff "$tmp/tracked" - ||
    fail "the source tarball is not exactly the tracked files"
(cd "$tmp/source/$name" && cmake -B build && cmake --build build && ctest --test-dir build --output-on-failure) >"$tmp/source.log" 2>&1 ||
    { cat "$tmp/source.log"; fail "the source tarball does not pass its tests"; }
tail -n 3 "$tmp/source.log"
