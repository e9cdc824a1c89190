#!/usr/bin/env bash
# Checks the package repositories as their users meet them. It publishes the
# signed release in DIST, served over HTTP on 127.0.0.1 by a server it starts
# and stops, and then, in clean chroots of Debian 12 and 13:
#   - follows the README's steps: the key, the .sources file, apt-get update
#     with no warning, apt-get install, the dialogue, apt-get source;
#   - refuses indexes signed by a key it does not hold, indexes with no
#     signature, and a .deb altered in the pool, leaving what it had;
#   - upgrades to a newer version once that is published;
#   - updates from indexes signed by an old and a new key, holding either;
#   - installs every other architecture's .deb through multiarch and runs
#     its program under qemu-user.
# The clean systems' apt knows only the project's repository, so that every
# apt-get update here is about that repository alone (see clean_system in
# packaging/chroot.sh).
# Then dnf checks the rpm repository's signed metadata and refuses a changed
# one, rpm -K checks a downloaded .rpm, and gpgv and sha256sum check the
# release's folder. The newer version is made from the release's source
# tarball with its version raised, for this machine's target only.
# As root, with a GnuPG home of its own (GNUPGHOME) that holds KEY, the key
# that signed DIST; it makes two more keys there.
# Usage: packaging/check-repos.sh --key KEY [DIST]
# shellcheck source=packaging/lib.sh
. "$(dirname "$0")/lib.sh"
[ "${1:-}" = --key ] || usage
key=$2
dist=$(realpath "${3:-$root/dist}")
cd "$root"
export LC_ALL=C
# shellcheck source=packaging/chroot.sh
. packaging/chroot.sh
# shellcheck source=packaging/targets.sh
. packaging/targets.sh
[ "$(id -u)" -eq 0 ] || fail "the chroots take root"
new_key=$(packaging/throwaway-key.sh new)
stranger_key=$(packaging/throwaway-key.sh stranger)

echo "== a web server on 127.0.0.1 for the published tree"
ln -s v1 "$tmp/served"
python3 -u -m http.server --bind 127.0.0.1 --directory "$tmp/served" 0 >"$tmp/server.log" 2>&1 &
for _ in $(seq 50); do
    port=$(sed -n 's/^Serving HTTP on 127\.0\.0\.1 port \([0-9]*\) .*/\1/p' "$tmp/server.log")
    [ -z "$port" ] || break
    sleep 0.1
done
[ -n "$port" ] || fail "the web server did not start: $(cat "$tmp/server.log")"
url=http://127.0.0.1:$port
# serve STATE: the tree the server gives from now on.
serve() {
    ln -sfn "$1" "$tmp/served"
}

