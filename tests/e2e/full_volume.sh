#!/usr/bin/env bash
# Runs the full-volume end-to-end cases: mounts a small tmpfs into the Wine
# prefix, where they install the capture application and fill it up, and
# starts the watcher that swaps the application's folder for a link when
# the last case asks for it. Exits 77 (reported as skipped, never as
# passed) when no tmpfs can be mounted, which needs root.
# Usage: full_volume.sh WINE_RUN PREFIX E2E_TESTS_EXE
set -uo pipefail
wine_run=$1 prefix=$2 tests=$3
"$wine_run" "$prefix" cmd /c exit 0 || exit 1  # the prefix, laid out once
volume=$prefix/drive_c/vrp-full-volume
mkdir -p "$volume"
if ! mount -t tmpfs -o size=4m vrp-full-volume "$volume" 2>/dev/null; then
  echo "cannot mount a tmpfs (not root?): the full-volume cases are skipped"
  exit 77
fi
python3 "$(dirname "$0")/swap_on_write.py" "$volume/Lumora" Decoy "$volume" &
watcher=$!
trap 'kill "$watcher" 2>/dev/null; umount "$volume"' EXIT
VRP_FULL_VOLUME='C:\vrp-full-volume' VRP_SWAP_WATCHER=1 \
  "$wine_run" "$prefix" "$tests" --gtest_filter='FullVolumeE2E.*'
