#!/usr/bin/env bash
# The MSI as Windows Installer takes it (Wine's msiexec, in a fresh prefix):
# this commit's package installs per machine both exes, the README and the
# notices into Program Files (x86)\VRP Setting Tool, a Start-menu shortcut
# with its HKCU registry value and an Add/Remove Programs entry; another build of the same version (the
# same files with another URL base, or another README as a later commit
# makes) has a ProductCode and a package code of its own, and replaces it;
# the package one version up (made in a clone from a throwaway commit)
# replaces that; the older one over the newer is refused and changes
# nothing; /x removes everything it installed. What Wine does not show
# (advertised shortcuts, file versions, icons) tests/check_msi_tables.py
# reads from the tables. (The shipped exes are i686, which these machines
# cannot run.)
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/wine-env.sh
work=$PWD/build/msi-check
rm -rf "$work"
mkdir -p "$work"
status=0
ok() { echo "ok   $*"; }
fail() { echo "FAIL $*"; status=1; }

# release NAME [VERSION]: the release of a clean clone, at VERSION if given
# (committed there as a throwaway commit); prints the MSI's path.
release() {
  local clone=$work/$1
  git clone -q --no-local . "$clone"
  if [ -n "${2:-}" ]; then
    sed -i "s/^project(VRPSettingTool VERSION [0-9.]*/project(VRPSettingTool VERSION $2/" \
      "$clone/CMakeLists.txt"
    git -C "$clone" -c user.name=check -c user.email=check@invalid \
      commit -qam "Throwaway: one version up"
  fi
  (cd "$clone" && scripts/release.sh >"$clone.log" 2>&1) ||
    { tail -20 "$clone.log" >&2; exit 1; }
  ls "$clone"/dist/*.msi
}
version=$(sed -n 's/^project(VRPSettingTool VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
next=${version%.*}.$((${version##*.} + 1))
this_msi=$(release this)
next_msi=$(release next "$next")

prefix=$work/wineprefix
vrp_prepare_prefix "$prefix"
export WINEPREFIX=$prefix
trap '"$VRP_WINESERVER" -k 2>/dev/null || true' EXIT
folder="$prefix/drive_c/Program Files (x86)/VRP Setting Tool"
msiexec() { "$VRP_WINE" msiexec "$@" /qn >"$work/msiexec.log" 2>&1; }
code_of() { msiinfo export "$1" Property | tr -d '\r' | sed -n 's/^ProductCode\t//p'; }

python3 tests/check_msi_tables.py "$this_msi" "$version" README.md || status=1

# rebuilt NAME URL_BASE [README LINE]: this clone's MSI packaged again into
# $work/NAME with another URL base, or with LINE added to its README.txt;
# prints its path.
rebuilt() {
  local out=$work/$1 stage=build/release/stage
  mkdir -p "$out"
  cp "$work/this/dist/VRPSettingTool.exe" "$work/this/dist/vrpset.exe" "$out/"
  if [ -n "${3:-}" ]; then
    rm -rf "$work/this/$stage-$1" && cp -r "$work/this/$stage" "$work/this/$stage-$1"
    stage=$stage-$1
    echo "$3" >>"$work/this/$stage/README.txt"
  fi
  (cd "$work/this" && SOURCE_DATE_EPOCH=$(git log -1 --format=%ct) \
     scripts/package_release.py msi "$version" "$stage" "$out" "$2") >&2
  ls "$out"/*.msi
}
package_code_of() { msiinfo suminfo "$1" | sed -n 's/^Revision number (UUID): //p'; }
elsewhere_msi=$(rebuilt elsewhere https://elsewhere.example.invalid/vrp)
later_msi=$(rebuilt later "" "A later commit, the same version.")
for other in "$elsewhere_msi" "$later_msi"; do
  if [ "$(code_of "$other")" != "$(code_of "$this_msi")" ] &&
     [ "$(package_code_of "$other")" != "$(package_code_of "$this_msi")" ]; then
    ok "$(basename "$(dirname "$other")"): another build of $version has its own ProductCode and package code"
  else
    fail "$(basename "$(dirname "$other")"): another build of $version shares a code with the first"
  fi
done

# The version Add/Remove Programs shows for the MSI's product, or "none".
listed() {
  "$VRP_WINE" reg query \
    "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$(code_of "$1")" \
    /v DisplayVersion /reg:32 >"$work/reg.log" 2>&1 || { echo none; return; }
  sed -n 's/.*DisplayVersion *REG_SZ *\([0-9.]*\).*/\1/p' "$work/reg.log"
}
# Wine puts an all-users shortcut into the user's Start menu; Windows into
# the one of all users. Either way there is one.
shortcuts() { find "$prefix/drive_c" -name 'VRP Setting Tool.lnk' | wc -l; }
# The shortcut component's key path, under HKEY_CURRENT_USER.
shortcut_value() {
  "$VRP_WINE" reg query "HKCU\\Software\\Norvel Corporation\\VRP Setting Tool" \
    /v StartMenuShortcut >"$work/reg.log" 2>&1
}
# installed MSI: the files in the folder are the ones the release ships.
installed() {
  local dist
  dist=$(dirname "$1")
  for file in VRPSettingTool.exe vrpset.exe; do
    cmp -s "$dist/$file" "$folder/$file" || return 1
  done
  [ -f "$folder/README.txt" ] && [ -f "$folder/THIRD-PARTY-NOTICES.txt" ]
}

if msiexec /i "$this_msi" && installed "$this_msi" &&
   [ "$(listed "$this_msi")" = "$version" ] && [ "$(shortcuts)" = 1 ] &&
   shortcut_value; then
  ok "$version installs per machine: files, shortcut and its HKCU value, Add/Remove Programs entry"
else
  fail "$version does not install as it should"
fi
if msiexec /i "$elsewhere_msi" && installed "$this_msi" &&
   [ "$(listed "$elsewhere_msi")" = "$version" ] &&
   [ "$(listed "$this_msi")" = none ] && [ "$(shortcuts)" = 1 ]; then
  ok "another build of $version replaces the first"
else
  fail "another build of $version does not replace the first"
fi
if msiexec /i "$next_msi" && installed "$next_msi" &&
   [ "$(listed "$next_msi")" = "$next" ] && [ "$(listed "$this_msi")" = none ] &&
   [ "$(listed "$elsewhere_msi")" = none ] && [ "$(shortcuts)" = 1 ]; then
  ok "$next replaces $version"
else
  fail "$next does not replace $version"
fi
if ! msiexec /i "$this_msi" && installed "$next_msi" &&
   [ "$(listed "$this_msi")" = none ] && [ "$(listed "$next_msi")" = "$next" ]; then
  ok "$version over $next is refused and changes nothing"
else
  fail "$version over $next is not refused as it should be"
fi
if msiexec /x "$next_msi" && [ ! -e "$folder" ] &&
   [ "$(listed "$next_msi")" = none ] && [ "$(shortcuts)" = 0 ] &&
   ! shortcut_value; then
  ok "/x removes the files, the folder, the shortcut, its HKCU value and the entry"
else
  fail "/x leaves something behind"
fi
exit $status
