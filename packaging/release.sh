#!/usr/bin/env bash
# Builds the release of the commit checked out into dist/: the source
# tarball; the Debian source package and, from it, a .deb (with its -dbgsym)
# for every Linux target declared in cmake/targets/; the source RPM and, from
# it, an .rpm for every target with an RPM architecture; a tarball of the
# static program for every Linux target; the Windows zip; and SHA256SUMS.
# Everything is built from the source tarball, so what is released is exactly
# the commit, and the same commit gives the same bytes from any folder.
#
# Usage: packaging/release.sh           (SOURCE_DATE_EPOCH defaults to the commit's time)
#        packaging/release.sh --needs   the foreign architectures and packages it needs here
#
# A target whose Debian packages are in another suite than this machine's is
# built in a chroot of that suite (see packaging/chroot.sh).
set -euo pipefail
root=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
cd "$root"

fail() {
    echo "release.sh: $*" >&2
    exit 1
}
# shellcheck source=packaging/chroot.sh
. packaging/chroot.sh
# shellcheck source=packaging/targets.sh
. packaging/targets.sh

# needs [multiarch]: what building every .deb needs here beyond the
# compilers, a line each, "architecture ARCH" or "package NAME": for a
# foreign target of this machine's suite, its architecture and its runtime
# libraries through multiarch; for a target of another suite, mmdebstrap,
# unless only the multiarch part is asked for.
needs() {
    local line deb suite
    while read -r line; do
        [ "$(fact system "$line")" = Linux ] || continue
        deb=$(fact deb_arch "$line")
        suite=$(fact deb_suite "$line")
        if other_suite "$suite"; then
            [ -n "${1:-}" ] || echo "package mmdebstrap"
        elif [ "$deb" != "$host_arch" ]; then
            echo "architecture $deb"
            printf "package %s:$deb\n" "${runtime_packages[@]}"
        fi
    done <<<"$targets"
}
if [ "${1:-}" = --needs ]; then
    needs
    exit 0
fi

if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
    echo "release.sh: note: uncommitted changes are not part of the release" >&2
fi
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export TZ=UTC LC_ALL=C
umask 022
dist=$root/dist
work=$root/build-dist
rm -rf "$dist" "$work"
mkdir -p "$dist" "$work/commit"

# cpack_value FILE VARIABLE: what CMake wrote into a CPack configuration.
cpack_value() {
    sed -n "s/^set($2 \"\(.*\)\")\$/\1/p" "$1"
}

# The project names its version and its files; the commit is asked once.
# Its files are unpacked as checked out: 0644, or 0755 where executable.
git -c tar.umask=0022 archive --format=tar HEAD | tar -xf - -C "$work/commit"
cmake -S "$work/commit" -B "$work/names" -DBUILD_TESTING=OFF -DNAME_DIALOGUE_STATIC=OFF >/dev/null
version=$(cpack_value "$work/names/CPackConfig.cmake" CPACK_PACKAGE_VERSION)
name=$(cpack_value "$work/names/CPackSourceConfig.cmake" CPACK_SOURCE_PACKAGE_FILE_NAME)
{ [ -n "$version" ] && [ -n "$name" ]; } || fail "CMake names no version"
debian_version=$(dpkg-parsechangelog -l "$work/commit/packaging/debian/changelog" -S Version)
[ "${debian_version%-*}" = "$version" ] ||
    fail "packaging/debian/changelog is at version $debian_version, the project at $version"
spec=$work/commit/packaging/rpm/name-dialogue.spec
spec_version=$(sed -n 's/^Version: *//p' "$spec")
[ "$spec_version" = "$version" ] ||
    fail "packaging/rpm/name-dialogue.spec is at version $spec_version, the project at $version"

echo "== source tarball"
git -c tar.umask=0022 archive --format=tar --prefix="$name/" HEAD | gzip -9n >"$dist/$name.tar.gz"
tar -xzf "$dist/$name.tar.gz" -C "$work"
src=$work/$name

echo "== Debian source package"
mkdir "$work/debian"
cp "$dist/$name.tar.gz" "$work/debian/name-dialogue_$version.orig.tar.gz"
tar -xzf "$dist/$name.tar.gz" -C "$work/debian"
cp -r "$src/packaging/debian" "$work/debian/$name/debian"
(cd "$work/debian" && dpkg-source -b "$name" >/dev/null)
dsc=name-dialogue_$debian_version.dsc
cp "$work/debian/$dsc" "$work/debian/name-dialogue_$debian_version.debian.tar.xz" \
    "$work/debian/name-dialogue_$version.orig.tar.gz" "$dist/"

