#!/usr/bin/env bash
# The integration tier: the integration tests through the real stand-in
# libraries, once on the embedded SQLite database and once on a private
# PostgreSQL 15 server that this script starts, and stops on every path.
#
#   tests/integration/run.sh [gtest arguments...]
#
# Needs build/native built (integration_tests and the stand-ins).
set -uo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
source scripts/postgres.sh
tests=$root/build/native/tests/integration/integration_tests
standin=$root/build/native/standin
for f in "$tests" "$standin/libvorovuro.so" "$standin/practice_sqlite.so" "$PG_BIN/initdb"; do
  [ -e "$f" ] || { echo "integration: $f missing (make native?)"; exit 1; }
done

work=$(mktemp -d /tmp/tn-integration.XXXXXX)
chmod 755 "$work"
stop() {
  pg_stop
  rm -rf "$work"
}
trap stop EXIT
trap 'exit 130' INT TERM

export TN_STANDIN_DIR=$standin
status=0

echo "--- sqlite"
mkdir -p "$work/sqlite"
(cd "$work/sqlite" && TN_PRACTICE_KIND=sqlite "$tests" --gtest_brief=1 "$@") || status=1

echo "--- postgresql"
pg_start "$work/pg" 55432 || { echo "integration: $pg_failure"; exit 1; }
(cd "$work" && TN_PRACTICE_KIND=postgresql "$tests" --gtest_brief=1 "$@") || status=1

exit $status
