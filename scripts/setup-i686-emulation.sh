#!/usr/bin/env bash
# Lets this machine execute the shipped 32-bit exe. The hypervisor refuses
# 32-bit x86 code, so Wine's 32-bit loader runs under qemu-user's i386
# emulation: qemu 10.x from Debian's bookworm-backports (bookworm's own 7.2
# crashes under Wine), registered with binfmt_misc with the F flag, and
# wine32 from the i386 architecture. Fails loudly when any step cannot be
# done: it never skips.
set -euo pipefail
fail() {
  echo "FAIL: cannot set up the i686 emulation: $*" >&2
  exit 1
}
export DEBIAN_FRONTEND=noninteractive
refresh=

# bookworm-backports, from the Debian mirror this machine already uses.
backports=/etc/apt/sources.list.d/vrp-bookworm-backports.sources
if [ ! -f "$backports" ]; then
  uri=$(awk '/^URIs:/ { uri = $2 }
             /^Suites:/ && / bookworm( |$)/ { print uri; exit }' \
          /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
  if [ -z "$uri" ]; then
    uri=$(awk '$1 == "deb" && $3 == "bookworm" { print $2; exit }' \
            /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null || true)
  fi
  [ -n "$uri" ] || fail "no Debian bookworm source in apt's configuration"
  printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
    "$uri" >"$backports"
  refresh=1
fi
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  refresh=1
fi
if [ -n "$refresh" ]; then
  apt-get update -q >/dev/null || fail "apt-get update failed"
fi

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}
if ! installed wine32:i386; then
  apt-get install -y -q --no-install-recommends wine32:i386 >/dev/null ||
    fail "wine32:i386 did not install"
fi
qemu_version=$(dpkg-query -W -f='${Version}' qemu-user-static 2>/dev/null || true)
if [ -z "$qemu_version" ] || dpkg --compare-versions "$qemu_version" lt 1:10; then
  apt-get install -y -q --no-install-recommends -t bookworm-backports \
    qemu-user-static >/dev/null || fail "qemu-user-static 10 did not install"
fi

# binfmt_misc: i386 ELF files go to qemu, opened once (F), so the emulator
# is found whatever the caller's root or namespace.
binfmt=/proc/sys/fs/binfmt_misc
if [ ! -e "$binfmt/register" ]; then
  mount -t binfmt_misc binfmt_misc "$binfmt" || fail "cannot mount binfmt_misc"
fi
entry=$binfmt/qemu-i386
if [ -e "$entry" ] && ! grep -q "^interpreter /usr/bin/qemu-i386-static$" "$entry"; then
  echo -1 >"$entry"
fi
if [ ! -e "$entry" ]; then
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
    >"$binfmt/register" || fail "cannot register qemu-i386 with binfmt_misc"
fi
grep -q "^flags: F" "$entry" || fail "qemu-i386 is registered without the F flag"
/usr/lib/wine/wine --version >/dev/null 2>&1 ||
  fail "Wine's 32-bit loader does not start under qemu"
echo "i686 emulation: $(/usr/bin/qemu-i386-static --version | head -1), $(/usr/lib/wine/wine --version)"
