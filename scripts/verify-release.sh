#!/usr/bin/env bash
# Checks a release as anyone can, from a clean checkout of the commit it
# names (in its SBOM), and says why whenever it refuses:
#  1. DIST holds regular files and the folders sigs/, unsigned/ and winget/
#     only (no links, no other folder, no name with a control character),
#     and SHA256SUMS lists every file and matches it;
#  2. the SBOM names this checkout's commit, and the commit's time as the
#     release's: a release is made at its commit's time; the URL base it
#     records is printed, and with --url-base must be URL;
#  3. every Authenticode signature (both exes and the MSI of a signed
#     release) is the file's only one (no nested signature, no
#     unauthenticated blob), and over its own file's bytes, by
#     osslsigncode; with --ca-file that signature is verified against that
#     CA and revocation checked, with --signer the signer's subject must be
#     SUBJECT, with --signer-sha256 its certificate's SHA-256 must be HEX;
#     each signer is named with its certificate's SHA-256 and its issuer;
#  4. the whole release is rebuilt from this checkout with release.sh, into
#     a fresh temporary folder, the detached signatures of a signed release
#     re-attached, and every file of DIST must equal its rebuilt twin, byte
#     for byte: the zip, the MSI, the SBOM, SHA256SUMS, the exes, the winget
#     manifests. A file the rebuild does not make, or one it makes that
#     DIST lacks, fails.
#
# Usage: scripts/verify-release.sh DIST [--url-base URL] [--ca-file CA.pem [--signer SUBJECT] [--signer-sha256 HEX] [--crl-file CRL.pem] [--ts-ca-file TSA-CA.pem]]
#   --signer-sha256: the SHA-256 of the signer's certificate (DER), in hex,
#   colons allowed (as openssl x509 -fingerprint -sha256 prints it);
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
signer_sha256=
crl=
ts_ca=
pinned_url=
pin_url=no
while [ $# -gt 0 ]; do
  case $1 in
    --ca-file) [ $# -ge 2 ] || usage; ca=$(realpath "$2"); shift 2 ;;
    --signer) [ $# -ge 2 ] || usage; signer=$2; shift 2 ;;
    --signer-sha256) [ $# -ge 2 ] || usage
      signer_sha256=$(tr -d : <<<"$2" | tr A-F a-f); shift 2
      [[ $signer_sha256 =~ ^[0-9a-f]{64}$ ]] ||
        { echo "--signer-sha256 takes 64 hex digits (colons allowed)" >&2; exit 2; } ;;
    --crl-file) [ $# -ge 2 ] || usage; crl=$(realpath "$2"); shift 2 ;;
    --ts-ca-file) [ $# -ge 2 ] || usage; ts_ca=$(realpath "$2"); shift 2 ;;
    --url-base) [ $# -ge 2 ] || usage; pinned_url=$2; pin_url=yes; shift 2 ;;
    *) usage ;;
  esac
done
if [ -z "$ca" ] && [ -n "$signer$signer_sha256$crl$ts_ca" ]; then
  echo "--signer, --signer-sha256, --crl-file and --ts-ca-file need --ca-file:" \
    "without a CA nothing shows that the certificate's key made the signature," \
    "and anyone can make a certificate of any subject" >&2
  exit 2
fi
refuse() { echo "FAIL $*"; exit 1; }
[ -d "$given" ] && [ ! -L "$given" ] || refuse "$given is no folder"
dist=$(cd "$given" && pwd -P)
cd "$(dirname "$0")/.."
checkout=$(pwd -P)

# The rebuild writes into a fresh temporary folder and, through release.sh,
# into the checkout's build/; a release in either would be deleted or
# overwritten, and then compared with itself.
scratch=$(mktemp -d -t vrp-verify.XXXXXXXX)
trap 'rm -rf "$scratch"' EXIT
scratch=$(cd "$scratch" && pwd -P)
for place in "$scratch" "$checkout/build"; do
  case "$dist/" in
    "$place/"*) refuse "$dist lies inside $place, where the rebuild writes:" \
      "copy the release elsewhere" ;;
  esac
  case "$place/" in
    "$dist/"*) refuse "$dist is or holds $place, where the rebuild writes:" \
      "copy the release elsewhere (or set TMPDIR to a folder outside it)" ;;
  esac
