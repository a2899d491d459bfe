#!/usr/bin/env bash
# Installs what is missing, builds the program and runs it under Wine on a
# simulated scanner installation. With a display, the program's windows
# appear and you answer them; without one, the run is driven and each step
# is printed.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
. scripts/wine-env.sh

cmake --preset win64 >/dev/null
cmake --build --preset win64 -j2 --target vrp_demo VRPSettingTool vrp_probes >/dev/null

if [ -n "${DISPLAY:-}" ]; then
  prefix=$PWD/build/win64/wineprefix-display
  vrp_prepare_prefix "$prefix" display
  WINEPREFIX=$prefix "$VRP_WINE" build/win64/bin/vrp_demo.exe --interactive
else
  prefix=$PWD/build/win64/wineprefix
  vrp_prepare_prefix "$prefix"
  WINEPREFIX=$prefix "$VRP_WINE" build/win64/bin/vrp_demo.exe
fi
