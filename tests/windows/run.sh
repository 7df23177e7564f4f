#!/usr/bin/env bash
# The windows tier: real installers, compiled by makensis for amd64-unicode,
# run by wine64 on a private Xvfb display, calling the plug-in from dist/.
#
#   tests/windows/run.sh [PATTERN...]     every case, or those whose name
#                                         matches one of the shell patterns
#
# One wine prefix and one X display serve every case of a run; both go when
# the run ends, on every path.  Each case prints "ok NAME" or "FAIL NAME: why";
# the run ends with "windows: N passed, N failed" and a non-zero status on any
# failure.  Run files (installers, results, logs) are under out/windows/,
# screenshots under out/windows/screens/, the seconds each case took in
# out/windows/times.txt.
#
# ---- adding a case ---------------------------------------------------------
# Put a file in tests/windows/cases/ (any name ending in .sh) that defines one
# or more functions named case_NAME.  They run in alphabetical order of NAME,
# each in its own subshell, with a fresh, empty work folder.  A case passes
# when its function returns 0; `fail` (or any helper's failed check) ends it
# as failed with the reason given.
#
# Variables a case can read:
#   CASE        the case name                CASE_DIR  its folder (unix path)
#   WORK        CASE_DIR/work, empty at start: the installer's working folder
#   ROOT        the repository                STANDIN  dist/standin/amd64
#   HELPERS     the build folder of probe.exe and the broken practice libraries
#   DISPLAY, WINEPREFIX, WINE                 the run's display, prefix, wine64
#
# Helpers:
#   winpath PATH              PATH as wine sees it (Z:\...)
#   use_standins [DIR]        copies vorovuro.dll and velt32w0.dll into DIR
#                             (default WORK), where LoadLibraryA finds them once
#                             the installer's SetOutPath has made DIR current
#   installer NAME <<'NSI'    compiles CASE_DIR/NAME.exe from the installer
#     ...                     text on stdin, after a prologue that sets the
#   NSI                       target, the plug-in folder, the include folder
#                             (installer/tn_sql_exec.nsh is included), and
#                             defines WORK, RESULTS, CASE_DIR, STANDIN, ROOT as
#                             wine paths; macro RESULT LABEL VALUE appends
#                             "LABEL=VALUE" to the results file (uses $R9).
#                             Its .onInit makes WORK a folder where the
#                             practice libraries are found by bare name; an
#                             installer with its own .onInit does
#                             "!define OWN_ONINIT" and inserts
#                             TN_PRACTICE_LIBRARY_FOLDER "${WORK}" itself
#   run_installer NAME [SECS] runs NAME.exe silently (/S) and waits for it
#                             (default 60 s; a hang fails the case)
#   start_installer NAME [ARGS...]  starts it in the background (no /S unless
#                             given) and returns at once
#   wait_installer [SECS]     waits for the installer started last
#   result LABEL              the value written for LABEL (last one wins)
#   expect_result LABEL VALUE fails unless result LABEL is VALUE
#   expect_eq WHAT EXPECTED ACTUAL
#   probe VERB ARGS...        probe.exe (see probe.cpp for its verbs), output
#                             without carriage returns
#   wait_window TITLE [MS]    fails unless a window TITLE appears in time
#   dialog_text TITLE         the dialog's title and message lines
#   key KEYS...               xdotool key presses on the display ("Return")
#   type_text TEXT            xdotool typing
#   click X Y                 a left click at screen position X, Y
#   screenshot NAME           the whole screen into out/windows/screens/NAME.png
#   db SQL                    sqlite3 on WORK/tarvenix.db (the embedded default)
#   use_postgresql            starts a PostgreSQL server for this case (stopped
#                             when the case ends) with a WIN1252 database
#                             tarvenix holding the practice's objects, and
#                             points TN_DATA_CONNECTION at it (for installers
#                             started afterwards)
#   pg SQL                    psql on that database, unaligned, WIN1252 bytes
#   fail WHY                  ends the case as failed
set -uo pipefail

