# Sourced by the scripts that run Windows programs under Wine: finding Wine
# and booting a prefix are done one way everywhere.
#
#   . scripts/wine-prefix.sh
#   wine_find || exit 1        sets WINE and WINESERVER (DPU_WINE or WINE first)
#   wine_boot_prefix DIR [LOG] makes DIR a booted prefix (WINEPREFIX exported),
#                              its server kept up for the runs that follow;
#                              the server's messages go to LOG (default: nowhere)

# Debian's wine64 package keeps its programs in /usr/lib/wine.
wine_find() {
  PATH="$PATH:/usr/lib/wine"
  WINE=${DPU_WINE:-${WINE:-$(command -v wine64 || command -v wine || true)}}
  WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver)
  if [ -z "$WINE" ]; then
    echo "wine64 is not installed (scripts/setup-deps.sh installs it)" >&2
    return 1
  fi
}

wine_boot_prefix() {
  export WINEPREFIX="$1"
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  mkdir -p "$WINEPREFIX"
  "$WINE" wineboot -i >/dev/null 2>&1
  # wineboot returns before the prefix's server is idle; wait for it.
  "$WINESERVER" -w
  wine_keep_server "${2:-/dev/null}"
}

# One server for all the runs that follow, so each run costs a process start
# only. Its messages are kept apart: a pseudo-terminal that becomes its
# controlling terminal sends it SIGHUP at each hang-up of a peer, and Debian's
# server then lists all its objects.
wine_keep_server() {
  "$WINESERVER" -p >/dev/null 2>"${1:-/dev/null}" || true
}

# Waits, up to a minute, until the prefix has finished starting. The first
# program after a boot starts the prefix's services and a boot desktop
# (explorer.exe) that lingers for some seconds; a program run meanwhile takes
# two to three times as long, so timings wait for the end of it.
wine_wait_settled() {
  "$WINE" cmd /c exit >/dev/null 2>&1 </dev/null || true
  local tries pid busy
  for tries in $(seq 120); do
    busy=0
    for pid in $(pgrep -f 'explorer\.exe|wineboot\.exe' || true); do
      if { tr "\0" "\n" <"/proc/$pid/environ"; } 2>/dev/null | grep -qxF "WINEPREFIX=$WINEPREFIX"; then
        busy=1
      fi
    done
    [ "$busy" = 0 ] && return 0
    sleep 0.5
  done
  echo "wine_wait_settled: the prefix $WINEPREFIX is still starting after a minute" >&2
}
