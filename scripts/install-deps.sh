#!/usr/bin/env bash
# Installs, from Debian's packages, whatever this project needs and the
# machine lacks.  Runs apt-get update once, and only when something is missing.
set -euo pipefail

packages=(
  cmake g++ make pkg-config libgtest-dev libgmock-dev libbenchmark-dev valgrind
  mingw-w64 g++-mingw-w64 binutils-mingw-w64
  wine64 nsis xvfb xdotool x11-apps imagemagick
  unixodbc unixodbc-dev libsqliteodbc odbc-postgresql
  sqlite3 libsqlite3-dev postgresql
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "installing: ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
