#!/usr/bin/env bash
# The soak: the demo of scripts/run.sh for a set time (default 30 minutes) while the
# simulator stand-in stops and comes back every 5 minutes, the RealTraffic link and traffic
# drop for 30 s every 7 minutes, and hostile datagrams and a flood of 2,000 lines a second
# arrive every 10 minutes; the program's resident memory is sampled every 10 s. Leaves its
# files in build/soak and ends with one line of figures (soak.txt) and exit code 0 when
# nothing crashed, memory grew by 10 % or less after the first 5 minutes and no file was lost.
# Usage: scripts/soak.sh [--minutes N]   (after scripts/run.sh has built everything once)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
minutes=30
while [ $# -gt 0 ]; do
  case $1 in
    --minutes) minutes=$2; shift 2 ;;
    *) echo "usage: $0 [--minutes N]" >&2; exit 2 ;;
  esac
done
for f in build/windows/Tavelorium_P3D.exe build/windows/tests/park_file_probe.exe \
         build/windows/tests/livery_scan_probe.exe; do
  [ -e "$root/$f" ] || { echo "soak: $f is missing; run scripts/run.sh first" >&2; exit 2; }
done
exec /usr/bin/python3 "$root/demo/chain.py" --soak --kind full --minutes "$minutes" \
  --build "$root/build/windows" --data "$root/build/demo-data" \
  --out "$root/build/soak"
