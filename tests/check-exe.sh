#!/usr/bin/env bash
# A shipped program must run on a bare Windows machine of its build's architecture:
#   check-exe.sh EXE i686|x86_64
# - the PE format of the build (PE32 for i686, PE32+ for x86_64);
# - imports of system DLLs only: no MinGW runtime DLLs (libstdc++, libgcc, winpthread);
# - ASLR and DEP (DYNAMIC_BASE, NX_COMPAT), and for PE32+ addresses from the whole
#   64-bit space (HIGH_ENTROPY_VA).
set -u
exe="$1"
arch="$2"
case "$arch" in
  i686) format="pei-i386" flags="DYNAMIC_BASE NX_COMPAT" ;;
  x86_64) format="pei-x86-64" flags="HIGH_ENTROPY_VA DYNAMIC_BASE NX_COMPAT" ;;
  *) echo "FAIL: unknown build $arch"; exit 1 ;;
esac
objdump=$arch-w64-mingw32-objdump
status=0
fail() { echo "FAIL: $exe $*"; status=1; }

found=$($objdump -f "$exe" | grep -o 'file format [a-z0-9-]*')
[ "$found" = "file format $format" ] && echo "ok: $found" || fail "is $found, not $format"

headers=$($objdump -p "$exe")
system='^(kernel32|user32|gdi32|comctl32|comdlg32|ole32|oleaut32|advapi32|shell32|shlwapi|msvcrt)\.dll$'
while read -r dll; do
  if echo "$dll" | tr 'A-Z' 'a-z' | grep -qE "$system"; then
    echo "ok: imports $dll"
  else
    fail "imports $dll, which is not a system DLL"
  fi
done < <(sed -n 's/.*DLL Name: //p' <<<"$headers")

# objdump lists each set DllCharacteristics flag on a line of its own under the value.
for flag in $flags; do
  if grep -qE "^[[:space:]]+$flag\$" <<<"$headers"; then echo "ok: $flag"; else fail "lacks $flag"; fi
done
exit $status
