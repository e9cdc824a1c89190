#!/usr/bin/env bash
# Checks what packaging/release.sh put in dist/, as a user and a distribution
# would: that SHA256SUMS lists every file; lintian and rpmlint on every
# package; each package's metadata and files; and the released test suite
# against the program of every artifact that no package build tested, under
# its target's emulator. Installs and removes this machine's .deb with dpkg,
# and runs autopkgtest in a testbed of its own, so it is for a machine of
# one's own or CI, as root. It takes
# the release for one built with its tests; packaging/verify.sh rebuilds it.
# Usage: packaging/check-release.sh [--repeat N] [--key KEYFILE] [DIST]
#   --repeat N     run the tests that meet another process's timing N times
#                  more against the programs of one emulated target and Windows
#   --key KEYFILE  the public key that signed the release, which a signed
#                  release needs: SHA256SUMS.asc and every .rpm must verify
# shellcheck source=packaging/lib.sh
. "$(dirname "$0")/lib.sh"
repeat=0 key=""
while [ $# -gt 1 ]; do
    case $1 in
    --repeat) repeat=$2 ;;
    --key) key=$(realpath "$2") ;;
    *) break ;;
    esac
    shift 2
done
dist=$(realpath "${1:-$root/dist}")
cd "$root"
export LC_ALL=C
# The static programs of one target under qemu and one under Wine stand
# for their kind.
repeat_targets=$'linux-arm64\nwindows'
# shellcheck source=packaging/chroot.sh
. packaging/chroot.sh
# shellcheck source=packaging/targets.sh
. packaging/targets.sh
[ -f "$dist/SHA256SUMS" ] || fail "no $dist/SHA256SUMS; run packaging/release.sh first"
# Every artifact is named once, by the build that made it; SHA256SUMS lists
# each file of the release but itself and its signature.
artifacts=$(awk '{ print $2 }' "$dist/SHA256SUMS")
(cd "$dist" && find . -maxdepth 1 -type f ! -name SHA256SUMS ! -name SHA256SUMS.asc -printf '%P\n' | sort) |
    diff - <(sort <<<"$artifacts") ||
    fail "SHA256SUMS does not list exactly the release's files"
