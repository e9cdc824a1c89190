#!/usr/bin/env bash
# Builds a release into dist/: the source tarball; the Debian source package
# and, from it, a .deb (with its -dbgsym and its .buildinfo) for every Linux
# target of cmake/targets.cmake; the source RPM and, from it, an .rpm for
# every target with an RPM architecture; a tarball of the static program for
# every Linux target; the Windows zip; beside each .deb, .rpm, tarball and
# the zip its CycloneDX SBOM, ARTIFACT.cdx.json; and SHA256SUMS over all.
# Everything is built from the source tarball, so what is released is exactly
# the commit, and the same commit gives the same bytes from any folder.
#
# Usage: packaging/release.sh [OPTION]...
#   --sign KEY        sign every .rpm (rpmsign) and SHA256SUMS (SHA256SUMS.asc)
#                     with KEY, an OpenPGP key in GnuPG's home (GNUPGHOME)
#   --source TARBALL  build from this source tarball, not from the commit
#   --target NAME     build only what NAME gives, and the source packages;
#                     may be given more than once
#   --kind KIND       build only the source packages and the artifacts of
#                     KIND: deb, rpm or archive; may be given more than once
#   --nocheck         skip the tests that the package builds run
#   --available       skip, saying so, a .deb of another Debian suite when
#                     not root, as its chroot takes root
#   --dist DIR        write the release there, not into dist/
#   --needs           print the foreign architectures and packages it needs
#                     here, then stop
# SOURCE_DATE_EPOCH defaults to the commit's time, or with --source to the
# time of the tarball's files. A target whose Debian packages are in another
# suite than this machine's is built in a chroot of that suite (see
# packaging/chroot.sh).
# shellcheck source=packaging/lib.sh
. "$(dirname "$0")/lib.sh"
cd "$root"
# shellcheck source=packaging/chroot.sh
. packaging/chroot.sh
# shellcheck source=packaging/targets.sh
. packaging/targets.sh

sign="" source_tarball="" nocheck=false dist=$root/dist only=() kinds=() available=false
while [ $# -gt 0 ]; do
    case $1 in
    --sign) sign=${2:?--sign needs a key} && shift ;;
    --source) source_tarball=$(realpath "${2:?--source needs a tarball}") && shift ;;
    --target) only+=("${2:?--target needs a name}") && shift ;;
    --kind)
        case ${2:-} in deb | rpm | archive) kinds+=("$2") ;; *) fail "--kind is deb, rpm or archive" ;; esac
        shift
        ;;
    --nocheck) nocheck=true ;;
    --available) available=true ;;
    --dist) dist=$(realpath -m "${2:?--dist needs a folder}") && shift ;;
    --needs) needs_only=true ;;
    *) usage ;;
    esac
    shift
