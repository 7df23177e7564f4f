#!/usr/bin/env bash
# Lays the built plug-in and stand-ins out as NSIS and a practice expect them.
set -euo pipefail
cd "$(dirname "$0")/.."
rm -rf dist
for flavor in x86-ansi x86-unicode amd64-unicode; do
  mkdir -p "dist/Plugins/$flavor"
  cp "build/$flavor/tn_dll_sql_exec.dll" "dist/Plugins/$flavor/"
done
# The practice stand-ins: Windows libraries from one build of each width, the
# Linux ones from the native build, the database objects as SQL files.
copy_standin() {  # build dir, target dir, files...
  local from=$1 to=$2; shift 2
  mkdir -p "$to"
  for f in "$@"; do [ -e "$from/$f" ] && cp "$from/$f" "$to/"; done
  return 0
}
copy_standin build/x86-ansi/standin dist/standin/x86 vorovuro.dll velt32w0.dll
copy_standin build/amd64-unicode/standin dist/standin/amd64 vorovuro.dll velt32w0.dll
copy_standin build/native/standin dist/standin/linux libvorovuro.so libvelt32w0.so practice_sqlite.so
if [ -d standin/sql ]; then
  mkdir -p dist/standin/sql
  cp standin/sql/*.sql dist/standin/sql/
fi
echo "dist: $(find dist -type f | wc -l) files"