only() {
    grep -x "$1" <<<"$artifacts" || fail "SHA256SUMS lists no $1"
}
release_of "$dist/SHA256SUMS"
name=${tarball%.tar.gz}
dsc=$(only "name-dialogue_$version-[0-9]*\.dsc")
debian_version=${dsc#name-dialogue_}
debian_version=${debian_version%.dsc}
only "name-dialogue-$version-[0-9]*\.src\.rpm" >/dev/null
# lint_debian FILE...: lintian, as pedantic as it goes, must say nothing. Its
# note about running as root goes to standard error, not a tag; it exits
# non-zero on an error tag, which must not stop the script before the tags
# are shown.
lint_debian() {
    local tags
    if ! tags=$(lintian --pedantic --display-info --display-experimental "$@") || [ -n "$tags" ]; then
        fail "lintian: $tags"
    fi
}

# lint_rpm FILE...: rpmlint may report only what needs a web site, the
# signature (missing where the release is unsigned, by a key its rpm database
# cannot know where it is signed: that is checked below), and one fault of
# rpmlint 2.4's own: it compares each program with the sections of the
# manual pages, "1", rather than their names, so every program is reported
# as having no manual page.
lint_rpm() {
    local report allowed='W: no-url-tag|W: invalid-url Source0: .*|W: no-manual-page-for-binary name-dialogue'
    if [ -f "$dist/SHA256SUMS.asc" ]; then
        allowed="$allowed|E: unknown-key [0-9a-f]+"
    else
        allowed="$allowed|E: no-signature"
    fi
    report=$(rpmlint -c "$root/packaging/rpmlint.toml" "$@" 2>&1 || true)
    grep -q 'checked;' <<<"$report" || fail "rpmlint did not run: $report"
    if grep -E ': [WE]: ' <<<"$report" | grep -vE ": ($allowed)\$"; then
        fail "rpmlint: $report"
    fi
}

# suite NAME TARGET PROGRAM [MANPAGE [EMULATOR...]]: adds the job NAME to the
# graph that runs at the end, a suite a core: the released source's whole
# test suite must pass against PROGRAM, run as the declared TARGET's
# programs are run here, or by EMULATOR; where repeating is set for the call
# alone (repeating=1 suite ...), the tests that meet another process's
# timing run again.
suite() {
    local emulator
    emulator=$(IFS=';' && echo "${*:5}")
    job "$1" run_suite "$2" "$3" "${4:-}" "$emulator" "$tmp/suites/$1" "${repeating:-}"
}
mkdir "$tmp/suites"
run_suite() {
    echo "-- the suite against $2"
    if ! cmake -S "$source/tests" -B "$5" -DNAME_DIALOGUE_TARGET="$1" \
        -DNAME_DIALOGUE_PROGRAM="$2" -DNAME_DIALOGUE_MANPAGE="$3" \
        -DNAME_DIALOGUE_TEST_EMULATOR="$4" >"$5.log" 2>&1 ||
        ! ctest --test-dir "$5" --output-on-failure -j "$(nproc)" >>"$5.log" 2>&1; then
        cat "$5.log"
        echo "the test suite fails against $2"
        return 1
    fi
    grep -E 'tests passed|\(Skipped\)' "$5.log"
    if [ "$repeat" -gt 0 ] && [ -n "$6" ]; then
        repeat_timing "$5" "$repeat"
    fi
}
# The fields of an ELF header that tell the architecture and its ABI, which
# must be those of a program the target's compiler links.
header() {
    readelf -h "$1" | grep -E '^ *(Class|Data|Machine|Flags):'
}
# of_target PROGRAM TRIPLET; the probe is linked once for each triplet.
of_target() {
    local probe=$tmp/probe-$2
    [ -f "$probe" ] || echo 'int main(void) { return 0; }' | "$2-gcc" -static -x c -o "$probe" -
    [ "$(header "$1")" = "$(header "$probe")" ] || fail "$1 is not for $2: $(header "$1")"
}

echo "== source tarball: exactly the tracked files"
mkdir "$tmp/source"
tar -xzf "$dist/$name.tar.gz" -C "$tmp/source"
source=$tmp/source/$name
git ls-files | sort >"$tmp/tracked"
(cd "$source" && find . -type f | sed 's|^\./||' | sort) | diff "$tmp/tracked" - ||
    fail "the source tarball is not exactly the tracked files"

# Queries of a signed .rpm know its key.
rpmq=(rpm)
if [ -f "$dist/SHA256SUMS.asc" ]; then
    rpmq=(rpm --dbpath "$tmp/rpmdb")
    echo "== signatures: SHA256SUMS.asc and every .rpm, by the release's key"
    [ -n "$key" ] || fail "the release is signed: give its public key with --key"
    gpg --batch --dearmor <"$key" >"$tmp/key.gpg" 2>/dev/null || cp "$key" "$tmp/key.gpg"
    gpgv --keyring "$tmp/key.gpg" "$dist/SHA256SUMS.asc" "$dist/SHA256SUMS" 2>/dev/null ||
        fail "SHA256SUMS.asc is not a good signature by $key"
    mkdir "$tmp/rpmdb"
    rpm --dbpath "$tmp/rpmdb" --import "$key"
    for rpm in "$dist"/*.rpm; do
        rpm --dbpath "$tmp/rpmdb" -K "$rpm" | grep -q ': digests signatures OK$' ||
            fail "rpm -K: $(rpm --dbpath "$tmp/rpmdb" -K "$rpm")"
    done
    echo "SHA256SUMS.asc and $(find "$dist" -maxdepth 1 -name '*.rpm' | wc -l) .rpms verified"
fi

# autopkgtest spends its time in apt, so it runs beside the checks below, in
# a throwaway testbed unpacked from a clean system: this machine's apt and
# what it has installed play no part.
for ids in subuid subgid; do
    grep -qs "^$(id -un):" "/etc/$ids" ||
        fail "autopkgtest's testbed needs subordinate ids: usermod --add-${ids}s 100000-165535 $(id -un)"
done
testbed=$(clean_system "$host_suite")
(
    status=0
    autopkgtest "$dist/name-dialogue_${debian_version}_$host_arch.deb" "$dist/$dsc" -- \
        unshare --tarball "$testbed" >"$tmp/autopkgtest.log" 2>&1 || status=$?
    echo "$status" >"$tmp/autopkgtest.status"
) &
autopkgtest=$!

echo "== lintian on the source package and every .deb, rpmlint on the spec and every .rpm"
lint_debian "$dist/$dsc" "$dist"/*.deb
lint_rpm "$source/packaging/rpm/name-dialogue.spec" "$dist"/*.rpm

echo "== SBOMs: valid CycloneDX 1.6 by the CycloneDX library's strict validator"
modules=${NAME_DIALOGUE_NODE_MODULES:-$root/build-npm/node_modules}
[ -d "$modules/@cyclonedx/cyclonedx-library" ] ||
    fail "no CycloneDX library in $modules: npm install --prefix ${modules%/node_modules} @cyclonedx/cyclonedx-library ajv ajv-formats ajv-formats-draft2019"
(cd "$dist" && NODE_PATH=$modules node "$root/packaging/validate-sbom.js" ./*.cdx.json) >"$tmp/sboms" ||
    { cat "$tmp/sboms"; fail "an SBOM is not valid CycloneDX 1.6"; }
wc -l <"$tmp/sboms"
# has_sbom ARTIFACT PROGRAM [NOTICES]: the artifact's SBOM must name the
# program's true hash and, for a static one, runtimes, each at a version
# that NOTICES gives.
has_sbom() {
    local facts name version
    facts=$(grep "^\./${1##*/}\.cdx\.json " "$tmp/sboms") || fail "${1##*/} has no SBOM"
    grep -q " program=$(sha256sum <"$2" | cut -d ' ' -f 1) " <<<"$facts" ||
        fail "${1##*/}.cdx.json does not hold the hash of its program: $facts"
    [ -n "${3:-}" ] || return 0
    grep -q ' runtimes=[^ ]' <<<"$facts" || fail "${1##*/}.cdx.json names no runtime: $facts"
    while IFS=@ read -r name version; do
        grep -q ", version $version\$" "$3" || fail "${1##*/}.cdx.json names $name $version, a version NOTICES does not give"
    done < <(tr ',' '\n' <<<"${facts##* runtimes=}")
}

