#!/usr/bin/env bash
# Runs a cross-built Windows program under Wine, as CTest's emulator for the windows preset:
# Qt's and MinGW's DLLs are found, Qt's plugins too, and a QtTest program's log reaches
# standard output (Wine gives a test no console of its own; its log goes to a file). The
# program's exit status is returned. Wine needs a display for Qt's windows platform: run
# under Xvfb (xvfb-run, or DISPLAY set).
#   scripts/wine-run.sh PROGRAM.exe [ARGS...]
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
deps=${VEXO_WINDOWS_DEPS:-$root/build/windows-deps}
qt=$deps/qt6.4.2-mingw-w64

# Z: is the Unix root in every Wine prefix.
windows_path() { printf 'Z:%s' "${1//\//\\}"; }

export WINEPREFIX=${WINEPREFIX:-$deps/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko installer prompts when the prefix is made.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
export WINEPATH="$(windows_path "$qt/bin");$(windows_path "$runtime");$(windows_path /usr/x86_64-w64-mingw32/lib)"
export QT_PLUGIN_PATH=$(windows_path "$qt/plugins")

program=$1
shift
case "$(basename "$program")" in
tst_*)
  log=$(mktemp --suffix=.txt)
  trap 'rm -f "$log"' EXIT
  wine "$program" "$@" -o "$(windows_path "$log"),txt" &
  pid=$!
  # The log as it grows: a test stopped by its time limit still shows how far it got.
  tail -n +1 -F --pid=$pid "$log" 2>/dev/null
  wait $pid
  ;;
*)
  exec wine "$program" "$@"
  ;;
esac
