#!/usr/bin/env bash
# Builds the shipped 32-bit exes from a clean build folder and writes dist/:
# the versioned zip (both exes, README.txt, THIRD-PARTY-NOTICES.txt), the
# CycloneDX SBOM, SHA256SUMS, the exes as shipped and, with --url-base, the
# winget manifests. With --sign the exes are Authenticode-signed with
# osslsigncode (SHA-256), the unsigned ones kept in dist/unsigned and the
# detached signatures in dist/sigs, so that anyone can rebuild the exes and
# re-attach the signatures to get the published bytes
# (scripts/verify-release.sh).
#
# Usage: scripts/release.sh [--url-base URL] [--sign -- OSSLSIGNCODE-OPTIONS...]
#   The options after --sign -- go to "osslsigncode sign" as they are: the
#   key (-pkcs12 FILE -pass PASS, -certs FILE -key FILE, or a hardware
#   token with -pkcs11module LIB -pkcs11cert URI -key URI) and, for an
#   RFC 3161 time stamp, -ts URL.
# SOURCE_DATE_EPOCH, the time written into the zip and the SBOM, is the
# commit's time unless it is set.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() { sed -n 's/^# Usage: //p' "$0" >&2; exit 2; }
url_base=
signing=()
sign=false
while [ $# -gt 0 ]; do
  case $1 in
    --url-base) [ $# -ge 2 ] || usage; url_base=$2; shift 2 ;;
    --sign) shift; [ "${1:-}" = -- ] && shift; sign=true; signing=("$@"); break ;;
    *) usage ;;
  esac
done
if $sign && [ ${#signing[@]} -eq 0 ]; then
  echo "--sign needs the options for osslsigncode sign after --" >&2
  exit 2
fi

scripts/install-deps.sh
version=$(sed -n 's/^project(VRPSettingTool VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}

build=build/release
rm -rf "$build" dist
cmake --preset win32 -B "$build" -DBUILD_TESTING=OFF -DVRP_LINK_MAP=ON >/dev/null
cmake --build "$build" -j2 --target VRPSettingTool vrpset >"$build.log" 2>&1 ||
  { tail -30 "$build.log"; exit 1; }

mkdir -p dist
exes=(VRPSettingTool.exe vrpset.exe)
if $sign; then
  mkdir -p dist/unsigned dist/sigs
  for exe in "${exes[@]}"; do
    cp "$build/bin/$exe" "dist/unsigned/$exe"
    osslsigncode sign -h sha256 "${signing[@]}" \
      -in "dist/unsigned/$exe" -out "dist/$exe" >/dev/null
    osslsigncode extract-signature -in "dist/$exe" -out "dist/sigs/$exe.p7s" \
      >/dev/null
  done
else
  cp "${exes[@]/#/$build/bin/}" dist/
  echo "Not signed: give --sign -- OPTIONS to sign the exes."
fi
scripts/package_release.py "$version" "$build/bin" dist $url_base
[ -n "$url_base" ] ||
  echo "No winget manifests: give --url-base URL, where the zip will be."

echo "dist/ for VRPSettingTool $version:"
(cd dist && find . -type f | sort | sed 's|^\./|  |')
