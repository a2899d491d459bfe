#!/usr/bin/env bash
# A signed release as a maintainer makes it and a user checks it, with a
# throwaway CA and code-signing certificate: release.sh refuses a working
# tree with an untracked file; the signatures verify against the CA and stop
# verifying after one flipped byte; verify-release.sh rebuilds the whole
# release and reproduces it, signed and unsigned, and refuses tampered ones
# (a byte changed in the zip; the zip's vrpset.exe swapped and SHA256SUMS
# made anew; sigs/ removed and an exe swapped; a release naming another
# commit; a file it does not know); the SBOM is valid CycloneDX 1.6 by the
# CycloneDX project's own validator; the winget manifests carry every field
# their 1.12.0 schemas require, and the zip's and the MSI's hashes.
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

touch untracked-file
if scripts/release.sh >"$work/dirty.log" 2>&1; then
  fail "release.sh makes a release from a working tree with an untracked file"
else
  ok "release.sh refuses a working tree with an untracked file"
fi
rm untracked-file

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

if scripts/verify-release.sh dist --ca-file "$work/ca.pem" >"$work/verify.log"
then
  ok "verify-release.sh reproduces the signed release"
else
  cat "$work/verify.log"
  fail "verify-release.sh does not reproduce the signed release"
fi

# tampered NAME COMMAND...: a copy of the release, changed by COMMAND (run in
# it) and with SHA256SUMS made anew, which verify-release.sh must refuse.
tampered() {
  local name=$1
  shift
  rm -rf "$work/tampered"
  cp -r dist "$work/tampered"
  (cd "$work/tampered" && "$@" &&
     sha256sum $(awk '{print $2}' SHA256SUMS) >SHA256SUMS.new &&
     mv SHA256SUMS.new SHA256SUMS)
  if scripts/verify-release.sh "$work/tampered" >"$work/verify.log" 2>&1; then
    fail "verify-release.sh accepts $name"
  else
    ok "verify-release.sh refuses $name: $(grep FAIL "$work/verify.log" |
      grep -v SHA256SUMS | head -1)"
  fi
}
flip_zip_byte() {
  printf 'X' | dd of="$(ls ./*.zip)" bs=1 seek=100 conv=notrunc 2>/dev/null
}
swap_zipped_vrpset() {
  python3 - ./*.zip <<'EOF'
import shutil, sys, zipfile
with zipfile.ZipFile(sys.argv[1]) as old, zipfile.ZipFile("new.zip", "w") as new:
    for info in old.infolist():
        data = old.read(info)
        if info.filename.endswith("/vrpset.exe"):
            data = open("VRPSettingTool.exe", "rb").read()
        new.writestr(info, data)
shutil.move("new.zip", sys.argv[1])
EOF
}
unsign_and_swap() { rm -r sigs && cp VRPSettingTool.exe vrpset.exe; }
head=$(git rev-parse HEAD)
name_another_commit() { sed -i "s/$head/$(printf '%040d' 0)/" ./*.cdx.json; }
add_unknown_file() { echo extra >notes.txt && sha256sum notes.txt >>SHA256SUMS; }
tampered "a zip with one byte changed" flip_zip_byte
tampered "a zip whose vrpset.exe was swapped" swap_zipped_vrpset
tampered "a release without sigs/ whose vrpset.exe was swapped" unsign_and_swap
tampered "a release naming another commit" name_another_commit
tampered "a file it does not know" add_unknown_file

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
