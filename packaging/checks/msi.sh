#!/usr/bin/env bash
# The Windows Installer package as a Windows user meets it, under Wine, each
# check in a Wine prefix of its own:
#   older DIST DIR      into DIR, older.msi: the package of a lower version,
#                       0.VERSION, built from DIST's source tarball
#   install MSI TESTS   msiexec /i; a new console finds name-dialogue on PATH
#                       from an empty folder, and it holds the dialogue with
#                       names in three scripts piped and typed at the console
#                       (TESTS, the released tests, has the case); PATH
#                       gains the folder once and keeps the rest
#   upgrade MSI OLDER   OLDER, then MSI: one product, MSI's version, on disk
#   downgrade MSI OLDER MSI, then OLDER: refused, and nothing changed
#   uninstall MSI       msiexec /x takes out every file, the folder and the
#                       PATH entry, and leaves the rest of PATH as it was
# Usage: packaging/checks/msi.sh CHECK ARGUMENT...
# shellcheck source=packaging/lib.sh
. "$(dirname "$0")/../lib.sh"
[ $# -ge 2 ] || usage
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPREFIX=$tmp/prefix
trap 'wineserver -k 2>/dev/null || true; rm -rf "$tmp"' EXIT
folder="$WINEPREFIX/drive_c/Program Files/name-dialogue"
entry="C:\\Program Files\\name-dialogue\\"

install() {
    wine msiexec "$@" /qn || fail "msiexec $* failed: status $?"
}
# path: the system PATH as the registry holds it, an entry a line.
path() {
    wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager\Environment' /v PATH | tr -d '\r' |
        sed -n 's/^ *PATH *REG_[A-Z_]* *//p' | tr ';' '\n'
}
# products: the version of each installed product named name-dialogue.
products() {
    wine reg query 'HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall' /s | tr -d '\r' |
        awk '/^HKEY/ { named = 0 } $1 == "DisplayName" { named = $3 == "name-dialogue" }
            named && $1 == "DisplayVersion" { print $3 }'
}
# holds VERSION: one product, VERSION, whose files are on disk and whose
# folder is on PATH once.
holds() {
    [ "$(products)" = "$1" ] || fail "installed: $(products | xargs), not $1 alone"
    { [ -f "$folder/name-dialogue.exe" ] && [ -f "$folder/LICENSE" ] &&
        grep -q "^name-dialogue $1 for Windows" "$folder/NOTICES"; } || fail "the files of $1 are not in $folder"
    [ "$(path | grep -cxF "$entry")" = 1 ] || fail "PATH does not hold $entry once: $(path | paste -sd ";")"
}
version_of() {
    msiinfo export "$1" Property | tr -d '\r' | awk '$1 == "ProductVersion" { print $2 }'
}

[ "$1" = older ] || wineboot -i >/dev/null 2>&1 || fail "Wine's prefix did not boot"
case $1 in
older)
    older=0.$(release_version "$2")
    release_at "$2" "$older" "$3/dist" --target "$(target_where system Windows name)" --channel msi
    ln -sf "$3/dist/$(awk '$2 ~ /\.msi$/ { print $2 }' "$3/dist/SHA256SUMS")" "$3/older.msi"
    ;;
install)
    before=$(path)
    install /i "$2"
    holds "$(version_of "$2")"
    [ "$(path | grep -vxF "$entry")" = "$before" ] || fail "PATH changed beyond $entry: $(path | paste -sd ";")"
    mkdir "$tmp/empty"
    (cd "$tmp/empty" && wine cmd /c name-dialogue <"$3/console/scripts.in" >"$tmp/out") || fail "name-dialogue failed"
    cmp "$3/console/scripts.out" "$tmp/out" || fail "the piped dialogue differs: $(od -c "$tmp/out" | head)"
    NAME_DIALOGUE_SYSTEM=Windows NAME_DIALOGUE_EMULATOR=wine sh "$3/terminal.sh" name-dialogue console scripts \
        default file || fail "the dialogue typed at the console differs"
    ;;
upgrade)
    install /i "$3"
    holds "$(version_of "$3")"
    install /i "$2"
    holds "$(version_of "$2")"
    ;;
downgrade)
    install /i "$2"
    (cd "$folder" && sha256sum ./*) >"$tmp/before"
    ! wine msiexec /i "$3" /qn || fail "msiexec installed $3 over $2"
    holds "$(version_of "$2")"
    (cd "$folder" && sha256sum ./*) | diff "$tmp/before" - || fail "the refused downgrade changed the files"
    ;;
uninstall)
    # Wine leaves an empty entry where the folder's was: empty entries,
    # which name no folder, are not compared.
    before=$(path | grep .)
    install /i "$2"
    holds "$(version_of "$2")"
    install /x "$2"
    [ ! -e "$folder" ] || fail "$folder is left: $(find "$folder")"
    [ -z "$(products)" ] || fail "still installed: $(products)"
    [ "$(path | grep .)" = "$before" ] || fail "PATH is not as it was: $(path | paste -sd ";")"
    ;;
*) usage ;;
esac
echo "msi: $1: as it should be"
