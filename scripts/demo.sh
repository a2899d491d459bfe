#!/usr/bin/env bash
# Installs what is missing, builds the program and runs it under Wine on a
# simulated scanner installation (TWAIN 9.x and ISIS 3.x with their INI files
# at 1, no capture application).
#
# With a display (DISPLAY set) the program's windows appear and you answer
# them. Without one the run is driven on a virtual screen (Xvfb): every step
# is printed and every window is saved as a PNG in build/demo-pictures.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh demo
. scripts/wine-env.sh

cmake --preset win64 >/dev/null
cmake --build --preset win64 -j2 --target vrp_demo VRPSettingTool vrp_probes >/dev/null

export WINEPREFIX=$PWD/build/win64/wineprefix-display
vrp_prepare_prefix "$WINEPREFIX" display

if [ -n "${DISPLAY:-}" ]; then
  "$VRP_WINE" build/win64/bin/vrp_demo.exe --interactive
  exit
fi

pictures=$PWD/build/demo-pictures
rm -rf "$pictures"
mkdir -p "$pictures"
display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap '"$VRP_WINESERVER" -k 2>/dev/null; sleep 1; kill $xvfb 2>/dev/null' EXIT
sleep 1
DISPLAY=$display "$VRP_WINE" build/win64/bin/vrp_demo.exe \
  --pictures "Z:${pictures//\//\\}"
for bmp in "$pictures"/*.bmp; do
  [ -e "$bmp" ] || continue
  convert "$bmp" "${bmp%.bmp}.png" && rm "$bmp"
done
echo
echo "Pictures of every window: $pictures"
ls "$pictures"