ROOT=$(cd "$(dirname "$0")/../.." && pwd)
PLUGINS=$ROOT/dist/Plugins/amd64-unicode
STANDIN=$ROOT/dist/standin/amd64
HELPERS=${TN_WINDOWS_HELPERS:-$ROOT/build/amd64-unicode/tests/windows}
RUN_DIR=$ROOT/out/windows
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver
export ROOT STANDIN HELPERS WINE
# The practice's SQLite functions, which the stand-in vorovuro.dll hands to the
# SQLite driver: the driver runs on the Linux side of wine.
if [ -e "$ROOT/dist/standin/linux/practice_sqlite.so" ]; then
  export TN_PRACTICE_EXTENSION=$ROOT/dist/standin/linux/practice_sqlite.so
fi

for need in "$PLUGINS/tn_dll_sql_exec.dll" "$HELPERS/probe.exe"; do
  [ -e "$need" ] || { echo "FAIL setup: $need missing (make dist)"; echo "windows: 0 passed, 1 failed"; exit 1; }
done

rm -rf "$RUN_DIR/cases" "$RUN_DIR/prefix" "$RUN_DIR/display.fifo" "$RUN_DIR/times.txt"
mkdir -p "$RUN_DIR/cases" "$RUN_DIR/screens"
export WINEPREFIX=$RUN_DIR/prefix WINEDEBUG=-all WINEARCH=win64

