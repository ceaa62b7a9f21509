# shellcheck shell=bash
# Sourced by the scripts that run Windows programs under Wine.
#
# A Windows system keeps Segoe UI, Arial or Tahoma in C:\Windows\Fonts, where
# Font::defaultFont looks for them. Debian's Wine keeps its own fonts (fonts-wine,
# which scripts/setup-windows installs) outside the prefix and leaves that folder
# empty, so this links Wine's Tahoma into it.
#   wine_fonts PREFIX
wine_fonts() {
    local fonts=$1/drive_c/windows/Fonts tahoma=/usr/share/wine/fonts/tahoma.ttf
    if [[ ! -f $tahoma ]]; then
        echo "Wine's Tahoma is missing ($tahoma): run scripts/setup-windows" >&2
        return 1
    fi
    mkdir -p "$fonts"
    [[ -e $fonts/tahoma.ttf ]] || ln -s "$tahoma" "$fonts/tahoma.ttf"
}
