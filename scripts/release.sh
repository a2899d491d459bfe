#!/usr/bin/env bash
# Makes the release of the commit checked out, from a clean build folder,
# into dist/ (or --out DIR, which must not exist yet): the versioned zip
# (both exes, README.txt naming the commit, THIRD-PARTY-NOTICES.txt), the
# Windows Installer package VRPSettingTool-<version>-x86.msi, the CycloneDX
# SBOM (naming the commit), SHA256SUMS, the exes as shipped and, with
# --url-base, the winget manifests (the zip and the MSI).
#
# With --sign the exes and the MSI are Authenticode-signed with osslsigncode
# (SHA-256), the unsigned ones kept in unsigned/ and the detached signatures
# in sigs/, so that anyone can rebuild them and re-attach the signatures to
# get the published bytes: --attach SIGS does that, attaching the detached
# signatures in SIGS instead of signing (scripts/verify-release.sh).
#
# A release is of a commit: a working tree with uncommitted changes or
# untracked files is refused.
#
# Usage: scripts/release.sh [--out DIR] [--url-base URL] [--attach SIGS | --sign -- OSSLSIGNCODE-OPTIONS...]
#   The options after --sign -- go to "osslsigncode sign" as they are: the
#   key (-pkcs12 FILE -pass PASS, -certs FILE -key FILE, or a hardware
#   token with -pkcs11module LIB -pkcs11cert URI -key URI) and, for an
#   RFC 3161 time stamp, -ts URL.
# The time written into the zip, the MSI and the SBOM is the commit's time,
# so that a release says when its source was made; an inherited
# SOURCE_DATE_EPOCH that differs from it is refused.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() { sed -n 's/^# Usage: //p' "$0" >&2; exit 2; }
out=dist
url_base=
mode=plain
signing=()
sigs=
while [ $# -gt 0 ]; do
  case $1 in
    --out) [ $# -ge 2 ] || usage; out=$2; shift 2 ;;
    --url-base) [ $# -ge 2 ] || usage; url_base=$2; shift 2 ;;
    --attach) [ $# -ge 2 ] || usage; mode=attach; sigs=$(realpath "$2"); shift 2 ;;
    --sign) shift; [ "${1:-}" = -- ] && shift; mode=sign; signing=("$@"); break ;;
    *) usage ;;
  esac
done
# The URL base goes into the MSI, the SBOM and the winget manifests as it
# is, quoted everywhere (a space or an & in it is fine); a control character
# would break a manifest's line.
if [[ $url_base == *[[:cntrl:]]* ]]; then
  echo "--url-base has a control character in it" >&2
  exit 2
fi
if [ $mode = sign ] && [ ${#signing[@]} -eq 0 ]; then
  echo "--sign needs the options for osslsigncode sign after --" >&2
  exit 2
fi
if [ -n "$(git status --porcelain --untracked-files=all)" ]; then
  cat >&2 <<EOF
The working tree has uncommitted changes or untracked files:
$(git status --short --untracked-files=all | head -10)
A release is made from a commit, and names it. Commit (or remove) them, or
make the release from a clean clone:
  git clone --no-local "$PWD" vrp-release && cd vrp-release && scripts/release.sh ...
EOF
  exit 1
fi
if [ "$out" = dist ]; then
  rm -rf dist
elif [ -e "$out" ]; then
  echo "$out exists: give --out a folder that does not" >&2
  exit 2
fi

commit=$(git rev-parse HEAD)
commit_time=$(git log -1 --format=%ct)
if [ -n "${SOURCE_DATE_EPOCH:-}" ] && [ "$SOURCE_DATE_EPOCH" != "$commit_time" ]; then
  cat >&2 <<EOF
SOURCE_DATE_EPOCH=$SOURCE_DATE_EPOCH ($(date -u -d "@$SOURCE_DATE_EPOCH" +%FT%TZ 2>/dev/null || echo "not a time"))
is not the time of commit $commit ($(date -u -d "@$commit_time" +%FT%TZ)).
A release is made at its commit's time, so that its files do not claim
another: unset SOURCE_DATE_EPOCH.
EOF
  exit 2
fi
export SOURCE_DATE_EPOCH=$commit_time

scripts/install-deps.sh
version=$(sed -n 's/^project(VRPSettingTool VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)

build=build/release
rm -rf "$build"
cmake --preset win32 -B "$build" -DBUILD_TESTING=OFF -DVRP_LINK_MAP=ON >/dev/null
cmake --build "$build" -j2 --target VRPSettingTool vrpset >"$build.log" 2>&1 ||
  { tail -30 "$build.log"; exit 1; }

# signed_over FILE: FILE carries a signature whose digest is FILE's own.
signed_over() {
  local report
  report=$(osslsigncode verify -in "$1" 2>&1 || true)
  grep -q '^Calculated message digest' <<<"$report" && ! grep -q MISMATCH <<<"$report"
}

# finish NAME: the file $out/NAME as made becomes what ships: signed, or
# with its detached signature attached, the unsigned one kept beside it.
finish() {
  local name=$1
  [ $mode = plain ] && return
  mkdir -p "$out/unsigned" "$out/sigs"
  mv "$out/$name" "$out/unsigned/$name"
  if [ $mode = sign ]; then
    osslsigncode sign -h sha256 "${signing[@]}" \
      -in "$out/unsigned/$name" -out "$out/$name" >/dev/null
  else
    # attach-signature also checks the chain, and says no without the CA
    # (scripts/verify-release.sh checks it when given one); what must hold
    # here is that the signature is over these bytes.
    osslsigncode attach-signature -sigin "$sigs/$name.p7s" \
      -in "$out/unsigned/$name" -out "$out/$name" >/dev/null 2>&1 || true
    if [ ! -f "$out/$name" ] || ! signed_over "$out/$name"; then
      echo "$sigs/$name.p7s is no signature of the rebuilt $name" >&2
      exit 1
    fi
  fi
  osslsigncode extract-signature -in "$out/$name" \
    -out "$out/sigs/$name.p7s" >/dev/null
}

mkdir -p "$out"
for exe in VRPSettingTool.exe vrpset.exe; do
  cp "$build/bin/$exe" "$out/"
  finish "$exe"
done
stage=$build/stage
mkdir -p "$stage"
scripts/package_release.py texts "$version" "$commit" "$build/bin" "$stage"
scripts/package_release.py msi "$version" "$stage" "$out" "$url_base"
finish "VRPSettingTool-$version-x86.msi"
scripts/package_release.py pack "$version" "$commit" "$build/bin" "$stage" \
  "$out" "$url_base"
[ $mode != plain ] ||
  echo "Not signed: give --sign -- OPTIONS to sign the exes and the MSI."
[ -n "$url_base" ] ||
  echo "No winget manifests: give --url-base URL, where the zip will be."

echo "$out/ for VRPSettingTool $version, commit $commit:"
(cd "$out" && find . -type f | sort | sed 's|^\./|  |')
