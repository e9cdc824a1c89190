#!/bin/sh
# The .exe must stand alone and be hardened: it may import only DLLs that
# every Windows has, and must ask for ASLR (also above 4 GiB) and DEP.
# Usage: windows-exe.sh OBJDUMP EXE
objdump=$1
exe=$2
# shellcheck source=tests/lib.sh
. "${0%/*}/lib.sh"
need "$objdump"
headers=$("$objdump" -p "$exe") || fail "$objdump cannot read $exe"

imports=$(printf '%s\n' "$headers" | sed -n 's/^[[:space:]]*DLL Name: //p')
[ -n "$imports" ] || fail "no imports found"
for dll in $imports; do
    case $(printf '%s' "$dll" | tr '[:upper:]' '[:lower:]') in
    kernel32.dll | advapi32.dll | msvcrt.dll | ucrtbase.dll | api-ms-win-crt-*.dll) ;;
    *) fail "imports $dll, which not every Windows has" ;;
    esac
done
for flag in DYNAMIC_BASE HIGH_ENTROPY_VA NX_COMPAT; do
    printf '%s\n' "$headers" | grep -qw "$flag" || fail "$flag is not set"
done
echo "imports: $imports"
