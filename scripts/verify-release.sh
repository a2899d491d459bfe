#!/usr/bin/env bash
# Checks a release as anyone can, from a checkout of the commit it was made
# from: every file against SHA256SUMS; the exes rebuilt from that checkout
# against the released unsigned exes, byte for byte; each detached
# signature re-attached to the rebuilt exe, which must then be the released
# signed exe, byte for byte; and, with --ca-file, each signed exe verified
# against that CA.
#
# Usage: scripts/verify-release.sh DIST [--ca-file CA.pem]
set -euo pipefail
usage() { sed -n 's/^# Usage: //p' "$0" >&2; exit 2; }
[ $# -ge 1 ] || usage
dist=$(cd "$1" && pwd)
shift
ca=
while [ $# -gt 0 ]; do
  case $1 in
    --ca-file) [ $# -ge 2 ] || usage; ca=$(realpath "$2"); shift 2 ;;
    *) usage ;;
  esac
done
cd "$(dirname "$0")/.."
scripts/install-deps.sh

(cd "$dist" && sha256sum -c --quiet SHA256SUMS) ||
  { echo "FAIL: files differ from SHA256SUMS"; exit 1; }
echo "ok   every file matches SHA256SUMS"

build=build/verify-release
rm -rf "$build"
cmake --preset win32 -B "$build" -DBUILD_TESTING=OFF >/dev/null
cmake --build "$build" -j2 --target VRPSettingTool vrpset >"$build.log" 2>&1 ||
  { tail -30 "$build.log"; exit 1; }

status=0
for exe in VRPSettingTool.exe vrpset.exe; do
  rebuilt=$build/bin/$exe
  unsigned=$dist/$exe
  [ -f "$dist/unsigned/$exe" ] && unsigned=$dist/unsigned/$exe
  if cmp -s "$rebuilt" "$unsigned"; then
    echo "ok   $exe rebuilt from this checkout is the released unsigned exe"
  else
    echo "FAIL $exe rebuilt from this checkout differs from the released one"
    status=1
    continue
  fi
  [ -f "$dist/sigs/$exe.p7s" ] || continue
  reattached=$build/$exe.signed
  # attach-signature also checks the chain, and says no without the CA; the
  # bytes it writes are what is judged here.
  osslsigncode attach-signature -sigin "$dist/sigs/$exe.p7s" \
    ${ca:+-CAfile "$ca"} -in "$rebuilt" -out "$reattached" >/dev/null 2>&1 ||
    true
  if cmp -s "$reattached" "$dist/$exe"; then
    echo "ok   $exe with its detached signature re-attached is the released exe"
  else
    echo "FAIL $exe with its signature re-attached differs from the released exe"
    status=1
  fi
  if [ -n "$ca" ]; then
    if osslsigncode verify -CAfile "$ca" -in "$dist/$exe" >/dev/null 2>&1; then
      echo "ok   $exe: its signature verifies against $(basename "$ca")"
    else
      echo "FAIL $exe: its signature does not verify against $(basename "$ca")"
      status=1
    fi
  fi
done
exit $status
