# A synonym load in a real installer window, with the progress panel on the
# instfiles page.  The first line of the data file is refused by the database,
# so the load stops at its "Errore SQL" box: while the box is open the panel
# can be read and its buttons pressed, with no race against the load.

# The practice objects, and a catalogue of eight columns with two exams.
synonym_practice() {
  use_standins
  db <"$ROOT/standin/sql/practice_sqlite.sql" || fail "the practice objects did not apply"
  db "DROP TABLE IF EXISTS tab_acc;
      CREATE TABLE tab_acc (rowid varchar(40) NOT NULL PRIMARY KEY, acc_cod varchar(10), acc_descr varchar(120),
        acc_status char(1), acc_short varchar(10), acc_orig varchar(120), acc_prn char(1), acc_costo integer);
      INSERT INTO tab_acc VALUES ('R001', 'EMO', 'Emocromo', 'A', 'EMO', 'Emocromo orig', 'S', 12),
                                 ('R002', 'GLI', 'Glicemia', 'A', 'GLI', NULL, 'S', 5);" ||
    fail "cannot create the catalogue"
  # Line 1: a complete row under the key of R001, which the database refuses.
  # Lines 2 and 3: copies of R001 and R002; the e grave is byte E8.
  printf '%s\r\n' \
    "1,'N900','Errata',x,'R001','X','x','x','x','x','S',1" \
    "7,'R001','Emocromo completo',x" \
    "8,'R002',$(printf "'Glicemia \xe8 digiuno'"),x" \
    "0,'pad','--------------------------------------------------'" >"$WORK/sinonimi.txt"
}

synonym_installer() {  # name
  installer "$1" <<'NSI'
AutoCloseWindow true
Page instfiles
Section
  SetOutPath "${WORK}"
  !insertmacro TN_EXEC_LOAD_SINONIMI "A" "${WORK}\sinonimi.txt" "0" $0
  !insertmacro RESULT loaded "$0"
SectionEnd
NSI
}

# Waits for the refused INSERT's box and checks its text and the panel under it.
expect_box_over_panel() {  # installer title
  wait_window "Errore SQL"
  local box
  box=$(dialog_text "Errore SQL")
  grep -qF "INSERT INTO tab_acc( rowid,acc_cod,acc_descr,acc_status,acc_short,acc_orig,acc_prn,acc_costo) VALUES( 'R001'" \
    <<<"$box" || fail "the box says: $(echo $box)"
  local controls
  controls=$(probe controls "$1")
  grep -qP '^2\t.*\tSospendi$' <<<"$controls" || fail "button 2 is not Sospendi: $(grep -P '^2\t' <<<"$controls")"
  grep -qP '^3\t.*\tAbbandona$' <<<"$controls" || fail "button 3 is not Abbandona: $(grep -P '^3\t' <<<"$controls")"
  grep -qP '^0\tStatic\t1\t.*tab_acc' <<<"$controls" || fail "no status line for tab_acc: $(echo $controls)"
  screenshot "$CASE"
}

case_synonyms_load_with_the_panel() {
  synonym_practice
  synonym_installer load
  start_installer load
  local title="tn $CASE load Setup*"
  expect_box_over_panel "$title"
  probe press "Errore SQL" 1 >/dev/null || probe close "Errore SQL"
  wait_installer 60
  expect_result loaded success
  expect_eq "synonym rows" "TNA7_R001|EMO|Emocromo completo|O|(*)|Emocromo orig|S|12
TNA8_R002|GLI|476C6963656D696120E82064696769756E6F|O|(*)||S|5" \
    "$(db "SELECT rowid, acc_cod, CASE WHEN rowid = 'TNA8_R002' THEN hex(acc_descr) ELSE acc_descr END,
               acc_status, acc_short, acc_orig, acc_prn, acc_costo FROM tab_acc WHERE rowid LIKE 'TN%' ORDER BY rowid")"
  expect_eq "the refused row" "R001|Emocromo" "$(db "SELECT rowid, acc_descr FROM tab_acc WHERE rowid = 'R001'")"
}

# Abandon pressed while the box is open: the load stops after that line.
case_synonyms_abandoned_from_the_panel() {
  synonym_practice
  synonym_installer abandon
  start_installer abandon
  local title="tn $CASE abandon Setup*"
  expect_box_over_panel "$title"
  probe press "$title" 3 >/dev/null || fail "cannot press Abbandona"
  sleep 0.5
  probe press "Errore SQL" 1 >/dev/null || probe close "Errore SQL"
  wait_installer 60
  expect_result loaded abort
  expect_eq "synonym rows after the abandon" "0" "$(db "SELECT COUNT(*) FROM tab_acc WHERE rowid LIKE 'TN%'")"
}
