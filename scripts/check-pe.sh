#!/usr/bin/env bash
# Every flavor of the plug-in: the right machine, the ten export names
# undecorated, and imports of Windows system libraries only.
set -uo pipefail
cd "$(dirname "$0")/.."
expected_exports=$(grep -E '^\s+exec_' src/tn_dll_sql_exec.def | tr -d ' \t' | sort)
system_dlls='^(kernel32|user32|gdi32|comctl32|advapi32|msvcrt|shell32|ole32|ws2_32|ntdll|odbc32)\.dll$'
status=0
check() {  # flavor, objdump, expected machine
  local flavor=$1 objdump=$2 machine=$3 dll="dist/Plugins/$1/tn_dll_sql_exec.dll"
  local problems=()
  [ -f "$dll" ] || { echo "FAIL $flavor: $dll missing"; status=1; return; }
  $objdump -f "$dll" | grep -q "file format $machine" || problems+=("machine is not $machine")
  local exports
  exports=$($objdump -p "$dll" | awk '/\[Ordinal\/Name Pointer\] Table/{t=1;next} t&&/^\s*\[/{print $NF} t&&/^$/{t=0}' | sort)
  [ "$exports" == "$expected_exports" ] || problems+=("exports differ: $(echo $exports)")
  local imports bad
  imports=$($objdump -p "$dll" | awk '/DLL Name:/{print tolower($3)}')
  bad=$(grep -vE "$system_dlls" <<<"$imports")
  [ -z "$bad" ] || problems+=("non-system imports: $(echo $bad)")
  $objdump -h "$dll" | grep -q '\.debug' && problems+=("not stripped")
  if [ ${#problems[@]} -eq 0 ]; then
    echo "ok   $flavor: $machine, $(wc -w <<<"$exports") exports, imports $(echo $imports), $(stat -c %s "$dll") bytes"
  else
    printf 'FAIL %s: %s\n' "$flavor" "${problems[@]}"; status=1
  fi
}
check x86-ansi i686-w64-mingw32-objdump pei-i386
check x86-unicode i686-w64-mingw32-objdump pei-i386
check amd64-unicode x86_64-w64-mingw32-objdump pei-x86-64
exit $status
