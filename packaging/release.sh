#!/usr/bin/env bash
# Builds the release of the commit checked out into dist/: the Debian and RPM
# packages (linked dynamically), the portable Linux tarball (static), the
# Windows zip, the source tarball, and SHA256SUMS over them. Everything is
# built from the source tarball itself, so what is released is exactly the
# commit, and the same commit gives the same bytes from any folder at any time.
# Usage: packaging/release.sh   (SOURCE_DATE_EPOCH defaults to the commit's time)
set -euo pipefail
root=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
cd "$root"

fail() {
    echo "release.sh: $*" >&2
    exit 1
}
version=$(git show HEAD:CMakeLists.txt | sed -n 's/^ *VERSION \([0-9][0-9.]*\)$/\1/p' | head -n 1)
[ -n "$version" ] || fail "no version in CMakeLists.txt"
changelog=$(git show HEAD:packaging/debian/changelog | sed -n '1s/^name-dialogue (\([^)]*\)).*/\1/p')
[ "$changelog" = "$version" ] ||
    fail "packaging/debian/changelog is at version '$changelog', the project at $version"
name=name-dialogue-$version
if [ -n "$(git status --porcelain --untracked-files=no)" ]; then
    echo "release.sh: note: uncommitted changes are not part of the release" >&2
fi

export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
export TZ=UTC LC_ALL=C
umask 022
dist=$root/dist
work=$root/build-dist
rm -rf "$dist" "$work"
mkdir -p "$dist" "$work"

echo "== source tarball"
git archive --format=tar --prefix="$name/" HEAD | gzip -9n >"$dist/$name.tar.gz"
tar -xzf "$dist/$name.tar.gz" -C "$work"
src=$work/$name

# build DIR CMAKE-ARGUMENTS...: configures and builds the program alone.
build() {
    local dir=$work/$1
    shift
    cmake -S "$src" -B "$dir" -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
    cmake --build "$dir" >/dev/null
}

echo "== Debian and RPM packages"
build dynamic -DNAME_DIALOGUE_STATIC=OFF
(cd "$work/dynamic" && cpack -G "DEB;RPM" >/dev/null)
cp "$work/dynamic/name-dialogue_${version}_amd64.deb" "$work/dynamic/$name-1.x86_64.rpm" "$dist/"

echo "== Linux tarball"
build static
(cd "$work/static" && cpack -G TGZ >/dev/null)
cp "$work/static/$name-linux-x86_64.tar.gz" "$dist/"

echo "== Windows zip"
build windows --toolchain "$src/cmake/mingw-w64-x86_64.cmake"
(cd "$work/windows" && cpack -G ZIP >/dev/null)
cp "$work/windows/$name-windows-x86_64.zip" "$dist/"

cd "$dist"
sha256sum -- * >SHA256SUMS
cat SHA256SUMS
