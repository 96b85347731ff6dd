#!/usr/bin/env bash
# Sets everything up, builds the Windows program, assembles its program folder in
# build/program and starts it under Wine. Without an X display it runs on a virtual one
# and leaves a screenshot of the screen in build/program/screenshot.png.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"

b="$root/build/windows"
deps=$("$root/scripts/bootstrap-deps.sh" | tail -n 1)
cmake -S "$root" -B "$b" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DTAV_DEPS_PREFIX="$deps" >/dev/null
cmake --build "$b" -j"$(nproc)" --target Tavelorium_P3D

program="$root/build/program"
mkdir -p "$program"
cp "$b/Tavelorium_P3D.exe" "$program/"
cp -r "$root/package/." "$program/"

# shellcheck source=wine-env.sh
. "$root/scripts/wine-env.sh"
had_display=${DISPLAY:-}
tav_wine_start "$root/build/run-wineprefix"
trap tav_wine_stop EXIT

echo "run.sh: starting $program/Tavelorium_P3D.exe" >&2
rc=0
wine "$program/Tavelorium_P3D.exe" </dev/null || rc=$?
if [ -z "$had_display" ]; then
  import -window root "$program/screenshot.png" 2>/dev/null || true
fi
echo "run.sh: the program ended with exit code $rc; its log:" >&2
head -n 20 "$program/Log.txt" >&2 || true
exit "$rc"
