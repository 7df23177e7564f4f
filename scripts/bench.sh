#!/usr/bin/env bash
# Runs every benchmark of the native build, one after the other.  The loader
# benchmark also loads into PostgreSQL: a private server (scripts/postgres.sh)
# runs for the whole run and goes on every path.  When it cannot start, the
# other figures are still printed and the run ends with a non-zero status.
set -euo pipefail
cd "$(dirname "$0")/.."
shopt -s nullglob
benches=(build/native/bench/*_bench)
if [ ${#benches[@]} -eq 0 ]; then
  echo "no benchmarks built: run make native first" >&2
  exit 1
fi

source scripts/postgres.sh
work=$(mktemp -d /tmp/tn-bench.XXXXXX)
chmod 755 "$work"
stop() {
  pg_stop
  rm -rf "$work"
}
trap stop EXIT
trap 'exit 130' INT TERM
status=0
if ! pg_start "$work/pg" 57432; then
  echo "bench: no PostgreSQL server, the loader runs on SQLite only: $pg_failure" >&2
  unset TN_DATA_CONNECTION
  status=1
fi

for bench in "${benches[@]}"; do
  [ -x "$bench" ] || continue
  echo "=== $(basename "$bench")"
  "$bench" --benchmark_min_time=0.5 "$@"
done
exit $status
