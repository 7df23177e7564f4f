#!/usr/bin/env bash
# Every flavor of the plug-in: the right machine, the ten export names
# undecorated, imports of Windows system libraries only, stripped, and no
# iostreams linked in.  The two 32-bit flavors must differ (the width of the
# installer's texts is compiled in).
set -uo pipefail
cd "$(dirname "$0")/.."
expected_exports=$(grep -E '^[[:space:]]+exec_' src/tn_dll_sql_exec.def | tr -d ' \t' | sort)
system_dlls='^(kernel32|user32|gdi32|comctl32|advapi32|msvcrt|shell32|ole32|ws2_32|ntdll|odbc32)\.dll$'
status=0
check() {  # flavor, objdump, expected machine
  local flavor=$1 objdump=$2 machine=$3 dll="dist/Plugins/$1/tn_dll_sql_exec.dll"
  local problems=()
  [ -f "$dll" ] || { echo "FAIL $flavor: $dll missing"; status=1; return; }
  $objdump -f "$dll" | grep -q "file format $machine" || problems+=("machine is not $machine")
  local exports
  exports=$($objdump -p "$dll" | awk '/\[Ordinal\/Name Pointer\] Table/{t=1;next} t&&/^[[:space:]]*\[/{print $NF} t&&/^$/{t=0}' | sort)
  [ -n "$exports" ] && [ "$exports" == "$expected_exports" ] || problems+=("exports differ: $(echo $exports)")
  local imports bad
  imports=$($objdump -p "$dll" | awk '/DLL Name:/{print tolower($3)}')
  [ -n "$imports" ] || problems+=("no imports read")
  bad=$(grep -vE "$system_dlls" <<<"$imports")
  [ -z "$bad" ] || problems+=("non-system imports: $(echo $bad)")
  # (grep reads whole outputs here: with pipefail, grep -q would fail the pipe)
  grep -c '\.debug' <<<"$($objdump -h "$dll")" >/dev/null && problems+=("not stripped")
  grep -c '(sec' <<<"$($objdump -t "$dll" 2>/dev/null)" >/dev/null && problems+=("symbol table present")
  # The runtime's iostreams leave their ios_base messages and type names behind.
  grep -cE 'ios_base|basic_filebuf' <<<"$(strings -a "$dll")" >/dev/null && problems+=("iostreams linked in")
  if [ ${#problems[@]} -eq 0 ]; then
    echo "ok   $flavor: $machine, $(wc -w <<<"$exports") exports, imports $(echo $imports), $(stat -c %s "$dll") bytes"
  else
    local IFS=';'
    echo "FAIL $flavor: ${problems[*]}"; status=1
  fi
}
check x86-ansi i686-w64-mingw32-objdump pei-i386
check x86-unicode i686-w64-mingw32-objdump pei-i386
check amd64-unicode x86_64-w64-mingw32-objdump pei-x86-64
if [ -f dist/Plugins/x86-ansi/tn_dll_sql_exec.dll ] && [ -f dist/Plugins/x86-unicode/tn_dll_sql_exec.dll ] &&
  cmp -s dist/Plugins/x86-ansi/tn_dll_sql_exec.dll dist/Plugins/x86-unicode/tn_dll_sql_exec.dll; then
  echo "FAIL x86-unicode: the same file as x86-ansi"; status=1
fi
exit $status
