#!/usr/bin/env bash
# Runs a Windows program under Wine inside a private network namespace, where the stand-in
# rasdial can add tunnel addresses that GetIpAddrTable then reports.
# Usage: wine-in-namespace.sh <program.exe> [arguments...]
# The prefix is VELMORA_WINE_PREFIX (see wine-env.sh); its wineserver is stopped first and
# at the end, since the namespace counts only for a server that starts inside it.
set -euo pipefail
source "$(dirname "$0")/wine-env.sh"

wineserver -k 2>/dev/null && wineserver -w 2>/dev/null || true

if [ "$(id -u)" = 0 ]; then
  isolate=(unshare -n)
else
  isolate=(unshare -rn)
fi
"${isolate[@]}" bash -c '
  ip link set lo up
  status=0
  wine "$@" || status=$?
  wineserver -k 2>/dev/null || true
  exit $status
' wine-in-namespace "$@"
