#!/usr/bin/env bash
# The demo: an Italian installer, built from installer/sample.nsi, runs the
# sample update scripts through the plug-in (amd64-unicode) on the embedded
# practice database, under wine; then the database's content is printed.
#
# The installer shows on $DISPLAY when one is set, else on a private Xvfb.
# Everything it makes is under out/demo/ (the practice folder is
# out/demo/practice, its database tarvenix.db, the outcomes aggiornamento.log).
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
DEMO=$ROOT/out/demo
PRACTICE=$DEMO/practice
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
export WINEPREFIX=$DEMO/prefix WINEDEBUG=-all WINEARCH=win64

winpath() { echo "Z:${1//\//\\}"; }

for need in dist/Plugins/amd64-unicode/tn_dll_sql_exec.dll dist/standin/amd64/vorovuro.dll; do
  [ -e "$ROOT/$need" ] || { echo "demo: $need missing (make dist)" >&2; exit 1; }
done

# A fresh practice: the stand-in libraries and the practice's own objects.
rm -rf "$PRACTICE"
mkdir -p "$PRACTICE"
cp "$ROOT"/dist/standin/amd64/*.dll "$PRACTICE/"
if [ -e "$ROOT/dist/standin/sql/practice_sqlite.sql" ]; then
  sqlite3 "$PRACTICE/tarvenix.db" <"$ROOT/dist/standin/sql/practice_sqlite.sql"
fi
# The SQLite driver runs on the Linux side of wine and loads the practice's
# functions from there.
[ -e "$ROOT/dist/standin/linux/practice_sqlite.so" ] &&
  export TN_PRACTICE_EXTENSION=$ROOT/dist/standin/linux/practice_sqlite.so

echo "== building the installer"
makensis -V2 -NOCD -X"!addincludedir \"$ROOT/installer\"" -DPLUGINS_DIR="$ROOT/dist/Plugins" \
  -DPRACTICE_DIR="$(winpath "$PRACTICE")" -DSCRIPTS_DIR="$(winpath "$ROOT/installer")" \
  -DOUT_FILE="$DEMO/tarvenix_aggiornamento.exe" "$ROOT/installer/sample.nsi"

xvfb_pid=
cleanup() {
  "$WINESERVER" -k >/dev/null 2>&1 || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  return 0
}
trap cleanup EXIT
if [ -z "${DISPLAY:-}" ]; then
  fifo=$DEMO/display.fifo
  rm -f "$fifo" && mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" 2>"$DEMO/xvfb.log" &
  xvfb_pid=$!
  read -r -t 15 number <"$fifo" || { echo "demo: Xvfb did not start" >&2; exit 1; }
  rm -f "$fifo"
  export DISPLAY=:$number
fi

if [ ! -d "$WINEPREFIX" ]; then
  echo "== preparing wine (once)"
  WINEDLLOVERRIDES="mscoree,mshtml=" "$WINE" wineboot -i >"$DEMO/wineboot.log" 2>&1
  "$WINESERVER" -w
fi

echo "== running the installer on $DISPLAY"
if ! (cd "$PRACTICE" && timeout 120 "$WINE" "$DEMO/tarvenix_aggiornamento.exe" >"$DEMO/wine.log" 2>&1); then
  import -window root -display "$DISPLAY" "$DEMO/hung.png" 2>/dev/null || true
  echo "demo: the installer did not finish (screen in out/demo/hung.png)" >&2
  exit 1
fi

echo "== outcomes (aggiornamento.log)"
tr -d '\r' <"$PRACTICE/aggiornamento.log" | iconv -f CP1252 -t UTF-8
echo "== what the database holds"
for table in note_aggiornamento ambulatori; do
  echo "-- $table"
  sqlite3 -header -column "$PRACTICE/tarvenix.db" "SELECT * FROM $table" | iconv -f CP1252 -t UTF-8
done
