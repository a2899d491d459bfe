#!/usr/bin/env bash
# Makes the unsigned release twice, each from its own clean clone of the
# commit in folders of different names and lengths, and fails unless the
# two are byte for byte the same: both exes, the zip, the MSI, the SBOM,
# SHA256SUMS and the winget manifests; then verify-release.sh, in one clone,
# passes the other's release. Anyone can then check that a release came
# from a given commit by making it again.
# Usage: check_reproducible.sh   (from the source tree)
set -euo pipefail
cd "$(dirname "$0")/.."
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
work=build/reproducible
rm -rf "$work"
copies=(a/src another-folder/sources)
for copy in "${copies[@]}"; do
  dest=$work/$copy
  mkdir -p "$(dirname "$dest")"
  git clone -q --no-local . "$dest"
  (cd "$dest" && scripts/release.sh --url-base https://downloads.example.invalid/vrp \
     >/dev/null) || { echo "FAIL: the release in $dest failed"; exit 1; }
done
first=$work/${copies[0]}/dist
second=$work/${copies[1]}/dist
status=0
while IFS= read -r file; do
  if cmp -s "$first/$file" "$second/$file"; then
    echo "ok   $file is reproducible: $(sha256sum <"$first/$file" | cut -d' ' -f1)"
  else
    echo "FAIL $file differs between two clean releases"
    status=1
  fi
done < <(cd "$first" && find . -type f | sed 's|^\./||' | sort)
if ! diff -q <(cd "$first" && find . -type f | sort) \
             <(cd "$second" && find . -type f | sort) >/dev/null; then
  echo "FAIL the two releases hold different files"
  status=1
fi
second=$(cd "$second" && pwd)
if (cd "$work/${copies[0]}" && scripts/verify-release.sh "$second") \
     >"$work/verify.log" 2>&1; then
  echo "ok   verify-release.sh passes the unsigned release of another clone"
else
  cat "$work/verify.log"
  echo "FAIL verify-release.sh refuses the unsigned release of another clone"
  status=1
fi
rm -rf "$work"
exit $status
