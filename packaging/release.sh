#!/usr/bin/env bash
# Builds the release of the commit checked out into dist/: the source
# tarball; for each Linux target declared in cmake/targets/ a tarball of the
# static program; the Windows zip; the Debian and RPM packages (linked
# dynamically); and SHA256SUMS over them. Everything is built from the source
# tarball itself, so what is released is exactly the commit, and the same
# commit gives the same bytes from any folder at any time.
# Usage: packaging/release.sh   (SOURCE_DATE_EPOCH defaults to the commit's time)
set -euo pipefail
root=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
cd "$root"

fail() {
    echo "release.sh: $*" >&2
    exit 1
}
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
git archive --format=tar HEAD | tar -xf - -C "$work/commit"
cmake -S "$work/commit" -B "$work/names" -DBUILD_TESTING=OFF -DNAME_DIALOGUE_STATIC=OFF >/dev/null
version=$(cpack_value "$work/names/CPackConfig.cmake" CPACK_PACKAGE_VERSION)
name=$(cpack_value "$work/names/CPackSourceConfig.cmake" CPACK_SOURCE_PACKAGE_FILE_NAME)
{ [ -n "$version" ] && [ -n "$name" ]; } || fail "CMake names no version"
changelog=$(sed -n '1s/^name-dialogue (\([^)-]*\).*/\1/p' "$work/commit/packaging/debian/changelog")
[ "$changelog" = "$version" ] ||
    fail "packaging/debian/changelog is at version '$changelog', the project at $version"

echo "== source tarball"
git archive --format=tar --prefix="$name/" HEAD | gzip -9n >"$dist/$name.tar.gz"
tar -xzf "$dist/$name.tar.gz" -C "$work"
src=$work/$name

# package DIR GENERATOR CMAKE-ARGUMENTS...: configures and builds the program
# alone in DIR, then packs it and copies what CPack made into dist/.
package() {
    local dir=$work/$1 generator=$2
    shift 2
    cmake -S "$src" -B "$dir" -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=Release "$@" </dev/null >/dev/null
    cmake --build "$dir" </dev/null >/dev/null
    (cd "$dir" && cpack -G "$generator" </dev/null >/dev/null)
    local made=("$dir"/*.deb "$dir"/*.rpm "$dir"/*.tar.gz "$dir"/*.zip)
    cp "${made[@]}" "$dist/"
    printf '%s\n' "${made[@]##*/}"
}
shopt -s nullglob

echo "== Linux tarballs and the Windows zip"
targets=$(cmake -P "$src/cmake/targets.cmake")
while read -r target system _; do
    case $system in
    Linux) generator=TGZ ;;
    Windows) generator=ZIP ;;
    *) fail "no archive for $system" ;;
    esac
    package "$target" "$generator" --toolchain "$src/cmake/targets/$target.cmake"
done <<<"$targets"

echo "== Debian and RPM packages"
package dynamic "DEB;RPM" -DNAME_DIALOGUE_STATIC=OFF

cd "$dist"
sha256sum -- * >SHA256SUMS
cat SHA256SUMS
