#!/usr/bin/env bash
# Checks a release as anyone can, from a clean checkout of the commit it
# names (in its SBOM): rebuilds the whole release from that checkout with
# release.sh, at the release's own time, the detached signatures of a signed
# release re-attached to the rebuilt exes and MSI, and compares every file
# of DIST with its rebuilt twin, byte for byte: the zip, the MSI, the SBOM,
# SHA256SUMS, the exes, the winget manifests. A file the rebuild does not
# make, or one it makes that DIST lacks, fails; so does a signed release
# (unsigned/) without its detached signatures (sigs/). With --ca-file, each
# signed exe and the MSI must also verify against that CA.
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

sboms=("$dist"/VRPSettingTool-*.cdx.json)
[ ${#sboms[@]} -eq 1 ] && [ -f "${sboms[0]}" ] ||
  { echo "FAIL $dist holds no single SBOM to name the release's commit"; exit 1; }
read -r commit epoch < <(python3 - "${sboms[0]}" <<'EOF'
import calendar, json, sys, time
document = json.load(open(sys.argv[1]))
references = document["metadata"]["component"].get("externalReferences", [])
commit = next((r["url"] for r in references if r.get("type") == "vcs"), "?")
stamp = time.strptime(document["metadata"]["timestamp"], "%Y-%m-%dT%H:%M:%SZ")
print(commit, calendar.timegm(stamp))
EOF
)
echo "The release names commit $commit."
if [ "$commit" != "$(git rev-parse HEAD)" ]; then
  echo "FAIL this checkout is $(git rev-parse HEAD): run this from a clean" \
    "checkout of $commit (git checkout $commit)"
  exit 1
fi
attach=()
if [ -d "$dist/unsigned" ]; then
  [ -d "$dist/sigs" ] || {
    echo "FAIL a signed release (unsigned/) without its detached signatures (sigs/)"
    exit 1
  }
  attach=(--attach "$dist/sigs")
fi
url_base=$(sed -n 's|^  InstallerUrl: \(.*\)/[^/]*$|\1|p' \
  "$dist"/winget/*.installer.yaml 2>/dev/null | head -1)

rebuilt=build/verify-release
rm -rf "$rebuilt"
SOURCE_DATE_EPOCH=$epoch scripts/release.sh --out "$rebuilt" \
  ${url_base:+--url-base "$url_base"} "${attach[@]}" >"$rebuilt.log" 2>&1 ||
  { tail -30 "$rebuilt.log"; echo "FAIL the release could not be rebuilt"; exit 1; }

status=0
while IFS= read -r file; do
  if [ ! -f "$rebuilt/$file" ]; then
    echo "FAIL $file is no file of this release"
    status=1
  elif cmp -s "$dist/$file" "$rebuilt/$file"; then
    echo "ok   $file is the rebuilt one"
  else
    echo "FAIL $file differs from the rebuilt one"
    status=1
  fi
done < <(cd "$dist" && find . -type f | sed 's|^\./||' | sort)
while IFS= read -r file; do
  [ -f "$dist/$file" ] || { echo "FAIL $file is missing"; status=1; }
done < <(cd "$rebuilt" && find . -type f | sed 's|^\./||' | sort)

if [ -n "$ca" ]; then
  for signed in VRPSettingTool.exe vrpset.exe "$(cd "$dist" && ls ./*.msi)"; do
    signed=${signed#./}
    if osslsigncode verify -CAfile "$ca" -in "$dist/$signed" >/dev/null 2>&1; then
      echo "ok   $signed: its signature verifies against $(basename "$ca")"
    else
      echo "FAIL $signed: its signature does not verify against $(basename "$ca")"
      status=1
    fi
  done
fi
exit $status
