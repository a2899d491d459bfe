#!/usr/bin/env bash
# Checks that a built exe is one self-contained file for the expected
# machine: it imports system DLLs only (no MinGW runtime DLLs).
# Usage: check_imports.sh OBJDUMP EXE FORMAT   (FORMAT: pei-i386, pei-x86-64)
set -euo pipefail
objdump=$1 exe=$2 format=$3
allowed='^(KERNEL32|USER32|GDI32|ADVAPI32|VERSION|msvcrt)\.dll$'

actual_format=$("$objdump" -f "$exe" | sed -n 's/.*file format //p')
if [ "$actual_format" != "$format" ]; then
  echo "FAIL: $exe is $actual_format, expected $format"
  exit 1
fi
mapfile -t dlls < <("$objdump" -p "$exe" | sed -n 's/^\s*DLL Name: //p')
if [ "${#dlls[@]}" -eq 0 ]; then
  echo "FAIL: no import table read from $exe"
  exit 1
fi
status=0
for dll in "${dlls[@]}"; do
  if [[ "$dll" =~ $allowed ]]; then
    echo "ok   $dll"
  else
    echo "FAIL $dll is not a system DLL"
    status=1
  fi
done
exit $status
