#!/usr/bin/env bash
# Runs the typical end-to-end scenario on the shipped i686 exes, which this
# machine can only execute under emulation (setup-i686-emulation.sh): the
# x86_64 test driver starts build/win32's VRPSettingTool.exe in a 64-bit
# (WoW64) Wine prefix and checks the boxes, the check box and the INI files,
# then runs build/win32's vrpset.exe through its table of commands.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-i686-emulation.sh
. scripts/wine-env.sh

cmake --preset win32 >/dev/null
cmake --build --preset win32 -j2 --target VRPSettingTool vrpset >/dev/null
cmake --preset win64 >/dev/null
cmake --build --preset win64 -j2 --target vrp_e2e_tests vrp_probes >/dev/null

run=build/i686-run
rm -rf "$run"
mkdir -p "$run"
cp build/win64/bin/vrp_e2e_tests.exe build/win64/bin/probe_*.dll "$run"/
cp build/win32/bin/VRPSettingTool.exe build/win32/bin/vrpset.exe "$run"/
export WINEPREFIX=$PWD/build/wineprefix-wow64
vrp_prepare_prefix "$WINEPREFIX"
"$VRP_WINE" "$run/vrp_e2e_tests.exe" \
  --gtest_filter='StartupE2E.RunsAsItsExeIsBuilt:SettingE2E.TypicalRun*:SettingE2E.FailedWrite*:VrpsetE2E.EachCommand*'
