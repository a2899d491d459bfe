#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test: the host
# unit and contract tests (plain, then under AddressSanitizer and UBSan), the
# Windows unit, contract and end-to-end tests of the 64-bit twin under Wine,
# and the checks of the shipped 32-bit exe (which this machine cannot
# execute).
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh || exit 1

total_passed=0
total_failed=0
status=0
for preset in host host-asan win64 win32; do
  echo "== $preset"
  if ! cmake --preset "$preset" >/dev/null ||
     ! cmake --build --preset "$preset" -j2 >"build/$preset-build.log" 2>&1; then
    cat "build/$preset-build.log" 2>/dev/null
    echo "build of $preset failed"
    exit 1
  fi
  log="build/$preset-test.log"
  ctest --preset "$preset" -j2 2>&1 | tee "$log"
  [ "${PIPESTATUS[0]}" -eq 0 ] || status=1
  read -r failed count < <(sed -n \
    's/.*tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\).*/\1 \2/p' "$log")
  if [ -z "${count:-}" ]; then
    echo "no test summary from $preset"
    status=1
    continue
  fi
  total_passed=$((total_passed + count - failed))
  total_failed=$((total_failed + failed))
done
echo "tests: $total_passed passed, $total_failed failed"
exit $status