done

# 1. A link could make a name of the release read another file: the sums,
# the comparison and the signature checks would all follow it. A folder a
# release does not have (VRPSettingTool.exe.local/, say) changes what
# Windows loads beside the exe; a control character hides a name from
# whoever reads the list. Names are printed escaped.
status=0
while IFS= read -r -d '' entry; do
  entry=${entry#./}
  if [[ $entry == *[[:cntrl:]]* ]]; then
    echo "FAIL $(printf %q "$entry") has a control character in its name"
    status=1
  elif [ -L "$dist/$entry" ] || { [ ! -f "$dist/$entry" ] && [ ! -d "$dist/$entry" ]; }; then
    echo "FAIL $(printf %q "$entry") is a $(stat -c %F "$dist/$entry"), not a regular file or folder"
    status=1
  elif [ -d "$dist/$entry" ]; then
    case $entry in
      sigs | unsigned | winget) ;;
      *) echo "FAIL $(printf %q "$entry")/ is a folder a release does not have" \
           "(it has sigs/, unsigned/ and winget/ only)"
         status=1 ;;
    esac
  fi
done < <(cd "$dist" && find . -mindepth 1 -print0 | sort -z)
[ $status = 0 ] ||
  refuse "a release holds regular files and the folders sigs/, unsigned/ and winget/ only"
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
    url_bases = [p["value"] for p in metadata["component"].get("properties", [])
                 if p.get("name") == "norvel:release:url-base"]
except (ValueError, KeyError, TypeError, StopIteration) as error:
    sys.exit(f"its commit (a vcs reference) or its time is missing ({error!r})")
if not re.fullmatch(r"[0-9a-f]{40}", str(commit)):
    sys.exit(f"its commit {commit!r} is no git commit")
try:
    epoch = calendar.timegm(time.strptime(str(stamp), "%Y-%m-%dT%H:%M:%SZ"))
except ValueError:
    sys.exit(f"its time {stamp!r} is not of the form 2026-12-09T17:30:00Z")
if len(url_bases) > 1 or any(re.search(r"[\x00-\x1f\x7f]", str(u))
                             for u in url_bases):
    sys.exit(f"its URL base {url_bases!r} is not one line")
print(commit, epoch, stamp)
print(url_bases[0] if url_bases else "")
EOF
) || refuse "the SBOM $(basename "${sboms[0]}") cannot say what the release is: $named"
{ read -r commit epoch stamp; IFS= read -r url_base || true; } <<<"$named"
echo "The release names commit $commit, made at $stamp."
# The URL base is the MSI's "about" link and where the winget manifests send
# every installation: a rebuild with it reproduces whatever it is, so only
# --url-base says whether it is the right one.
if [ -n "$url_base" ]; then
  echo "The release's URL base is \"$url_base\" (the MSI's about link, the winget installer URLs)."
else
  echo "The release has no URL base (no winget manifests, no about link)."
fi
if [ $pin_url = yes ] && [ "$url_base" != "$pinned_url" ]; then
  refuse "the release's URL base is \"$url_base\", not \"$pinned_url\" (--url-base)"
fi
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
# it, whatever it signs: only osslsigncode verify tells. Windows judges the
# first signature alone, while osslsigncode verify succeeds when any one
# verifies: a stranger's signature with the maintainer's nested under it
# would pass. So a signed file carries one signature and nothing unsigned
# beside it, and that one, index 0, is the one verified.

# leaf_sha256 FILE SUBJECT ISSUER SERIAL: the SHA-256 of the certificate in
# FILE's signature that osslsigncode named as its signer, or nothing.
leaf_sha256() {
  local cert
  rm -f "$scratch"/cert*.pem "$scratch/sig.pem"
  osslsigncode extract-signature -pem -in "$1" -out "$scratch/sig.pem" \
    >/dev/null 2>&1 || return 0
  openssl pkcs7 -in "$scratch/sig.pem" -print_certs 2>/dev/null |
    awk -v dir="$scratch" '/-BEGIN CERTIFICATE-/ { n++ } n { print > (dir "/cert" n ".pem") }'
  for cert in "$scratch"/cert*.pem; do
    [ -f "$cert" ] || continue
    if [ "$(openssl x509 -in "$cert" -noout -subject -issuer -serial -nameopt compat)" = \
         "$(printf 'subject=%s\nissuer=%s\nserial=%s' "$2" "$3" "$4")" ]; then
      openssl x509 -in "$cert" -outform der | sha256sum | cut -c1-64
      return 0
    fi
  done
}

