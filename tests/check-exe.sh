#!/usr/bin/env bash
# Travok.exe must be a 32-bit PE that needs only DLLs every Windows has: no MinGW
# runtime DLLs (libstdc++, libgcc, winpthread) beside it.
set -u
exe="$1"
objdump=i686-w64-mingw32-objdump
format=$($objdump -f "$exe" | grep -o 'file format [a-z0-9-]*')
[ "$format" = "file format pei-i386" ] || { echo "FAIL: $exe is $format, not a 32-bit PE"; exit 1; }
system='^(kernel32|user32|gdi32|comctl32|comdlg32|ole32|oleaut32|advapi32|shell32|shlwapi|msvcrt)\.dll$'
status=0
while read -r dll; do
  if echo "$dll" | tr 'A-Z' 'a-z' | grep -qE "$system"; then
    echo "ok: $dll"
  else
    echo "FAIL: $exe imports $dll, which is not a system DLL"
    status=1
  fi
done < <($objdump -p "$exe" | sed -n 's/.*DLL Name: //p')
exit $status
