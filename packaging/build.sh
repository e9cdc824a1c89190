#!/usr/bin/env bash
# One step of the release's build graph (packaging/release.mk), from the
# unpacked source tarball SRC into the release DIST, working in WORK:
#   dsc           the Debian source package
#   srpm          the source RPM
#   deb TARGET    the .deb of TARGET, with its -dbgsym and .buildinfo
#   rpm TARGET    the .rpm of TARGET
#   archive TARGET  the static program of TARGET, packed by CPack
#   msi TARGET    the Windows Installer package of TARGET's archive
# and beside each .deb, .rpm, archive and .msi its CycloneDX SBOM,
# ARTIFACT.cdx.json. packaging/release.sh exports what it reads: SRC, WORK,
# DIST, VERSION, DEBIAN_VERSION, NOCHECK (true or false) and
# SOURCE_DATE_EPOCH.
# Usage: packaging/build.sh STEP [TARGET]
# shellcheck source=packaging/lib.sh
. "$(dirname "$0")/lib.sh"
# shellcheck source=packaging/chroot.sh
. "$root/packaging/chroot.sh"
step=${1:-} target=${2:-}
name=name-dialogue-$VERSION
dsc=name-dialogue_$DEBIAN_VERSION.dsc
debian_sources=("$dsc" "name-dialogue_$VERSION.orig.tar.gz" "name-dialogue_$DEBIAN_VERSION.debian.tar.xz")
if [ -n "$target" ]; then
    row=$(target_where name "$target" triplet archive deb_arch deb_suite rpm_arch system)
    [ -n "$row" ] || fail "no target $target in cmake/targets.tsv"
    IFS=$'\t' read -r triplet archive deb_arch deb_suite rpm_arch system <<<"$row"
fi
# Archives and the source RPM record the owner of their files: as root, so
# that a normal user's build gives the same bytes as root's.
as_root=()
if [ "$(id -u)" -ne 0 ]; then
    command -v fakeroot >/dev/null || fail "a build as a normal user needs fakeroot, for the archives' owners"
    as_root=(fakeroot)
fi
# Debian's rpm has an empty database, so the build dependencies cannot be
# checked; the same bytes come from any folder and any host.
rpmbuild=(rpmbuild --nodeps --quiet
    --define "packager name-dialogue developers <name-dialogue@example.org>"
    --define "_buildhost reproducible"
    --define "source_date_epoch_from_changelog 0"
    --define "use_source_date_epoch_as_buildtime 1"
    --define "clamp_mtime_to_source_date_epoch 1"
    --define "_build_id_links none")
! $NOCHECK || rpmbuild+=(--nocheck)
spec=$SRC/packaging/rpm/name-dialogue.spec

# sbom ARTIFACT FORMAT VERSION ARCH UNPACKED INSIDE BUILD [DEPENDS]: the SBOM
# of ARTIFACT beside it in DIST, from its program as unpacked and the
# records its build left in BUILD; DEPENDS, a file, names what it needs.
sbom() {
    local runtimes=() depends=()
    [ ! -f "$7/runtimes.facts" ] || runtimes=(--runtimes "$7/runtimes.facts")
    [ -z "${8:-}" ] || depends=(--depends "$8")
    python3 "$SRC/packaging/sbom.py" --artifact "$1" --format "$2" --version "$3" --arch "$4" \
        --program "$5/$6" --inside "$6" "${runtimes[@]}" --toolchain "$7/toolchain.facts" \
        "${depends[@]}" --output "$DIST/${1##*/}.cdx.json"
}

case $step in
dsc)
    mkdir "$WORK/debian"
    cp "$DIST/$name.tar.gz" "$WORK/debian/name-dialogue_$VERSION.orig.tar.gz"
    tar -xzf "$DIST/$name.tar.gz" -C "$WORK/debian"
    cp -r "$SRC/packaging/debian" "$WORK/debian/$name/debian"
    (cd "$WORK/debian" && dpkg-source -b "$name" >/dev/null && cp "${debian_sources[@]}" "$DIST/")
    ;;
srpm)
    # A source RPM keeps its spec as parsed, with the folders it was made
    # in: they are named relative to the top folder, so that any clone
    # gives one.
    mkdir -p "$WORK/rpm/SOURCES"
    cp "$DIST/$name.tar.gz" "$WORK/rpm/SOURCES/"
    (cd "$WORK/rpm" && "${as_root[@]}" "${rpmbuild[@]}" --define "_topdir ." -bs "$spec" >/dev/null)
    cp "$WORK/rpm"/SRPMS/*.src.rpm "$DIST/"
    ;;
deb)
    # Natively with the package's tests, or cross without them, as Debian
    # does; a target of another Debian suite in a chroot of that suite.
    options=(-us -uc -b) top=$WORK/deb-$deb_arch run=() jail=""
    if [ "$deb_arch" != "$host_arch" ]; then
        options+=(-a "$deb_arch" "-Pcross,nocheck")
    elif $NOCHECK; then
        options+=(-Pnocheck)
    fi
    if other_suite "$deb_suite"; then
        jail=$(chroot_for "$deb_suite" "$deb_arch")
        top=$jail/build-$DEBIAN_VERSION
        run=(chroot "$jail" env SOURCE_DATE_EPOCH="$SOURCE_DATE_EPOCH" TZ=UTC LC_ALL=C.UTF-8)
    fi
    rm -rf "$top"
    mkdir -p "$top"
    (cd "$WORK/debian" && cp "${debian_sources[@]}" "$top/")
    build_options=${DEB_BUILD_OPTIONS:-}
    ! $NOCHECK || build_options="$build_options nocheck"
    "${run[@]}" env DEB_BUILD_OPTIONS="${build_options# }" sh -c "cd '${top#"$jail"}' &&
        dpkg-source -x '$dsc' source >/dev/null 2>&1 && cd source &&
        dpkg-checkbuilddeps ${options[*]:3} && dpkg-buildpackage ${options[*]}"
    cp "$top"/*.deb "$top"/*.buildinfo "$DIST/"
    deb=$top/name-dialogue_${DEBIAN_VERSION}_$deb_arch.deb
    dpkg-deb -x "$deb" "$top/unpacked"
    # One requirement a line, as "NAME" or "NAME OP VERSION".
    dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed 's/^ *//; s/ *$//; s/ *(\([<>=]*\) *\([^)]*\))/ \1 \2/' \
        >"$top/depends"
    ! grep -q '|' "$top/depends" || fail "alternatives in Depends have no SBOM form"
    sbom "$deb" deb "$DEBIAN_VERSION" "$deb_arch" "$top/unpacked" usr/bin/name-dialogue \
        "$(dirname "$(echo "$top"/source/obj-*/toolchain.facts)")" "$top/depends"
    ;;
