#!/usr/bin/env bash
# Runs every test tier in turn and closes with one summary line.
set -uo pipefail
cd "$(dirname "$0")/.."
passed=0 failed=0 failed_tiers=()
tier() {  # name, command...
  local name=$1; shift
  echo "=== $name"
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); failed_tiers+=("$name"); fi
}
tier unit ctest --test-dir build/native --output-on-failure -j2 -L unit
tier exports scripts/check-pe.sh
[ -x tests/integration/run.sh ] && tier integration tests/integration/run.sh
[ -x tests/windows/run.sh ] && tier windows tests/windows/run.sh
[ ${#failed_tiers[@]} -eq 0 ] || echo "failed tiers: ${failed_tiers[*]}"
echo "tiers: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