# The longest suite, Wine's with its repeats, starts first.
echo "== Windows zip: the whole suite under Wine"
mkdir "$tmp/windows"
(cd "$tmp/windows" && cmake -E tar xf "$dist/$name-windows-x86_64.zip")
unpacked=$tmp/windows/$name-windows-x86_64
{ [ -f "$unpacked/LICENSE" ] && grep -q 'MinGW-w64 runtime, version' "$unpacked/NOTICES"; } ||
    fail "the zip lacks LICENSE or NOTICES"
has_sbom "$dist/$name-windows-x86_64.zip" "$unpacked/name-dialogue.exe" "$unpacked/NOTICES"
repeating=$(grep -xF windows <<<"$repeat_targets" || true) suite suite-zip windows "$unpacked/name-dialogue.exe"

# The programs of the .rpms ran the suite in %check as they were built, on
# the libraries this machine's cross toolchains carry; the native .deb's as
# it was built, and again in autopkgtest.
echo "== each Linux target's .deb, .rpm and tarball: metadata, files, and the suite against each program"
tarballs=0
while read -r line; do
    [ "$(fact system "$line")" = Linux ] || continue
    target=$(fact name "$line") triplet=$(fact triplet "$line") arch=$(fact deb_arch "$line")
    deb=$dist/$(only "name-dialogue_${debian_version}_$arch\.deb")
    only "name-dialogue-dbgsym_${debian_version}_$arch\.deb" >/dev/null
    only "name-dialogue_${debian_version}_$arch\.buildinfo" >/dev/null
    echo "-- ${deb##*/}"
    depends=$(dpkg-deb -f "$deb" Depends)
    for package in "${runtime_packages[@]}"; do
        sed 's/ *([^)]*)//g; s/, */\n/g' <<<"$depends" | grep -qxF "$package" ||
            fail "${deb##*/} does not depend on $package: $depends"
    done
    ! grep -q -- '-cross' <<<"$depends" || fail "${deb##*/} depends on a cross package: $depends"
    mkdir "$tmp/deb-$arch"
    dpkg-deb -x "$deb" "$tmp/deb-$arch"
    program=$tmp/deb-$arch/usr/bin/name-dialogue
    of_target "$program" "$triplet"
    has_sbom "$deb" "$program"
    # A foreign program runs on the Debian libraries it depends on: those of
    # its suite's chroot, or those multiarch installed here.
    if [ "$arch" != "$host_arch" ]; then
        suite=$(fact deb_suite "$line")
        emulator=$(fact emulator "$line")
        run=()
        if other_suite "$suite"; then
            run=("${emulator%%,*}" -L "$(chroot_for "$suite" "$arch")")
        elif [ -n "$emulator" ]; then
            run=("${emulator%%,*}")
        fi
        suite "suite-deb-$arch" "$target" "$program" "$tmp/deb-$arch/usr/share/man/man1/name-dialogue.1.gz" "${run[@]}"
    fi

    rpm_arch=$(fact rpm_arch "$line")
    if [ -n "$rpm_arch" ]; then
        rpm=$dist/$(only "name-dialogue-$version-[0-9]*\.$rpm_arch\.rpm")
        echo "-- ${rpm##*/}"
        info=$("${rpmq[@]}" -qpi "$rpm")
        for field in 'License *: MIT' 'Summary *: Ask for'; do
            grep -q "^$field" <<<"$info" || fail "rpm -qpi ${rpm##*/} has no '$field'"
        done
        ! grep -q '^Relocations' <<<"$info" || fail "${rpm##*/} is relocatable"
        "${rpmq[@]}" -qpl "$rpm" | sed 's|/licenses/name-dialogue[^/]*|/licenses/NAME|' >"$tmp/rpm-files"
        printf '%s\n' /usr/bin/name-dialogue /usr/share/licenses/NAME /usr/share/licenses/NAME/LICENSE \
            /usr/share/man/man1/name-dialogue.1.gz | diff - "$tmp/rpm-files" || fail "${rpm##*/} owns other files"
        "${rpmq[@]}" -qp --qf '[%{FILEFLAGS:fflags} %{FILENAMES}\n]' "$rpm" | grep -q '^l .*/LICENSE$' ||
            fail "${rpm##*/} does not mark LICENSE as %license"
        "${rpmq[@]}" -qpR "$rpm" | grep -q '^libstdc++.so.6' || fail "${rpm##*/} does not require libstdc++"
        mkdir "$tmp/rpm-$rpm_arch"
        (cd "$tmp/rpm-$rpm_arch" && rpm2cpio "$rpm" 2>/dev/null | cpio -idm --quiet)
        of_target "$tmp/rpm-$rpm_arch/usr/bin/name-dialogue" "$triplet"
        has_sbom "$rpm" "$tmp/rpm-$rpm_arch/usr/bin/name-dialogue"
    fi

    archive=$name-linux-$(fact cpu "$line")
    only "$archive\.tar\.gz" >/dev/null
    echo "-- $archive.tar.gz"
    mkdir "$tmp/tar-$target"
    tar -xzf "$dist/$archive.tar.gz" -C "$tmp/tar-$target"
    unpacked=$tmp/tar-$target/$archive
    program=$unpacked/bin/name-dialogue
    ! readelf -lW "$program" | grep -q 'program interpreter' || fail "$archive: the program is not static"
    of_target "$program" "$triplet"
    doc=$unpacked/share/doc/name-dialogue
    cmp -s "$source/LICENSE" "$doc/LICENSE" || fail "$archive: LICENSE differs from the source's"
    for notice in 'GNU C Library, version [0-9]' 'GCC runtime libraries: libstdc++, libgcc, version [0-9]' \
        "Corresponding source: Debian's source package glibc " "apt-get source glibc="; do
        grep -q "$notice" "$doc/NOTICES" || fail "$archive: NOTICES lacks '$notice'"
    done
    has_sbom "$dist/$archive.tar.gz" "$program" "$doc/NOTICES"
    repeating=$(grep -xF "$target" <<<"$repeat_targets" || true) \
        suite "suite-$archive" "$target" "$program" "$unpacked/share/man/man1/name-dialogue.1.gz"
    tarballs=$((tarballs + 1))
