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
  libengine-pkcs11-openssl ykcs11 opensc-pkcs11  # signing with a hardware token
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

# An earlier set-up enabled the i386 architecture on the host, whose indexes
# can stay broken for hours; the 32-bit Wine now lives in a root of its own.
if dpkg --print-foreign-architectures | grep -qx i386 &&
    ! dpkg-query -W -f='${Architecture}\n' 2>/dev/null | grep -qx i386; then
  dpkg --remove-architecture i386
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
  # A mirror in the middle of a sync answers with wrong sizes for a while.
  for attempt in 1 2 3; do
    apt-get update -q && break
    [ "$attempt" -eq 3 ] && { echo "apt-get update failed three times" >&2; exit 1; }
    echo "apt-get update failed (attempt $attempt of 3); again in 30 s" >&2
    sleep 30
  done
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
