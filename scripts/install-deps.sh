#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need
# and this machine lacks; with "demo", also what the demo's pictures need.
set -euo pipefail

packages=(
  cmake make g++ googletest python3   # host build, unit tests, resource checks
  clang libclang-rt-14-dev clang-tidy # fuzzing and static checks
  g++-mingw-w64-i686 g++-mingw-w64-x86-64  # the Windows exes
  wine wine64 fonts-wine              # running the 64-bit twin
  nlohmann-json3-dev                  # a real JSON parser for the tests
  ansible-core                        # a real deployment engine, end to end
  osslsigncode openssl python3-yaml   # signing and checking a release
  wixl msitools faketime              # the Windows Installer package, reproducibly
)
# The CycloneDX SBOM validator runs on Node.js from the npm registry; Debian's
# Node.js where the machine has none.
if ! command -v node >/dev/null || ! command -v npm >/dev/null; then
  packages+=(nodejs npm)
fi
if [ "${1:-}" = demo ]; then
  packages+=(xvfb xauth imagemagick)  # a screen to take pictures of
fi

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null |
      grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
