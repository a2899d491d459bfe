#!/usr/bin/env bash
# A signed release as a maintainer makes it and a user checks it, with a
# throwaway CA and code-signing certificate, and a URL base with a space and
# an & in it: release.sh refuses a working
# tree with an untracked file, and a SOURCE_DATE_EPOCH other than the
# commit's time; the signatures verify against the CA and stop verifying
# after one flipped byte; verify-release.sh rebuilds the whole release and
# reproduces it, signed with --url-base and unsigned without, names the
# signer with its certificate's SHA-256 and issuer, pins it with --signer,
# --signer-sha256 and the URL base with --url-base, refuses a signer that
# the CRL given with --crl-file revokes, another certificate than
# --signer-sha256, another URL base than --url-base, --ca-file or
# --signer-sha256 on an unsigned release, and tampered ones, each for its
# reason (a stranger's signature on the MSI with the maintainer's nested
# under it, the sums made anew by release.sh --attach; an unauthenticated
# blob beside vrpset.exe's signature; a release handed over from the
# checkout's build/, and one that holds the rebuild's temporary folder; a
# folder VRPSettingTool.exe.local/; a name with a control character; a
# byte changed in the zip; the zip's vrpset.exe swapped and
# SHA256SUMS made anew; sigs/ removed and an exe swapped; a release naming
# another commit; a file it does not know; a file SHA256SUMS does not list;
# vrpset.exe a link to the dialog; winget/ a link to other manifests; the
# dialog's signature on vrpset.exe; an SBOM of another time, and one whose
# time cannot be read); the SBOM is valid CycloneDX 1.6 by the
# CycloneDX project's own validator; the winget manifests carry every field
# their 1.12.0 schemas require, and the zip's and the MSI's hashes.
set -euo pipefail
cd "$(dirname "$0")/.."
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
ok() { echo "ok   $*"; }
fail() { echo "FAIL $*"; status=1; }

# refused NAME REASON DIST [OPTIONS...]: verify-release.sh must refuse DIST
# with a FAIL line that says REASON.
refused() {
  local name=$1 reason=$2 dist=$3
  shift 3
  if scripts/verify-release.sh "$dist" "$@" >"$work/verify.log" 2>&1; then
    fail "verify-release.sh accepts $name"
  elif grep '^FAIL' "$work/verify.log" | grep -qF -- "$reason"; then
    ok "verify-release.sh refuses $name: $(grep -m1 -F -- "$reason" "$work/verify.log")"
  else
    cat "$work/verify.log"
    fail "verify-release.sh refuses $name without saying \"$reason\""
  fi
}

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
# A stranger's self-made certificate naming the maintainer's subject.
openssl req -x509 -newkey rsa:2048 -nodes -days 2 \
  -subj "/CN=Norvel Test/O=Norvel Corporation" \
  -addext extendedKeyUsage=codeSigning \
  -keyout "$work/stranger.key" -out "$work/stranger.pem" 2>/dev/null
sha256_of() { openssl x509 -in "$1" -outform der | sha256sum | cut -c1-64; }
url="https://downloads.example.invalid/vrp releases&more"

touch untracked-file
if scripts/release.sh >"$work/dirty.log" 2>&1; then
  fail "release.sh makes a release from a working tree with an untracked file"
else
  ok "release.sh refuses a working tree with an untracked file"
fi
rm untracked-file
if SOURCE_DATE_EPOCH=946684800 scripts/release.sh >"$work/backdated.log" 2>&1; then
  fail "release.sh makes a release dated 2000-01-01 of a commit of $(git log -1 --format=%cs)"
elif grep -q "is not the time of commit" "$work/backdated.log"; then
  ok "release.sh refuses a SOURCE_DATE_EPOCH other than the commit's time"
else
  fail "release.sh refuses a backdated release without saying why"
fi

scripts/release.sh --url-base "$url" \
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

signer="/CN=Norvel Test/O=Norvel Corporation"
if scripts/verify-release.sh dist --ca-file "$work/ca.pem" --signer "$signer" \
     --signer-sha256 "$(sha256_of "$work/sign.pem")" --url-base "$url" \
     >"$work/verify.log" &&
   [ "$(grep -cF "is signed by $signer, verified against ca.pem (certificate SHA-256 $(sha256_of "$work/sign.pem"), issued by /CN=VRP Test CA)" "$work/verify.log")" = 3 ] &&
   grep -qF "URL base is \"$url\"" "$work/verify.log"
then
  ok "verify-release.sh reproduces the signed release of URL base \"$url\", each file signed by $signer, its certificate's SHA-256 and issuer named"
else
  cat "$work/verify.log"
  fail "verify-release.sh does not reproduce the signed release"
