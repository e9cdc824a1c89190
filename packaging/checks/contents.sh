#!/usr/bin/env bash
# Checks of a release's artifacts, as a user and a distribution meet them:
#   unpack DIST DIR LIST     every artifact unpacked into DIR/ARTIFACT/;
#                            DIST and its SHA256SUMS hold exactly the files
#                            that LIST names, a line each
#   signature DIST KEYFILE   SHA256SUMS.asc and every .rpm, by the key
#   deb FILE DIR TRIPLET     a .deb's files, dependencies, program and SBOM
#   rpm FILE DIR TRIPLET     an .rpm's metadata, files, program and SBOM
#   tarball FILE DIR TRIPLET a static program's tarball: static, LICENSE,
#                            NOTICES, SBOM
#   zip FILE DIR             the Windows zip: LICENSE, NOTICES, SBOM
#   msi FILE DIR ZIPDIR      the Windows Installer package: the files of
#                            the zip, unpacked in ZIPDIR; the PATH entry;
#                            SBOM
# DIR is where unpack put the artifact.
# Usage: packaging/checks/contents.sh CHECK ARGUMENT...
# shellcheck source=packaging/lib.sh
. "$(dirname "$0")/../lib.sh"
export LC_ALL=C
check=${1:-}
[ $# -ge 3 ] || usage

# The fields of an ELF header that tell the architecture and its ABI, which
# must be those of a program the target's compiler links.
header() {
    readelf -h "$1" | grep -E '^ *(Class|Data|Machine|Flags):'
}
of_target() {
    echo 'int main(void) { return 0; }' | "$2-gcc" -static -x c -o "$tmp/probe" -
    [ "$(header "$1")" = "$(header "$tmp/probe")" ] || fail "$1 is not for $2: $(header "$1")"
}
# has_sbom ARTIFACT PROGRAM [NOTICES]: the artifact's SBOM must name the
# program's true hash and, for a static one, runtimes, each at a version
# that NOTICES gives.
has_sbom() {
    python3 -c 'import json, sys
program = [c for c in json.load(open(sys.argv[1]))["components"] if c["bom-ref"] == "program"][0]
print(program["hashes"][0]["content"])
for runtime in program.get("components", []):
    print(runtime["name"], runtime.get("version", "?"))' "$1.cdx.json" >"$tmp/sbom" || fail "${1##*/} has no SBOM"
    [ "$(sed -n 1p "$tmp/sbom")" = "$(sha256sum <"$2" | cut -d ' ' -f 1)" ] ||
        fail "${1##*/}.cdx.json does not hold the hash of its program"
    [ -n "${3:-}" ] || return 0
    [ "$(wc -l <"$tmp/sbom")" -gt 1 ] || fail "${1##*/}.cdx.json names no runtime"
    while read -r name version; do
        grep -q ", version $version\$" "$3" ||
            fail "${1##*/}.cdx.json names $name $version, a version NOTICES does not give"
    done < <(sed 1d "$tmp/sbom")
}

case $check in
unpack)
    [ $# -eq 4 ] || usage
    sort "$4" >"$tmp/listed"
    # against FILES WHERE: the listed files that FILES lacks, and those it
    # holds beyond them.
    against() {
        comm -23 "$tmp/listed" "$1" | while read -r file; do echo "$file: listed, but not in $2"; done
        comm -13 "$tmp/listed" "$1" | while read -r file; do echo "$file: in $2, but not listed"; done
    }
    (cd "$2" && find . -maxdepth 1 -type f ! -name SHA256SUMS ! -name SHA256SUMS.asc -printf '%P\n') |
        sort >"$tmp/held"
    awk '{ print $2 }' "$2/SHA256SUMS" | sort >"$tmp/summed"
    { against "$tmp/held" "$2"; against "$tmp/summed" SHA256SUMS; } >"$tmp/wrong"
    [ ! -s "$tmp/wrong" ] || { cat "$tmp/wrong"; fail "$2 is not the release that release.sh --list names"; }
    rm -rf "$3"
    while read -r _ file; do
        mkdir -p "$3/$file"
        case $file in
        *.deb) dpkg-deb -x "$2/$file" "$3/$file" ;;
        *.src.rpm) ;;
        *.rpm) (cd "$3/$file" && rpm2cpio "$2/$file" | cpio -idm --quiet) ;;
        *.tar.gz | *.zip) (cd "$3/$file" && cmake -E tar xf "$2/$file") ;;
        *.msi) msiextract -C "$3/$file" "$2/$file" >/dev/null ;;
        esac
    done <"$2/SHA256SUMS"
    ;;
