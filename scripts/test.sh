#!/usr/bin/env bash
# Sets everything up, then builds and runs all tests: the portable core natively under
# AddressSanitizer and UndefinedBehaviorSanitizer, then the Windows build under Wine.
# Usage: scripts/test.sh [native|windows]   (both when no argument is given)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
which=${1:-all}
"$root/scripts/setup.sh"
jobs=${TAV_JOBS:-$(nproc)}

run_native() {
  local b="$root/build/native"
  cmake -S "$root" -B "$b" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAV_SANITIZE=ON >/dev/null
  cmake --build "$b" -j"$jobs"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir "$b" --output-on-failure -j"$jobs"
}

run_windows() {
  local b="$root/build/windows"
  local deps; deps=$("$root/scripts/bootstrap-deps.sh" | tail -n 1)
  cmake -S "$root" -B "$b" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64.cmake" -DTAV_DEPS_PREFIX="$deps" >/dev/null
  cmake --build "$b" -j"$jobs"
  # shellcheck source=wine-env.sh
  . "$root/scripts/wine-env.sh"
  tav_wine_start "$b/wineprefix"
  local rc=0
  ctest --test-dir "$b" --output-on-failure -j"$jobs" || rc=$?
  tav_wine_stop
  return $rc
}

case $which in
  native) run_native ;;
  windows) run_windows ;;
  all) run_native; run_windows ;;
  *) echo "usage: $0 [native|windows]" >&2; exit 2 ;;
esac
echo "test.sh: all tests passed"
