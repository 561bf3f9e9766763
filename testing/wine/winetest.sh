#!/usr/bin/env bash
# Runs the test executables under Wine.
#
#   winetest.sh start PREFIX        make PREFIX if it is new, start a persistent
#                                   server and the system processes
#   winetest.sh run PREFIX EXE ARGS run one Windows program, its streams and
#                                   exit code passed through (standard error
#                                   once it has ended)
#   winetest.sh stop PREFIX         stop the server and every process of PREFIX
#   winetest.sh alone PREFIX EXE ARGS
#                                   start, run one program, stop: for a test
#                                   that needs a prefix of its own
#   winetest.sh env PREFIX          print the environment (for eval)
set -u

cmd=${1:?command}
prefix=${2:?prefix}
shift 2

export WINEPREFIX=$prefix
export WINEARCH=win64
export WINEDEBUG=-all
# winemenubuilder writes desktop files into $HOME for every shortcut; the bus
# drivers spin a core; Mono and Gecko are never needed.
export WINEDLLOVERRIDES="winemenubuilder.exe=d;winebus.sys=d;wineusb.sys=d;mscoree=d;mshtml=d"
unset DISPLAY WAYLAND_DISPLAY
# Wine maps Windows file names to Unix bytes through the locale: a UTF-8 one,
# whatever the caller's environment, so names outside ASCII work the same
# everywhere.
export LANG=C.UTF-8 LC_ALL=C.UTF-8

wine_loader() {
  local c
  for c in /usr/lib/wine/wine64 /usr/lib/x86_64-linux-gnu/wine/wine64 "$(command -v wine64 2>/dev/null)" "$(command -v wine 2>/dev/null)"; do
    [ -n "$c" ] && [ -x "$c" ] && { echo "$c"; return; }
  done
  echo "winetest.sh: no Wine loader found; run scripts/bootstrap" >&2
  exit 127
}
WINE=$(wine_loader)
WINESERVER=$(command -v wineserver || echo /usr/lib/wine/wineserver64)

case $cmd in
  start)
    mkdir -p "$(dirname "$prefix")"
    if [ ! -f "$prefix/system.reg" ]; then
      # Made once per build tree: 10-20 s and about 1.3 GB.
      "$WINE" wineboot -i </dev/null >/dev/null 2>&1 || { echo "wineboot -i failed" >&2; exit 1; }
      "$WINESERVER" -w
    fi
    # Every stream on /dev/null: a server or services.exe holding a captured
    # pipe open would hang whoever reads it.
    "$WINESERVER" -p </dev/null >/dev/null 2>&1
    "$WINE" wineboot </dev/null >/dev/null 2>&1
    # A crashing program must end, not wait for a debugger that never comes:
    # no post-mortem debugger in either registry view.
    for view in 32 64; do
      "$WINE" reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' \
        /v Debugger /f /reg:$view </dev/null >/dev/null 2>&1 || true
    done
    echo "Wine server up for $prefix"
    ;;
  run)
    # A Wine process a program starts inherits the program's Unix standard
    # error, whatever Windows handle it is given: above all the desktop
    # process (explorer.exe /desktop), which the first program that needs a
    # desktop window starts and which lives on while any program uses it. On
    # the caller's pipe it would keep the pipe open long after the program
    # ended (CTest would wait for it until the test's time-out). So the
    # program's standard error goes to a file of its own, passed on when the
    # program has ended; standard output and the exit code pass straight through.
    err=$(mktemp "${TMPDIR:-/tmp}/winetest.XXXXXX")
    "$WINE" "$@" 2>"$err"
    rc=$?
    cat "$err" >&2
    rm -f "$err"
    exit $rc
    ;;
  stop)
    "$WINESERVER" -k >/dev/null 2>&1
    "$WINESERVER" -w >/dev/null 2>&1
    echo "Wine server stopped for $prefix"
    ;;
  alone)
    "$0" start "$prefix" >/dev/null || exit 1
    "$0" run "$prefix" "$@"
    rc=$?
    "$0" stop "$prefix" >/dev/null
    exit $rc
    ;;
  env)
    echo "export WINEPREFIX='$WINEPREFIX' WINEARCH=win64 WINEDEBUG=-all WINEDLLOVERRIDES='$WINEDLLOVERRIDES' LANG=C.UTF-8 LC_ALL=C.UTF-8; unset DISPLAY WAYLAND_DISPLAY"
    echo "WINE='$WINE'; WINESERVER='$WINESERVER'"
    ;;
  *)
    echo "winetest.sh: unknown command $cmd" >&2
    exit 2
    ;;
esac