done
# wanted KIND: whether the artifacts of KIND are to be built.
wanted() {
    ((${#kinds[@]} == 0)) || printf '%s\n' "${kinds[@]}" | grep -qx "$1"
}
if ((${#only[@]})); then
    for target in "${only[@]}"; do
        grep -q "^name=$target " <<<"$targets" || fail "no target $target in cmake/targets.cmake"
    done
    targets=$(grep -E "^name=($(IFS='|' && echo "${only[*]}")) " <<<"$targets")
fi

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
if [ -n "${needs_only:-}" ]; then
    needs
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
# out, under name-dialogue-VERSION/, where CMake names the version.
if [ -z "$source_tarball" ]; then
    if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
        echo "release.sh: note: uncommitted changes are not part of the release" >&2
    fi
    export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
    mkdir "$work/commit"
    git -c tar.umask=0022 archive --format=tar HEAD | tar -xf - -C "$work/commit"
    cmake -S "$work/commit" -B "$work/names" -DBUILD_TESTING=OFF -DNAME_DIALOGUE_STATIC=OFF >/dev/null
    name=$(sed -n 's/^set(CPACK_SOURCE_PACKAGE_FILE_NAME "\(.*\)")$/\1/p' "$work/names/CPackSourceConfig.cmake")
    [ -n "$name" ] || fail "CMake names no source package"
    source_tarball=$dist/$name.tar.gz
    git -c tar.umask=0022 archive --format=tar --prefix="$name/" HEAD | gzip -9n >"$source_tarball"
else
    name=$(tar -tzf "$source_tarball" | sed -n 1p)
    name=${name%%/*}
    [ "$source_tarball" = "$dist/$name.tar.gz" ] || cp "$source_tarball" "$dist/$name.tar.gz"
fi
tar -xzf "$dist/$name.tar.gz" -C "$work"
src=$work/$name
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(stat -c %Y "$src/CMakeLists.txt")}
# The project names its version; the packaging must agree. The commit's
# files, configured above, are the tarball's.
[ -f "$work/names/CPackConfig.cmake" ] ||
    cmake -S "$src" -B "$work/names" -DBUILD_TESTING=OFF -DNAME_DIALOGUE_STATIC=OFF >/dev/null
version=$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$work/names/CPackConfig.cmake")
[ "$name" = "name-dialogue-$version" ] || fail "$name.tar.gz holds name-dialogue ${version:-of no version}"
debian_version=$(dpkg-parsechangelog -l "$src/packaging/debian/changelog" -S Version)
[ "${debian_version%-*}" = "$version" ] ||
    fail "packaging/debian/changelog is at version $debian_version, the project at $version"
spec=$src/packaging/rpm/name-dialogue.spec
spec_version=$(sed -n 's/^Version: *//p' "$spec")
[ "$spec_version" = "$version" ] ||
    fail "packaging/rpm/name-dialogue.spec is at version $spec_version, the project at $version"

# Archives and the source RPM record the owner of their files: as root, so
# that a normal user's build gives the same bytes as root's.
as_root=()
if [ "$(id -u)" -ne 0 ]; then
    command -v fakeroot >/dev/null || fail "a build as a normal user needs fakeroot, for the archives' owners"
    as_root=(fakeroot)
fi

# sbom ARTIFACT KIND VERSION ARCH UNPACKED INSIDE BUILD [DEPENDS]: the SBOM
# of ARTIFACT beside it in dist/, from its program as unpacked and the
# records its build left in BUILD; DEPENDS, a file, names what it needs.
sbom() {
    local runtimes=() depends=()
    [ ! -f "$7/runtimes.facts" ] || runtimes=(--runtimes "$7/runtimes.facts")
    [ -z "${8:-}" ] || depends=(--depends "$8")
    python3 "$src/packaging/sbom.py" --artifact "$1" --kind "$2" --version "$3" --arch "$4" \
        --program "$5/$6" --inside "$6" "${runtimes[@]}" --toolchain "$7/toolchain.facts" \
        "${depends[@]}" --output "$dist/${1##*/}.cdx.json"
}

echo "== Debian source package"
mkdir "$work/debian"
cp "$dist/$name.tar.gz" "$work/debian/name-dialogue_$version.orig.tar.gz"
tar -xzf "$dist/$name.tar.gz" -C "$work/debian"
cp -r "$src/packaging/debian" "$work/debian/$name/debian"
(cd "$work/debian" && dpkg-source -b "$name" >/dev/null)
dsc=name-dialogue_$debian_version.dsc
debian_sources=("$dsc" "name-dialogue_$version.orig.tar.gz" "name-dialogue_$debian_version.debian.tar.xz")
(cd "$work/debian" && cp "${debian_sources[@]}" "$dist/")

# deb ARCH SUITE: builds the binary packages for ARCH from the source
# package, natively with its tests, or cross without them, as Debian does.
deb() {
    local arch=$1 suite=$2 options=(-us -uc -b) top=$work/deb-$1 run=() jail=""
    if [ "$arch" != "$host_arch" ]; then
        options+=(-a "$arch" "-Pcross,nocheck")
    elif $nocheck; then
        options+=(-Pnocheck)
    fi
    if other_suite "$suite"; then
        jail=$(chroot_for "$suite" "$arch")
        top=$jail/build
        run=(chroot "$jail" env SOURCE_DATE_EPOCH="$SOURCE_DATE_EPOCH" TZ=UTC LC_ALL=C.UTF-8)
    fi
    rm -rf "$top"
    mkdir -p "$top"
    (cd "$work/debian" && cp "${debian_sources[@]}" "$top/")
    local inside=${top#"$jail"}
    local build_options=${DEB_BUILD_OPTIONS:-}
    $nocheck && build_options="$build_options nocheck"
    "${run[@]}" env DEB_BUILD_OPTIONS="${build_options# }" sh -c "cd '$inside' &&
        dpkg-source -x '$dsc' source >/dev/null 2>&1 && cd source &&
        dpkg-checkbuilddeps ${options[*]:3} && dpkg-buildpackage ${options[*]}"
    cp "$top"/*.deb "$top"/*.buildinfo "$dist/"
    local deb=$top/name-dialogue_${debian_version}_$arch.deb
    dpkg-deb -x "$deb" "$top/unpacked"
    # One requirement a line, as "NAME" or "NAME OP VERSION".
    dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/^ *//; s/ *$//; s/ *(\([<>=]*\) *\([^)]*\))/ \1 \2/' \
        >"$top/depends"
    ! grep -q '|' "$top/depends" || { echo "alternatives in Depends have no SBOM form" && return 1; }
    sbom "$deb" deb "$debian_version" "$arch" "$top/unpacked" usr/bin/name-dialogue \
        "$(dirname "$(echo "$top"/source/obj-*/toolchain.facts)")" "$top/depends"
}

while read -r kind what; do
    if wanted deb && [ "$kind" = package ] &&
        ! dpkg-query -W -f '${Status}' "$what" 2>/dev/null | grep -q 'ok installed'; then
        fail "the .debs need $what (see packaging/release.sh --needs)"
    fi
done <<<"$(needs multiarch)"
while read -r line; do
    { [ "$(fact system "$line")" = Linux ] && wanted deb; } || continue
    arch=$(fact deb_arch "$line")
    suite=$(fact deb_suite "$line")
    if other_suite "$suite" && $available && [ "$(id -u)" -ne 0 ]; then
        echo "skipped: the .deb for $arch, built in a chroot of Debian $suite, which takes root"
        continue
    fi
    # A chroot is made before the builds start, not by two at once.
    ! other_suite "$suite" || chroot_for "$suite" "$arch" >/dev/null
    job "deb-$arch" deb "$arch" "$suite"
done <<<"$targets"

echo "== source RPM"
mkdir -p "$work/rpm/SOURCES"
cp "$dist/$name.tar.gz" "$work/rpm/SOURCES/"
# Debian's rpm has an empty database, so the build dependencies cannot be
# checked; the same bytes come from any folder and any host.
rpmbuild=(rpmbuild --nodeps --quiet
    --define "packager name-dialogue developers <name-dialogue@example.org>"
    --define "_buildhost reproducible"
    --define "source_date_epoch_from_changelog 0"
    --define "use_source_date_epoch_as_buildtime 1"
    --define "clamp_mtime_to_source_date_epoch 1"
    --define "_build_id_links none")
! $nocheck || rpmbuild+=(--nocheck)
# A source RPM keeps its spec as parsed, with the folders it was made in:
# they are named relative to the top folder, so that any clone gives one.
(cd "$work/rpm" && "${as_root[@]}" "${rpmbuild[@]}" --define "_topdir ." -bs "$spec" >/dev/null)
cp "$work/rpm"/SRPMS/*.src.rpm "$dist/"
host_cpu=$(rpm --eval '%{_host_cpu}')
# rpm ARCH [OPTION...]: the .rpm for ARCH, in a top folder of its own.
rpm_for() {
    local topdir=$work/rpm-$1
    mkdir -p "$topdir/SOURCES"
    cp "$dist/$name.tar.gz" "$topdir/SOURCES/"
    "${rpmbuild[@]}" --define "_topdir $topdir" \
        --define "build_cxxflags %{optflags} -ffile-prefix-map=$topdir=." --noclean -bb "${@:2}" "$spec"
    cp "$topdir/RPMS/$1"/*.rpm "$dist/"
    local rpm
    rpm=$(echo "$topdir/RPMS/$1/name-dialogue-$version-"*".$1.rpm")
    mkdir "$topdir/unpacked"
    (cd "$topdir/unpacked" && rpm2cpio "$rpm" | cpio -idm --quiet)
    rpm -qp --requires "$rpm" | sed 's/ *$//' >"$topdir/depends"
    local release=${rpm##*/name-dialogue-"$version"-}
    sbom "$rpm" rpm "$version-${release%%."$1".rpm}" "$1" "$topdir/unpacked" usr/bin/name-dialogue \
        "$topdir/BUILD/$name/build" "$topdir/depends"
}
while read -r line; do
    rpm_arch=$(fact rpm_arch "$line")
    if [ "$(fact system "$line")" != Linux ] || [ -z "$rpm_arch" ] || ! wanted rpm; then
        continue
    fi
    triplet=$(fact triplet "$line")
    cross=()
    if [ "$rpm_arch" != "$host_cpu" ]; then
        cross=(--target "$rpm_arch" --define "name_dialogue_target $(fact name "$line")"
            --define "__strip $triplet-strip" --define "__objdump $triplet-objdump")
    fi
    job "rpm-$rpm_arch" rpm_for "$rpm_arch" "${cross[@]}"
done <<<"$targets"

# archive TARGET GENERATOR EXTENSION KIND: the static program for TARGET,
# packed by CPack, and its SBOM.
archive() {
    local dir=$work/$1
    cmake -S "$src" -B "$dir" -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=Release \
        --toolchain "$src/cmake/toolchain.cmake" -DNAME_DIALOGUE_TARGET="$1" </dev/null
    cmake --build "$dir" </dev/null
    (cd "$dir" && "${as_root[@]}" cpack -G "$2" </dev/null)
    cp "$dir"/*."$3" "$dist/"
    local file program=bin/name-dialogue
    file=$(echo "$dir"/*."$3")
    mkdir "$dir/unpacked"
    (cd "$dir/unpacked" && cmake -E tar xf "$file")
    [ "$3" != zip ] || program="name-dialogue.exe"
    local top=${file##*/}
    sbom "$file" "$4" "$version" "$(fact cpu "$(grep "^name=$1 " <<<"$targets")")" \
        "$dir/unpacked/${top%."$3"}" "$program" "$dir"
}

while read -r line; do
    wanted archive || continue
    target=$(fact name "$line")
    case $(fact system "$line") in
    Linux) job "archive-$target" archive "$target" TGZ tar.gz tarball ;;
    Windows) job "archive-$target" archive "$target" ZIP zip zip ;;
    *) fail "no archive for $target" ;;
    esac
done <<<"$targets"

echo "== the packages and archives, one graph run by make, a build a core"
run_graph work dist src name version debian_version dsc debian_sources nocheck as_root rpmbuild spec \
    targets host_arch host_suite runtime_packages

cd "$dist"
if [ -n "$sign" ]; then
    echo "== signatures"
    # rpm's own signature, which dnf and rpm -K check once the key is
    # imported; its time is the signing's, so a signed build differs there.
    rpmsign --addsign --define "__gpg $(command -v gpg)" --define "_gpg_name $sign" \
        --define "_gpg_digest_algo sha512" ./*.rpm 2>&1 | grep -v -e 'Could not set GPG_TTY' -e '^./.*rpm:$' || true
    for rpm in ./*.rpm; do
        rpm -qp --qf '%{SIGPGP:pgpsig}%{RSAHEADER:pgpsig}\n' "$rpm" 2>/dev/null | grep -q 'Key ID' || fail "$rpm is not signed"
    done
fi
sha256sum -- * >SHA256SUMS
if [ -n "$sign" ]; then
    gpg --batch --yes --local-user "$sign" --digest-algo SHA512 --armor \
        --detach-sign --output SHA256SUMS.asc SHA256SUMS
fi
ls
