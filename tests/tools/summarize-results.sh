#!/usr/bin/env bash
# Prints how many tests each tier ran and passed, from the XML reports the test programs
# wrote (<tier>-<name>.xml), and ends with one "N passed, N failed" line.
# Usage: summarize-results.sh <results folder>...
set -u

describe() {
  case "$1" in
    tier1) echo "tier 1, portable unit tests (native)" ;;
    tier2) echo "tier 2, unit and Win32 platform tests (Wine)" ;;
    tier3) echo "tier 3, end to end (the window and velmora.exe under Wine)" ;;
  esac
}

attribute() {  # attribute <name> <file>: the value on the <testsuites> element
  sed -n "s/.*<testsuites [^>]*\b$1=\"\([0-9]*\)\".*/\1/p" "$2" | head -n 1
}

total_passed=0
total_failed=0
status=0
for tier in tier1 tier2 tier3; do
  ran=0
  passed=0
  reports=0
  for folder in "$@"; do
    for report in "$folder"/"$tier"-*.xml; do
      [ -f "$report" ] || continue
      reports=$((reports + 1))
      tests=$(attribute tests "$report")
      failures=$(attribute failures "$report")
      errors=$(attribute errors "$report")
      disabled=$(attribute disabled "$report")
      skipped=$(grep -c 'result="skipped"' "$report")
      run=$((tests - disabled - skipped))
      ran=$((ran + run))
      passed=$((passed + run - failures - errors))
    done
  done
  if [ "$reports" -eq 0 ]; then
    echo "$(describe "$tier"): no results"
    status=1
    continue
  fi
  echo "$(describe "$tier"): $ran run, $passed passed"
  total_passed=$((total_passed + passed))
  total_failed=$((total_failed + ran - passed))
done
[ "$total_failed" -eq 0 ] || status=1
echo "total: $total_passed passed, $total_failed failed"
exit $status
