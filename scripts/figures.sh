#!/usr/bin/env bash
# Prints the figures of the built program: the size of both exes (as built
# and stripped) with their import lists and SHA-256, and, under Wine, the
# start-up time of the x86_64 exes against a bare exe that shows one message
# box and a bare console exe that prints one line, and the time of
# "vrpset set on" against the size of the INI file it checks.
# Usage: figures.sh [RUNS]   (runs per exe, 21 by default)
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
. scripts/wine-env.sh
runs=${1:-21}

for preset in win32 win64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j2 --target VRPSettingTool vrpset \
    vrp_bare_messagebox vrp_bare_console >/dev/null
done
cmake --build --preset win64 -j2 --target vrp_startup_timer vrp_probes >/dev/null

echo "== size"
for machine in "win32 i686-w64-mingw32" "win64 x86_64-w64-mingw32"; do
  set -- $machine
  for exe in VRPSettingTool vrp_bare_messagebox vrpset vrp_bare_console; do
    built=build/$1/bin/$exe.exe
    stripped=$(mktemp)
    "$2-strip" -o "$stripped" "$built"
    awk -v m="$1" -v e="$exe.exe" -v b="$(stat -c %s "$built")" \
      -v s="$(stat -c %s "$stripped")" 'BEGIN {
        printf "  %-6s %-24s %8d bytes built, %8d bytes stripped (%.1f KiB)\n",
               m, e, b, s, s / 1024 }'
    rm -f "$stripped"
  done
  for exe in VRPSettingTool vrpset; do
    printf '  %-6s %s imports: %s\n' "$1" "$exe.exe" \
      "$("$2-objdump" -p "build/$1/bin/$exe.exe" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')"
  done
done

# The builds are reproducible: the same commit gives these bytes anywhere.
echo "== SHA-256"
for machine in win32 win64; do
  for exe in VRPSettingTool vrpset; do
    printf '  %-6s %s\n' "$machine" "$(sha256sum build/$machine/bin/$exe.exe)"
  done
done

echo "== start-up under Wine"
export WINEPREFIX=$PWD/build/win64/wineprefix
vrp_prepare_prefix "$WINEPREFIX"
"$VRP_WINE" build/win64/bin/vrp_startup_timer.exe "$runs"