rpm)
    topdir=$WORK/rpm-$rpm_arch cross=()
    if [ "$rpm_arch" != "$(rpm --eval '%{_host_cpu}')" ]; then
        cross=(--target "$rpm_arch" --define "name_dialogue_target $target"
            --define "__strip $triplet-strip" --define "__objdump $triplet-objdump")
    fi
    mkdir -p "$topdir/SOURCES"
    cp "$DIST/$name.tar.gz" "$topdir/SOURCES/"
    "${rpmbuild[@]}" --define "_topdir $topdir" "${cross[@]}" \
        --define "build_cxxflags %{optflags} -ffile-prefix-map=$topdir=." --noclean -bb "$spec"
    cp "$topdir/RPMS/$rpm_arch"/*.rpm "$DIST/"
    rpm=$(echo "$topdir/RPMS/$rpm_arch/$name-"*".$rpm_arch.rpm")
    mkdir "$topdir/unpacked"
    (cd "$topdir/unpacked" && rpm2cpio "$rpm" | cpio -idm --quiet)
    rpm -qp --requires "$rpm" | sed 's/ *$//' >"$topdir/depends"
    release=${rpm##*/"$name"-}
    sbom "$rpm" rpm "$VERSION-${release%%."$rpm_arch".rpm}" "$rpm_arch" "$topdir/unpacked" \
        usr/bin/name-dialogue "$topdir/BUILD/$name/build" "$topdir/depends"
    ;;
archive)
    dir=$WORK/$target format=tarball generator=TGZ extension=tar.gz program=bin/name-dialogue
    [ "$system" != Windows ] || format=zip generator=ZIP extension=zip program=name-dialogue.exe
    cmake -S "$SRC" -B "$dir" -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=Release \
        --toolchain "$SRC/cmake/toolchain.cmake" -DNAME_DIALOGUE_TARGET="$target" </dev/null
    cmake --build "$dir" </dev/null
    (cd "$dir" && "${as_root[@]}" cpack -G "$generator" </dev/null)
    file=$(echo "$dir"/*."$extension")
    cp "$file" "$DIST/"
    mkdir "$dir/unpacked"
    (cd "$dir/unpacked" && cmake -E tar xf "$file")
    sbom "$file" "$format" "$VERSION" "${archive#*-}" "$dir/unpacked/$name-$archive" "$program" "$dir"
    ;;
msi)
    # wixl writes the clock's time into the package and the files' into its
    # cabinet; both are the release's time. Its codes follow the version.
    folder=$WORK/$target/unpacked/$name-$archive msi=$DIST/$name-$archive.msi
    touch -d "@$SOURCE_DATE_EPOCH" "$folder"/*
    code() {
        python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.UUID(sys.argv[1]), sys.argv[2])).upper())' \
            FECD2555-4DD0-4979-AC63-FE0F53F9E7B7 "$1 $VERSION"
    }
    (cd "$folder" && faketime "$(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S')" wixl -a x64 \
        -D Version="$VERSION" -D ProductCode="$(code product)" -D PackageCode="$(code package)" -D Folder=. \
        -o "$msi" "$SRC/packaging/msi/name-dialogue.wxs")
    # The installer's folder appended to the system PATH, and taken out on
    # removal, which wixl has no element for.
    msibuild "$msi" -s "name-dialogue $VERSION" "the name-dialogue developers" "x64;1033" "{$(code package)}"
    # shellcheck disable=SC2016 # the backquotes are SQL's
    msibuild "$msi" -q 'CREATE TABLE `Environment` (`Environment` CHAR(72) NOT NULL, `Name` CHAR(255) NOT NULL LOCALIZABLE,
            `Value` CHAR(255) LOCALIZABLE, `Component_` CHAR(72) NOT NULL PRIMARY KEY `Environment`)' \
        -q "INSERT INTO \`Environment\` (\`Environment\`, \`Name\`, \`Value\`, \`Component_\`)
            VALUES ('PATH', '=-*PATH', '[~];[INSTALLDIR]', 'Program')" \
        -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('RemoveEnvironmentStrings', 3300)" \
        -q "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('WriteEnvironmentStrings', 5200)"
    sbom "$msi" msi "$VERSION" "${archive#*-}" "$folder" name-dialogue.exe "$WORK/$target"
    ;;
*) usage ;;
esac
