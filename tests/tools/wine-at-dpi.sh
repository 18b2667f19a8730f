#!/usr/bin/env bash
# Runs a Windows program under Wine with the display's DPI set in the prefix's registry, where
# Wine reads it at each program's start; the program finds the DPI in VELMORA_EXPECT_DPI.
# Usage: wine-at-dpi.sh <dpi> <program.exe> [arguments...]
set -eu
source "$(dirname "$0")/wine-env.sh"
wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null
export VELMORA_EXPECT_DPI="$1"
shift
exec wine "$@"