done <<<"$targets"
[ "$tarballs" -eq "$(only '.*-linux-.*\.tar\.gz' | wc -l)" ] || fail "a tarball has no declared target"
native=$(grep -E " processor=$(uname -m) " <<<"$targets" | grep ' system=Linux ' | sed -n 1p)
dialogue env -i "$tmp/tar-$(fact name "$native")/$name-linux-$(fact cpu "$native")/bin/name-dialogue"

echo "== $host_arch .deb: install, run, manual page, autopkgtest, remove"
deb=$dist/name-dialogue_${debian_version}_$host_arch.deb
dpkg-deb --contents "$deb" | awk '{ print $6 }' | sort >"$tmp/deb-files"
printf '%s\n' ./ ./usr/ ./usr/bin/ ./usr/bin/name-dialogue ./usr/share/ ./usr/share/doc/ \
    ./usr/share/doc/name-dialogue/ ./usr/share/doc/name-dialogue/changelog.Debian.gz \
    ./usr/share/doc/name-dialogue/copyright ./usr/share/lintian/ ./usr/share/lintian/overrides/ \
    ./usr/share/lintian/overrides/name-dialogue ./usr/share/man/ ./usr/share/man/man1/ \
    ./usr/share/man/man1/name-dialogue.1.gz | sort | diff - "$tmp/deb-files" ||
    fail "the .deb holds other files"
wait "$autopkgtest" || true
[ "$(cat "$tmp/autopkgtest.status")" = 0 ] || { cat "$tmp/autopkgtest.log"; fail "autopkgtest failed"; }
grep -E '^suite +PASS' "$tmp/autopkgtest.log" | tail -n 1 || fail "autopkgtest did not pass: $(cat "$tmp/autopkgtest.log")"
dpkg -i "$deb" >"$tmp/dpkg.log" 2>&1 || { cat "$tmp/dpkg.log"; fail "dpkg -i ${deb##*/} failed"; }
dialogue /usr/bin/name-dialogue
man -w name-dialogue >/dev/null || fail "man cannot find name-dialogue(1)"
dpkg -r name-dialogue >/dev/null
for path in /usr/bin/name-dialogue /usr/share/doc/name-dialogue /usr/share/man/man1/name-dialogue.1.gz; do
    [ ! -e "$path" ] || fail "$path is left after dpkg -r"
done

echo "== the test suites, one graph run by make, a suite a core"
run_graph source repeat
cat "$tmp"/suite-*.log
