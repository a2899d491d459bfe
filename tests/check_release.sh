#!/usr/bin/env bash
# A signed release as a maintainer makes it and a user checks it, with a
# throwaway CA and code-signing certificate: the signatures verify against
# the CA and stop verifying after one flipped byte; verify-release.sh
# rebuilds the exes and reproduces the signed ones, and refuses a release
# with one byte changed; the SBOM is valid CycloneDX 1.6 by the CycloneDX
# project's own validator; the winget manifests carry every field their
# 1.12.0 schemas require, and the zip's hash.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
ok() { echo "ok   $*"; }
fail() { echo "FAIL $*"; status=1; }

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=VRP Test CA" \
  -addext basicConstraints=critical,CA:TRUE \
  -addext keyUsage=critical,keyCertSign,cRLSign \
  -keyout "$work/ca.key" -out "$work/ca.pem" 2>/dev/null
openssl req -newkey rsa:2048 -nodes -subj "/CN=Norvel Test/O=Norvel Corporation" \
  -keyout "$work/sign.key" -out "$work/sign.csr" 2>/dev/null
printf '%s\n' basicConstraints=CA:FALSE keyUsage=critical,digitalSignature \
  extendedKeyUsage=codeSigning >"$work/ext.cnf"
openssl x509 -req -in "$work/sign.csr" -CA "$work/ca.pem" -CAkey "$work/ca.key" \
  -CAcreateserial -days 2 -extfile "$work/ext.cnf" -out "$work/sign.pem" \
  2>/dev/null

scripts/release.sh --url-base https://downloads.example.invalid/vrp \
  --sign -- -certs "$work/sign.pem" -key "$work/sign.key" >"$work/release.log" ||
  { cat "$work/release.log"; exit 1; }

for exe in VRPSettingTool.exe vrpset.exe; do
  if osslsigncode verify -CAfile "$work/ca.pem" -in "dist/$exe" >/dev/null 2>&1
  then ok "$exe is signed, and verifies against the CA"
  else fail "$exe does not verify against the CA"
  fi
  cp "dist/$exe" "$work/flipped.exe"
  middle=$(($(stat -c %s "$work/flipped.exe") / 2))
  byte=$(od -An -tu1 -j "$middle" -N1 "$work/flipped.exe")
  printf "\\$(printf '%03o' $((255 - byte)))" |
    dd of="$work/flipped.exe" bs=1 seek="$middle" conv=notrunc 2>/dev/null
  if osslsigncode verify -CAfile "$work/ca.pem" -in "$work/flipped.exe" \
       >/dev/null 2>&1
  then fail "$exe with one byte flipped still verifies"
  else ok "$exe with one byte flipped no longer verifies"
  fi
done

if scripts/verify-release.sh dist --ca-file "$work/ca.pem"; then
  ok "verify-release.sh reproduces the signed release"
else
  fail "verify-release.sh does not reproduce the signed release"
fi
cp -r dist "$work/tampered"
zip=$(ls "$work"/tampered/*.zip)
printf 'X' | dd of="$zip" bs=1 seek=100 conv=notrunc 2>/dev/null
if scripts/verify-release.sh "$work/tampered" >/dev/null 2>&1; then
  fail "verify-release.sh accepts a zip with one byte changed"
else
  ok "verify-release.sh refuses a zip with one byte changed"
fi

validator=build/sbom-validator
if [ ! -d "$validator/node_modules/@cyclonedx" ]; then
  mkdir -p "$validator"
  cp tests/release/package.json "$validator/"
  (cd "$validator" && npm install --no-package-lock --no-audit --no-fund \
     --silent) || fail "the SBOM validator could not be installed"
fi
NODE_PATH=$validator/node_modules node tests/release/validate_sbom.js \
  dist/VRPSettingTool-*.cdx.json || status=1

/usr/bin/python3 tests/release/check_winget.py dist || status=1
exit $status
