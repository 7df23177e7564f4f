# A private PostgreSQL 15 server for a test or benchmark run: its own cluster
# in a folder of the caller's, its own socket and port, no TCP, no fsync, and a
# WIN1252 database tarvenix holding the practice's objects.  Source this file,
# then:
#
#   pg_start DIR [FIRST_PORT] [SCHEMA]
#       Starts the server with its files under DIR (made here; its parent must
#       be reachable by the postgres user when run as root, since the server
#       refuses to run as root).  FIRST_PORT starts the search for a free port
#       (default 55432); SCHEMA is the practice file to apply (default
#       standin/sql/practice_postgresql.sql of this checkout).  Exports PGHOST,
#       PGPORT, PGUSER, PGDATABASE for psql and a "PostgreSQL ANSI"
#       TN_DATA_CONNECTION for the data-connection library.  On failure it
#       returns 1 with the reason in pg_failure; the caller still calls pg_stop.
#   pg_stop
#       Stops the server started last (immediately: nothing in it is kept) and
#       removes its folder.  Safe to call when nothing was started.
#
# Callers stop it on every path, typically with `trap pg_stop EXIT`.

export PG_BIN=${PG_BIN:-/usr/lib/postgresql/15/bin}
PG_DIR=${PG_DIR:-}
pg_failure=

# The postgres user runs the server's tools when we are root.
pg_as_server() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}

pg_free_port() {  # first port
  local p
  for p in $(seq "$1" $(($1 + 99))); do
    (exec 3<>"/dev/tcp/127.0.0.1/$p") 2>/dev/null || { echo "$p"; return 0; }
  done
  return 1
}

pg_start() {
  local dir=$1 first=${2:-55432}
  local schema=${3:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/standin/sql/practice_postgresql.sql}
  pg_failure=
  [ -x "$PG_BIN/initdb" ] || { pg_failure="no PostgreSQL 15 in $PG_BIN"; return 1; }
  [ -r "$schema" ] || { pg_failure="no practice objects file $schema"; return 1; }
  PG_DIR=$dir
  mkdir -p "$dir/data" "$dir/sock" || { pg_failure="cannot make $dir"; return 1; }
  chmod 755 "$dir"
  [ "$(id -u)" -eq 0 ] && chown -R postgres: "$dir"
  pg_as_server test -w "$dir/data" ||
    { pg_failure="the postgres user cannot reach $dir: make its parent folders searchable"; return 1; }
  local port
  port=$(pg_free_port "$first") || { pg_failure="no free port from $first"; return 1; }
  if ! pg_as_server "$PG_BIN/initdb" -D "$dir/data" -U postgres --auth=trust --no-sync -E UTF8 --locale=C \
       >"$dir/initdb.log" 2>&1; then
    pg_failure="initdb: $(tail -3 "$dir/initdb.log" | tr '\n' ' ')"
    return 1
  fi
  if ! pg_as_server "$PG_BIN/pg_ctl" -D "$dir/data" -w -l "$dir/server.log" \
       -o "-p $port -k $dir/sock -c listen_addresses='' -c fsync=off" start >/dev/null 2>&1; then
    pg_failure="postgresql did not start: $(tail -3 "$dir/server.log" 2>/dev/null | tr '\n' ' ')"
    return 1
  fi
  export PGHOST=$dir/sock PGPORT=$port PGUSER=postgres PGDATABASE=tarvenix
  if ! "$PG_BIN/createdb" -E WIN1252 -T template0 --locale=C tarvenix 2>"$dir/createdb.log"; then
    pg_failure="createdb failed: $(tr '\n' ' ' <"$dir/createdb.log")"
    return 1
  fi
  if ! psql -X -q -v ON_ERROR_STOP=1 -f "$schema" >/dev/null 2>"$dir/schema.log"; then
    pg_failure="the practice objects did not apply: $(tail -3 "$dir/schema.log" | tr '\n' ' ')"
    return 1
  fi
  export TN_DATA_CONNECTION="Driver=PostgreSQL ANSI;Servername=$dir/sock;Port=$port;Database=tarvenix;Username=postgres;ConnSettings=SET client_encoding TO 'WIN1252';"
}

pg_stop() {
  [ -n "$PG_DIR" ] || return 0
  if [ -f "$PG_DIR/data/postmaster.pid" ]; then
    pg_as_server "$PG_BIN/pg_ctl" -D "$PG_DIR/data" -m immediate -w stop >/dev/null 2>&1
  fi
  rm -rf "$PG_DIR"
  PG_DIR=
  return 0
}
