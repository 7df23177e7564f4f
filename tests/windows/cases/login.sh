# The login dialog in a real installer, typed into as a person would.

# Practice users, in the embedded database of the case's work folder.
login_users() {
  use_standins
  db "CREATE TABLE users(userid INTEGER PRIMARY KEY, nomepass VARCHAR(31), parola VARCHAR(31));
      INSERT INTO users VALUES (17, 'mrossi', 'segreta'), (23, 'd''amico', 'pa''ss');" ||
    fail "cannot create the users table"
}

# An installer that asks once, offering NAME, and writes the userid it got.
login_installer() {  # name, offered user name
  installer "$1" <<NSI
Section
  SetOutPath "\${WORK}"
  !insertmacro TN_EXEC_LOGIN "$2" \$0
  !insertmacro RESULT userid "[\$0]"
SectionEnd
NSI
}

# The next login dialog: the previous one gone, a new one up.
next_login_dialog() {
  probe gone "Database Login" 10000 >/dev/null || fail "the login dialog did not close"
  wait_window "Database Login"
  sleep 0.3
}

case_login_wrong_password_then_right() {
  login_users
  login_installer wrong_then_right mrossi
  start_installer wrong_then_right /S
  wait_window "Database Login"
  sleep 0.3
  local controls
  controls=$(probe controls "Database Login" | cut -f5)
  for text in "Database:" "Tarvenix" "&User Name:" "&Password:" "&OK" "Cancel"; do
    grep -qxF -- "$text" <<<"$controls" || fail "the dialog lacks '$text': $(echo $controls)"
  done
  grep -qxF mrossi <<<"$controls" || fail "mrossi not offered: $(echo $controls)"
  screenshot login-offered
  # A name was offered: the typing goes into the password field.
  type_text "sbagliata"
  key Return
  next_login_dialog
  grep -qxF mrossi <<<"$(probe controls "Database Login" | cut -f5)" || fail "mrossi not offered again"
  type_text "segreta"
  key Return
  wait_installer 30
  expect_result userid "[17]"
}

case_login_cancel_gives_empty_text() {
  login_users
  login_installer cancel mrossi
  start_installer cancel /S
  wait_window "Database Login"
  sleep 0.3
  # From the password field: OK, then Cancel.
  key Tab Tab space
  wait_installer 30
  expect_result userid "[]"
}

case_login_name_with_apostrophe_finds_its_row() {
  login_users
  login_installer apostrophe ""
  start_installer apostrophe /S
  wait_window "Database Login"
  sleep 0.3
  # Nothing offered: the typing starts in the user name field.
  type_text "d'amico"
  key Tab
  type_text "pa'ss"
  screenshot login-apostrophe
  key Return
  wait_installer 30
  expect_result userid "[23]"
}
