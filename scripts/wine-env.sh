# Sourced by the test and run scripts: a Wine prefix of our own under the build folder,
# a virtual X display when there is none, a running wineserver with its stdio detached
# (ctest would otherwise wait on its pipes), no crash dialog, and a virtual desktop
# (without a window manager DestroyWindow takes seconds). tav_wine_stop undoes it.
tav_wine_start() {
  local prefix_dir=$1
  export WINEPREFIX=$prefix_dir
  export WINEDEBUG=${WINEDEBUG:--all}
  export WINEDLLOVERRIDES="mscoree,mshtml="
  TAV_XVFB_PID=
  if [ -z "${DISPLAY:-}" ]; then
    local fifo; fifo=$(mktemp -u); mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" </dev/null >/dev/null 2>&1 &
    TAV_XVFB_PID=$!
    local num; read -r num <"$fifo"; rm -f "$fifo"
    export DISPLAY=":$num"
  fi
  mkdir -p "$WINEPREFIX"
  wineserver -p </dev/null >/dev/null 2>&1
  if [ ! -f "$WINEPREFIX/.tav-ready" ]; then
    wine wineboot -i </dev/null >/dev/null 2>&1 || true
    wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /t REG_SZ /d Default /f </dev/null >/dev/null 2>&1
    wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v Default /t REG_SZ /d 1280x800 /f </dev/null >/dev/null 2>&1
    touch "$WINEPREFIX/.tav-ready"
  else
    wine wineboot </dev/null >/dev/null 2>&1 || true
  fi
}

tav_wine_stop() {
  wineserver -k </dev/null >/dev/null 2>&1 || true
  if [ -n "${TAV_XVFB_PID:-}" ]; then
    kill "$TAV_XVFB_PID" 2>/dev/null || true
    wait "$TAV_XVFB_PID" 2>/dev/null || true
  fi
}
