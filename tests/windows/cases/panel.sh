# The progress panel in a real installer window, driven by the test-only
# plug-in panel_test.dll (same panel sources as the shipped plug-in) from the
# instfiles page, pressed as a person would and read by panel_probe.exe.

PANEL_HELPERS=$HELPERS/panel

# An installer NAME whose instfiles section runs the test plug-in in MODE;
# further lines of installer text (attributes, pages) come on stdin.
panel_installer() {  # name, mode
  installer "$1" <<NSI
!addplugindir /amd64-unicode "$PANEL_HELPERS/amd64-unicode"
$(cat)
Page instfiles
Section
  panel_test::run $2 "\${CASE_DIR}"
  Pop \$0
  !insertmacro RESULT panel "\$0"
SectionEnd
NSI
}

panel_title() { echo "tn $CASE $1 Setup*"; }

# Waits until the plug-in's log holds a line matching the pattern.
panel_wait_log() {  # extended regex
  local i
  for i in $(seq 300); do
    tr -d '\r' <"$CASE_DIR/panel.log" 2>/dev/null | grep -qE "$1" && return 0
    sleep 0.1
  done
  screenshot "$CASE-stuck"
  fail "the plug-in never logged '$1' (log: $(tr -d '\r' <"$CASE_DIR/panel.log" 2>/dev/null | tail -3 | tr '\n' '|'))"
}

panel_log() { tr -d '\r' <"$CASE_DIR/panel.log" 2>/dev/null; }

panel_wait_count() {  # extended regex, count
  local i
  for i in $(seq 300); do
    [ "$(panel_log 2>/dev/null | grep -cE "$1")" -ge "$2" ] && return 0
    sleep 0.1
  done
  fail "the plug-in logged '$1' fewer than $2 times"
}

# What panel_probe reads now, into CASE_DIR/STAGE.txt.
panel_look() {  # title, stage
  "$WINE" "$PANEL_HELPERS/panel_probe.exe" "$1" 2>>"$CASE_DIR/probe.log" | tr -d '\r' >"$CASE_DIR/$2.txt" ||
    fail "panel_probe found no window '$1' among: $(probe list | cut -f3 | tr '\n' '|')"
}

# Field N (1 = the key) of the line KEY of a stage.
panel_field() {  # stage, key, n
  awk -v k="$2" -v n="$3" '$1 == k { print $n; exit }' "$CASE_DIR/$1.txt"
}

# The rest of line KEY from field N on (texts with blanks).
panel_text() {  # stage, key, n
  awk -v k="$2" -v n="$3" '$1 == k { s = ""; for (i = n; i <= NF; i++) s = s (i > n ? " " : "") $i; print s; exit }' \
    "$CASE_DIR/$1.txt"
}

# The panel as built: where the status line and the bar lie on the page, their
# styles, the hidden controls, the focus and the two buttons.
panel_expect_built() {  # stage, bar style
  local s=$1 width height text_h bar_h
  width=$(panel_field "$s" page 2) height=$(panel_field "$s" page 3)
  text_h=$(panel_field "$s" c1006 6) bar_h=$(panel_field "$s" c1004 6)
  expect_eq "status line: visible x y width height style" \
    "1 0 $((height / 2 - text_h / 2)) $width $text_h 54000001" "$(cut -d' ' -f2-7 <<<"$(grep '^status ' "$CASE_DIR/$s.txt")")"
  expect_eq "bar: visible x y width height style" \
    "1 0 $((height / 2 + bar_h / 2)) $width $bar_h $2" "$(cut -d' ' -f2-7 <<<"$(grep '^bar ' "$CASE_DIR/$s.txt")")"
  expect_eq "bar range" 30000 "$(panel_field "$s" bar 9)"
  expect_eq "control 1016 visible" 0 "$(panel_field "$s" c1016 2)"
  expect_eq "control 1027 visible" 0 "$(panel_field "$s" c1027 2)"
  expect_eq "button 2: enabled focused text" "1 1 Sospendi" "$(panel_text "$s" button2 2)"
  expect_eq "button 3: enabled text" "1 Abbandona" "$(panel_text "$s" button3 2)"
  expect_eq "button 3 shown" 1 "$(panel_field "$s" shown3 2)"
}

# The panel gone: its windows destroyed, button 2 "Annulla" and enabled as it
# was before the build, button 3 empty and disabled, 1016 and 1027 as before.
panel_expect_removed() {  # stage before, stage after
  expect_eq "status line after removal" none "$(panel_field "$2" status 2)"
  expect_eq "bar after removal" none "$(panel_field "$2" bar 2)"
  expect_eq "button 2 after removal: enabled text" "$(panel_field "$1" button2 2) Annulla" \
    "$(panel_field "$2" button2 2) $(panel_text "$2" button2 4)"
  expect_eq "button 3 after removal: enabled text" "0 " "$(panel_text "$2" button3 2) "
  expect_eq "control 1016 visible after removal" "$(panel_field "$1" c1016 2)" "$(panel_field "$2" c1016 2)"
  expect_eq "control 1027 visible after removal" "$(panel_field "$1" c1027 2)" "$(panel_field "$2" c1027 2)"
}