# deb ARCH SUITE: builds the binary packages for ARCH from the source
# package, natively with its tests, or cross without them, as Debian does.
deb() {
    local arch=$1 suite=$2 options=(-us -uc -b) top=$work/deb-$1 run=()
    [ "$arch" = "$host_arch" ] || options+=(-a "$arch" "-Pcross,nocheck")
    local jail=""
    if other_suite "$suite"; then
        jail=$(chroot_for "$suite" "$arch")
        top=$jail/build
        run=(chroot "$jail" env SOURCE_DATE_EPOCH="$SOURCE_DATE_EPOCH" TZ=UTC LC_ALL=C.UTF-8)
    fi
    rm -rf "$top"
    mkdir -p "$top"
    cp "$work/debian/$dsc" "$work/debian/name-dialogue_$version.orig.tar.gz" \
        "$work/debian/name-dialogue_$debian_version.debian.tar.xz" "$top/"
    local inside=${top#"$jail"}
    "${run[@]}" sh -c "cd '$inside' && dpkg-source -x '$dsc' source >/dev/null 2>&1 &&
        cd source && dpkg-checkbuilddeps ${options[*]:3} && dpkg-buildpackage ${options[*]}" \
        >"$work/deb-$arch.log" 2>&1 || { tail -n 40 "$work/deb-$arch.log"; fail "the .deb for $arch did not build"; }
    cp "$top"/*.deb "$dist/"
    (cd "$top" && ls -- *.deb)
}

echo "== Debian packages"
while read -r kind what; do
    if [ "$kind" = package ] &&
        ! dpkg-query -W -f '${Status}' "$what" 2>/dev/null | grep -q 'ok installed'; then
        fail "the .debs need $what (see packaging/release.sh --needs)"
    fi
done <<<"$(needs multiarch)"
while read -r line; do
    [ "$(fact system "$line")" = Linux ] || continue
    deb "$(fact deb_arch "$line")" "$(fact deb_suite "$line")"
done <<<"$targets"

echo "== source RPM and RPMs"
topdir=$work/rpm
mkdir -p "$topdir/SOURCES"
cp "$dist/$name.tar.gz" "$topdir/SOURCES/"
# Debian's rpm has an empty database, so the build dependencies cannot be
# checked; the same bytes come from any folder and any host.
rpmbuild=(rpmbuild --nodeps --quiet
    --define "packager name-dialogue developers <name-dialogue@example.org>"
    --define "_buildhost reproducible"
    --define "source_date_epoch_from_changelog 0"
    --define "use_source_date_epoch_as_buildtime 1"
    --define "clamp_mtime_to_source_date_epoch 1"
    --define "_build_id_links none")
# A source RPM keeps its spec as parsed, with the folders it was made in:
# they are named relative to the top folder, so that any clone gives one.
(cd "$topdir" && "${rpmbuild[@]}" --define "_topdir ." -bs "$spec" >/dev/null)
cp "$topdir"/SRPMS/*.src.rpm "$dist/"
rpmbuild+=(--define "_topdir $topdir" --define "build_cxxflags %{optflags} -ffile-prefix-map=$topdir=.")
host_cpu=$(rpm --eval '%{_host_cpu}')
while read -r line; do
    rpm_arch=$(fact rpm_arch "$line")
    if [ "$(fact system "$line")" != Linux ] || [ -z "$rpm_arch" ]; then
        continue
    fi
    target=$(fact name "$line")
    triplet=$(fact triplet "$line")
    cross=()
    if [ "$rpm_arch" != "$host_cpu" ]; then
        cross=(--target "$rpm_arch" --define "name_dialogue_target $target"
            --define "__strip $triplet-strip" --define "__objdump $triplet-objdump")
    fi
    "${rpmbuild[@]}" -bb "${cross[@]}" "$spec" >"$work/rpm-$rpm_arch.log" 2>&1 ||
        { tail -n 40 "$work/rpm-$rpm_arch.log"; fail "the .rpm for $rpm_arch did not build"; }
    cp "$topdir/RPMS/$rpm_arch"/*.rpm "$dist/"
    (cd "$topdir/RPMS/$rpm_arch" && ls -- *.rpm)
done <<<"$targets"

# archive TARGET GENERATOR: the static program for TARGET, packed by CPack.
archive() {
    local dir=$work/$1
    cmake -S "$src" -B "$dir" -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=Release \
        --toolchain "$src/cmake/targets/$1.cmake" </dev/null >/dev/null
    cmake --build "$dir" </dev/null >/dev/null
    (cd "$dir" && cpack -G "$2" </dev/null >/dev/null)
    cp "$dir"/*."${3}" "$dist/"
    (cd "$dir" && ls -- *."$3")
}

echo "== Linux tarballs and the Windows zip"
while read -r line; do
    target=$(fact name "$line")
    case $(fact system "$line") in
    Linux) archive "$target" TGZ tar.gz ;;
    Windows) archive "$target" ZIP zip ;;
    *) fail "no archive for $target" ;;
    esac
done <<<"$targets"

cd "$dist"
sha256sum -- * >SHA256SUMS
cat SHA256SUMS
