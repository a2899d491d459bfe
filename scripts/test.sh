#!/usr/bin/env bash
# Installs what is missing, builds everything and runs every test:
#  - host: the unit and contract tests against the fake, plainly and under
#    AddressSanitizer and UBSan; the libFuzzer targets for a bounded run;
#    clang-tidy over the logic;
#  - win64: the Windows unit, contract and end-to-end tests of the x86_64
#    twin under Wine, and a real Ansible run of vrpset.exe;
#  - win32: the shipped i686 exe's header, import table and resources, two
#    clean builds that must be identical, and the typical end-to-end
#    scenario on it under qemu-user emulation;
#  - the release: reproducible from two clean clones, signed and verified
#    (and tampered copies refused), its MSI installed, upgraded, refused as a
#    downgrade and removed by Wine's msiexec.
set -uo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh || exit 1
mkdir -p build

total_passed=0
total_failed=0

count() {  # count PASSED FAILED
  total_passed=$((total_passed + $1))
  total_failed=$((total_failed + $2))
}

run_preset() {
  local preset=$1
  echo "== $preset"
  if ! cmake --preset "$preset" >/dev/null ||
     ! cmake --build --preset "$preset" -j2 >"build/$preset-build.log" 2>&1; then
    tail -50 "build/$preset-build.log"
    echo "build of $preset failed"
    count 0 1
    return
  fi
  local log="build/$preset-test.log"
  ctest --preset "$preset" -j2 2>&1 | tee "$log"
  local failed total
  read -r failed total < <(sed -n \
    's/.*tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\).*/\1 \2/p' "$log")
  if [ -z "${total:-}" ]; then
    echo "no test summary from $preset"
    count 0 1
  else
    count $((total - failed)) "$failed"
  fi
}

# A step that is one check: it passes when its command exits 0.
run_step() {
  local name=$1
  shift
  echo "== $name"
  if "$@"; then count 1 0; else echo "$name failed"; count 0 1; fi
}

for preset in host host-asan fuzz win64 win32; do
  run_preset "$preset"
done
run_step "Ansible end to end" tests/ansible/run.sh
run_step clang-tidy scripts/tidy.sh
run_step "reproducible release" tests/check_reproducible.sh
run_step "signed release, checked as a user would" tests/check_release.sh
run_step "MSI install, upgrade, downgrade and removal under Wine" tests/check_msi.sh
run_step "i686 exe under emulation" scripts/test-i686.sh
run_step "demo, as a new user runs it" tests/check_demo.sh

echo "tests: $total_passed passed, $total_failed failed"
[ "$total_failed" -eq 0 ]