signature)
    [ -n "$3" ] || fail "the release is signed: give its public key (KEY)"
    verify_sums "$3" "$2"
    mkdir "$tmp/rpmdb"
    rpm --dbpath "$tmp/rpmdb" --import "$3"
    for rpm in "$2"/*.rpm; do
        rpm --dbpath "$tmp/rpmdb" -K "$rpm" | grep ': digests signatures OK$' || fail "rpm -K: $(rpm -K "$rpm")"
    done
    ;;
deb)
    depends=$(dpkg-deb -f "$2" Depends)
    for package in "${runtime_packages[@]}"; do
        sed 's/ *([^)]*)//g; s/, */\n/g' <<<"$depends" | grep -qxF "$package" ||
            fail "${2##*/} does not depend on $package: $depends"
    done
    ! grep -q -- '-cross' <<<"$depends" || fail "${2##*/} depends on a cross package: $depends"
    dpkg-deb --contents "$2" | awk '{ print $6 }' | sort >"$tmp/files"
    printf '%s\n' ./ ./usr/ ./usr/bin/ ./usr/bin/name-dialogue ./usr/share/ ./usr/share/doc/ \
        ./usr/share/doc/name-dialogue/ ./usr/share/doc/name-dialogue/changelog.Debian.gz \
        ./usr/share/doc/name-dialogue/copyright ./usr/share/lintian/ ./usr/share/lintian/overrides/ \
        ./usr/share/lintian/overrides/name-dialogue ./usr/share/man/ ./usr/share/man/man1/ \
        ./usr/share/man/man1/name-dialogue.1.gz | sort | diff - "$tmp/files" || fail "${2##*/} holds other files"
    of_target "$3/usr/bin/name-dialogue" "$4"
    has_sbom "$2" "$3/usr/bin/name-dialogue"
    ;;
rpm)
    info=$(rpm -qpi "$2" 2>/dev/null)
    for field in 'License *: MIT' 'Summary *: Ask for'; do
        grep -q "^$field" <<<"$info" || fail "rpm -qpi ${2##*/} has no '$field'"
    done
    ! grep -q '^Relocations' <<<"$info" || fail "${2##*/} is relocatable"
    rpm -qpl "$2" 2>/dev/null | sed 's|/licenses/name-dialogue[^/]*|/licenses/NAME|' >"$tmp/files"
    printf '%s\n' /usr/bin/name-dialogue /usr/share/licenses/NAME /usr/share/licenses/NAME/LICENSE \
        /usr/share/man/man1/name-dialogue.1.gz | diff - "$tmp/files" || fail "${2##*/} owns other files"
    rpm -qp --qf '[%{FILEFLAGS:fflags} %{FILENAMES}\n]' "$2" 2>/dev/null | grep -q '^l .*/LICENSE$' ||
        fail "${2##*/} does not mark LICENSE as %license"
    rpm -qpR "$2" 2>/dev/null | grep -q '^libstdc++.so.6' || fail "${2##*/} does not require libstdc++"
    of_target "$3/usr/bin/name-dialogue" "$4"
    has_sbom "$2" "$3/usr/bin/name-dialogue"
    ;;
tarball)
    program=$3/bin/name-dialogue doc=$3/share/doc/name-dialogue
    ! readelf -lW "$program" | grep -q 'program interpreter' || fail "${2##*/}: the program is not static"
    of_target "$program" "$4"
    cmp -s "$root/LICENSE" "$doc/LICENSE" || fail "${2##*/}: LICENSE differs from the source's"
    for notice in 'GNU C Library, version [0-9]' 'GCC runtime libraries: libstdc++, libgcc, version [0-9]' \
        "Corresponding source: Debian's source package glibc " "apt-get source glibc="; do
        grep -q "$notice" "$doc/NOTICES" || fail "${2##*/}: NOTICES lacks '$notice'"
    done
    has_sbom "$2" "$program" "$doc/NOTICES"
    ;;
zip)
    { cmp -s "$root/LICENSE" "$3/LICENSE" && grep -q 'MinGW-w64 runtime, version' "$3/NOTICES"; } ||
        fail "${2##*/} lacks LICENSE or NOTICES"
    has_sbom "$2" "$3/name-dialogue.exe" "$3/NOTICES"
    ;;
msi)
    diff -r "$3" "$4" || fail "${2##*/} does not hold the zip's files"
    msiinfo export "$2" Environment | grep -qxF "$(printf 'PATH\t=-*PATH\t[~];[INSTALLDIR]\tProgram\r')" ||
        fail "${2##*/} does not append its folder to PATH"
    has_sbom "$2" "$3/name-dialogue.exe" "$3/NOTICES"
    ;;
*) usage ;;
esac
echo "$check: ${2##*/}: as it should be"
