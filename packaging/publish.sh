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
# dnf to it and an older one can still be had. Each --sign KEY, a key in
# GnuPG's home (GNUPGHOME), signs the indexes, and one must have signed the
# release: during a change of key, give the old and the new one, and a user
# holding either updates without a warning.
# Usage: packaging/publish.sh --sign KEY [--sign KEY] --url URL [--dist DIST] DIR
# shellcheck source=packaging/lib.sh
. "$(dirname "$0")/lib.sh"
keys=() url="" dist=$root/dist dir=""
while [ $# -gt 0 ]; do
    case $1 in
    --sign) keys+=("${2:?--sign needs a key}") && shift ;;
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
export LC_ALL=C TZ=UTC
umask 022

# The release must be whole and signed, by a key given here.
[ -f "$dist/SHA256SUMS.asc" ] || fail "$dist holds no signed release: run packaging/release.sh --sign KEY"
signers=()
for key in "${keys[@]}"; do signers+=(--local-user "$key"); done
gpg --batch --export "${keys[@]}" >"$tmp/keys.gpg"
verify_sums "$tmp/keys.gpg" "$dist"
version=$(release_version "$dist")

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
architectures=$(targets deb_arch | grep -vx -- - | sort -u | xargs)
suite=$deb/dists/stable
# One configuration for the indexes and the Release file. The hashes' own
# copies under by-hash/ keep a client that read the last Release fetching
# what it names while the files are replaced.
cat >"$tmp/archive.conf" <<EOF
Dir { ArchiveDir "$deb"; CacheDir "$tmp"; };
Default { Packages::Compress ". gzip xz"; Sources::Compress ". gzip xz"; };
TreeDefault { Directory "pool/main"; SrcDirectory "pool/main"; };
Tree "dists/stable" { Sections "main"; Architectures "$architectures source"; };
APT::FTPArchive::DoByHash "true";
APT::FTPArchive::Release { Origin "name-dialogue"; Label "name-dialogue"; Suite "stable"; Codename "stable";
    Architectures "$architectures"; Components "main"; Acquire-By-Hash "yes"; Description "name-dialogue $version"; };
EOF
mkdir -p "$suite/main/source"
for arch in $architectures; do mkdir -p "$suite/main/binary-$arch"; done
# The archive's overrides (priority, section) are the packages' own here.
apt-ftparchive -q generate "$tmp/archive.conf" 2> >(grep -v 'has no \(source\|binary\) override entry' >&2 || true)
rm -f "$suite/Release" "$suite/Release.gpg" "$suite/InRelease"
apt-ftparchive -c "$tmp/archive.conf" release "$suite" >"$suite/Release.new"
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
