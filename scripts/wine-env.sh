# Sourced by the scripts that run Windows programs under Wine: the 64-bit
# loader (the machines this is built on cannot execute 32-bit x86 code), no
# debug noise, no Mono or Gecko prompts, and a prefix laid out once.

export WINELOADER=/usr/lib/wine/wine64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
VRP_WINE=/usr/lib/wine/wine64
VRP_WINESERVER=/usr/lib/wine/wineserver

# vrp_prepare_prefix DIR [display]: makes DIR a ready Wine prefix, once;
# concurrent callers wait for the first. Without "display" the prefix uses
# Wine's null display driver, so no X server is needed.
vrp_prepare_prefix() {
  local prefix=$1 display=${2:-}
  mkdir -p "$(dirname "$prefix")"
  (
    flock 9
    if [ ! -f "$prefix/.vrp-ready" ]; then
      rm -rf "$prefix"
      WINEPREFIX=$prefix "$VRP_WINE" wineboot -u >/dev/null 2>&1
      WINEPREFIX=$prefix "$VRP_WINESERVER" -w
      cp /usr/share/wine/fonts/* "$prefix/drive_c/windows/Fonts/"
      WINEPREFIX=$prefix "$VRP_WINE" reg add 'HKCU\Software\Wine\X11 Driver' \
        /v Managed /d N /f >/dev/null 2>&1
      if [ "$display" != display ]; then
        WINEPREFIX=$prefix "$VRP_WINE" reg add 'HKCU\Software\Wine\Drivers' \
          /v Graphics /d null /f >/dev/null 2>&1
      fi
      WINEPREFIX=$prefix "$VRP_WINESERVER" -w
      touch "$prefix/.vrp-ready"
    fi
  ) 9>"$prefix.lock"
}
