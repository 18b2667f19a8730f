#!/usr/bin/env bash
# Runs a Windows program with windows under Wine, with the display's DPI set in the prefix's
# registry, where Wine reads it at each program's start, and sets it back to the usual 96
# afterwards. The program finds the DPI in VELMORA_EXPECT_DPI.
# Usage: wine-at-dpi.sh <dpi> <program.exe> [arguments...]
set -eu
source "$(dirname "$0")/wine-env.sh"

set_dpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null
}

set_dpi "$1"
export VELMORA_EXPECT_DPI="$1"
shift
status=0
wine "$@" || status=$?
set_dpi 96
exit $status
