#!/usr/bin/env bash
# Builds a release into dist/: the source tarball; the Debian source package
# and, from it, a .deb (with its -dbgsym and its .buildinfo) for every Linux
# target of cmake/targets.tsv; the source RPM and, from it, an .rpm for
# every target with an RPM architecture; a tarball of the static program for
# every Linux target; the Windows zip, and the Windows Installer package of
# its program; beside each .deb, .rpm, tarball, zip and .msi its CycloneDX
# SBOM, ARTIFACT.cdx.json; and SHA256SUMS over all.
# Everything is built from the source tarball, so what is released is exactly
# the commit, and the same commit gives the same bytes from any folder.
#
# Usage: packaging/release.sh [OPTION]...
#   --sign KEY        sign every .rpm (rpmsign) and SHA256SUMS (SHA256SUMS.asc)
#                     with KEY, an OpenPGP key in GnuPG's home (GNUPGHOME)
#   --source TARBALL  build from this source tarball, not from the commit
#   --target NAME     build only what NAME gives, and the source packages;
#                     may be given more than once
#   --channel NAME    build only the source packages and the artifacts of
#                     the channel NAME, as cmake/targets.tsv names them: deb,
#                     rpm, archive or msi (with its archive); may be given
#                     more than once
#   --nocheck         skip the tests that the package builds run
#   --available       skip, saying so, a .deb of another Debian suite when
#                     not root, as its chroot takes root
#   --dist DIR        write the release there, not into dist/
#   --list            build nothing: print the name of every file the release
#                     will hold, but SHA256SUMS and its signature, a line each
# SOURCE_DATE_EPOCH defaults to the commit's time, or with --source to the
# time of the tarball's files. The packages and archives are the goals of one
# build graph, packaging/release.mk, run by make, a build a core. A target
# whose Debian packages are in another suite than this machine's is built in
# a chroot of that suite (see packaging/chroot.sh).
# shellcheck source=packaging/lib.sh
. "$(dirname "$0")/lib.sh"
cd "$root"
# shellcheck source=packaging/chroot.sh
. packaging/chroot.sh
sign="" tarball="" nocheck=false dist=$root/dist only="" channels="" available=false list=false
while [ $# -gt 0 ]; do
    case $1 in
    --sign) sign=${2:?--sign needs a key} && shift ;;
    --source) tarball=$(realpath "${2:?--source needs a tarball}") && shift ;;
    --target) only+=" ${2:?--target needs a name}" && shift ;;
    --channel) channels+=" ${2:?--channel needs a name}" && shift ;;
    --nocheck) nocheck=true ;;
    --available) available=true ;;
    --dist) dist=$(realpath -m "${2:?--dist needs a folder}") && shift ;;
    --list) list=true ;;
    *) usage ;;
    esac
    shift
done
# chosen LIST WORD: whether WORD is in LIST, or LIST is empty.
chosen() {
    [[ -z $1 || "$1 " == *" $2 "* ]]
}
for target in $only; do
    targets name | grep -qxF "$target" || fail "no target $target in cmake/targets.tsv"
done
for channel in $channels; do
    targets channels | tr , '\n' | grep -qxF "$channel" || fail "no channel $channel in cmake/targets.tsv"
done

