# Table loads in a real installer window, with the progress panel on the
# instfiles page.  The first line of the data file carries no key, so the
# database refuses it and the batch of the first 100 lines comes back with
# an error: the load stops at its "Errore SQL" box after line 100, and while
# the box is open the panel's buttons are pressed with no race against the
# load.

# The practice objects and a data file of 250 municipalities (line 1 and
# line 150 refused), CR LF, one accented letter in Windows-1252.
loader_practice() {
  use_standins
  db <"$ROOT/standin/sql/practice_sqlite.sql" || fail "the practice objects did not apply"
  db "INSERT INTO comu_diz VALUES ('X1', 'Vecchio', 'XX', '00000', 'N', '2010-01-01 00:00:00');" ||
    fail "cannot seed comu_diz"
  local i
  {
    for i in $(seq 0 249); do
      if [ "$i" -eq 0 ] || [ "$i" -eq 149 ]; then
        printf "%s\r\n" ",'senza codice','XX','00000','N','2013-01-01 00:00:00.000000'"
      else
        printf "%04d,'Comune %04d, citt\xe0','XX','00000','N','2013-01-01 00:00:00.000000'\r\n" "$i" "$i"
      fi
    done
  } >"$WORK/comuni.txt"
}

loader_installer() {  # name
  installer "$1" <<'NSI'
AutoCloseWindow true
Page instfiles
Section
  SetOutPath "${WORK}"
  !insertmacro TN_EXEC_LOAD_TABLE "comu_diz" "${WORK}\comuni.txt" "0" $0
  !insertmacro RESULT loaded "$0"
SectionEnd
NSI
}

# Waits until control ID of the window reads TEXT.
wait_control_text() {  # title, id, text
  local i line
  for i in $(seq 100); do
    line=$(probe control "$1" "$2")
    [ "${line##*$'\t'}" = "$3" ] && return 0
    sleep 0.1
  done
  fail "control $2 never read '$3' (it reads '${line##*$'\t'}')"
}

# The box of the first batch, over the panel.
expect_batch_box() {  # installer title
  wait_window "Errore SQL"
  local box controls
  box=$(dialog_text "Errore SQL")
  grep -qi "null" <<<"$box" || fail "the box does not name the refused value: $(echo $box)"
  controls=$(probe controls "$1")
  grep -qP '^2\t.*\tSospendi$' <<<"$controls" || fail "button 2 is not Sospendi: $(grep -P '^2\t' <<<"$controls")"
  grep -qP '^3\t.*\tAbbandona$' <<<"$controls" || fail "button 3 is not Abbandona: $(grep -P '^3\t' <<<"$controls")"
  grep -qP '^0\tStatic\t1\t.*comu_diz' <<<"$controls" || fail "no status line for comu_diz: $(echo $controls)"
  expect_eq "rows after the first batch" 99 "$(db "SELECT COUNT(*) FROM comu_diz WHERE comu_descr LIKE 'Comune%'")"
}

close_box() { probe press "Errore SQL" 1 >/dev/null || probe close "Errore SQL"; }

case_loader_complete_load() {
  loader_practice
  # Without the refused lines: no box, the whole file.
  sed -i '/senza codice/d' "$WORK/comuni.txt"
  loader_installer load
  start_installer load
  wait_installer 120
  expect_result loaded success
  expect_eq "rows" 248 "$(db "SELECT COUNT(*) FROM comu_diz")"
  expect_eq "the vanished row" 0 "$(db "SELECT COUNT(*) FROM comu_diz WHERE comu_cod = 'X1'")"
  expect_eq "bytes of a description" "436F6D756E6520303030312C2063697474E0" \
    "$(db "SELECT hex(comu_descr) FROM comu_diz WHERE comu_cod = '0001'")"
  expect_eq "registry row" "RUPDF16||2013-01-01 00:00:00.000000" \
    "$(db "SELECT tableid, chiave1, data_upd FROM tables WHERE tabella = 'upd_comu_diz'")"
}

# Pause on button 2 while the box is open, then resume: the load waits after
# line 100 and then runs to its end; the second refused line shows no box.
case_loader_paused_and_resumed() {
  loader_practice
  loader_installer pause
  start_installer pause
  local title="tn $CASE pause Setup*"
  expect_batch_box "$title"
  probe press "$title" 2 >/dev/null || fail "cannot press Sospendi"
  wait_control_text "$title" 2 Riprendi
  close_box
  probe gone "Errore SQL" 5000 >/dev/null || fail "the box did not close"
  screenshot "$CASE"
  # Paused after line 100: nothing further reaches the database.
  wait_control_text "$title" 2 Riprendi
  expect_eq "rows while paused" 99 "$(db "SELECT COUNT(*) FROM comu_diz WHERE comu_descr LIKE 'Comune%'")"
  expect_eq "registry row under way" "2010-01-01 00:00:00.000000" \
    "$(db "SELECT chiave1 FROM tables WHERE tabella = 'upd_comu_diz'")"
  probe press "$title" 2 >/dev/null || fail "cannot press Riprendi"
  wait_installer 120
  expect_result loaded success
  expect_eq "rows" 248 "$(db "SELECT COUNT(*) FROM comu_diz")"
  expect_eq "registry row" "" "$(db "SELECT chiave1 FROM tables WHERE tabella = 'upd_comu_diz'")"
}

# Abandon on button 3 while the box is open: the load stops after line 100,
# nothing is deleted and the registry row stays under way.
case_loader_abandoned() {
  loader_practice
  loader_installer abandon
  start_installer abandon
  local title="tn $CASE abandon Setup*"
  expect_batch_box "$title"
  probe press "$title" 3 >/dev/null || fail "cannot press Abbandona"
  wait_control_text "$title" 2 Sospendi
  close_box
  wait_installer 120
  expect_result loaded abort
  expect_eq "rows after the abandon" 99 "$(db "SELECT COUNT(*) FROM comu_diz WHERE comu_descr LIKE 'Comune%'")"
  expect_eq "the old row is kept" 1 "$(db "SELECT COUNT(*) FROM comu_diz WHERE comu_cod = 'X1'")"
  expect_eq "registry row under way" "2010-01-01 00:00:00.000000" \
    "$(db "SELECT chiave1 FROM tables WHERE tabella = 'upd_comu_diz'")"
}