fi
if scripts/verify-release.sh dist --ca-file "$work/ca.pem" \
     --signer "/CN=Someone Else" >"$work/verify.log" 2>&1; then
  fail "verify-release.sh passes a release signed by someone else than --signer"
elif grep -q "is signed by $signer, not by /CN=Someone Else" "$work/verify.log"; then
  ok "verify-release.sh refuses a signer other than --signer, and names both"
else
  cat "$work/verify.log"
  fail "verify-release.sh refuses another signer without saying why"
fi

# The CA revokes the signing certificate: given its CRL, nothing is
# fetched and the signatures are refused.
mkdir "$work/crl" && touch "$work/crl/index.txt"
printf '%s\n' '[ca]' default_ca=throwaway '[throwaway]' \
  "database=$work/crl/index.txt" default_md=sha256 default_crl_days=2 \
  >"$work/crl/ca.cnf"
crl() { openssl ca -config "$work/crl/ca.cnf" -keyfile "$work/ca.key" -cert "$work/ca.pem" "$@" 2>/dev/null; }
crl -revoke "$work/sign.pem" && crl -gencrl -out "$work/revoked.crl"
if scripts/verify-release.sh dist --ca-file "$work/ca.pem" \
     --crl-file "$work/revoked.crl" >"$work/verify.log" 2>&1; then
  fail "verify-release.sh passes a release whose signer the given CRL revokes"
elif grep -q "^FAIL vrpset.exe: .*certificate revoked" "$work/verify.log"; then
  ok "verify-release.sh refuses a signer revoked by the CRL of --crl-file"
else
  cat "$work/verify.log"
  fail "verify-release.sh refuses a revoked signer without saying so"
fi

# A release made without --url-base (no winget manifests) verifies too.
scripts/release.sh --out "$work/plain" >"$work/plain.log" ||
  { cat "$work/plain.log"; exit 1; }
if scripts/verify-release.sh "$work/plain" >"$work/verify.log" 2>&1; then
  ok "verify-release.sh reproduces an unsigned release made without --url-base"
else
  cat "$work/verify.log"
  fail "verify-release.sh does not reproduce a release made without --url-base"
fi
refused "--ca-file on an unsigned release" "this release is not signed" \
  "$work/plain" --ca-file "$work/ca.pem"
refused "--signer-sha256 on an unsigned release" "this release is not signed" \
  "$work/plain" --ca-file "$work/ca.pem" \
  --signer-sha256 "$(sha256_of "$work/sign.pem")"
rm -rf "$work/plain"

refused "another certificate than --signer-sha256 (a stranger's)" \
  "not $(sha256_of "$work/stranger.pem") (--signer-sha256)" dist \
  --ca-file "$work/ca.pem" --signer-sha256 "$(sha256_of "$work/stranger.pem")"
refused "another URL base than --url-base" \
  "URL base is \"$url\", not \"https://elsewhere.example.invalid/vrp\" (--url-base)" \
  dist --url-base https://elsewhere.example.invalid/vrp

