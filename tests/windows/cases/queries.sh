# Update states and single-value queries in a real installer: what the
# installer pops, and the registry rows that reach the database.

# The practice objects, and three reference tables of the test's own shape in
# the embedded database.
practice_sqlite_tables() {
  use_standins
  db <"$ROOT/standin/sql/practice_sqlite.sql" || fail "the practice objects did not apply"
  db "DROP TABLE IF EXISTS cprobl; DROP TABLE IF EXISTS tab_acc; DROP TABLE IF EXISTS tab_vac;
      CREATE TABLE cprobl (codice varchar(10) PRIMARY KEY, frequenza integer);
      INSERT INTO cprobl VALUES ('a', 1440), ('b', 90);
      CREATE TABLE tab_acc (codice varchar(10) PRIMARY KEY, data_upd timestamp, x integer);
      INSERT INTO tab_acc VALUES ('a', '2015-06-07 08:09:10.123', 1), ('b', '2019-01-01 00:00:00', 2);
      CREATE TABLE tab_vac (codice varchar(10) PRIMARY KEY, data_upd timestamp);
      INSERT INTO tables(tableid,tabella,chiave1,chiave2,descrizione)
        VALUES ('RUPDF21','upd_tab_vac','2011-05-02 10:00:00.000000','K2','Update tab_vac');" ||
    fail "cannot create the reference tables"
}

# One installer asks for four states; every answer is written between
# brackets, and a sentinel pushed before each call must still be there after
# it, so that exactly two results were pushed.
data_upd_installer() {
  installer data_upd <<'NSI'
!macro STATE_OF LABEL TABLE FILTER
  Push "sentinel"
  !insertmacro TN_EXEC_GET_DATA_UPD `${TABLE}` `${FILTER}` $0 $1
  Pop $2
  !insertmacro RESULT ${LABEL} "[$0][$1][$2]"
!macroend
Section
  SetOutPath "${WORK}"
  !insertmacro STATE_OF cprobl cprobl ""
  !insertmacro STATE_OF catalogo acc_catalogo "WHERE x=1"
  !insertmacro STATE_OF unfinished tab_vac ""
  !insertmacro STATE_OF empty "" "WHERE x=1"
SectionEnd
NSI
}

expect_data_upd_results() {
  expect_result cprobl "[2000-01-02 00:00:00.000000][][sentinel]"
  expect_result catalogo "[2015-06-07 08:09:10.123000][][sentinel]"
  expect_result unfinished "[2011-05-02 10:00:00.000000][K2][sentinel]"
  expect_result empty "[][][sentinel]"
}

# The registry rows, one a line: tableid|tabella|chiave1|chiave2|descrizione.
expected_registry="RUPDF20|upd_acc_catalogo|||Update tab_acc
RUPDF17|upd_cprobl|||Update cprobl
RUPDF21|upd_tab_vac|2011-05-02 10:00:00.000000|K2|Update tab_vac"
registry_query="SELECT tableid, tabella, chiave1, chiave2, descrizione FROM tables ORDER BY tabella"

case_data_upd_on_sqlite() {
  practice_sqlite_tables
  data_upd_installer
  run_installer data_upd
  expect_data_upd_results
  expect_eq registry "$expected_registry" "$(db "$registry_query")"
}

case_data_upd_on_postgresql() {
  use_standins
  use_postgresql
  pg "DROP TABLE IF EXISTS cprobl; DROP TABLE IF EXISTS tab_acc; DROP TABLE IF EXISTS tab_vac;
      CREATE TABLE cprobl (codice varchar(10) PRIMARY KEY, frequenza integer);
      INSERT INTO cprobl VALUES ('a', 1440), ('b', 90);
      CREATE TABLE tab_acc (codice varchar(10) PRIMARY KEY, data_upd timestamp, x integer);
      INSERT INTO tab_acc VALUES ('a', '2015-06-07 08:09:10.123', 1), ('b', '2019-01-01 00:00:00', 2);
      CREATE TABLE tab_vac (codice varchar(10) PRIMARY KEY, data_upd timestamp);
      INSERT INTO tables(tableid,tabella,chiave1,chiave2,descrizione)
        VALUES ('RUPDF21','upd_tab_vac','2011-05-02 10:00:00.000000','K2','Update tab_vac');" >/dev/null ||
    fail "cannot create the reference tables"
  data_upd_installer
  run_installer data_upd
  expect_data_upd_results
  expect_eq registry "$expected_registry" "$(pg "$registry_query")"
}

case_sql_into_values() {
  use_standins
  db "CREATE TABLE t_value (id integer PRIMARY KEY, txt varchar(20));
      INSERT INTO t_value VALUES (1, 'Citt' || CAST(X'E0' AS TEXT)), (2, NULL);" || fail "cannot create t_value"
  printf 'UPDATE t_value SET txt = \x27due\x27 WHERE id = 2;\r\nSELECT txt FROM t_value WHERE id = 2' >"$WORK/query.sql"
  installer into <<'NSI'
!macro VALUE_OF LABEL QUERY
  Push "sentinel"
  !insertmacro TN_EXEC_SQL_INTO `${QUERY}` $0
  Pop $2
  !insertmacro RESULT ${LABEL} "[$0][$2]"
!macroend
Section
  SetOutPath "${WORK}"
  !insertmacro VALUE_OF text "SELECT txt FROM t_value WHERE id = 1"
  !insertmacro VALUE_OF null "SELECT txt FROM t_value WHERE id = 2"
  !insertmacro VALUE_OF no_row "SELECT txt FROM t_value WHERE id = 99"
  !insertmacro VALUE_OF last "SELECT 'first';SELECT 'second'"
  !insertmacro VALUE_OF empty ""
  Push "sentinel"
  !insertmacro TN_EXEC_SQL_FILE_INTO "${WORK}\query.sql" $0
  Pop $2
  !insertmacro RESULT file "[$0][$2]"
  Push "sentinel"
  !insertmacro TN_EXEC_SQL_FILE_INTO "${WORK}\no_such_file.sql" $0
  Pop $2
  !insertmacro RESULT missing_file "[$0][$2]"
SectionEnd
NSI
  run_installer into
  # Windows-1252 bytes, which the harness's result reader takes for binary.
  expect_eq text "[Città][sentinel]" \
    "$(tr -d '\r' <"$CASE_DIR/results.txt" | grep -a '^text=' | cut -d= -f2- | iconv -f CP1252 -t UTF-8)"
  expect_result null "[][sentinel]"
  expect_result no_row "[][sentinel]"
  expect_result last "[second][sentinel]"
  expect_result empty "[][sentinel]"
  expect_result file "[due][sentinel]"
  expect_result missing_file "[][sentinel]"
  expect_eq committed "due" "$(db "SELECT txt FROM t_value WHERE id = 2")"
}
