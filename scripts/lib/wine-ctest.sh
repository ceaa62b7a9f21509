#!/usr/bin/env bash
# Runs the tests of a Windows build (cmake/mingw-w64-x86_64.cmake) under Wine on
# the current display:
#   wine-ctest.sh BUILD_DIR
# Wine keeps its prefix in BUILD_DIR/wineprefix, made on the first run (some 8 s).
# Notifications go to standard error only: a message box would wait for a click.
set -euo pipefail
build=$1
wine_dir=/usr/lib/wine
[[ -x $wine_dir/wine64 && -x $wine_dir/wineserver ]] || {
    echo "wine-ctest: Wine's 64-bit loader is not in $wine_dir: run scripts/setup-windows" >&2
    exit 1
}
mkdir -p "$build/wineprefix"
WINEPREFIX=$(cd "$build/wineprefix" && pwd)
export WINEPREFIX WINEDEBUG=-all STIMULARK_NOTIFICATIONS=stderr

# One Wine server for the whole run, its services started here: started by the
# first test, they would hold that test's output open, and CTest wait for them,
# for as long as the server lingers after each program (about 3 s a test).
"$wine_dir/wineserver" -p
trap '"$wine_dir/wineserver" -k 2>/dev/null || true' EXIT
"$wine_dir/wine64" wineboot </dev/null >/dev/null 2>&1
# shellcheck source=scripts/lib/wine-fonts.sh
source "$(dirname "${BASH_SOURCE[0]}")/wine-fonts.sh"
wine_fonts "$WINEPREFIX"
# Without a window manager, which Xvfb lacks, Wine waits 2 s for one to let go of
# each full-screen window it closes; windows that no manager handles need no wait.
"$wine_dir/wine64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1

# Tests that open windows share one screen, so they run one at a time.
ctest --test-dir "$build" --output-on-failure --timeout 600
