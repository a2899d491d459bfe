#!/usr/bin/env bash
# Checks a built exe as it ships: one self-contained file for the expected
# machine that imports KnownDLLs only (Windows loads those from the system
# folder whatever lies beside the exe), with the hardening flags set in its
# header and no debug sections left in it.
# Usage: check_exe.sh OBJDUMP EXE FORMAT   (FORMAT: pei-i386, pei-x86-64)
set -euo pipefail
objdump=$1 exe=$2 format=$3
known_dlls='^(KERNEL32|USER32|GDI32|ADVAPI32|msvcrt)\.dll$'
status=0
fail() {
  echo "FAIL $*"
  status=1
}

actual_format=$("$objdump" -f "$exe" | sed -n 's/.*file format //p')
if [ "$actual_format" != "$format" ]; then
  echo "FAIL: $exe is $actual_format, expected $format"
  exit 1
fi
headers=$("$objdump" -p "$exe")
mapfile -t dlls < <(sed -n 's/^\s*DLL Name: //p' <<<"$headers")
if [ "${#dlls[@]}" -eq 0 ]; then
  echo "FAIL: no import table read from $exe"
  exit 1
fi
for dll in "${dlls[@]}"; do
  if [[ "$dll" =~ $known_dlls ]]; then
    echo "ok   imports $dll"
  else
    fail "imports $dll, which is not a KnownDLL"
  fi
done

# IMAGE_DLLCHARACTERISTICS_*: the 64-bit exe also wants the full 64-bit
# range for its random base.
characteristics=$(awk '$1 == "DllCharacteristics" { print $2 }' <<<"$headers")
declare -A flags=([DYNAMIC_BASE]=0x0040 [NX_COMPAT]=0x0100
                  [TERMINAL_SERVER_AWARE]=0x8000)
if [ "$format" = pei-x86-64 ]; then flags[HIGH_ENTROPY_VA]=0x0020; fi
for flag in "${!flags[@]}"; do
  if (( 0x${characteristics:-0} & ${flags[$flag]} )); then
    echo "ok   $flag"
  else
    fail "$flag is missing from DllCharacteristics 0x${characteristics:-?}"
  fi
done

debug_sections=$("$objdump" -h "$exe" | awk '$2 ~ /^\.debug/ { print $2 }' | tr '\n' ' ')
if [ -n "$debug_sections" ]; then
  fail "not stripped: $debug_sections"
else
  echo "ok   stripped"
fi
exit $status
