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
  # The practice's users, for the login that opens the table update.
  sqlite3 "$PRACTICE/tarvenix.db" <"$ROOT/dist/standin/sql/sample_users.sql"
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

# ---- the reference tables ------------------------------------------------------
# The main job: installer/aggiornamento_tabelle.nsi asks a practice user to log
# in (the login dialog is typed into below, as a person would, and
# photographed into out/demo/login.png), then updates the practice's reference
# tables from the sample update data files (standin/data/) and loads the exam
# synonyms of sinonimi.txt, with the progress panel on the page.  The practice
# starts from rows of an earlier update, some changed by the practice; the
# summary compares the tables before and after.  A screenshot of the panel
# during the largest load goes to out/demo/pannello.png.
LOGIN_USER=medico LOGIN_PASSWORD=tarvenix SYNONYM_SET=S01
DATA=$DEMO/dati
rm -rf "$DATA" && mkdir -p "$DATA"
cp "$ROOT"/standin/data/*.txt "$DATA/"
# Part of a table, loaded with a filter: 20,000 municipalities of province ZZ.
for i in $(seq 1 20000); do
  printf "Z%05d,'Comune di prova n. %d, localit\xe0','ZZ','00000',N,'2013-03-01 00:00:00.000000'\r\n" "$i" "$i"
done >"$DATA/comuni_zz.txt"
sqlite3 "$PRACTICE/tarvenix.db" <"$ROOT/standin/data/practice_before.sql"
cp "$PRACTICE/tarvenix.db" "$DEMO/prima.db"

echo "== building the table update installer"
makensis -V2 -NOCD -X"!addincludedir \"$ROOT/installer\"" -DPLUGINS_DIR="$ROOT/dist/Plugins" \
  -DPRACTICE_DIR="$(winpath "$PRACTICE")" -DDATA_DIR="$(winpath "$DATA")" -DLARGE_FILE=comuni_zz.txt \
  -DLOGIN_USER="$LOGIN_USER" -DSYNONYM_SET="$SYNONYM_SET" \
  -DOUT_FILE="$DEMO/tarvenix_tabelle.exe" "$ROOT/installer/aggiornamento_tabelle.nsi"

echo "== running it on $DISPLAY"
rm -f "$DEMO/pannello.png" "$DEMO/login.png"
(cd "$PRACTICE" && exec timeout 300 "$WINE" "$DEMO/tarvenix_tabelle.exe" >"$DEMO/wine_tabelle.log" 2>&1) &
installer=$!

# The visible login dialog's X window, once it is up (nothing after SECS).
login_window() {  # secs
  local deadline=$((SECONDS + $1)) wid
  while kill -0 "$installer" 2>/dev/null; do
    wid=$(xdotool search --onlyvisible --name '^Database Login$' 2>/dev/null | head -n 1) || true
    [ -n "$wid" ] && { echo "$wid"; return 0; }
    [ $SECONDS -lt $deadline ] || return 1
    sleep 0.2
  done
  return 1
}
# The offered user name is filled in and the password field has the focus:
# the password is typed and confirmed with Return.  Keys reach the window
# that has the focus, so the dialog is given it first (on a desktop with a
# window manager by activating it, on the bare Xvfb directly).  A password
# garbled on the way brings the dialog back; it is typed again, twice at most.
logged_in=
for attempt in 1 2 3; do
  wid=$(login_window 60) || break
  sleep 0.3
  timeout 5 xdotool windowactivate --sync "$wid" >/dev/null 2>&1 ||
    timeout 5 xdotool windowfocus --sync "$wid" >/dev/null 2>&1 || true
  xdotool type --delay 30 "$LOGIN_PASSWORD"
  # The photograph shows the offered name and the masked password.
  sleep 0.3
  [ "$attempt" = 1 ] && { import -window root -display "$DISPLAY" "$DEMO/login.png" 2>/dev/null || true; }
  xdotool key --clearmodifiers Return
  sleep 1.5
  if ! login_window 0 >/dev/null; then logged_in=1; break; fi
done
if [ -z "$logged_in" ]; then
  import -window root -display "$DISPLAY" "$DEMO/hung.png" 2>/dev/null || true
  kill "$installer" 2>/dev/null || true
  echo "demo: the login did not succeed (screen in out/demo/hung.png)" >&2
  exit 1
fi
# The panel is photographed once a quarter of the filtered load has reached
# the database (the status line changes at most every half second).
while kill -0 "$installer" 2>/dev/null; do
  if [ ! -e "$DEMO/pannello.png" ] &&
     [ "$(sqlite3 -cmd ".timeout 200" "$PRACTICE/tarvenix.db" \
          "SELECT (SELECT count(*) FROM comu_diz WHERE comu_prov = 'ZZ') >= 5000 AND
                  (SELECT chiave1 FROM tables WHERE tabella = 'upd_comu_diz') <> ''" 2>/dev/null)" = 1 ]; then
    import -window root -display "$DISPLAY" "$DEMO/pannello.png" 2>/dev/null || true
  fi
  sleep 0.2
done
if ! wait "$installer"; then
  import -window root -display "$DISPLAY" "$DEMO/hung.png" 2>/dev/null || true
  echo "demo: the table update installer did not finish (screen in out/demo/hung.png)" >&2
  exit 1
fi

LOG=$(tr -d '\r' <"$PRACTICE/aggiornamento_tabelle.log")
echo "== login"
IFS='|' read -r _ user userid <<<"$(grep '^login|' <<<"$LOG")"
echo "user $user, password typed: userid ${userid:-(none)}," \
  "$(sqlite3 "$PRACTICE/tarvenix.db" "SELECT nome FROM users WHERE userid = '$userid'" | iconv -f CP1252 -t UTF-8)"
echo "== outcomes (tabella|stato prima|esito|stato dopo)"
grep -v '^login|\|^sinonimi|' <<<"$LOG"

echo "== the tables before and after"
summary() {  # table, key expression, filter
  local t=$1 key=$2 filter=${3:-1=1}
  sqlite3 -separator ' | ' "$PRACTICE/tarvenix.db" "ATTACH '$DEMO/prima.db' AS b;
    SELECT printf('%-28s', '$t'),
      (SELECT count(*) FROM b.$t WHERE $filter), (SELECT count(*) FROM main.$t WHERE $filter),
      (SELECT count(*) FROM main.$t WHERE $filter AND $key NOT IN (SELECT $key FROM b.$t)),
      (SELECT count(*) FROM (SELECT * FROM main.$t WHERE $filter EXCEPT SELECT * FROM b.$t)
         WHERE $key IN (SELECT $key FROM b.$t)),
      (SELECT count(*) FROM b.$t WHERE $filter AND $key NOT IN (SELECT $key FROM main.$t))"
}
echo "tabella                      | prima | dopo | inserite | aggiornate | cancellate"
summary comu_diz comu_cod "comu_prov <> 'ZZ'"
summary lnk_acc "lnk_gru || '|' || lnk_acc"
# Synonym rows: copies under TN + set code, complete new rows of 4 characters
# whose acc_orig starts with three blanks.
SYNONYM="(rowid LIKE 'TN$SYNONYM_SET%' OR (length(rowid) = 4 AND coalesce(acc_orig, '') LIKE '   %'))"
summary tab_acc rowid "NOT $SYNONYM"
summary tab_vac vac_cod
summary cprobl cpr_cod
summary contatori riga_id
summary mn_v_tbl_note_prescrizione nota_id
summary notessn ID
summary mn_v_tbl_generica "gen_tipo || '|' || gen_cod"
summary tab_atc atc_cod
summary comu_diz comu_cod "comu_prov = 'ZZ'" | sed "s/^comu_diz                   /comu_diz, provincia ZZ     /"
echo "-- changes of the practice kept by the update"
sqlite3 -separator ' | ' "$PRACTICE/tarvenix.db" \
  "SELECT 'tab_acc', rowid, acc_descr, 'consegnato: ' || acc_orig, acc_short FROM tab_acc
     WHERE acc_descr <> acc_orig AND NOT $SYNONYM
   UNION ALL
   SELECT 'tab_vac', vac_cod, vac_descr, 'consegnato: ' || vac_orig, vac_rich FROM tab_vac WHERE vac_descr <> vac_orig" |
  iconv -f CP1252 -t UTF-8
echo "-- comu_diz"
sqlite3 -separator ' | ' "$PRACTICE/tarvenix.db" "SELECT * FROM comu_diz WHERE comu_prov <> 'ZZ' ORDER BY comu_cod" |
  iconv -f CP1252 -t UTF-8
echo "== the synonym load (set $SYNONYM_SET, sinonimi.txt)"
IFS='|' read -r _ _ outcome <<<"$(grep '^sinonimi|' <<<"$LOG")"
sqlite3 "$PRACTICE/tarvenix.db" "SELECT 'result ${outcome:-(none)}: ' ||
    (SELECT count(*) FROM tab_acc WHERE rowid LIKE 'TN$SYNONYM_SET%') || ' copied rows, ' ||
    (SELECT count(*) FROM tab_acc WHERE length(rowid) = 4 AND coalesce(acc_orig, '') LIKE '   %') ||
    ' complete new rows'"
sqlite3 -separator ' | ' "$PRACTICE/tarvenix.db" \
  "SELECT rowid, acc_descr, CASE k WHEN 1 THEN 'copia di ' || substr(rowid, instr(rowid, '_') + 1) ELSE 'riga nuova' END, acc_status, acc_short
     FROM (SELECT 1 AS k, rowid, acc_descr, acc_status, acc_short FROM tab_acc WHERE rowid LIKE 'TN$SYNONYM_SET%'
           UNION ALL
           SELECT 2, rowid, '''' || acc_descr || '''', acc_status, acc_short FROM tab_acc
            WHERE length(rowid) = 4 AND coalesce(acc_orig, '') LIKE '   %')
    ORDER BY k, rowid" | iconv -f CP1252 -t UTF-8
[ -e "$DEMO/login.png" ] && echo "== the login dialog: out/demo/login.png"
[ -e "$DEMO/pannello.png" ] && echo "== the panel during a load: out/demo/pannello.png"
