; The reference-table update of a practice.  First a practice user logs in
; (exec_login; cancelling the login ends the installer before anything is
; changed).  Then, for every table, the update state before the load
; (exec_get_data_upd) and the load from its update data file (exec_load_table,
; or exec_load_table_where for a part of a table); last the exam synonyms
; (exec_load_sinonimi), all with the progress panel on the page.  Each step
; goes to aggiornamento_tabelle.log, one line "what|...|outcome|...".
;
;   makensis -DPRACTICE_DIR=C:\Tarvenix -DDATA_DIR=C:\aggiornamento aggiornamento_tabelle.nsi
;
; PRACTICE_DIR: the folder of vorovuro.dll and velt32w0.dll (and, for the
; embedded default, tarvenix.db); DATA_DIR: the folder of the update data
; files, sinonimi.txt among them; LOGIN_USER: the user name the login offers
; (default "medico"); SYNONYM_SET: the code of the synonym set (default
; "S01"); TARGET and PLUGINS_DIR as in sample.nsi.
Unicode true
!ifndef TARGET
  !define TARGET amd64-unicode
!endif
Target ${TARGET}
!ifdef PLUGINS_DIR
  !addplugindir "${PLUGINS_DIR}\${TARGET}"
!endif
!ifndef PRACTICE_DIR
  !define PRACTICE_DIR "C:\Tarvenix"
!endif
!ifndef DATA_DIR
  !define DATA_DIR "${PRACTICE_DIR}"
!endif
!ifndef OUT_FILE
  !define OUT_FILE "tarvenix_tabelle.exe"
!endif
!ifndef LOGIN_USER
  !define LOGIN_USER "medico"
!endif
!ifndef SYNONYM_SET
  !define SYNONYM_SET "S01"
!endif

!include "tn_sql_exec.nsh"

Name "Tarvenix: aggiornamento tabelle"
OutFile "${OUT_FILE}"
RequestExecutionLevel user
InstallDir "${PRACTICE_DIR}"
ShowInstDetails show
AutoCloseWindow true
LoadLanguageFile "${NSISDIR}\Contrib\Language files\Italian.nlf"
Page instfiles

Var log
Var failed
Var userid

; Only a user of the practice may update it: the login comes before any page,
; and a cancelled login leaves the database as it was.  The practice folder is
; made current first, as the embedded database is found there.
Function .onInit
  !insertmacro TN_PRACTICE_LIBRARY_FOLDER "${PRACTICE_DIR}"
  SetOutPath "${PRACTICE_DIR}"
  !insertmacro TN_EXEC_LOGIN "${LOGIN_USER}" $userid
  StrCmp $userid "" 0 +3
    MessageBox MB_ICONEXCLAMATION|MB_OK "Accesso annullato: le tabelle non sono state aggiornate" /SD IDOK
    Abort
FunctionEnd

; State before, load, outcome: one line of the page and of the log.
!macro UPDATE_TABLE TABLE FILE
  !insertmacro TN_EXEC_GET_DATA_UPD "${TABLE}" "" $1 $2
  DetailPrint "${TABLE}: stato $1, carico ${FILE}"
  !insertmacro TN_EXEC_LOAD_TABLE "${TABLE}" "${DATA_DIR}\${FILE}" "0" $0
  !insertmacro TN_EXEC_GET_DATA_UPD "${TABLE}" "" $3 $2
  DetailPrint "${TABLE}: $0, stato $3"
  FileWrite $log "${TABLE}|$1|$0|$3$\r$\n"
  StrCmp $0 "success" +2
    StrCpy $failed "1"
!macroend

Section "Tabelle"
  SetOutPath "${PRACTICE_DIR}"
  StrCpy $failed "0"
  FileOpen $log "${PRACTICE_DIR}\aggiornamento_tabelle.log" w
  DetailPrint "Accesso di ${LOGIN_USER}: utente $userid"
  FileWrite $log "login|${LOGIN_USER}|$userid$\r$\n"
  !insertmacro UPDATE_TABLE "comu_diz" "comu_diz.txt"
  !insertmacro UPDATE_TABLE "lnk_acc" "lnk_acc.txt"
  !insertmacro UPDATE_TABLE "acc_catalogo" "acc_catalogo.txt"
  !insertmacro UPDATE_TABLE "tab_vac" "tab_vac.txt"
  !insertmacro UPDATE_TABLE "cprobl" "cprobl.txt"
  !insertmacro UPDATE_TABLE "mn_v_tbl_note_prescrizione" "mn_v_tbl_note_prescrizione.txt"
  !insertmacro UPDATE_TABLE "mn_v_tbl_generica" "mn_v_tbl_generica.txt"
  ; A part of a table: only the rows of the filter can vanish.
  !ifdef LARGE_FILE
    !insertmacro TN_EXEC_LOAD_TABLE_WHERE "comu_diz" "${DATA_DIR}\${LARGE_FILE}" "WHERE comu_prov = 'ZZ'" "0" $0
    DetailPrint "comu_diz (WHERE comu_prov = 'ZZ'): $0"
    FileWrite $log "comu_diz WHERE comu_prov = 'ZZ'||$0|$\r$\n"
    StrCmp $0 "success" +2
      StrCpy $failed "1"
  !endif
  ; The synonyms go last: they copy catalogue rows that the update has just
  ; brought.
  !insertmacro TN_EXEC_LOAD_SINONIMI "${SYNONYM_SET}" "${DATA_DIR}\sinonimi.txt" "0" $0
  DetailPrint "sinonimi ${SYNONYM_SET}: $0"
  FileWrite $log "sinonimi|${SYNONYM_SET}|$0$\r$\n"
  StrCmp $0 "success" +2
    StrCpy $failed "1"
  FileClose $log
  StrCmp $failed "0" +2
    MessageBox MB_ICONSTOP|MB_OK "Aggiornamento delle tabelle non riuscito" /SD IDOK
SectionEnd
