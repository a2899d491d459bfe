#!/usr/bin/env bash
# Builds the shipped exes twice from clean, each from its own copy of the
# sources in folders of different names and lengths, and fails unless the
# two builds are byte for byte the same: anyone can then check that an exe
# came from a given commit by building it again.
# Usage: check_reproducible.sh TARGET...   (from the source tree)
set -euo pipefail
cd "$(dirname "$0")/.."
targets=("$@")
work=build/reproducible
rm -rf "$work"
for copy in a/src another-folder/sources; do
  dest=$work/$copy
  mkdir -p "$dest"
  # The working tree's files as git sees them (a removed file is skipped).
  git ls-files -z --cached --others --exclude-standard |
    while IFS= read -r -d '' file; do
      [ -e "$file" ] && printf '%s\0' "$file"
    done | xargs -0 cp --parents -t "$dest"
  (cd "$dest" && cmake --preset win32 >/dev/null &&
     cmake --build --preset win32 -j2 --target "${targets[@]}" >/dev/null) ||
    { echo "FAIL: the build in $dest failed"; exit 1; }
done
status=0
for target in "${targets[@]}"; do
  first=$work/a/src/build/win32/bin/$target.exe
  second=$work/another-folder/sources/build/win32/bin/$target.exe
  if cmp -s "$first" "$second"; then
    echo "ok   $target.exe is reproducible: $(sha256sum <"$first" | cut -d' ' -f1)"
  else
    echo "FAIL $target.exe differs between two clean builds:"
    cmp -l "$first" "$second" | head -5
    status=1
  fi
done
rm -rf "$work"
exit $status