xvfb_pid=
cleanup() {
  "$WINESERVER" -k >/dev/null 2>&1
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  return 0
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A display of our own: Xvfb picks a free number and tells it on a pipe.
mkfifo "$RUN_DIR/display.fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$RUN_DIR/display.fifo" 2>"$RUN_DIR/xvfb.log" &
xvfb_pid=$!
display_number=
read -r -t 15 display_number <"$RUN_DIR/display.fifo"
rm -f "$RUN_DIR/display.fifo"
[ -n "$display_number" ] || { echo "FAIL setup: Xvfb did not start"; echo "windows: 0 passed, 1 failed"; exit 1; }
export DISPLAY=:$display_number

# The prefix: made once per run, without the mono and gecko offers.
WINEDLLOVERRIDES="mscoree,mshtml=" "$WINE" wineboot -i >"$RUN_DIR/wineboot.log" 2>&1
"$WINESERVER" -w
"$WINESERVER" -p >/dev/null 2>&1  # one server for every case, until cleanup

# ---- helpers ------------------------------------------------------------------

fail() {
  echo "$*" >"$CASE_DIR/.fail"
  exit 1
}

winpath() { echo "Z:${1//\//\\}"; }

use_standins() {
  local dir=${1:-$WORK}
  [ -e "$STANDIN/vorovuro.dll" ] || fail "no stand-in libraries in $STANDIN"
  mkdir -p "$dir"
  cp "$STANDIN"/*.dll "$dir/"
}

installer() {
  local name=$1 nsi="$CASE_DIR/$1.nsi"
  {
    cat <<EOF
Unicode true
Target amd64-unicode
!addplugindir "$PLUGINS"
!addincludedir "$ROOT/installer"
!include "tn_sql_exec.nsh"
RequestExecutionLevel user
Name "tn $CASE $name"
OutFile "$CASE_DIR/$name.exe"
InstallDir "$(winpath "$WORK")"
!define ROOT "$(winpath "$ROOT")"
!define CASE_DIR "$(winpath "$CASE_DIR")"
!define WORK "$(winpath "$WORK")"
!define STANDIN "$(winpath "$STANDIN")"
!define RESULTS "$(winpath "$CASE_DIR/results.txt")"
!macro RESULT LABEL VALUE
  FileOpen \$R9 "\${RESULTS}" a
  FileSeek \$R9 0 END
  FileWrite \$R9 "\${LABEL}=\${VALUE}\$\r\$\n"
  FileClose \$R9
!macroend
EOF
    cat
    # NSIS 3 lets LoadLibraryA search only the system folder and the folders
    # that the installer adds; the test installers add their work folder.
    cat <<'EOF'
!ifndef OWN_ONINIT
Function .onInit
  !insertmacro TN_PRACTICE_LIBRARY_FOLDER "${WORK}"
FunctionEnd
!endif
EOF
  } >"$nsi"
  makensis -V2 -NOCD "$nsi" >"$CASE_DIR/$name.makensis.log" 2>&1 ||
    fail "makensis $name: $(grep -iE 'error|invalid' "$CASE_DIR/$name.makensis.log" | head -3 | tr '\n' ' ')"
}

installer_pid=
start_installer() {
  local name=$1; shift
  (cd "$CASE_DIR" && exec "$WINE" "$CASE_DIR/$name.exe" "$@" >>"$CASE_DIR/wine.log" 2>&1) &
  installer_pid=$!
}

wait_installer() {
  local secs=${1:-60} waited=0
  [ -n "$installer_pid" ] || fail "no installer started"
  while kill -0 "$installer_pid" 2>/dev/null; do
    if [ "$waited" -ge $((secs * 10)) ]; then
      screenshot "$CASE-hung"
      kill "$installer_pid" 2>/dev/null
      fail "installer still running after ${secs}s (screenshot $CASE-hung.png)"
    fi
    sleep 0.1
    waited=$((waited + 1))
  done
  wait "$installer_pid" 2>/dev/null
  installer_pid=
}

run_installer() {
  start_installer "$1" /S
  wait_installer "${2:-60}"
}

result() {
  [ -f "$CASE_DIR/results.txt" ] || fail "no results file"
  tr -d '\r' <"$CASE_DIR/results.txt" | grep "^$1=" | tail -1 | cut -d= -f2-
}

expect_eq() {
  [ "$2" == "$3" ] || fail "$1: expected '$2', got '$3'"
}

expect_result() {
  grep -q "^$1=" < <(tr -d '\r' <"$CASE_DIR/results.txt" 2>/dev/null) || fail "no result $1"
  expect_eq "$1" "$2" "$(result "$1")"
}

probe() { "$WINE" "$HELPERS/probe.exe" "$@" 2>>"$CASE_DIR/probe.log" | tr -d '\r'; }

wait_window() {
  probe wait "$1" "${2:-15000}" >/dev/null || { screenshot "$CASE-no-window"; fail "no window '$1'"; }
}

dialog_text() { probe text "$1"; }

key() { xdotool key --clearmodifiers "$@"; }
type_text() { xdotool type --delay 20 "$1"; }
click() { xdotool mousemove "$1" "$2" click 1; }

screenshot() { import -window root -display "$DISPLAY" "$RUN_DIR/screens/$1.png" 2>/dev/null; }

db() { sqlite3 "$WORK/tarvenix.db" "$@"; }

# A PostgreSQL server of the case's own, stopped when the case ends.
source "$ROOT/scripts/postgres.sh"
use_postgresql() {
  local schema=$ROOT/dist/standin/sql/practice_postgresql.sql
  [ -e "$schema" ] || schema=$ROOT/standin/sql/practice_postgresql.sql
  chmod 755 "$CASE_DIR"
  trap pg_stop EXIT
  pg_start "$CASE_DIR/pg" 56432 "$schema" || fail "$pg_failure"
}
pg() { PGCLIENTENCODING=WIN1252 psql -qAt -c "$1"; }

export -f fail winpath use_standins installer start_installer wait_installer run_installer result expect_eq \
  expect_result probe wait_window dialog_text key type_text click screenshot db use_postgresql pg \
  pg_as_server pg_free_port pg_start pg_stop

# ---- cases ----------------------------------------------------------------------

for file in "$ROOT"/tests/windows/cases/*.sh; do
  [ -e "$file" ] && source "$file"
done

selected() {  # name, patterns...
  local pattern
  for pattern in "${@:2}"; do
    # shellcheck disable=SC2053
    [[ $1 == $pattern ]] && return 0
  done
  return 1
}

passed=0 failed=0
for fn in $(declare -F | awk '{print $3}' | grep '^case_' | sort); do
  CASE=${fn#case_}
  if [ $# -gt 0 ] && ! selected "$CASE" "$@"; then continue; fi
  CASE_DIR=$RUN_DIR/cases/$CASE
  WORK=$CASE_DIR/work
  mkdir -p "$WORK"
  export CASE CASE_DIR WORK
  started=$SECONDS
  (
    installer_pid=
    "$fn"
  ) >"$CASE_DIR/case.log" 2>&1
  status=$?
  echo "$((SECONDS - started))s $CASE" >>"$RUN_DIR/times.txt"
  if [ $status -eq 0 ]; then
    echo "ok $CASE"
    passed=$((passed + 1))
  else
    why=$(cat "$CASE_DIR/.fail" 2>/dev/null)
    echo "FAIL $CASE: ${why:-exit status $status (see $CASE_DIR/case.log)}"
    failed=$((failed + 1))
  fi
done

echo "windows: $passed passed, $failed failed"
[ $failed -eq 0 ] && [ $passed -gt 0 ]