# signer_of FIELD: Subject, Issuer or Serial of the signer osslsigncode names
# in $report.
signer_of() {
  sed -n "/^Signer.s certificate:/,/Serial/s/^[[:space:]]*$1 *: //p" \
    <<<"$report" | head -1
}

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
    [ -z "$signer_sha256" ] || trust+=(-require-leaf-hash "sha256:$signer_sha256")
  fi
  for name in "${signed[@]}"; do
    survey=$(osslsigncode verify -in "$dist/$name" 2>&1 || true)
    report=$(osslsigncode verify -index 0 "${trust[@]}" -in "$dist/$name" 2>&1) &&
      verified=yes || verified=no
    subject=$(signer_of Subject)
    issuer=$(signer_of Issuer)
    sha256=$(leaf_sha256 "$dist/$name" "$subject" "$issuer" "$(signer_of Serial)")
    if ! grep -q '^Calculated message digest' <<<"$report"; then
      echo "FAIL $name carries no signature"
      status=1
    elif grep -q '^Signature Index: [1-9]' <<<"$survey"; then
      echo "FAIL $name carries more than one signature (a nested one): Windows" \
        "judges the first alone, whoever signed the others"
      status=1
    elif grep -q '^Unauthenticated Data Blob' <<<"$survey"; then
      echo "FAIL $name carries an unauthenticated blob beside its signature:" \
        "data that nobody signed"
      status=1
    elif grep -q MISMATCH <<<"$report"; then
      echo "FAIL $name: its signature is over other bytes (the digest it signs is not the file's)"
      status=1
    elif [ -n "$signer_sha256" ] && [ "$sha256" != "$signer_sha256" ]; then
      echo "FAIL $name is signed by the certificate of SHA-256 ${sha256:-unknown}" \
        "($subject), not $signer_sha256 (--signer-sha256)"
      status=1
    elif [ -n "$ca" ] && [ $verified = no ]; then
      echo "FAIL $name: its signature does not verify against $(basename "$ca"):" \
        "$(grep -i -m1 'error' <<<"$report" || echo "osslsigncode says no")"
      status=1
    elif [ -n "$signer" ] && [ "$subject" != "$signer" ]; then
      echo "FAIL $name is signed by $subject, not by $signer (--signer)"
      status=1
    elif [ -n "$ca" ]; then
      echo "ok   $name is signed by $subject, verified against $(basename "$ca")" \
        "(certificate SHA-256 $sha256, issued by $issuer)"
    else
      echo "ok   $name: its signature is over its bytes, by a certificate naming" \
        "$subject (SHA-256 $sha256, issued by $issuer)"
    fi
  done
  [ $status = 0 ] || refuse "a signature does not hold"
  [ -n "$ca" ] ||
    echo "NOTE signatures match their files; the signer is NOT verified" \
      "(give --ca-file and --signer or --signer-sha256)"
elif [ -n "$ca$signer$signer_sha256" ]; then
  refuse "this release is not signed (it has no unsigned/ and no sigs/), and" \
    "--ca-file, --signer and --signer-sha256 ask for a signed one"
else
  echo "NOTE this release is not signed"
fi

# 4. The rebuild, into the fresh folder, with the release's URL base.
rebuilt=$scratch/release
url=()
[ -z "$url_base" ] || url=(--url-base "$url_base")
env -u SOURCE_DATE_EPOCH scripts/release.sh --out "$rebuilt" "${url[@]}" \
  "${attach[@]}" >"$scratch/rebuild.log" 2>&1 ||
  { tail -30 "$scratch/rebuild.log"; refuse "the release could not be rebuilt"; }

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
