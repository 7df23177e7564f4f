; A sample installer: runs update scripts on the practice database through
; tn_dll_sql_exec and keeps a log of the outcomes.
;
;   makensis -DPRACTICE_DIR=C:\Tarvenix -DSCRIPTS_DIR=C:\aggiornamento sample.nsi
;
; PRACTICE_DIR: the folder that holds vorovuro.dll and velt32w0.dll (and, for
; the embedded default, tarvenix.db); SCRIPTS_DIR: the folder of sample.sql and
; sample_go.sql.  TARGET (default amd64-unicode) picks the plug-in flavor;
; PLUGINS_DIR names the folder of the flavors (dist/Plugins) when the plug-in
; is not installed among NSIS's own; tn_sql_exec.nsh is found in the script's
; own folder or through makensis -X"!addincludedir ...".
Unicode true
!ifndef TARGET
  !define TARGET amd64-unicode
!endif
Target ${TARGET}
; PLUGINS_DIR: the dist/Plugins folder, when the plug-in is not installed in
; NSIS's own Plugins folder.
!ifdef PLUGINS_DIR
  !addplugindir "${PLUGINS_DIR}\${TARGET}"
!endif
!ifndef PRACTICE_DIR
  !define PRACTICE_DIR "C:\Tarvenix"
!endif
!ifndef SCRIPTS_DIR
  !define SCRIPTS_DIR "${PRACTICE_DIR}"
!endif
!ifndef OUT_FILE
  !define OUT_FILE "tarvenix_aggiornamento.exe"
!endif

!include "tn_sql_exec.nsh"

Name "Tarvenix: aggiornamento database"
OutFile "${OUT_FILE}"
RequestExecutionLevel user
InstallDir "${PRACTICE_DIR}"
ShowInstDetails show
AutoCloseWindow true
LoadLanguageFile "${NSISDIR}\Contrib\Language files\Italian.nlf"
Page instfiles

Var log

Function .onInit
  !insertmacro TN_PRACTICE_LIBRARY_FOLDER "${PRACTICE_DIR}"
FunctionEnd

; Notes one step's outcome on the page and in the log.
!macro STEP WHAT RESULT
  DetailPrint "${WHAT}: ${RESULT}"
  FileWrite $log "${WHAT}: ${RESULT}$\r$\n"
!macroend

Section "Database"
  ; The data connection opens the practice database of the current folder.
  SetOutPath "${PRACTICE_DIR}"
  FileOpen $log "${PRACTICE_DIR}\aggiornamento.log" w

  !insertmacro TN_EXEC_SQL_FILE "${SCRIPTS_DIR}\sample.sql" $0
  !insertmacro STEP "exec_sql_file sample.sql" $0

  !insertmacro TN_EXEC_SQL_FILE_TER "${SCRIPTS_DIR}\sample_go.sql" "GO" $0
  !insertmacro STEP "exec_sql_file_ter sample_go.sql GO" $0

  !insertmacro TN_EXEC_SQL_STRING "INSERT INTO note_aggiornamento VALUES (3, '24.1', 'Tariffe più recenti, città e comuni'); UPDATE note_aggiornamento SET nota = nota || ' (verificato)' WHERE id = 1" $0
  !insertmacro STEP "exec_sql_string" $0

  !insertmacro TN_EXEC_SQL_INTO "SELECT count(*) FROM note_aggiornamento" $1
  !insertmacro STEP "note_aggiornamento, righe" $1

  FileClose $log
  StrCmp $0 "0" +2
    MessageBox MB_ICONSTOP|MB_OK "Aggiornamento del database non riuscito" /SD IDOK
SectionEnd
