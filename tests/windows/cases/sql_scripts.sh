# The three script exports in a real installer: what they push, what reaches
# the database, and the dialogs of a practice library that cannot serve.

# Nothing pushed by the installer: the text reads as empty, nothing is loaded
# or shown, and "-1" is pushed all the same.
case_empty_stack_still_pushes() {
  installer empty <<'NSI'
Section
  SetOutPath "${WORK}"
  StrCpy $0 "nothing"
  ClearErrors
  tn_dll_sql_exec::exec_sql_string
  Pop $0
  IfErrors 0 +2
    StrCpy $0 "pop failed"
  !insertmacro RESULT pushed $0
SectionEnd
NSI
  run_installer empty 30
  expect_result pushed "-1"
}

# Shows the dialog TITLE, checks its message, closes it with its OK button and
# checks that the installer then ends with RESULT pushed.
expect_dialog_then() {  # title, message, label, result
  wait_window "$1"
  local text
  text=$(dialog_text "$1")
  grep -qxF -- "$2" <<<"$text" || fail "dialog '$1' says: $(echo $text)"
  probe press "$1" 1 >/dev/null || probe close "$1"
  wait_installer 30
  expect_result "$3" "$4"
}

# A practice library that cannot be loaded: the error dialog names it, and
# the script is not run.
case_missing_library_shows_dialog() {
  installer missing <<'NSI'
Section
  SetOutPath "${WORK}"
  !insertmacro TN_EXEC_SQL_STRING "create table t(a int)" $0
  !insertmacro RESULT pushed $0
SectionEnd
NSI
  start_installer missing /S
  wait_window Errore
  screenshot missing-library
  expect_dialog_then Errore "Impossibile caricare la libreria vorovuro.dll (1)" pushed "-1"
}

# A vorovuro.dll without API_IU_sql_exec.
case_missing_function_shows_dialog() {
  cp "$HELPERS/noexec/vorovuro.dll" "$WORK/"
  installer nofunction <<'NSI'
Section
  SetOutPath "${WORK}"
  !insertmacro TN_EXEC_SQL_STRING "create table t(a int)" $0
  !insertmacro RESULT pushed $0
SectionEnd
NSI
  start_installer nofunction /S
  expect_dialog_then Errore "Impossibile creare default data connection" pushed "-1"
}

# A connection that cannot be made: a data source that does not exist.
case_failed_connection_shows_dialog() {
  use_standins
  export TN_DATA_CONNECTION="DSN=tn_no_such_source"
  installer noconnection <<'NSI'
Section
  SetOutPath "${WORK}"
  !insertmacro TN_EXEC_SQL_STRING "create table t(a int)" $0
  !insertmacro RESULT pushed $0
SectionEnd
NSI
  start_installer noconnection /S
  expect_dialog_then Errore "Creazione default data connection non riuscita" pushed "-1"
}

# The three script exports, then what reached the database: the rows arrive,
# a statement that the database rejects neither stops the others nor changes
# the result, Windows-1252 letters arrive byte for byte, a separator of two
# characters is dropped whole, a missing file gives -1.  QUERY runs a query on
# the database (db or pg); HEX_OF_NAME_2 gives the bytes of row 2's name.
scripts_reach() {
  local query=$1 hex_of_name_2=$2
  printf 'insert into paziente values (2, \x27Nicol\xf2\x27);\ninsert into paziente values (3, \x27Citt\xe0 \x80\x27);\n' \
    >"$WORK/rows.sql"
  printf 'insert into paziente values (4, \x27quattro\x27)@@insert into paziente values (5, \x27cinque\x27)@@' \
    >"$WORK/rows_ter.sql"
  installer scripts <<'NSI'
Section
  SetOutPath "${WORK}"
  !insertmacro TN_EXEC_SQL_STRING "create table paziente (id integer primary key, nome varchar(40)); insert into paziente values (1, 'uno'); insert into nessuna_tabella values (0); insert into paziente values (9, 'nove')" $0
  !insertmacro RESULT string $0
  !insertmacro TN_EXEC_SQL_FILE "${WORK}\rows.sql" $0
  !insertmacro RESULT file $0
  !insertmacro TN_EXEC_SQL_FILE_TER "${WORK}\rows_ter.sql" "@@" $0
  !insertmacro RESULT file_ter $0
  !insertmacro TN_EXEC_SQL_FILE "${WORK}\no_such_file.sql" $0
  !insertmacro RESULT missing_file $0
SectionEnd
NSI
  run_installer scripts
  expect_result string 0
  expect_result file 0
  expect_result file_ter 0
  expect_result missing_file -1
  expect_eq rows "1|uno 2|Nicolò 3|Città € 4|quattro 5|cinque 9|nove" \
    "$($query "select id, nome from paziente order by id" | iconv -f CP1252 -t UTF-8 | tr '\n' ' ' | sed 's/ $//')"
  expect_eq bytes "4E69636F6CF2" "$($query "$hex_of_name_2" | tr a-f A-F)"
}

case_scripts_reach_sqlite() {
  use_standins
  scripts_reach db "select hex(nome) from paziente where id = 2"
}

# A value longer than the installer's strings (1024 characters with their NUL)
# arrives cut to 1023 characters, counted in characters by a unicode installer.
case_long_result_is_cut() {
  use_standins
  installer long <<'NSI'
Section
  SetOutPath "${WORK}"
  !insertmacro TN_EXEC_SQL_INTO "select replace(hex(zeroblob(1000)), '0', 'x')" $0
  StrLen $1 $0
  !insertmacro RESULT length $1
  StrCpy $2 $0 3 -3
  !insertmacro RESULT tail $2
SectionEnd
NSI
  run_installer long
  expect_result length 1023
  expect_result tail xxx
}

# The same exports on PostgreSQL, where one failing statement would abort the
# whole transaction if the data connection did not isolate it.
case_scripts_reach_postgresql() {
  use_standins
  use_postgresql
  scripts_reach pg "select encode(convert_to(nome, 'WIN1252'), 'hex') from paziente where id = 2"
}

# A library that fails by raising in the middle of a script: the plain message
# dialog shows the failure's own text under the program's name, and "-1".
case_raising_library_shows_its_text() {
  cp "$HELPERS/throws/vorovuro.dll" "$WORK/"
  installer raising <<'NSI'
Section
  SetOutPath "${WORK}"
  !insertmacro TN_EXEC_SQL_STRING "delete from users;delete from tables" $0
  !insertmacro RESULT pushed $0
SectionEnd
NSI
  start_installer raising /S
  expect_dialog_then raising "Violazione di accesso eseguendo: delete from users" pushed "-1"
}
