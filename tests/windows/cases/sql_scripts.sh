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
