#!/usr/bin/env bash
# Adds the signed release in dist/ to the package repositories in DIR, made
# if missing, and leaves DIR ready to be served as plain static files at URL:
#   DIR/deb/               an apt repository: suite stable, component main,
#                          every Linux architecture and the source package,
#                          InRelease and Release.gpg, indexes also by hash
#   DIR/rpm/               a dnf repository: every .rpm and the source RPM,
#                          repodata/repomd.xml and its signature .asc
#   DIR/releases/VERSION/  the release's files, SHA256SUMS and its signature
#   DIR/name-dialogue.asc, .sources, .repo
#                          the public keys, and the files apt and dnf read
# The indexes list every version published, so a newer release moves apt and
# dnf to it and an older one can still be had. Each --key signs the indexes:
# during a change of key, give the old and the new one, and a user holding
# either updates without a warning.
# Usage: packaging/publish.sh --key KEY [--key KEY] --url URL [--dist DIST] DIR
# shellcheck source=packaging/lib.sh
. "$(dirname "$0")/lib.sh"
keys=() url="" dist=$root/dist dir=""
while [ $# -gt 0 ]; do
    case $1 in
    --key) keys+=("${2:?--key needs a key}") && shift ;;
    --url) url=${2:?--url needs a URL} && shift ;;
    --dist) dist=$(realpath "${2:?--dist needs a folder}") && shift ;;
    -*) usage ;;
    *)
        [ -z "$dir" ] || fail "one DIR only"
        dir=$1
        ;;
    esac
    shift
done
{ ((${#keys[@]})) && [ -n "$url" ] && [ -n "$dir" ]; } || usage
url=${url%/}
for key in "${keys[@]}"; do
    gpg --batch --list-secret-keys "$key" >/dev/null 2>&1 || fail "GnuPG holds no secret key $key"
done
# shellcheck source=packaging/targets.sh
. "$root/packaging/targets.sh"
export LC_ALL=C TZ=UTC
umask 022

# The release must be whole and signed, by a key given here.
{ [ -f "$dist/SHA256SUMS" ] && [ -f "$dist/SHA256SUMS.asc" ]; } ||
    fail "$dist holds no signed release: run packaging/release.sh --sign KEY"
signers=()
for key in "${keys[@]}"; do signers+=(--local-user "$key"); done
keyring=$tmp/keyring
gpg --batch --export "${keys[@]}" >"$keyring"
gpgv --keyring "$keyring" "$dist/SHA256SUMS.asc" "$dist/SHA256SUMS" 2>/dev/null ||
    fail "SHA256SUMS.asc is not a signature by a key given here"
(cd "$dist" && sha256sum --quiet -c SHA256SUMS) || fail "$dist does not match its SHA256SUMS"
release_of "$dist/SHA256SUMS"

echo "== releases/$version"
mkdir -p "$dir/releases/$version"
mapfile -t files < <(awk '{ print $2 }' "$dist/SHA256SUMS")
(cd "$dist" && cp SHA256SUMS SHA256SUMS.asc "${files[@]}" "$dir/releases/$version/")

echo "== deb: the pool, the indexes, InRelease and Release.gpg"
deb=$dir/deb
pool=$deb/pool/main/n/name-dialogue
mkdir -p "$pool"
# Debug symbols are in the release's folder, not in the suite.
(cd "$dist" && find . -maxdepth 1 \( -name 'name-dialogue_*.deb' -o -name '*.dsc' \
    -o -name '*.orig.tar.*' -o -name '*.debian.tar.*' \) -exec cp {} "$pool/" \;)
architectures=$(while read -r line; do
    [ "$(fact system "$line")" != Linux ] || fact deb_arch "$line"
done <<<"$targets" | sort -u | xargs)
suite=$deb/dists/stable
mkdir -p "$suite/main/source"
# The archive's overrides (priority, section) are the packages' own here.
quiet() {
    grep -v -e ' has no source override entry' -e ' has no binary override entry' || true
}
# compress FILE: FILE.gz and FILE.xz beside it.
compress() {
    gzip -9nkf "$1"
    xz -kf "$1"
}
for arch in $architectures; do
    mkdir -p "$suite/main/binary-$arch"
    (cd "$deb" && apt-ftparchive --arch "$arch" packages pool/main 2> >(quiet >&2)) >"$suite/main/binary-$arch/Packages.new"
    mv "$suite/main/binary-$arch/Packages.new" "$suite/main/binary-$arch/Packages"
    compress "$suite/main/binary-$arch/Packages"
done
(cd "$deb" && apt-ftparchive sources pool/main 2> >(quiet >&2)) >"$suite/main/source/Sources.new"
mv "$suite/main/source/Sources.new" "$suite/main/source/Sources"
compress "$suite/main/source/Sources"
# The hashes' own copies under by-hash/ keep a client that read the last
# Release fetching what it names while the files are replaced; the three
# newest of each stay.
release_options=(-o APT::FTPArchive::DoByHash=true
    -o APT::FTPArchive::Release::Origin=name-dialogue
    -o APT::FTPArchive::Release::Label=name-dialogue
    -o APT::FTPArchive::Release::Suite=stable
    -o APT::FTPArchive::Release::Codename=stable
    -o "APT::FTPArchive::Release::Architectures=$architectures"
    -o APT::FTPArchive::Release::Components=main
    -o APT::FTPArchive::Release::Acquire-By-Hash=yes
    -o "APT::FTPArchive::Release::Description=name-dialogue $version")
rm -f "$suite/Release" "$suite/Release.gpg" "$suite/InRelease"
apt-ftparchive "${release_options[@]}" release "$suite" >"$suite/Release.new"
mv "$suite/Release.new" "$suite/Release"
gpg --batch --yes "${signers[@]}" --digest-algo SHA512 --armor --detach-sign \
    --output "$suite/Release.gpg" "$suite/Release"
# InRelease comes last: a client that sees it finds everything it names.
gpg --batch --yes "${signers[@]}" --digest-algo SHA512 --clearsign \
    --output "$suite/InRelease.new" "$suite/Release"
mv "$suite/InRelease.new" "$suite/InRelease"

echo "== rpm: the packages and the signed repodata"
mkdir -p "$dir/rpm"
cp "$dist"/*.rpm "$dir/rpm/"
createrepo_c --quiet --update "$dir/rpm"
gpg --batch --yes "${signers[@]}" --digest-algo SHA512 --armor --detach-sign \
    --output "$dir/rpm/repodata/repomd.xml.asc" "$dir/rpm/repodata/repomd.xml"

echo "== the keys and the files apt and dnf read"
gpg --batch --armor --export "${keys[@]}" >"$dir/name-dialogue.asc"
cat >"$dir/name-dialogue.sources" <<EOF
Types: deb deb-src
URIs: $url/deb
Suites: stable
Components: main
Signed-By: /etc/apt/keyrings/name-dialogue.asc
EOF
# A repository whose signature fails must stop dnf, not be skipped.
cat >"$dir/name-dialogue.repo" <<EOF
[name-dialogue]
name=name-dialogue
baseurl=$url/rpm
enabled=1
gpgcheck=1
repo_gpgcheck=1
gpgkey=$url/name-dialogue.asc
skip_if_unavailable=False
EOF
echo "published name-dialogue $version in $dir for $url"
