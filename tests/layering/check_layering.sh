#!/usr/bin/env bash
# The toolkit's include rules, checked over its sources:
#   core/ (the failure type) includes nothing else of the toolkit;
#   nothing includes the entry's folder app/ but app/ itself, the umbrella header
#   and a backend's own process entry (WinMain), which sits at the top with it;
#   only a backend's folder includes its window system's headers or its own headers.
#   check_layering.sh SOURCE_DIR
set -uo pipefail
cd "$1/stimulark" || exit 1
status=0
report() { echo "$1:"; echo "$2" | sed 's/^/  /'; status=1; }

found=$(grep -rnE '#include "stimulark/' core | grep -v '#include "stimulark/core/')
[[ -z $found ]] || report "core/ includes the layers above it" "$found"

found=$(grep -rnE '#include "stimulark/app/' --include='*.hpp' --include='*.cpp' . |
    grep -vE '^\./(app/|stimulark\.hpp:|platform/win32/Win32Main\.cpp:)')
[[ -z $found ]] || report "the entry's folder is included from below" "$found"

found=$(grep -rnE '#include [<"](SDL|X11/|xcb/|GL/glx|wayland-|[a-z-]+-protocol\.h|windows\.h|wingdi\.h)' \
    --include='*.hpp' --include='*.cpp' . |
    grep -vE '^\./platform/(sdl|win32)/')
[[ -z $found ]] || report "window-system headers outside a backend" "$found"

found=$(grep -rnE '#include "stimulark/platform/(sdl|win32)/' --include='*.hpp' --include='*.cpp' . |
    grep -vE '^\./platform/(sdl|win32)/')
[[ -z $found ]] || report "portable code includes a backend" "$found"

exit $status
