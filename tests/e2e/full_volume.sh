#!/usr/bin/env bash
# Runs the full-volume end-to-end cases: mounts a small tmpfs as drive V: of
# the Wine prefix (a volume of its own, as a second disk is on Windows; one
# mounted inside drive C: would be a volume mounted in a folder, which the
# program refuses as a path it cannot check), where they install the
# capture application and fill it up, and starts the user who moves things
# there while the program's opens wait (hold_opens.py, with fanotify
# permission events on that mount). Exits 77 (reported as skipped, never as
# passed) when no tmpfs can be mounted, which needs root.
# Usage: full_volume.sh WINE_RUN PREFIX E2E_TESTS_EXE
set -uo pipefail
wine_run=$1 prefix=$2 tests=$3
"$wine_run" "$prefix" cmd /c exit 0 || exit 1  # the prefix, laid out once
volume=$prefix/vrp-full-volume
control=$prefix/drive_c/vrp-user-control
mkdir -p "$volume" "$control"
if ! mount -t tmpfs -o size=4m vrp-full-volume "$volume" 2>/dev/null; then
  echo "cannot mount a tmpfs (not root?): the full-volume cases are skipped"
  exit 77
fi
ln -sfn "$volume" "$prefix/dosdevices/v:"
python3 "$(dirname "$0")/hold_opens.py" "$volume" "$control" &
user=$!
trap 'kill "$user" 2>/dev/null; wait "$user" 2>/dev/null
      rm -f "$prefix/dosdevices/v:"; umount "$volume"' EXIT
VRP_FULL_VOLUME='V:' VRP_USER_CONTROL='C:\vrp-user-control' \
  "$wine_run" "$prefix" "$tests" --gtest_filter="${VRP_FILTER:-FullVolumeE2E.*:UserMovesE2E.*}"
