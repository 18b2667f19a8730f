#!/usr/bin/env bash
# Builds velmora.exe and velmora-service.exe and runs them under Wine with the simulated
# remote-access environment, inside a private network namespace, on your display or else on a
# virtual one: the service registered from the build's folder as the installers register it, the
# window talking to it. Leaves a screenshot of the window (build/windows/run/screenshot.png), the
# journal of what the stand-ins were asked to do (build/windows/run/journal.txt) and who started
# each (journal-starters.txt).
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target programs

export VELMORA_WINE_ROOT="$PWD/build/windows/wine"
export VELMORA_WINE_PREFIX="$VELMORA_WINE_ROOT/prefix-run"
[ -n "${DISPLAY:-}" ] && export VELMORA_OWN_DISPLAY=1
programs="$PWD/build/windows/programs/bin"
VELMORA_STANDINS="$programs" tests/tools/wine-up.sh prefix-run
source tests/tools/wine-env.sh

# As after the restart the program asks for on its first start.
wine reg add 'HKLM\System\CurrentControlSet\Services\RasMan\Parameters' /v ProhibitIpsec /t REG_DWORD /d 1 /f \
  >/dev/null 2>&1

run="$PWD/build/windows/run"
mkdir -p "$run"
rm -f "$run/journal.txt" "$run/journal-starters.txt" "$run/journal-times.txt" "$run/ras-state.txt" "$run/screenshot.png"
export VELMORA_SIM_DIR="Z:$run"
# The service starts with the prefix's Wine session, without this shell's environment: its
# stand-ins find the simulated state through the registry.
wine reg add 'HKLM\Software\Velmora Sim' /v Folder /d "Z:$run" /f >/dev/null 2>&1
wine "$programs/velmora-service.exe" /register
trap 'wine "$programs/velmora-service.exe" /unregister; tests/tools/wine-down.sh' EXIT
# The whole virtual display, or only the window on yours.
if [ -n "${VELMORA_OWN_DISPLAY:-}" ]; then shot=(-name Velmora); else shot=(-root); fi
(
  sleep 8
  xwd -silent -display "$DISPLAY" "${shot[@]}" | convert xwd:- "$run/screenshot.png" &&
    echo "Screenshot: $run/screenshot.png"
) &
echo "Journal: $run/journal.txt"
[ -n "${VELMORA_OWN_DISPLAY:-}" ] || echo "velmora.exe runs on the virtual display $DISPLAY; Ctrl-C ends it."
tests/tools/wine-in-namespace.sh "$programs/velmora.exe"
