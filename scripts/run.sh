#!/usr/bin/env bash
# Sets everything up, builds the Windows program, makes the download site's folder in
# build/site with the data-file builder, assembles the program folder in build/program
# (its data files in "input", as an installed program holds them) and starts it under
# Wine. A small generated livery collection lies in build/liveries, its registration-code
# lists with it (AIG-regcodes.xml published encrypted on the site); a new Wine prefix
# gets a parameters.xml with lfolder0 pointing at it and a simulator folder, so the first
# start scans it. With an X display it runs until the user closes its window. Without one
# it runs on a virtual display: once the window is up and the scan has ended it leaves a
# screenshot of the screen in build/program/screenshot.png, closes the window as the user
# would (WM_CLOSE) and ends with the program's exit code.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/setup.sh"

b="$root/build/windows"
deps=$("$root/scripts/bootstrap-deps.sh" | tail -n 1)
cmake -S "$root" -B "$b" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DTAV_DEPS_PREFIX="$deps" >/dev/null
cmake --build "$b" -j"$(nproc)" --target Tavelorium_P3D main_window_probe_win

n="$root/build/native"
cmake -S "$root" -B "$n" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAV_SANITIZE=ON >/dev/null
cmake --build "$n" -j"$(nproc)" --target tav_databuild
site="$root/build/site"
liveries="$root/build/liveries"
# The collection's generator reads the site's database; its AIG-regcodes.xml then goes
# onto the site encrypted, beside dbase.enc and airports.enc.
if [ ! -f "$liveries/manifest.json" ] || [ ! -f "$liveries/AIG-regcodes.xml" ]; then
  "$n/tools/tav_databuild" --site "$site"
  rm -rf "$liveries"
  /usr/bin/python3 "$root/tests/standins/livery_collection.py" --data "$site/11" --out "$liveries" \
    --lfolders 1 --folders 60 --sections 600 --no-unreadable
fi
"$n/tools/tav_databuild" --site "$site" --plain "$liveries/AIG-regcodes.xml"

program="$root/build/program"
mkdir -p "$program/input"
cp "$b/Tavelorium_P3D.exe" "$program/"
cp -r "$root/package/." "$program/"
cp "$site/11/dbase.enc" "$site/11/airports.enc" "$site/11/AIG-regcodes.enc" "$program/input/"

rm -rf "$program/input/my_regcodes"
cp -r "$liveries/my_regcodes" "$program/input/"

# shellcheck source=wine-env.sh
. "$root/scripts/wine-env.sh"
had_display=${DISPLAY:-}
tav_wine_start "$root/build/run-wineprefix"
trap tav_wine_stop EXIT

roaming=$(ls -d "$WINEPREFIX"/drive_c/users/*/AppData/Roaming | grep -v /Public/ | head -n 1)
if [ ! -f "$roaming/Tavelorium_P3D/parameters.xml" ]; then
  mkdir -p "$roaming/Tavelorium_P3D" "$WINEPREFIX/drive_c/P3D/Scenery"
  cat >"$roaming/Tavelorium_P3D/parameters.xml" <<XML
<?xml version="1.0" encoding="UTF-8"?>
<root>
  <parameters>
    <parameter name="SIM_INSTALL_PATH" value="C:\P3D" />
    <parameter name="lfolder0" value="Z:${liveries//\//\\}\lf0" />
  </parameters>
</root>
XML
fi
scanning=1
grep -q 'name="SCAN_LIVERIES" value="false"' "$roaming/Tavelorium_P3D/parameters.xml" && scanning=0

probe() { wine "$b/tests/main_window_probe_win.exe" "$@" </dev/null; }

echo "run.sh: starting $program/Tavelorium_P3D.exe" >&2
rc=0
if [ -n "$had_display" ]; then
  wine "$program/Tavelorium_P3D.exe" </dev/null || rc=$?
else
  wine "$program/Tavelorium_P3D.exe" </dev/null &
  pid=$!
  if probe wait 60000; then
    for _ in $(seq $((scanning * 600))); do # the scan of the first start ends within a minute
      grep -q "liveries scan ends\|^Error \|^Exiting" "$program/Log.txt" 2>/dev/null && break
      sleep 0.1
    done
    sleep 1 # let the first paint finish
    import -window root "$program/screenshot.png" 2>/dev/null || true
    echo "run.sh: the window is up; screenshot in $program/screenshot.png; closing it" >&2
    probe close || true
  else
    echo "run.sh: the program's window did not appear" >&2
  fi
  for _ in $(seq 600); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    echo "run.sh: the program did not end within a minute of its close; stopping it" >&2
    kill "$pid" 2>/dev/null || true
  fi
  wait "$pid" || rc=$?
fi
echo "run.sh: the program ended with exit code $rc; its log:" >&2
head -n 20 "$program/Log.txt" >&2 || true
exit "$rc"
