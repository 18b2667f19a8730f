#!/usr/bin/env bash
# Prepares what the Windows programs run on: a virtual display, the throw-away Wine prefixes
# (made once, kept in the build tree) and a persistent wineserver for the first of them, so
# that each test program does not pay Wine's start-up again.
# Usage: wine-up.sh [prefix names under VELMORA_WINE_ROOT...]; the tests' two by default. With
# VELMORA_STANDINS naming the folder of the stand-ins, each prefix gets those of Windows' own tools.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"
mkdir -p "$VELMORA_WINE_ROOT"
[ $# -gt 0 ] || set -- prefix prefix-e2e

# Starts a command in the background (its pid in $!) with none of this script's descriptors:
# CTest and ninja wait until every holder of their output pipes has closed it, and the
# server, Wine's services and the display outlive this script.
detached() {
  (
    for fd in /proc/$BASHPID/fd/*; do
      fd=${fd##*/}
      [ "$fd" -gt 2 ] && eval "exec $fd>&-"
    done
    exec "$@" </dev/null >/dev/null 2>&1
  ) &
}

if [ -s "$VELMORA_WINE_ROOT/xvfb.pid" ] && kill -0 "$(cat "$VELMORA_WINE_ROOT/xvfb.pid")" 2>/dev/null; then
  :
else
  rm -f "$VELMORA_WINE_ROOT/display"
  detached sh -c 'exec Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$0"' "$VELMORA_WINE_ROOT/display"
  echo $! >"$VELMORA_WINE_ROOT/xvfb.pid"
  for _ in $(seq 100); do
    [ -s "$VELMORA_WINE_ROOT/display" ] && break
    sleep 0.1
  done
  [ -s "$VELMORA_WINE_ROOT/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
fi
VELMORA_WINE_PREFIX="$VELMORA_WINE_ROOT/$1"
source "$(dirname "$0")/wine-env.sh"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "Making the Wine prefix $WINEPREFIX (once per build tree)"
  wineboot -i </dev/null >/dev/null 2>&1
  # The virtual display has no window manager: Wine then draws the windows' frames itself, as
  # Windows does, instead of waiting two seconds for a manager each time a window hides.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
  wineserver -w
fi
for copy in "${@:2}"; do
  if [ ! -f "$VELMORA_WINE_ROOT/$copy/system.reg" ]; then
    rm -rf "${VELMORA_WINE_ROOT:?}/$copy"
    cp -a "$WINEPREFIX" "$VELMORA_WINE_ROOT/$copy"
  fi
done
if [ -n "${VELMORA_STANDINS:-}" ]; then
  for name in "$@"; do
    "$(dirname "$0")/install-standins.sh" "$VELMORA_WINE_ROOT/$name" "$VELMORA_STANDINS"
  done
fi
# The server and Wine's own services (started here by a first program) stay up for the run.
# A server that is still running (another run's, or one on its way out) keeps going instead.
detached wineserver -p
wait $! || true
detached wine cmd /c exit
wait $!
