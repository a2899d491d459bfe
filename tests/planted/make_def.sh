#!/usr/bin/env bash
# Writes a module-definition file that exports every name the given DLL
# exports, each as the planted DLL's one stub.
# Usage: make_def.sh OBJDUMP REAL_DLL NAME OUT.def
set -euo pipefail
objdump=$1 real=$2 name=$3 out=$4
{
  echo "LIBRARY $name"
  echo "EXPORTS"
  "$objdump" -p "$real" |
    sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/ s/^\s*\[ *[0-9]*\] \([A-Za-z_][A-Za-z0-9_@?$]*\)$/  \1 = planted_stub/p' |
    sort -u
} >"$out"