# A stranger signs the MSI with a certificate of the maintainer's subject,
# nests the maintainer's signature under it, and makes the release anew
# with release.sh --attach, so that every sum and manifest agrees.
msi=$(basename dist/*.msi)
cp -r dist/sigs "$work/nested-sigs"
osslsigncode sign -h sha256 -certs "$work/stranger.pem" -key "$work/stranger.key" \
  -in "dist/unsigned/$msi" -out "$work/stranger.msi" >/dev/null
osslsigncode attach-signature -nest -sigin "dist/sigs/$msi.p7s" \
  -in "$work/stranger.msi" -out "$work/nested.msi" >/dev/null 2>&1 || true
rm "$work/nested-sigs/$msi.p7s"
osslsigncode extract-signature -in "$work/nested.msi" \
  -out "$work/nested-sigs/$msi.p7s" >/dev/null
scripts/release.sh --out "$work/nested" --url-base "$url" \
  --attach "$work/nested-sigs" >"$work/nested.log" 2>&1 ||
  { cat "$work/nested.log"; exit 1; }
refused "a stranger's signature on the MSI over the maintainer's, nested" \
  "$msi carries more than one signature" "$work/nested" \
  --ca-file "$work/ca.pem" --signer "$signer"
rm -rf "$work/nested" "$work/nested-sigs"

# A release handed over from the checkout's build/, where release.sh builds
# (the rebuild once went there too, and compared the release with itself),
# with vrpset.exe swapped; and a TMPDIR inside the release.
rm -rf build/verify-release && cp -r dist build/verify-release
cp dist/VRPSettingTool.exe build/verify-release/vrpset.exe
refused "a release in the checkout's build/" \
  "build/verify-release lies inside $PWD/build, where the rebuild writes" \
  build/verify-release
rm -rf build/verify-release
cp -r dist "$work/holding"
TMPDIR=$work/holding refused "a release that holds the rebuild's folder" \
  "holding is or holds $work/holding/vrp-verify." "$work/holding"
rm -rf "$work/holding"

# tampered NAME REASON COMMAND...: a copy of the release, changed by COMMAND
# (run in it) and with SHA256SUMS made anew for the names it lists, which
# verify-release.sh must refuse with a line that says REASON.
tampered() {
  local name=$1 reason=$2
  shift 2
  rm -rf "$work/tampered"
  cp -r dist "$work/tampered"
  (cd "$work/tampered" && "$@" &&
     for listed in $(awk '{print $2}' SHA256SUMS); do
       [ ! -e "$listed" ] || sha256sum "$listed"
     done >SHA256SUMS.new &&
     mv SHA256SUMS.new SHA256SUMS) || { fail "$name: cannot tamper"; return; }
  refused "$name" "$reason" "$work/tampered"
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
add_unlisted_file() { echo extra >notes.txt; }
link_vrpset() { rm vrpset.exe && ln -s VRPSettingTool.exe vrpset.exe; }
link_winget() {
  rm -rf "$work/other-winget" && mv winget "$work/other-winget" &&
    sed -i 's|downloads.example.invalid|elsewhere.example.invalid|' \
      "$work/other-winget"/*.yaml &&
    ln -s "$work/other-winget" winget
}
# The dialog's detached signature attached to vrpset.exe: the rebuild,
# attaching sigs/ as they are, would make the same bytes.
sign_vrpset_as_dialog() {
  cp sigs/VRPSettingTool.exe.p7s sigs/vrpset.exe.p7s &&
    osslsigncode attach-signature -sigin sigs/vrpset.exe.p7s \
      -in unsigned/vrpset.exe -out vrpset.signed.exe >/dev/null 2>&1 || true
  mv vrpset.signed.exe vrpset.exe
}
# The blob goes into sigs/ too, so that the rebuild attaches the same.
blob_beside_vrpset() {
  osslsigncode add -addUnauthenticatedBlob -in vrpset.exe -out blob.exe \
    >/dev/null && mv blob.exe vrpset.exe && rm sigs/vrpset.exe.p7s &&
    osslsigncode extract-signature -in vrpset.exe -out sigs/vrpset.exe.p7s \
      >/dev/null
}
add_local_folder() { mkdir VRPSettingTool.exe.local; }
add_control_name() { echo extra >$'notes\a.txt' && sha256sum $'notes\a.txt' >>SHA256SUMS; }
sbom_time() { sed -i "s/\"timestamp\": \"[^\"]*\"/\"timestamp\": \"$1\"/" ./*.cdx.json; }
backdate_sbom() { sbom_time 2000-01-01T00:00:00Z; }
garble_sbom_time() { sbom_time "9 December 2026"; }
tampered "an unauthenticated blob beside vrpset.exe's signature" \
  "vrpset.exe carries an unauthenticated blob" blob_beside_vrpset
tampered "an empty folder VRPSettingTool.exe.local/" \
  "VRPSettingTool.exe.local/ is a folder a release does not have" \
  add_local_folder
tampered "a file name with a control character" \
  "\$'notes\\a.txt' has a control character in its name" add_control_name
tampered "a zip with one byte changed" "zip differs from the rebuilt one" \
  flip_zip_byte
tampered "a zip whose vrpset.exe was swapped" \
  "zip differs from the rebuilt one" swap_zipped_vrpset
tampered "a release without sigs/ whose vrpset.exe was swapped" \
  "without its detached signatures" unsign_and_swap
tampered "a release naming another commit" "run this from a clean checkout" \
  name_another_commit
tampered "a file it does not know" "notes.txt is no file of this release" \
  add_unknown_file
tampered "a file SHA256SUMS does not list" \
  "notes.txt is a file SHA256SUMS does not list" add_unlisted_file
tampered "vrpset.exe linked to the signed dialog" \
  "vrpset.exe is a symbolic link" link_vrpset
tampered "winget/ linked to manifests of another URL" \
  "winget is a symbolic link" link_winget
tampered "the dialog's signature on vrpset.exe" \
  "vrpset.exe: its signature is over other bytes" sign_vrpset_as_dialog
tampered "an SBOM dated 2000 for a commit of $(git log -1 --format=%cs)" \
  "claims to be made at 2000-01-01T00:00:00Z" backdate_sbom
tampered "an SBOM whose time cannot be read" \
  "its time '9 December 2026' is not of the form" garble_sbom_time

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
