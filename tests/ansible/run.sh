#!/usr/bin/env bash
# A real deployment engine end to end: Debian's ansible-core runs the
# README's task on localhost against vrpset.exe under Wine, on a simulated
# installation with the option off, vrpset.exe installed where the MSI puts
# it. Check mode reports a change and writes nothing; the first run reports
# changed, the second ok; vrpset test on then exits 0. The task finds the
# exe from the environment of 64-bit Windows (Program Files (x86)), and
# again, the option off anew, from that of 32-bit Windows (Program Files).
set -euo pipefail
cd "$(dirname "$0")/../.."
. scripts/wine-env.sh
bin=$PWD/build/win64/bin
export WINEPREFIX=$PWD/build/wineprefix-ansible
vrp_prepare_prefix "$WINEPREFIX"
export LC_ALL=C.UTF-8 ANSIBLE_NOCOLOR=1 ANSIBLE_LOCALHOST_WARNING=false \
  ANSIBLE_INVENTORY_UNPARSED_WARNING=false

windows=$WINEPREFIX/drive_c/windows
installed=("$WINEPREFIX/drive_c/Program Files (x86)/VRP Setting Tool"
           "$WINEPREFIX/drive_c/Program Files/VRP Setting Tool")
cleanup() {
  rm -rf "$windows/twain_32/Norvtw32" "$windows/Pixtran" "${installed[@]}"
}
trap cleanup EXIT
cleanup
mkdir -p "$windows/twain_32/Norvtw32" "$windows/Pixtran/Norvel RX-M7720B" \
  "$windows/Pixtran/Norvel RX-M7710B"
cp "$bin/probe_twain_9.dll" "$windows/twain_32/Norvtw32/NorvM7720.ds"
cp "$bin/probe_isis_3.dll" "$windows/Pixtran/RXM7720.pxn"
inis=("$windows/twain_32/Norvtw32/UnitPrefs.ini"
      "$windows/Pixtran/Norvel RX-M7720B/UnitPrefs.ini"
      "$windows/Pixtran/Norvel RX-M7710B/UnitPrefs.ini")
switch_off() {
  for ini in "${inis[@]}"; do
    printf '[Special]\r\nEnableVeloRidePass=0\r\n' >"$ini"
  done
}
switch_off
before=$(cat "${inis[@]}" | sha256sum)
mkdir -p "${installed[0]}"
cp "$bin/vrpset.exe" "${installed[0]}/"
environment='{"ProgramFiles": "C:\\Program Files", "ProgramFiles(x86)": "C:\\Program Files (x86)"}'

play() {  # play [--check]: shows the play, prints its recap for localhost
  local output
  output=$(ansible-playbook -i localhost, "$@" -e "wine=$VRP_WINE" \
    -e "{\"ansible_env\": $environment}" tests/ansible/set-on.yml) || true
  printf '%s\n' "$output" >&2
  sed -n 's/^localhost *: *//p' <<<"$output"
}
expect() {  # expect WHAT RECAP PATTERN
  if [[ "$2" =~ $3 ]]; then
    echo "ok   $1: $2"
  else
    echo "FAIL $1: $2"
    exit 1
  fi
}
expect "check mode" "$(play --check)" 'ok=1 +changed=1 .*failed=0'
[ "$(cat "${inis[@]}" | sha256sum)" = "$before" ] ||
  { echo "FAIL check mode wrote a file"; exit 1; }
expect "first run" "$(play)" 'ok=1 +changed=1 .*failed=0'
expect "second run" "$(play)" 'ok=1 +changed=0 .*failed=0'
if "$VRP_WINE" "$bin/vrpset.exe" test on; then
  echo "ok   vrpset test on exits 0"
else
  echo "FAIL vrpset test on exits $?"
  exit 1
fi
rm -rf "${installed[0]}"
mkdir -p "${installed[1]}"
cp "$bin/vrpset.exe" "${installed[1]}/"
environment='{"ProgramFiles": "C:\\Program Files"}'
switch_off
expect "32-bit Windows, Program Files" "$(play)" 'ok=1 +changed=1 .*failed=0'
