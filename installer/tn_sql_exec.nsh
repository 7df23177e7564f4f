; tn_sql_exec.nsh: one macro per export of tn_dll_sql_exec.dll, taking the
; export's parameters in the order the documentation lists them and the
; variables that receive its results.  The macros push the parameters in
; reverse, so that the plug-in pops them in order, and pop every result, so
; that the installer's stack is left as it was found.
;
;   !include "tn_sql_exec.nsh"
;   !insertmacro TN_EXEC_SQL_STRING "DELETE FROM temp_cartella" $0
;   ; $0 is "0" on success, "-1" on failure
;
; Parameters are pushed between backquotes: a value may hold single and
; double quotes, but no backquote (pass such a value in a variable).
!ifndef TN_SQL_EXEC_NSH_INCLUDED
!define TN_SQL_EXEC_NSH_INCLUDED

; The plug-in loads vorovuro.dll and velt32w0.dll by bare file name.  An NSIS 3
; installer lets the loader search only the system folder and the folders that
; it adds itself, so name the folder that holds the practice's libraries once,
; as an absolute path, before the first call (in .onInit, for instance):
;   !insertmacro TN_PRACTICE_LIBRARY_FOLDER "C:\Tarvenix"
!macro TN_PRACTICE_LIBRARY_FOLDER FOLDER
  System::Call 'kernel32::AddDllDirectory(w "${FOLDER}")'
!macroend

; Runs a script given as text, statements separated by ";".  RESULT: "0" or "-1".
!macro TN_EXEC_SQL_STRING SCRIPT RESULT
  Push `${SCRIPT}`
  tn_dll_sql_exec::exec_sql_string
  Pop ${RESULT}
!macroend

; Runs a script file, statements separated by ";".  RESULT: "0" or "-1".
!macro TN_EXEC_SQL_FILE PATH RESULT
  Push `${PATH}`
  tn_dll_sql_exec::exec_sql_file
  Pop ${RESULT}
!macroend

; Runs a script file whose statements are separated by SEPARATOR (an empty
; separator runs the whole file as one statement).  RESULT: "0" or "-1".
!macro TN_EXEC_SQL_FILE_TER PATH SEPARATOR RESULT
  Push `${SEPARATOR}`
  Push `${PATH}`
  tn_dll_sql_exec::exec_sql_file_ter
  Pop ${RESULT}
!macroend

; First column of the first row of QUERY, as text; empty for no row or NULL.
!macro TN_EXEC_SQL_INTO QUERY VALUE
  Push `${QUERY}`
  tn_dll_sql_exec::exec_sql_into
  Pop ${VALUE}
!macroend

; The same for a query read from a file.
!macro TN_EXEC_SQL_FILE_INTO PATH VALUE
  Push `${PATH}`
  tn_dll_sql_exec::exec_sql_file_into
  Pop ${VALUE}
!macroend

; Update state of a reference table (a 26-character time stamp) and the
; chiave2 value of its registry row.
!macro TN_EXEC_GET_DATA_UPD TABLE FILTER STATE CHIAVE2
  Push `${FILTER}`
  Push `${TABLE}`
  tn_dll_sql_exec::exec_get_data_upd
  Pop ${STATE}
  Pop ${CHIAVE2}
!macroend

; Loads a reference table from an update data file.  FORCE: "1" or "0".
; RESULT: "success", "abort" or "error".
!macro TN_EXEC_LOAD_TABLE TABLE DATA_FILE FORCE RESULT
  Push `${FORCE}`
  Push `${DATA_FILE}`
  Push `${TABLE}`
  tn_dll_sql_exec::exec_load_table
  Pop ${RESULT}
!macroend

; The same, limited to the rows that FILTER selects.
!macro TN_EXEC_LOAD_TABLE_WHERE TABLE DATA_FILE FILTER FORCE RESULT
  Push `${FORCE}`
  Push `${FILTER}`
  Push `${DATA_FILE}`
  Push `${TABLE}`
  tn_dll_sql_exec::exec_load_table_where
  Pop ${RESULT}
!macroend

; Loads synonym set SET_CODE into the exam catalogue.  FLAG is taken from the
; stack and has no effect.  RESULT: "success", "abort" or "error".
!macro TN_EXEC_LOAD_SINONIMI SET_CODE DATA_FILE FLAG RESULT
  Push `${FLAG}`
  Push `${DATA_FILE}`
  Push `${SET_CODE}`
  tn_dll_sql_exec::exec_load_sinonimi
  Pop ${RESULT}
!macroend

; Asks for a practice user and password, offering USER_NAME.  USER_ID: the
; user's id, or empty when the person cancelled.
!macro TN_EXEC_LOGIN USER_NAME USER_ID
  Push `${USER_NAME}`
  tn_dll_sql_exec::exec_login
  Pop ${USER_ID}
!macroend

!endif
