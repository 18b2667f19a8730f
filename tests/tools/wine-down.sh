#!/usr/bin/env bash
# Stops what wine-up.sh started; the prefixes stay for the next run.
set -u
source "$(dirname "$0")/wine-env.sh"
wineserver -k 2>/dev/null && wineserver -w 2>/dev/null
if [ -s "$VELMORA_WINE_ROOT/xvfb.pid" ]; then
  kill "$(cat "$VELMORA_WINE_ROOT/xvfb.pid")" 2>/dev/null
  rm -f "$VELMORA_WINE_ROOT/xvfb.pid" "$VELMORA_WINE_ROOT/display"
fi
exit 0
