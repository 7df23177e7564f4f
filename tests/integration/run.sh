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
tests=$root/build/native/tests/integration/integration_tests
standin=$root/build/native/standin
pg_bin=/usr/lib/postgresql/15/bin
for f in "$tests" "$standin/libvorovuro.so" "$standin/practice_sqlite.so" "$pg_bin/initdb"; do
  [ -e "$f" ] || { echo "integration: $f missing (make native?)"; exit 1; }
done

work=$(mktemp -d /tmp/tn-integration.XXXXXX)
chmod 755 "$work"
pg_data=$work/pg/data pg_sock=$work/pg/sock
as_pg=()
[ "$(id -u)" -eq 0 ] && as_pg=(runuser -u postgres --)  # the server refuses to run as root
stop() {
  if [ -f "$pg_data/postmaster.pid" ]; then
    "${as_pg[@]}" "$pg_bin/pg_ctl" -D "$pg_data" -m immediate -w stop >/dev/null 2>&1
  fi
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
mkdir -p "$pg_data" "$pg_sock"
[ ${#as_pg[@]} -gt 0 ] && chown -R postgres: "$work/pg"
# A free port: the first in a range that nobody listens on.
port=$(for p in $(seq 55432 55531); do
  (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null || { echo "$p"; break; }
done)
if ! "${as_pg[@]}" "$pg_bin/initdb" -D "$pg_data" -U postgres --auth=trust --no-sync -E UTF8 --locale=C >"$work/initdb.log" 2>&1; then
  cat "$work/initdb.log"; exit 1
fi
if ! "${as_pg[@]}" "$pg_bin/pg_ctl" -D "$pg_data" -w -l "$work/pg/server.log" \
     -o "-p $port -k $pg_sock -c listen_addresses='' -c fsync=off" start >/dev/null; then
  cat "$work/pg/server.log"; exit 1
fi
export PGHOST=$pg_sock PGPORT=$port PGUSER=postgres PGDATABASE=tarvenix
if ! "$pg_bin/createdb" -E WIN1252 -T template0 --locale=C tarvenix; then exit 1; fi
export TN_DATA_CONNECTION="Driver=PostgreSQL ANSI;Servername=$pg_sock;Port=$port;Database=tarvenix;Username=postgres;ConnSettings=SET client_encoding TO 'WIN1252';"
(cd "$work" && TN_PRACTICE_KIND=postgresql "$tests" --gtest_brief=1 "$@") || status=1

exit $status
