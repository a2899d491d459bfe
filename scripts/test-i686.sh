#!/usr/bin/env bash
# Runs the typical end-to-end scenario on the shipped i686 exes, which this
# machine can only execute under emulation (setup-i686-emulation.sh): the
# x86_64 test driver starts build/win32's VRPSettingTool.exe in a 64-bit
# (WoW64) Wine prefix and checks the boxes, the check box and the INI files,
# then runs build/win32's vrpset.exe through its table of commands.
# Wine runs in its own Debian root; the run folder is mounted into it at the
# same path, in a mount namespace of this script's, so nothing stays mounted.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(scripts/setup-i686-emulation.sh | tail -1)

cmake --preset win32 >/dev/null
cmake --build --preset win32 -j2 --target VRPSettingTool vrpset >/dev/null
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j2 --target vrp_e2e_tests vrp_probes >/dev/null

run=$PWD/build/i686-run
rm -rf "$run"
mkdir -p "$run/bin"
cp build/win64/bin/vrp_e2e_tests.exe build/win64/bin/probe_*.dll "$run/bin"/
cp build/win32/bin/VRPSettingTool.exe build/win32/bin/vrpset.exe "$run/bin"/
for tool in wine64 wineserver; do
  printf '#!/bin/sh\nexec chroot %q /usr/lib/wine/%s "$@"\n' "$root" "$tool" >"$run/$tool"
  chmod +x "$run/$tool"
done

export VRP_ROOT=$root VRP_RUN=$run
unshare --mount bash -euo pipefail -c '
  mount -t proc proc "$VRP_ROOT/proc"
  mount --rbind /dev "$VRP_ROOT/dev"
  mkdir -p "$VRP_ROOT$VRP_RUN"
  mount --bind "$VRP_RUN" "$VRP_ROOT$VRP_RUN"
  . scripts/wine-env.sh
  VRP_WINE=$VRP_RUN/wine64 VRP_WINESERVER=$VRP_RUN/wineserver
  export WINEPREFIX=$VRP_RUN/wineprefix-wow64
  vrp_prepare_prefix "$WINEPREFIX"
  status=0
  "$VRP_WINE" "$VRP_RUN/bin/vrp_e2e_tests.exe" \
    --gtest_filter="StartupE2E.RunsAsItsExeIsBuilt:SettingE2E.TypicalRun*:SettingE2E.FailedWrite*:VrpsetE2E.EachCommand*" ||
    status=$?
  "$VRP_WINESERVER" -k || true
  exit "$status"
'
