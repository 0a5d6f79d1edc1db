#!/usr/bin/env bash
# Runs a Windows program under Wine in a prefix owned by the build folder.
#
#   tools/wine-run.sh --tests   BUILD_DIR program.exe [args...]   null graphics driver
#   tools/wine-run.sh --desktop BUILD_DIR program.exe [args...]   the X display
#   tools/wine-run.sh --virtual BUILD_DIR program.exe [args...]   a 1024x768 Wine
#                     desktop on the X display, with a taskbar (for Xvfb)
#
# Each prefix is made once (under a lock, since ctest runs tests in parallel),
# with Marlett and Tahoma in C:\windows\Fonts where Wine finds them.
set -euo pipefail

mode=${1:?mode}; build=${2:?build folder}; shift 2
case "$mode" in
  # Tests see one time zone, so that texts of local times are the same on every machine.
  --tests) prefix="$build/wine-tests"; export TZ=UTC ;;
  --desktop) prefix="$build/wine-desktop" ;;
  --virtual) prefix="$build/wine-virtual" ;;
  *) echo "wine-run: unknown mode $mode" >&2; exit 2 ;;
esac

export WINEPREFIX="$(mkdir -p "$prefix" && cd "$prefix" && pwd)"
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEDEBUG=-all
export WINEARCH=win64

# Bump when the set-up below changes, so that existing prefixes are set up again.
prefix_version=2
marker="$WINEPREFIX/.quorlet-ready"

make_prefix() {
  wineboot -i >/dev/null 2>&1
  # A crashing program prints its backtrace and ends instead of waiting on a
  # dialog that nobody can answer.
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
  cp /usr/share/wine/fonts/marlett.ttf /usr/share/wine/fonts/tahoma.ttf \
     /usr/share/wine/fonts/tahomabd.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
  case "$mode" in
    --tests)
      wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 ;;
    --virtual)
      wine reg add 'HKCU\Software\Wine\Explorer' /v Desktop /d quorlet /f >/dev/null 2>&1
      wine reg add 'HKCU\Software\Wine\Explorer\Desktops' /v quorlet /d 1024x768 /f >/dev/null 2>&1 ;;
  esac
  wineserver -w
  echo "$prefix_version" > "$marker"
}

ready() { [ "$(cat "$marker" 2>/dev/null)" = "$prefix_version" ]; }

if ! ready; then
  exec 9>"$WINEPREFIX.lock"
  flock 9
  ready || make_prefix
  flock -u 9
  exec 9>&-
fi

# A detached server with no inherited output, so that callers waiting for the
# program's output pipes (ctest) do not wait for the server too.
wineserver -p5 </dev/null >/dev/null 2>&1 || true

exec wine "$@"