# The goals: what the options choose of every target's channels.
goals=()
while IFS=$'\t' read -r target target_channels deb_suite; do
    chosen "$only" "$target" || continue
    for channel in ${target_channels//,/ }; do
        chosen "$channels" "$channel" || continue
        if [ "$channel" = deb ] && $available && other_suite "$deb_suite" && [ "$(id -u)" -ne 0 ]; then
            echo "skipped: the .deb for $target, built in a chroot of Debian $deb_suite, which takes root" >&2
            continue
        fi
        goals+=("$channel-$target")
    done
done < <(targets name channels deb_suite)

# The one list of the release's files: those of the source packages, then of
# each goal, each package and archive with its SBOM beside it.
if $list; then
    version=$(cat VERSION)
    debian_version=$(dpkg-parsechangelog -l packaging/debian/changelog -S Version)
    rpm=$version-$(sed -n 's/^Release: *\([^%]*\).*/\1/p' packaging/rpm/name-dialogue.spec)
    for goal in source "${goals[@]}"; do
        IFS=$'\t' read -r deb_arch rpm_arch archive system <<<"$(target_where name "${goal#*-}" deb_arch rpm_arch archive system)"
        case $goal in
        source) printf '%s\n' "name-dialogue-$version.tar.gz" "name-dialogue_$version.orig.tar.gz" \
            "name-dialogue_$debian_version".{debian.tar.xz,dsc} "name-dialogue-$rpm.src.rpm" ;;
        deb-*) printf '%s\n' "name-dialogue-dbgsym_${debian_version}_$deb_arch.deb" \
            "name-dialogue_${debian_version}_$deb_arch.buildinfo" "name-dialogue_${debian_version}_$deb_arch.deb"{,.cdx.json} ;;
        rpm-*) printf '%s\n' "name-dialogue-$rpm.$rpm_arch.rpm"{,.cdx.json} ;;
        archive-*) extension=tar.gz && [ "$system" != Windows ] || extension=zip
            printf '%s\n' "name-dialogue-$version-$archive.$extension"{,.cdx.json} ;;
        # The MSI is made of the zip, which the release then holds too.
        msi-*) printf '%s\n' "name-dialogue-$version-$archive".{msi,zip}{,.cdx.json} ;;
        esac
    done | LC_ALL=C sort -u
    exit 0
fi

export TZ=UTC LC_ALL=C
umask 022
work=$root/build-dist
[ "$dist" = "$root/dist" ] || work=$dist.build
rm -rf "$dist" "$work"
mkdir -p "$dist" "$work"
if [ -n "$sign" ]; then
    gpg --batch --list-secret-keys "$sign" >/dev/null 2>&1 || fail "GnuPG holds no secret key $sign"
fi

# The source tarball: the commit's tracked files, 0644 or 0755 as checked
# out, under name-dialogue-VERSION/.
if [ -z "$tarball" ]; then
    if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
        echo "release.sh: note: uncommitted changes are not part of the release" >&2
    fi
    export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
    name=name-dialogue-$(git show HEAD:VERSION)
    tarball=$dist/$name.tar.gz
    git -c tar.umask=0022 archive --format=tar --prefix="$name/" HEAD | gzip -9n >"$tarball"
else
    name=$(tar -tzf "$tarball" | sed -n 1p)
    name=${name%%/*}
    [ "$tarball" = "$dist/$name.tar.gz" ] || cp "$tarball" "$dist/$name.tar.gz"
fi
tar -xzf "$dist/$name.tar.gz" -C "$work"
src=$work/$name
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(stat -c %Y "$src/VERSION")}
# The project names its version; the packaging must agree.
version=$(cat "$src/VERSION")
[ "$name" = "name-dialogue-$version" ] || fail "$name.tar.gz holds name-dialogue $version"
debian_version=$(dpkg-parsechangelog -l "$src/packaging/debian/changelog" -S Version)
[ "${debian_version%-*}" = "$version" ] ||
    fail "packaging/debian/changelog is at version $debian_version, the project at $version"
spec_version=$(sed -n 's/^Version: *//p' "$src/packaging/rpm/name-dialogue.spec")
[ "$spec_version" = "$version" ] ||
    fail "packaging/rpm/name-dialogue.spec is at version $spec_version, the project at $version"

echo "== the source packages, then the packages and archives, a build a core"
export SRC=$src WORK=$work DIST=$dist VERSION=$version DEBIAN_VERSION=$debian_version NOCHECK=$nocheck
make -C "$work" -f "$src/packaging/release.mk" -j "$(nproc)" --output-sync=target dsc srpm "${goals[@]}"

cd "$dist"
if [ -n "$sign" ]; then
    echo "== signatures"
    # rpm's own signature, which dnf and rpm -K check once the key is
    # imported; its time is the signing's, so a signed build differs there.
    rpmsign --addsign --define "__gpg $(command -v gpg)" --define "_gpg_name $sign" \
        --define "_gpg_digest_algo sha512" ./*.rpm 2>&1 | grep -v -e 'Could not set GPG_TTY' -e '^./.*rpm:$' || true
fi
sha256sum -- * >SHA256SUMS
if [ -n "$sign" ]; then
    gpg --batch --yes --local-user "$sign" --digest-algo SHA512 --armor \
        --detach-sign --output SHA256SUMS.asc SHA256SUMS
fi
ls
