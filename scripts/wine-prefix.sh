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
