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
cmake --build --preset win64 -j2 --target vrp_demo VRPSettingTool vrpset vrp_probes >/dev/null

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
# Ends Wine and the virtual screen whatever happened, and keeps the run's
# exit status: under set -e a failing step here would end the trap early.
clean_up() {
  local status=$?
  "$VRP_WINESERVER" -k 2>/dev/null || true
  "$VRP_WINESERVER" -w 2>/dev/null || true
  kill "$xvfb" 2>/dev/null || true
  wait "$xvfb" 2>/dev/null || true
  exit "$status"
}
trap clean_up EXIT
sleep 1
DISPLAY=$display "$VRP_WINE" build/win64/bin/vrp_demo.exe \
  --pictures "Z:${pictures//\//\\}"

# The same run at 150 % scaling (144 DPI), for a picture of the dialog as a
# DPI-aware program draws it; Wine reads the setting when it starts.
set_dpi() {
  "$VRP_WINESERVER" -k 2>/dev/null || true
  "$VRP_WINESERVER" -w
  "$VRP_WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD \
    /d "$1" /f >/dev/null 2>&1
  "$VRP_WINESERVER" -w
}
scaled=$pictures/144dpi
mkdir -p "$scaled"
set_dpi 144
DISPLAY=$display "$VRP_WINE" build/win64/bin/vrp_demo.exe \
  --pictures "Z:${scaled//\//\\}" >/dev/null
set_dpi 96
mv "$scaled"/*-dialog.bmp "$pictures/dialog-144dpi.bmp"
rm -rf "$scaled"

for bmp in "$pictures"/*.bmp; do
  [ -e "$bmp" ] || continue
  convert "$bmp" "${bmp%.bmp}.png" && rm "$bmp"
done
echo
echo "Pictures of every window: $pictures"
ls "$pictures"
