#!/usr/bin/env bash
# Builds everything and runs every test in one CTest run over both build trees:
# tier 1 natively, tiers 2 and 3 under Wine. Installs what the machine lacks first.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh

cmake --preset native >/dev/null
cmake --build --preset native
cmake --preset windows >/dev/null
cmake --build --preset windows

rm -rf build/native/test-results build/windows/test-results
printf 'subdirs("native" "windows")\n' >build/CTestTestfile.cmake

status=0
ctest --test-dir build --output-on-failure || status=$?
echo
tests/tools/summarize-results.sh build/native/test-results build/windows/test-results || status=1
exit "$status"
