#!/usr/bin/env bash
# Runs a Windows program under the tests' Wine prefix and virtual display (CTest's emulator).
set -eu
source "$(dirname "$0")/wine-env.sh"
exec wine "$@"
