#!/usr/bin/env bash
# Builds velmora.exe and runs it under Wine with the simulated remote-access environment,
# inside a private network namespace, on your display or else on a virtual one.
# The journal of what the stand-ins were asked to do is build/windows/run/journal.txt.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake --preset windows >/dev/null
cmake --build --preset windows --target programs

export VELMORA_WINE_ROOT="$PWD/build/windows/wine"
export VELMORA_WINE_PREFIX="$VELMORA_WINE_ROOT/prefix-run"
[ -n "${DISPLAY:-}" ] && export VELMORA_OWN_DISPLAY=1
tests/tools/wine-up.sh prefix-run
trap 'tests/tools/wine-down.sh' EXIT

run="$PWD/build/windows/run"
mkdir -p "$run"
export VELMORA_SIM_DIR="Z:$run"
echo "Journal: $run/journal.txt"
tests/tools/wine-in-namespace.sh "$PWD/build/windows/programs/bin/velmora.exe"
