#!/usr/bin/env bash
# Sets up a build folder with Ninja: tools/configure.sh FOLDER [CMAKE OPTIONS...]. A folder that was
# set up with another generator is set up afresh (its build products stay until rebuilt).
set -euo pipefail
cd "$(dirname "$0")/.."
folder=$1
shift
if [ -f "$folder/CMakeCache.txt" ] && ! grep -qx 'CMAKE_GENERATOR:INTERNAL=Ninja' "$folder/CMakeCache.txt"; then
  rm -rf "$folder/CMakeCache.txt" "$folder/CMakeFiles"
fi
exec cmake -G Ninja -S . -B "$folder" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