echo "== a newer version, from the release's source tarball"
release_of "$dist/SHA256SUMS"
newer=${version%.*}.$((${version##*.} + 1))
mkdir "$tmp/newer"
tar -xzf "$dist/$tarball" -C "$tmp/newer"
mv "$tmp/newer/name-dialogue-$version" "$tmp/newer/name-dialogue-$newer"
(
    cd "$tmp/newer/name-dialogue-$newer"
    sed -i "s/^    VERSION $version\$/    VERSION $newer/" CMakeLists.txt
    sed -i "s/^Version: .*/Version:        $newer/; /^%changelog/a\\
* Wed Dec 09 2026 name-dialogue developers <name-dialogue@example.org> - $newer-1\\
- A newer version, to test updates.\\
" packaging/rpm/name-dialogue.spec
    { printf 'name-dialogue (%s-1) unstable; urgency=medium\n\n  * A newer version, to test updates.\n\n' "$newer"
        printf ' -- name-dialogue developers <name-dialogue@example.org>  Wed, 09 Dec 2026 12:00:00 +0000\n\n'
        cat packaging/debian/changelog; } >"$tmp/changelog"
    mv "$tmp/changelog" packaging/debian/changelog
)
tar -C "$tmp/newer" -cf - "name-dialogue-$newer" | gzip -9n >"$tmp/name-dialogue-$newer.tar.gz"
host_target=$(fact name "$(grep " deb_arch=$host_arch " <<<"$targets")")
packaging/release.sh --source "$tmp/name-dialogue-$newer.tar.gz" --sign "$key" --nocheck \
    --target "$host_target" --dist "$tmp/dist-newer" >"$tmp/newer.log" 2>&1 ||
    { tail -n 40 "$tmp/newer.log"; fail "the newer version did not build"; }

echo "== the published trees: $version; then $newer, also signed wrongly, not at all, or tampered with"
publish() {
    packaging/publish.sh --url "$url" "$@" >>"$tmp/publish.log" 2>&1 ||
        { cat "$tmp/publish.log"; fail "publish.sh $* failed"; }
}
publish --key "$key" --dist "$dist" "$tmp/v1"
cp -a "$tmp/v1" "$tmp/v2"
publish --key "$key" --dist "$tmp/dist-newer" "$tmp/v2"
cp -a "$tmp/v1" "$tmp/rotated"
publish --key "$key" --key "$new_key" --dist "$tmp/dist-newer" "$tmp/rotated"
cp -a "$tmp/v2" "$tmp/stranger"
release=stranger/deb/dists/stable
gpg --batch --yes --local-user "$stranger_key" --clearsign --output "$tmp/$release/InRelease" "$tmp/$release/Release"
gpg --batch --yes --local-user "$stranger_key" --armor --detach-sign --output "$tmp/$release/Release.gpg" \
    "$tmp/$release/Release"
cp -a "$tmp/v2" "$tmp/unsigned"
rm "$tmp/unsigned/deb/dists/stable/InRelease" "$tmp/unsigned/deb/dists/stable/Release.gpg"
cp -a "$tmp/v2" "$tmp/tampered"
altered=$tmp/tampered/deb/pool/main/n/name-dialogue/name-dialogue_$newer-1_$host_arch.deb
cp "$altered" "$tmp/original.deb"
at=$(($(stat -c %s "$altered") - 100))
byte=$(od -An -tx1 -j "$at" -N 1 "$altered" | tr -d ' ')
printf '%b' "\\0$(printf %o $((0x$byte ^ 1)))" | dd of="$altered" bs=1 seek="$at" conv=notrunc status=none
! cmp -s "$altered" "$tmp/original.deb" || fail "the .deb in the pool was not altered"
for tree in v1 v2 rotated; do
    for file in deb/dists/stable/InRelease deb/dists/stable/Release.gpg rpm/repodata/repomd.xml.asc \
        name-dialogue.asc name-dialogue.sources name-dialogue.repo "releases/$version/SHA256SUMS.asc"; do
        [ -s "$tmp/$tree/$file" ] || fail "$tree has no $file"
    done
done
grep -q '^Acquire-By-Hash: yes$' "$tmp/v2/deb/dists/stable/Release" || fail "Release does not ask for by-hash"
[ -n "$(find "$tmp/v2/deb/dists/stable/main" -path '*/by-hash/SHA256/*' -print -quit)" ] ||
    fail "no index has its by-hash copy"
[ -f "$tmp/v2/releases/$version/SHA256SUMS" ] || fail "publishing $newer dropped releases/$version"

# The README's steps for Debian, with the URL where the tree is served.
# shellcheck disable=SC2016 # the backquotes are the README's fences
steps=$(sed -n '/^### Debian and Ubuntu/,/^###/p' README.md | sed -n '/^```/,/^```/p' | sed '1d;$d')
grep -q '^URL=' <<<"$steps" || fail "the README's Debian steps name no URL"
# shellcheck disable=SC2001 # a line of several, by its start
steps=$(sed "s|^URL=.*|URL=$url|" <<<"$steps")

# inside COMMAND...: runs COMMAND in the client's chroot.
inside() {
    chroot "$client" "$@"
}
# apt_quiet ARGS...: apt-get must succeed with no warning or error at all.
apt_quiet() {
    inside apt-get "$@" >"$tmp/apt.log" 2>&1 || { cat "$tmp/apt.log"; fail "$suite: apt-get $* failed"; }
    ! grep -E '^(W|E|N|Err|Warning|Error|Notice):' "$tmp/apt.log" ||
        fail "$suite: apt-get $* was not quiet"
}
installed() {
    # shellcheck disable=SC2016 # dpkg-query's own field
    inside dpkg-query -W -f '${Version}' "name-dialogue${1:-}"
}
# lists: a digest of apt's lists of the project's repository.
lists() {
    (cd "$client/var/lib/apt/lists" && find . -maxdepth 1 -type f -name '127.0.0.1_*' -exec sha256sum {} + | sort)
}
# refused STATE WHAT: apt-get update must fail on STATE and leave the lists.
refused() {
    serve "$1"
    lists >"$tmp/lists.before"
    if inside apt-get update >"$tmp/apt.log" 2>&1 && ! grep -qE '^(W|E|Err|Warning|Error):' "$tmp/apt.log"; then
        cat "$tmp/apt.log"
        fail "$suite: apt-get update took $2"
    fi
    lists | cmp -s - "$tmp/lists.before" || fail "$suite: apt's lists changed after $2"
    [ "$(installed)" = "$version-1" ] || fail "$suite: $2 changed what is installed"
    echo "$suite: refused $2: $(grep -m 1 -E '^(W|E|Warning|Error):' "$tmp/apt.log")"
}

for suite in "$host_suite" $(while read -r line; do
    s=$(fact deb_suite "$line")
    ! other_suite "$s" || echo "$s"
done <<<"$targets" | sort -u); do
    echo "== Debian $suite: install by the README, refuse what is wrong, upgrade"
    client=$tmp/client-$suite
    system=$(clean_system "$suite")
    mkdir "$client"
    tar -xf "$system" -C "$client"
    # The README's commands as a user types them, who answers yes.
    echo 'APT::Get::Assume-Yes "true";' >"$client/etc/apt/apt.conf.d/90yes"
    # The chroot has no /dev/pts for dpkg's log of its output.
    echo 'Dpkg::Use-Pty "false";' >"$client/etc/apt/apt.conf.d/90no-pty"
    serve v1
    inside sh -ec "$steps" </dev/null >"$tmp/steps.log" 2>&1 || { cat "$tmp/steps.log"; fail "$suite: the README's steps failed"; }
    [ "$(installed)" = "$version-1" ] || fail "$suite: the README's steps did not install $version"
    apt_quiet update
    dialogue inside name-dialogue
    inside sh -c 'cd /tmp && apt-get source --download-only name-dialogue' >"$tmp/source.log" 2>&1 ||
        { cat "$tmp/source.log"; fail "$suite: apt-get source failed"; }
    [ -f "$client/tmp/name-dialogue_$version-1.dsc" ] || fail "$suite: apt-get source fetched no .dsc"
    refused stranger "indexes signed by a key it does not hold"
    refused unsigned "indexes with no signature"
    serve tampered
    apt_quiet update
    inside apt-get clean
    if inside apt-get upgrade >"$tmp/apt.log" 2>&1; then
        fail "$suite: apt-get upgrade installed a .deb altered in the pool"
    fi
    grep -qi 'hash sum mismatch' "$tmp/apt.log" || { cat "$tmp/apt.log"; fail "$suite: no hash mismatch reported"; }
    [ "$(installed)" = "$version-1" ] || fail "$suite: the altered .deb changed what is installed"
    echo "$suite: refused a .deb altered in the pool"
    serve v2
    apt_quiet update
    apt_quiet upgrade
    [ "$(installed)" = "$newer-1" ] || fail "$suite: apt-get upgrade did not install $newer"
    dialogue inside name-dialogue
    echo "$suite: upgraded to $newer"
    serve rotated
    for holder in "$key" "$new_key"; do
        gpg --batch --armor --export "$holder" >"$client/etc/apt/keyrings/name-dialogue.asc"
        rm -rf "$client/var/lib/apt/lists/"*
        apt_quiet update
    done
    echo "$suite: indexes signed by two keys updated with either"

    # Every other architecture of this suite, through multiarch; the clean
    # system has them, with their runtime libraries.
    for arch in $(inside dpkg --print-foreign-architectures); do
        line=$(grep " deb_arch=$arch " <<<"$targets")
        qemu=$(fact emulator "$line")
        qemu=${qemu%%,*}
        cp "$(command -v "$qemu")" "$client/usr/bin/"
        apt_quiet install "name-dialogue:$arch"
        [ "$(installed ":$arch")" = "$version-1" ] || fail "$suite: name-dialogue:$arch is not installed"
        dialogue inside "/usr/bin/$qemu" /usr/bin/name-dialogue
        echo "$suite: name-dialogue:$arch installed and ran under $qemu"
    done
    rm -rf "$client"
done

echo "== dnf: the signed repository metadata, and rpm -K"
serve v2
dnf_dir=$tmp/dnf
mkdir -p "$dnf_dir/repos" "$dnf_dir/root"
curl -fsS -o "$dnf_dir/repos/name-dialogue.repo" "$url/name-dialogue.repo"
dnf=(dnf -y --installroot="$dnf_dir/root" --setopt=reposdir="$dnf_dir/repos"
    --setopt=cachedir="$dnf_dir/cache" --releasever=1 --disableplugin='*')
"${dnf[@]}" makecache >"$tmp/dnf.log" 2>&1 || { cat "$tmp/dnf.log"; fail "dnf makecache failed"; }
while read -r line; do
    rpm_arch=$(fact rpm_arch "$line")
    [ -n "$rpm_arch" ] || continue
    "${dnf[@]}" --forcearch="$rpm_arch" repoquery --qf '%{name}-%{version}-%{release}.%{arch}' \
        name-dialogue >"$tmp/query" 2>/dev/null
    grep -qx "name-dialogue-$version-1.$rpm_arch" "$tmp/query" || fail "dnf lists no $rpm_arch .rpm: $(cat "$tmp/query")"
done <<<"$targets"
rpm_file=$(cd "$tmp/v2/rpm" && ls -- "name-dialogue-$newer-1.$(uname -m).rpm")
curl -fsS -o "$tmp/$rpm_file" "$url/rpm/$rpm_file"
curl -fsS -o "$tmp/key.asc" "$url/name-dialogue.asc"
mkdir "$tmp/rpmdb"
rpm --dbpath "$tmp/rpmdb" --import "$tmp/key.asc"
rpm --dbpath "$tmp/rpmdb" -K "$tmp/$rpm_file" | grep -q 'digests signatures OK$' ||
    fail "rpm -K: $(rpm --dbpath "$tmp/rpmdb" -K "$tmp/$rpm_file")"
echo "dnf: every architecture listed; $rpm_file: digests signatures OK"
cp -a "$tmp/v2" "$tmp/changed"
sed -i 's|<revision>\([0-9]*\)</revision>|<revision>1\1</revision>|' "$tmp/changed/rpm/repodata/repomd.xml"
cmp -s "$tmp/v2/rpm/repodata/repomd.xml" "$tmp/changed/rpm/repodata/repomd.xml" && fail "repomd.xml was not changed"
serve changed
if "${dnf[@]}" clean all >/dev/null 2>&1 && "${dnf[@]}" makecache >"$tmp/dnf.log" 2>&1; then
    cat "$tmp/dnf.log"
    fail "dnf took a changed repomd.xml"
fi
echo "dnf: refused a changed repomd.xml: $(grep -m 1 -i 'signature verification' "$tmp/dnf.log" || tail -n 1 "$tmp/dnf.log")"
# Metadata signed by two keys, for a client that holds only one of them.
serve rotated
for holder in "$key" "$new_key"; do
    gpg --batch --armor --export "$holder" >"$tmp/rotated/only-this-key.asc"
    sed "s|^gpgkey=.*|gpgkey=$url/only-this-key.asc|" "$tmp/rotated/name-dialogue.repo" \
        >"$dnf_dir/repos/name-dialogue.repo"
    rm -rf "$dnf_dir/cache"
    "${dnf[@]}" makecache >"$tmp/dnf.log" 2>&1 ||
        { cat "$tmp/dnf.log"; fail "dnf refused metadata signed by two keys, holding one"; }
done
echo "dnf: metadata signed by two keys taken with either"

echo "== a download: SHA256SUMS.asc by the published key, then the sums"
download=$tmp/download
cp -a "$tmp/v2/releases/$version" "$download"
gpg --dearmor <"$tmp/key.asc" >"$tmp/key.gpg"
(cd "$download" && gpgv --keyring "$tmp/key.gpg" SHA256SUMS.asc SHA256SUMS && sha256sum --quiet -c SHA256SUMS) \
    >"$tmp/download.log" 2>&1 || { cat "$tmp/download.log"; fail "the download does not verify"; }
printf 'X' >>"$download/$tarball"
(cd "$download" && ! sha256sum --quiet -c SHA256SUMS >/dev/null 2>&1) || fail "sha256sum -c took a changed artifact"
first=$(head -c 1 "$download/SHA256SUMS")
sed -i "1s/^./$( [ "$first" = 0 ] && echo 1 || echo 0)/" "$download/SHA256SUMS"
! gpgv --keyring "$tmp/key.gpg" "$download/SHA256SUMS.asc" "$download/SHA256SUMS" 2>/dev/null ||
    fail "gpgv took a changed SHA256SUMS"
echo "download: verified; a changed artifact and a changed SHA256SUMS fail"