# Every report moves the bar to its own position; the status line takes a
# report's text only when more than 500 ms passed since the text it shows,
# and otherwise keeps that text.  Each report is logged with the ticks before
# and after it, so both ways are checked against the ticks the panel saw.
panel_check_reports() {
  panel_log | awk -v total="$(panel_log | awk '$1 == "total" { print $2 }')" '
    $1 == "report" {
      n++
      split($0, halves, "|"); sent = substr(halves[1], index(halves[1], "Processing")); seen = halves[2]
      if ($6 != int($5 / total * 30000)) { print "report " $2 ": bar at " $6 ", expected " int($5 / total * 30000); bad = 1 }
      if (seen == sent) {
        shown++
        if (shown > 1 && $4 - last_t0 <= 500) { print "report " $2 ": text shown " ($4 - last_t0) " ms after the last"; bad = 1 }
        last_t0 = $3; last_t1 = $4; last_text = sent
      } else if (shown == 0) {
        print "report " $2 ": the first text was not shown"; bad = 1
      } else if (seen != last_text) {
        print "report " $2 ": the status line reads \"" seen "\""; bad = 1
      } else if ($3 - last_t1 > 500) {
        print "report " $2 ": text dropped " ($3 - last_t1) " ms after the last shown"; bad = 1
      }
    }
    END {
      if (n != 24) { print n " reports"; bad = 1 }
      if (shown < 2 || shown > 12) { print shown " texts shown of " n; bad = 1 }
      print "shown " shown " of " n > "/dev/stderr"
      exit bad
    }' >"$CASE_DIR/reports.txt" || fail "throttle: $(head -3 "$CASE_DIR/reports.txt" | tr '\n' ' ')"
}

panel_finish() {  # name
  touch "$CASE_DIR/finish"
  panel_wait_log '^done (full|quick)'
  probe wait "$(panel_title "$1")" 5000 >/dev/null
  sleep 0.5
  probe press "$(panel_title "$1")" 1 >/dev/null  # "Close"
  wait_installer 30
  expect_result panel done
}

case_panel_on_the_instfiles_page() {
  # Button 3 is the installer's Back button, which shows only when a page
  # comes before the instfiles page.
  echo 'Page directory' | panel_installer buttons full
  start_installer buttons
  local title
  title=$(panel_title buttons)
  wait_window "$title"
  sleep 0.5
  probe press "$title" 1 >/dev/null  # "Install"
  panel_wait_log '^mode full'
  panel_look "$title" before
  touch "$CASE_DIR/go"
  panel_wait_log '^ready'
  panel_look "$title" built
  panel_expect_built built 54000000
  expect_eq "windows added to the page" "new windows 2" "$(panel_log | grep '^new windows')"
  panel_check_reports
  expect_eq "bar after the last report" 30000 "$(panel_field built bar 8)"
  screenshot panel

  # Button 2 has the focus: the space bar presses it.
  key space
  panel_wait_log '^paused 1'
  panel_look "$title" paused
  expect_eq "button 2 while paused" "Riprendi" "$(panel_text paused button2 4)"
  key space
  panel_wait_log '^paused 0'
  panel_look "$title" resumed
  expect_eq "button 2 after resuming" "Sospendi" "$(panel_text resumed button2 4)"
  # Paused again, by Escape, which a dialog takes for button 2; then
  # abandoned: the abandon releases the pause.
  key Escape
  panel_wait_count '^paused 1' 2
  click $(panel_field resumed click3 2) $(panel_field resumed click3 3)
  panel_wait_log '^abort 1'
  expect_eq "flags after the abandon press" "abort 1 paused 0" "$(panel_log | grep '^abort')"
  panel_look "$title" abandoned
  expect_eq "button 2 after the abandon press" "Sospendi" "$(panel_text abandoned button2 4)"

  touch "$CASE_DIR/remove"
  panel_wait_log '^removed'
  panel_look "$title" removed
  expect_eq "windows left on the page" "removed new=0" "$(panel_log | grep '^removed')"
  panel_expect_removed before removed
  panel_finish buttons
}

# A smooth installer bar makes a smooth panel bar; details shown before the
# load are shown again after it, while the hidden "Show details" button stays
# hidden.  On the directory page, which has no progress bar, nothing is built.
case_panel_smooth_with_details_shown() {
  panel_installer smooth quick <<NSI
InstProgressFlags smooth
ShowInstDetails show
Page directory "" "" panel_on_directory_page
Function panel_on_directory_page
  panel_test::run nopanel "\${CASE_DIR}"
  Pop \$0
FunctionEnd
NSI
  start_installer smooth
  local title
  title=$(panel_title smooth)
  wait_window "$title"
  sleep 0.5
  panel_look "$title" directory
  probe press "$title" 1 >/dev/null  # "Install": leaves the directory page
  panel_wait_log '^mode quick'
  expect_eq "directory page" "page 1 bar 0 text 1" "$(panel_log | grep '^page')"
  expect_eq "windows added to the directory page" "new windows 0" "$(panel_log | grep -m1 '^new windows')"
  expect_eq "buttons on the directory page" "buttons unchanged" "$(panel_log | grep '^buttons')"
  expect_eq "windows left on the directory page" "nopanel left new=0" "$(panel_log | grep '^nopanel left')"
  panel_look "$title" before
  expect_eq "details shown before the load" 1 "$(panel_field before c1016 2)"
  expect_eq "details button before the load" 0 "$(panel_field before c1027 2)"
  touch "$CASE_DIR/go"
  panel_wait_log '^ready'
  panel_look "$title" built
  panel_expect_built built 54000001
  expect_eq "bar after half the total" 15000 "$(panel_field built bar 8)"
  expect_eq "status line" "Inizializzazione per tab_prova" "$(panel_text built status 8)"
  screenshot panel-smooth
  touch "$CASE_DIR/remove"
  panel_wait_log '^removed'
  panel_look "$title" removed
  panel_expect_removed before removed
  panel_finish smooth
}
