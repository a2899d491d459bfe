#!/usr/bin/env bash
# The README's demo as a new user runs it: it must exit 0 and leave no
# process behind (no virtual screen, nothing of Wine in its prefix).
set -uo pipefail
cd "$(dirname "$0")/.."
log=build/demo.log
mkdir -p build
if ! env -u DISPLAY scripts/demo.sh >"$log" 2>&1; then
  tail -20 "$log"
  echo "FAIL the demo exited with a failure"
  exit 1
fi
echo "ok   the demo exited 0 ($(ls build/demo-pictures/*.png | wc -l) pictures)"
prefix=$PWD/build/win64/wineprefix-display
left=$(grep -l -a "WINEPREFIX=$prefix" /proc/[0-9]*/environ 2>/dev/null |
       cut -d/ -f3 | grep -vx "$$" || true)
xvfb=$(pgrep -x Xvfb || true)
if [ -n "$left$xvfb" ]; then
  echo "FAIL the demo left processes behind:"
  ps -o pid,args -p $left $xvfb
  exit 1
fi
echo "ok   the demo left no process behind"
