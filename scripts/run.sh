#!/usr/bin/env bash
# README's run command: the demo of the whole chain. Sets everything up, builds the Windows
# program and the data files (published in build/site by the data-file builder), makes a
# generated livery collection in build/liveries (its registration-code lists published
# encrypted on the site as AIG-regcodes.enc), then runs demo/chain.py: a program
# folder as an installed one holds it (build/demo/program, with a park file for Schiphol
# among the user's own), the simulator stand-in with the user aircraft parked at a stand,
# the RealTraffic stand-in sending about 20 minutes of scripted traffic, and the program
# under Wine. With an X display it runs until the user closes the window; without one it
# runs on a virtual display for --minutes N (default 6), then closes the window as the user
# would (WM_CLOSE). It leaves build/demo/tracks.png, summary.txt, screenshot.png, Log.txt
# and the stand-ins' logs, and ends with the program's exit code.
# Usage: scripts/run.sh [--minutes N]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
minutes=6
while [ $# -gt 0 ]; do
  case $1 in
    --minutes) minutes=$2; shift 2 ;;
    *) echo "usage: $0 [--minutes N]" >&2; exit 2 ;;
  esac
done
"$root/scripts/setup.sh"
jobs=${TAV_JOBS:-$(nproc)}

b="$root/build/windows"
deps=$("$root/scripts/bootstrap-deps.sh" | tail -n 1)
cmake -S "$root" -B "$b" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DTAV_DEPS_PREFIX="$deps" >/dev/null
cmake --build "$b" -j"$jobs" --target Tavelorium_P3D main_window_probe_win park_file_probe

n="$root/build/native"
cmake -S "$root" -B "$n" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAV_SANITIZE=ON >/dev/null
cmake --build "$n" -j"$jobs" --target tav_databuild
site="$root/build/site"
liveries="$root/build/liveries"
# The collection's generator reads the site's database; its AIG-regcodes.xml then goes
# onto the site encrypted, beside dbase.enc and airports.enc.
if [ ! -f "$liveries/manifest.json" ] || [ ! -f "$liveries/AIG-regcodes.xml" ]; then
  "$n/tools/tav_databuild" --site "$site"
  rm -rf "$liveries"
  /usr/bin/python3 "$root/demo/standins/livery_collection.py" --data "$site/11" --out "$liveries" \
    --lfolders 1 --folders 60 --sections 600 --no-unreadable
fi
"$n/tools/tav_databuild" --site "$site" --plain "$liveries/AIG-regcodes.xml"

until_closed=()
[ -n "${DISPLAY:-}" ] && until_closed=(--until-closed)
exec /usr/bin/python3 "$root/demo/chain.py" --build "$b" --site "$site/11" --liveries "$liveries" \
  --out "$root/build/demo" --minutes "$minutes" "${until_closed[@]}"
