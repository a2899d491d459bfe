#!/usr/bin/env bash
# Checks a release as anyone can, from a clean checkout of the commit it
# names (in its SBOM), and says why whenever it refuses:
#  1. DIST holds regular files and folders only (no links), and SHA256SUMS
#     lists every file and matches it;
#  2. the SBOM names this checkout's commit, and the commit's time as the
#     release's: a release is made at its commit's time;
#  3. every Authenticode signature (both exes and the MSI of a signed
#     release) is over its own file's bytes, by osslsigncode; with
#     --ca-file the chain is verified against that CA and revocation
#     checked, with --signer the signer's subject must be SUBJECT; each
#     signer is named;
#  4. the whole release is rebuilt from this checkout with release.sh, the
#     detached signatures of a signed release re-attached, and every file of
#     DIST must equal its rebuilt twin, byte for byte: the zip, the MSI, the
#     SBOM, SHA256SUMS, the exes, the winget manifests. A file the rebuild
#     does not make, or one it makes that DIST lacks, fails.
#
# Usage: scripts/verify-release.sh DIST [--ca-file CA.pem [--signer SUBJECT] [--crl-file CRL.pem] [--ts-ca-file TSA-CA.pem]]
#   --crl-file: the CRLs of the signing chain, used instead of fetching
#   those the certificates name (which needs the network);
#   --ts-ca-file: the CA of the RFC 3161 time stamps, when it is not among
#   the system's CAs.
set -euo pipefail
usage() { sed -n 's/^# Usage: //p' "$0" >&2; exit 2; }
[ $# -ge 1 ] || usage
given=$1
shift
ca=
signer=
crl=
ts_ca=
while [ $# -gt 0 ]; do
  case $1 in
    --ca-file) [ $# -ge 2 ] || usage; ca=$(realpath "$2"); shift 2 ;;
    --signer) [ $# -ge 2 ] || usage; signer=$2; shift 2 ;;
    --crl-file) [ $# -ge 2 ] || usage; crl=$(realpath "$2"); shift 2 ;;
    --ts-ca-file) [ $# -ge 2 ] || usage; ts_ca=$(realpath "$2"); shift 2 ;;
    *) usage ;;
  esac
done
if [ -z "$ca" ] && [ -n "$signer$crl$ts_ca" ]; then
  echo "--signer, --crl-file and --ts-ca-file need --ca-file: without a CA" \
    "anyone can make a certificate of any subject" >&2
  exit 2
fi
refuse() { echo "FAIL $*"; exit 1; }
[ -d "$given" ] && [ ! -L "$given" ] || refuse "$given is no folder"
dist=$(cd "$given" && pwd -P)
cd "$(dirname "$0")/.."

# 1. A link could make a name of the release read another file: the sums,
# the comparison and the signature checks would all follow it.
status=0
while IFS= read -r odd; do
  echo "FAIL $odd is a $(stat -c %F "$dist/$odd"), not a regular file or folder"
  status=1
done < <(cd "$dist" && find . -mindepth 1 ! -type f ! -type d | sed 's|^\./||' | sort)
[ $status = 0 ] || refuse "a release holds regular files and folders only"
[ -f "$dist/SHA256SUMS" ] || refuse "the release has no SHA256SUMS"
listed=$(sed 's/^[0-9a-f]\{64\}  //' "$dist/SHA256SUMS" | sort)
if grep -qv '^[0-9a-f]\{64\}  [^ /][^ ]*$' "$dist/SHA256SUMS"; then
  refuse "SHA256SUMS has a line that is not a SHA-256, two spaces and a name"
fi
held=$(cd "$dist" && find . -type f ! -path ./SHA256SUMS | sed 's|^\./||' | sort)
while IFS= read -r file; do
  [ -n "$file" ] && { echo "FAIL $file is a file SHA256SUMS does not list"; status=1; }
done < <(comm -13 <(echo "$listed") <(echo "$held"))
while IFS= read -r file; do
  [ -n "$file" ] && { echo "FAIL $file is listed in SHA256SUMS and missing"; status=1; }
done < <(comm -23 <(echo "$listed") <(echo "$held"))
[ $status = 0 ] || refuse "the release and its SHA256SUMS disagree"
while IFS= read -r line; do
  echo "FAIL ${line%: FAILED} does not match its SHA-256 in SHA256SUMS"
  status=1
done < <(cd "$dist" && sha256sum -c SHA256SUMS 2>/dev/null | grep ': FAILED$' || true)
[ $status = 0 ] || refuse "the release and its SHA256SUMS disagree"
echo "ok   every file is listed in SHA256SUMS and matches it"

# 2. The commit and the time.
sboms=()
for sbom in "$dist"/VRPSettingTool-*.cdx.json; do
  [ -f "$sbom" ] && sboms+=("$sbom")
done
[ ${#sboms[@]} -eq 1 ] ||
  refuse "$dist holds no single SBOM to name the release's commit"
named=$(python3 - "${sboms[0]}" 2>&1 <<'EOF'
import calendar, json, re, sys, time
try:
    document = json.load(open(sys.argv[1], encoding="utf-8"))
    metadata = document["metadata"]
    references = metadata["component"].get("externalReferences", [])
    commit = next(r["url"] for r in references if r.get("type") == "vcs")
    stamp = metadata["timestamp"]
except (ValueError, KeyError, TypeError, StopIteration) as error:
    sys.exit(f"its commit (a vcs reference) or its time is missing ({error!r})")
if not re.fullmatch(r"[0-9a-f]{40}", str(commit)):
    sys.exit(f"its commit {commit!r} is no git commit")
try:
    epoch = calendar.timegm(time.strptime(str(stamp), "%Y-%m-%dT%H:%M:%SZ"))
except ValueError:
    sys.exit(f"its time {stamp!r} is not of the form 2026-12-09T17:30:00Z")
print(commit, epoch, stamp)
EOF
) || refuse "the SBOM $(basename "${sboms[0]}") cannot say what the release is: $named"
read -r commit epoch stamp <<<"$named"
echo "The release names commit $commit, made at $stamp."
[ "$commit" = "$(git rev-parse HEAD)" ] ||
  refuse "this checkout is $(git rev-parse HEAD): run this from a clean" \
    "checkout of $commit (git checkout $commit)"
commit_time=$(git log -1 --format=%ct)
[ "$epoch" = "$commit_time" ] ||
  refuse "the release claims to be made at $stamp, but commit $commit was" \
    "made at $(date -u -d "@$commit_time" +%FT%TZ): a release is made at" \
    "its commit's time"

# 3. Signatures. attach-signature in the rebuild does not judge them, and a
# detached signature re-attached to the rebuild matches a release made with
# it, whatever it signs: only osslsigncode verify tells.
attach=()
signed=(VRPSettingTool.exe vrpset.exe)
for msi in "$dist"/*.msi; do
  [ -f "$msi" ] && signed+=("$(basename "$msi")")
done
if [ -d "$dist/unsigned" ]; then
  [ -d "$dist/sigs" ] ||
    refuse "a signed release (unsigned/) without its detached signatures (sigs/)"
  attach=(--attach "$dist/sigs")
  trust=()
  if [ -n "$ca" ]; then
    trust=(-CAfile "$ca")
    [ -z "$crl" ] || trust+=(-CRLfile "$crl" -ignore-cdp)
    [ -z "$ts_ca" ] || trust+=(-TSA-CAfile "$ts_ca")
  fi
  for name in "${signed[@]}"; do
    report=$(osslsigncode verify "${trust[@]}" -in "$dist/$name" 2>&1) &&
      verified=yes || verified=no
    subject=$(sed -n '/^Signer.s certificate:/,/Subject:/s/^[[:space:]]*Subject: //p' \
      <<<"$report" | head -1)
    if ! grep -q '^Calculated message digest' <<<"$report"; then
      echo "FAIL $name carries no signature"
      status=1
    elif grep -q MISMATCH <<<"$report"; then
      echo "FAIL $name: its signature is over other bytes (the digest it signs is not the file's)"
      status=1
    elif [ -n "$ca" ] && [ $verified = no ]; then
      echo "FAIL $name: its signature does not verify against $(basename "$ca"):" \
        "$(grep -i -m1 'error' <<<"$report" || echo "osslsigncode says no")"
      status=1
    elif [ -n "$signer" ] && [ "$subject" != "$signer" ]; then
      echo "FAIL $name is signed by $subject, not by $signer (--signer)"
      status=1
    elif [ -n "$ca" ]; then
      echo "ok   $name is signed by $subject, verified against $(basename "$ca")"
    else
      echo "ok   $name: its signature is over its bytes, by a certificate naming $subject"
    fi
  done
  [ $status = 0 ] || refuse "a signature does not hold"
  [ -n "$ca" ] ||
    echo "NOTE signatures match their files; the signer is NOT verified (give --ca-file and --signer)"
else
  echo "NOTE this release is not signed"
fi

# 4. The rebuild. A release made without --url-base has no winget manifests.
url_base=
installer=$dist/winget/Norvel.VRPSettingTool.installer.yaml
if [ -f "$installer" ]; then
  url_base=$(sed -n '/^  InstallerUrl: /{s|^  InstallerUrl: \(.*\)/[^/]*$|\1|p;q}' "$installer")
fi
rebuilt=build/verify-release
rm -rf "$rebuilt"
env -u SOURCE_DATE_EPOCH scripts/release.sh --out "$rebuilt" \
  ${url_base:+--url-base "$url_base"} "${attach[@]}" >"$rebuilt.log" 2>&1 ||
  { tail -30 "$rebuilt.log"; refuse "the release could not be rebuilt"; }

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
exit $status
