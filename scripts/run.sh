#!/usr/bin/env bash
# README's run command: the demo of the whole chain. Sets everything up, builds the Windows
# program and the test tools the demo drives, then runs demo/chain.py: the demo's own data
# (the builder's data files with fictional registrations, and a generated livery collection
# of them, in build/demo-data, made once), a program folder as an installed one holds it
# (build/demo/program, with a park file for Schiphol among the user's own and its learned
# file, whose flights fill the stands with static aircraft), the simulator stand-in with the
# user aircraft parked at a stand, the RealTraffic stand-in sending the scenario's traffic,
# and the program under Wine. With an X display it runs until the user closes the window;
# without one it runs on a virtual display for the scenario's own time (--minutes N), then
# closes the window as the user would (WM_CLOSE). It leaves build/demo/tracks.png,
# summary.txt, screenshot.png, Log.txt and the stand-ins' logs, and ends with the program's
# exit code. --readme copies the two pictures and the summary's totals into README.md.
# Usage: scripts/run.sh [--kind demo|full] [--minutes N] [--readme]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
options=()
readme=0
while [ $# -gt 0 ]; do
  case $1 in
    --minutes|--kind) options+=("$1" "$2"); shift 2 ;;
    --readme) readme=1; shift ;;
    *) echo "usage: $0 [--kind demo|full] [--minutes N] [--readme]" >&2; exit 2 ;;
  esac
done
"$root/scripts/setup.sh"
jobs=${TAV_JOBS:-$(nproc)}

b="$root/build/windows"
deps=$("$root/scripts/bootstrap-deps.sh" | tail -n 1)
cmake -S "$root" -B "$b" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DTAV_DEPS_PREFIX="$deps" >/dev/null
cmake --build "$b" -j"$jobs" --target Tavelorium_P3D main_window_probe_win park_file_probe livery_scan_probe

[ -n "${DISPLAY:-}" ] && options+=(--until-closed)
rc=0
/usr/bin/python3 "$root/demo/chain.py" --build "$b" --data "$root/build/demo-data" --out "$root/build/demo" \
  "${options[@]}" || rc=$?
if [ "$readme" -eq 1 ] && [ -f "$root/build/demo/figures.json" ]; then
  /usr/bin/python3 "$root/demo/readme_pictures.py" "$root/build/demo" "$root"
fi
exit $rc
