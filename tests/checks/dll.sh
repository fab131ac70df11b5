#!/usr/bin/env bash
# The DLL exports CreatePlugin undecorated and imports only system DLLs.
#   tests/checks/dll.sh PRESET TRIPLE
set -euo pipefail
dll="build/$1/bin/LoginPlugin.dll" objdump="$2-objdump"
[ -f "$dll" ] || { echo "$dll is missing"; exit 1; }
exports="$("$objdump" -p "$dll" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p')"
echo "$exports"
grep -qE '\] CreatePlugin$' <<<"$exports" || { echo "CreatePlugin is not exported undecorated"; exit 1; }
imports="$("$objdump" -p "$dll" | sed -n 's/^\s*DLL Name: //p')"
echo "imports: $(tr '\n' ' ' <<<"$imports")"
bad="$(grep -viE '^(kernel32|user32|gdi32|advapi32|wininet|msvcrt|ws2_32|shell32|ole32|oleaut32|comctl32|comdlg32|bcrypt|crypt32|msimg32|version|shlwapi|ucrtbase|api-ms-win-.*)\.dll$' <<<"$imports" || true)"
[ -z "$bad" ] || { echo "non-system imports: $bad"; exit 1; }
