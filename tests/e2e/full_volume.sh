#!/usr/bin/env bash
# Runs the full-volume end-to-end cases: mounts a small tmpfs into the Wine
# prefix, where they install the capture application and fill it up. Exits
# 77 (reported as skipped, never as passed) when no tmpfs can be mounted,
# which needs root.
# Usage: full_volume.sh WINE_RUN PREFIX E2E_TESTS_EXE
set -uo pipefail
wine_run=$1 prefix=$2 tests=$3
"$wine_run" "$prefix" cmd /c exit 0 || exit 1  # the prefix, laid out once
volume=$prefix/drive_c/vrp-full-volume
mkdir -p "$volume"
if ! mount -t tmpfs -o size=256k vrp-full-volume "$volume" 2>/dev/null; then
  echo "cannot mount a tmpfs (not root?): the full-volume cases are skipped"
  exit 77
fi
trap 'umount "$volume"' EXIT
VRP_FULL_VOLUME='C:\vrp-full-volume' "$wine_run" "$prefix" "$tests" \
  --gtest_filter='FullVolumeE2E.*'
