#!/usr/bin/env bash
# Lets this machine execute the shipped 32-bit exe, as 64-bit Windows does:
# a 64-bit Wine that hands 32-bit programs to Wine's 32-bit loader (WoW64).
# The hypervisor refuses 32-bit x86 code, so that loader runs under qemu-user
# 10.x from Debian's bookworm-backports (bookworm's own 7.2 crashes under
# Wine), registered with binfmt_misc with the F flag.
#
# Wine lives in a Debian root of its own (VRP_WOW64_ROOT), made by debootstrap
# from the machine's own bookworm source, with its own package database: the
# host's architectures and the state of its security suite's i386 indexes do
# not matter, since wine64 and wine32:i386 come from one suite's indexes.
# Prints the root's path on its last line. Fails loudly when a step cannot be
# done, and a root left half made by a failed run is made anew.
set -euo pipefail
fail() {
  echo "FAIL: cannot set up the i686 emulation: $*" >&2
  exit 1
}
export DEBIAN_FRONTEND=noninteractive
root=${VRP_WOW64_ROOT:-/var/lib/vrp-wow64-root}
# What the root must hold; a change here makes it anew.
root_packages="wine wine64 wine32:i386"
stamp="bookworm amd64+i386: $root_packages"

# retry DESCRIPTION COMMAND...: a mirror in the middle of a sync answers
# with wrong sizes for a while, so a refresh is tried three times.
retry() {
  local what=$1 attempt
  shift
  for attempt in 1 2 3; do
    "$@" && return 0
    [ "$attempt" -lt 3 ] && echo "$what failed (attempt $attempt of 3); again in 30 s" >&2 && sleep 30
  done
  fail "$what failed three times"
}

# The Debian mirror this machine already uses for bookworm.
mirror=$(awk '/^URIs:/ { uri = $2 }
              /^Suites:/ && / bookworm( |$)/ { print uri; exit }' \
           /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
if [ -z "$mirror" ]; then
  mirror=$(awk '$1 == "deb" && $3 == "bookworm" { print $2; exit }' \
             /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null || true)
fi
[ -n "$mirror" ] || fail "no Debian bookworm source in apt's configuration"

# qemu-user 10 and debootstrap on the host: amd64 packages only, so the
# host's apt needs no foreign architecture. Only the backports index is
# refreshed, whatever the state of the others.
backports=/etc/apt/sources.list.d/vrp-bookworm-backports.sources
printf 'Types: deb\nURIs: %s\nSuites: bookworm-backports\nComponents: main\nSigned-By: /usr/share/keyrings/debian-archive-keyring.gpg\n' \
  "$mirror" >"$backports"
installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}
qemu_version=$(dpkg-query -W -f='${Version}' qemu-user-static 2>/dev/null || true)
if [ -z "$qemu_version" ] || dpkg --compare-versions "$qemu_version" lt 1:10 ||
    ! installed debootstrap; then
  retry "refreshing bookworm-backports" apt-get update -q \
    -o Dir::Etc::sourcelist="$backports" -o Dir::Etc::sourceparts=- \
    -o APT::Get::List-Cleanup=0
  apt-get install -y -q --no-install-recommends debootstrap >/dev/null ||
    fail "debootstrap did not install"
  apt-get install -y -q --no-install-recommends -t bookworm-backports \
    qemu-user-static >/dev/null || fail "qemu-user-static 10 did not install"
fi

# binfmt_misc: i386 ELF files go to qemu, opened once (F), so the emulator
# is found inside the root too.
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

# The root, made whole or made anew: the stamp is written last.
if [ "$(cat "$root/.vrp-ready" 2>/dev/null)" != "$stamp" ]; then
  for mount in $(awk -v root="$root" 'index($2, root "/") == 1 { print $2 }' /proc/mounts | sort -r); do
    umount -l "$mount" || fail "cannot unmount $mount left by an earlier run"
  done
  rm -rf "$root"
  mkdir -p "$(dirname "$root")"
  echo "Making a Debian bookworm root for Wine in $root"
  retry "debootstrap" bash -c 'rm -rf "$1" && debootstrap --variant=minbase bookworm "$1" "$2" >"$1.log" 2>&1 || { tail -5 "$1.log" >&2; false; }' \
    _ "$root" "$mirror"
  printf 'deb %s bookworm main\n' "$mirror" >"$root/etc/apt/sources.list"
  chroot "$root" dpkg --add-architecture i386
  retry "refreshing the root's package lists" chroot "$root" apt-get update -q
  # shellcheck disable=SC2086 # the list is words
  chroot "$root" apt-get install -y -q --no-install-recommends $root_packages \
    >"$root.log" 2>&1 || { tail -20 "$root.log" >&2; fail "Wine did not install in $root"; }
  chroot "$root" apt-get clean
  echo "$stamp" >"$root/.vrp-ready"
fi
# Wine finds itself through /proc: mounted in a namespace of the check's own.
wine32=$(unshare --mount sh -c 'mount -t proc proc "$1/proc" && chroot "$1" /usr/lib/wine/wine --version' \
           _ "$root" 2>&1) || fail "Wine's 32-bit loader does not start under qemu: $wine32"
echo "i686 emulation: $(/usr/bin/qemu-i386-static --version | head -1), $wine32"
echo "$root"
