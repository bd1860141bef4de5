#!/usr/bin/env bash
# The Windows executables: console programs of the right machine type, with the
# version strings, importing only system DLLs and never the ones loaded at run time.
set -u
exe32=$1
exe64=$2
status=0
fail() { echo "FAIL: $*"; status=1; }

check() {
    local exe=$1 format=$2 objdump=$3
    [ -f "$exe" ] || { fail "$exe was not built"; return; }
    local headers
    headers=$($objdump -p "$exe") || { fail "$objdump cannot read $exe"; return; }
    grep -q "file format $format" <<<"$headers" || fail "$exe is not $format"
    grep -q "Subsystem.*(Windows CUI)" <<<"$headers" || fail "$exe is not a console program"
    local dlls
    dlls=$(grep 'DLL Name:' <<<"$headers" | awk '{print tolower($3)}' | sort -u)
    [ -n "$dlls" ] || fail "$exe imports nothing"
    for dll in $dlls; do
        case $dll in
        kernel32.dll|advapi32.dll|shlwapi.dll|user32.dll|ole32.dll|oleaut32.dll|msvcrt.dll) ;;
        *) fail "$exe imports $dll" ;;
        esac
    done
    # The version resource holds its strings in UTF-16.
    local strings
    strings=$(strings -el "$exe")
    for text in "FileVersion" "1.0.1.0" "ProductVersion" "InternalName" "ProductName" "Pellsweep" \
                "OriginalFilename" "Pellsweep.exe" "FileDescription" \
                "Qarvex Pelliton Uninstall Cleanup Utility"; do
        grep -qxF "$text" <<<"$strings" || fail "$exe lacks the version string \"$text\""
    done
    echo "$exe: $(tr '\n' ' ' <<<"$dlls")"
}

check "$exe32" pei-i386 i686-w64-mingw32-objdump
check "$exe64" pei-x86-64 x86_64-w64-mingw32-objdump
exit $status
