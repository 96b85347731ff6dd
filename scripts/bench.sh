#!/usr/bin/env bash
# Builds the benchmark programs of bench/ in Release, natively and for Windows (run under
# Wine), and runs each. Every program prints its figures beside a reference measured in
# the same run (a bare libsodium loop, a bare comma split, a bare copy under a mutex), so
# the figures of two machines compare by their ratios. "program" measures the whole
# program under Wine with the stand-ins, idle and at 500 live + 500 static aircraft, beside
# a bare Wine program that sleeps on a 10 ms timer (bench/program_bench.py, about 25
# minutes; its options follow, e.g. --window-s 30 --live 200). "routes" flies N generated
# routes (default 1000) through the engine natively and judges them (bench/route_bench.cpp;
# its options follow, e.g. --seed 4412 --kind hold --type B744 to rerun one), and draws
# the worst into build/bench/routes_worst.png.
# Usage: scripts/bench.sh [native|windows|program [options]|routes [N] [options]]
#        (native, windows and program when no argument is given)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
which=${1:-all}
[ $# -gt 0 ] && shift
"$root/scripts/setup.sh"
jobs=${TAV_JOBS:-$(nproc)}

sink_pid=
sink_log=$(mktemp)
cleanup() {
  if [ -n "$sink_pid" ]; then kill "$sink_pid" 2>/dev/null || true; fi
  rm -f "$sink_log"
}
trap cleanup EXIT

# A TCP sink on loopback for the send benchmark's real transport; prints its port.
start_sink() {
  /usr/bin/python3 "$root/demo/standins/simconnect_server.py" --sink >"$sink_log" 2>&1 &
  sink_pid=$!
  for _ in $(seq 100); do
    if grep -q '^sink on ' "$sink_log"; then
      sed -n 's/^sink on 127.0.0.1:\([0-9]*\).*/\1/p' "$sink_log"
      return
    fi
    sleep 0.1
  done
  echo "bench.sh: the TCP sink did not start" >&2
  exit 1
}

# The livery scan's collection, generated once (20,000 sections, ~220 MB) from the
# builder's data with the tests' 60,000 fictional registrations, which the benchmark's
# database also is; prints its folder.
livery_collection() {
  local c="$root/build/bench-liveries" n="$root/build/bench-data"
  if [ ! -f "$c/manifest.json" ]; then
    cmake -S "$root" -B "$n" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
    cmake --build "$n" -j"$jobs" --target livery_scan_probe >/dev/null
    rm -rf "$c" "$c-data"
    "$n/tests/livery_scan_probe" data "$root/tools" "$c-data" 60000 >/dev/null
    /usr/bin/python3 "$root/demo/standins/livery_collection.py" --data "$c-data/site/11" --out "$c" --no-unreadable >/dev/null
  fi
  echo "$c"
}

# run_all <build dir> <label> [runner...]: every benchmark program built there.
run_all() {
  local dir=$1 label=$2
  shift 2
  local exe name args
  for exe in "$dir"/bench/*_bench "$dir"/bench/*_bench.exe; do
    [ -f "$exe" ] || continue
    name=$(basename "$exe" .exe)
    case $name in
      route_bench) continue ;; # its own sub-command: routes
      dbase_read_bench) args=(5) ;;
      decrypt_bench) args=(50 5) ;;
      feed_parser_bench) args=(2) ;;
      livery_scan_bench) if [ $# -gt 0 ]; then args=("Z:${liveries//\//\\}"); else args=("$liveries"); fi ;;
      livery_match_bench) args=() ;;
      main_loop_bench) args=(60) ;;
      traffic_pass_bench) args=(60000) ;;
      park_load_bench) args=(20) ;;
      static_parking_bench) args=(30) ;;
      bgl_scan_bench) args=(5000 50000 5) ;;
      *) args=("$port") ;; # the simulator-link benchmarks send to the TCP sink
    esac
    echo "== $label: $name"
    "$@" "$exe" "${args[@]}"
  done
}

bench_native() {
  local b="$root/build/bench-native"
  cmake -S "$root" -B "$b" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAV_BENCH=ON -DTAV_TESTS=OFF >/dev/null
  cmake --build "$b" -j"$jobs" >/dev/null
  run_all "$b" native
}

bench_windows() {
  local b="$root/build/bench-windows"
  local deps; deps=$("$root/scripts/bootstrap-deps.sh" | tail -n 1)
  cmake -S "$root" -B "$b" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAV_BENCH=ON -DTAV_TESTS=OFF \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DTAV_DEPS_PREFIX="$deps" >/dev/null
  cmake --build "$b" -j"$jobs" >/dev/null
  # shellcheck source=wine-env.sh
  . "$root/scripts/wine-env.sh"
  tav_wine_start "$b/wineprefix"
  local rc=0
  run_all "$b" "windows (Wine)" wine || rc=$?
  tav_wine_stop
  return $rc
}

# The whole program: the Windows build's program and the test tools the demo drives, the
# reference of the bench build, and the demo's data (made once).
bench_program() {
  local b="$root/build/windows" r="$root/build/bench-windows"
  local deps; deps=$("$root/scripts/bootstrap-deps.sh" | tail -n 1)
  cmake -S "$root" -B "$b" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DTAV_DEPS_PREFIX="$deps" >/dev/null
  cmake --build "$b" -j"$jobs" --target Tavelorium_P3D main_window_probe_win park_file_probe livery_scan_probe >/dev/null
  cmake -S "$root" -B "$r" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAV_BENCH=ON -DTAV_TESTS=OFF \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DTAV_DEPS_PREFIX="$deps" >/dev/null
  cmake --build "$r" -j"$jobs" --target timer_sleep_reference >/dev/null
  echo "== windows (Wine): the whole program"
  /usr/bin/python3 "$root/bench/program_bench.py" --build "$b" --reference "$r/bench/timer_sleep_reference.exe" \
    --data "$root/build/demo-data" --out "$root/build/bench-program" "$@"
}

# The generated routes: the table by kind and type, the worst routes' traces and their PNG.
bench_routes() {
  local b="$root/build/bench-native" out="$root/build/bench"
  cmake -S "$root" -B "$b" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAV_BENCH=ON -DTAV_TESTS=OFF >/dev/null
  cmake --build "$b" -j"$jobs" --target route_bench >/dev/null
  mkdir -p "$out"
  echo "== native: route_bench"
  "$b/bench/route_bench" --jobs "$jobs" --json "$out/routes_worst.json" "$@"
  /usr/bin/python3 "$root/bench/route_plot.py" "$out/routes_worst.json" "$out/routes_worst.png"
}

case $which in
  native|windows|all) port=$(start_sink); liveries=$(livery_collection) ;;
esac
case $which in
  native) bench_native ;;
  windows) bench_windows ;;
  program) bench_program "$@" ;;
  routes) bench_routes "$@" ;;
  all) bench_native; bench_windows; bench_program ;;
  *) echo "usage: $0 [native|windows|program [options]|routes [N] [options]]" >&2; exit 2 ;;
esac
