# shellcheck shell=bash disable=SC2154 # deb_src_who is the caller's
# Fetching Debian's own source packages, for the scripts that build libraries
# from them. Sourced, under set -euo pipefail; the caller sets deb_src_who, the
# name its messages start with. Needs root or sudo.

deb_src_sudo=""
[[ $(id -u) -eq 0 ]] || deb_src_sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

deb_src_fail() { echo "$deb_src_who: $*" >&2; exit 1; }

# apt-get source needs deb-src entries. Debian keeps its archives in
# sources.list (one-line entries) or, since Debian 12, in debian.sources (deb822
# stanzas); each deb entry there gets a deb-src twin in a file of our own, unless
# some deb-src entry is configured already. Then updates apt's lists and makes
# sure dpkg-source is there.
deb_src_enable() {
    local twin=/etc/apt/sources.list.d/stimulark-deb-src lines stanzas
    if ! grep -rqsE '^[[:space:]]*(Types:.*[[:space:]]deb-src([[:space:]]|$)|deb-src[[:space:]])' \
            --exclude="$(basename "$twin").*" /etc/apt/sources.list /etc/apt/sources.list.d/; then
        lines=$(sed -nE 's/^[[:space:]]*deb[[:space:]]/deb-src /p' /etc/apt/sources.list 2>/dev/null || true)
        stanzas=""
        if [[ -f /etc/apt/sources.list.d/debian.sources ]]; then
            # without comments and disabled stanzas
            stanzas=$(grep -v '^[[:space:]]*#' /etc/apt/sources.list.d/debian.sources |
                awk 'BEGIN { RS = ""; ORS = "\n\n" }
                     /(^|\n)Types:[^\n]*[ \t]deb([ \t]|\n|$)/ && !/(^|\n)Enabled:[ \t]*no/ {
                         sub(/(^|\n)Types:[^\n]*/, "\nTypes: deb-src"); sub(/^\n/, ""); print }')
        fi
        [[ -n $lines$stanzas ]] ||
            deb_src_fail "no Debian archive in /etc/apt/sources.list or /etc/apt/sources.list.d/debian.sources"
        deb_src_write_twin "$twin.list" "$lines"
        deb_src_write_twin "$twin.sources" "$stanzas"
    fi

    echo "$deb_src_who: apt-get update"
    $deb_src_sudo apt-get update -qq || deb_src_fail "apt-get update failed"
    if ! command -v dpkg-source >/dev/null; then
        $deb_src_sudo apt-get install -y -qq --no-install-recommends dpkg-dev >/dev/null ||
            deb_src_fail "could not install dpkg-dev"
    fi
}

deb_src_write_twin() {
    local file=$1 text=$2
    [[ -n $text ]] || return 0
    text=$(printf '# Source twins of the deb entries, for apt-get source in scripts/.\n%s' "$text")
    [[ $(cat "$file" 2>/dev/null) == "$text" ]] && return 0
    echo "$deb_src_who: adding deb-src entries in $file"
    printf '%s\n' "$text" | $deb_src_sudo tee "$file" >/dev/null
}

# The upstream part of a Debian version: 1:1.2.3-4 gives 1.2.3.
deb_src_upstream() { local v=${1#*:}; echo "${v%-*}"; }

# Prints every version of a source package that apt's lists name, newest first.
# A listed version may still be missing from the archive: security updates'
# sources sometimes are.
deb_src_listed() {
    local source=$1 v i
    local listed=()
    while read -r v; do
        i=${#listed[@]}
        while ((i > 0)) && dpkg --compare-versions "${listed[i - 1]}" lt "$v"; do
            i=$((i - 1))
        done
        listed=("${listed[@]:0:i}" "$v" "${listed[@]:i}")
    done < <(apt-cache showsrc --only-source "$source" 2>/dev/null | sed -n 's/^Version: //p')
    if ((${#listed[@]})); then printf '%s\n' "${listed[@]}"; fi
}

# deb_src_fetch DEST FOLDER SOURCE VERSION...
# Downloads the first of the versions that the archive really serves and
# unpacks it, with Debian's patches applied, into DEST/FOLDER. Sets
# deb_src_fetched to that version, or to nothing when none was served.
deb_src_fetch() {
    local dest=$1 folder=$2 source=$3 work v
    shift 3
    deb_src_fetched=""
    mkdir -p "$dest"
    work=$(mktemp -d "$dest/.fetch.XXXXXX")
    for v in "$@"; do
        if (cd "$work" && apt-get source -qq --download-only --only-source "$source=$v") >"$work/log" 2>&1; then
            if ! (cd "$work" && dpkg-source -x ./*.dsc unpacked) >>"$work/log" 2>&1; then
                cat "$work/log" >&2
                rm -rf "$work"
                deb_src_fail "could not unpack $source $v"
            fi
            rm -rf "${dest:?}/$folder"
            mv "$work/unpacked" "$dest/$folder"
            rm -rf "$work"
            echo "$deb_src_who: $source $v in $dest/$folder"
            # shellcheck disable=SC2034 # read by the caller
            deb_src_fetched=$v
            return 0
        fi
        echo "$deb_src_who: $source $v is not served: $(tail -1 "$work/log")" >&2
        rm -rf "${work:?}"/*
    done
    rm -rf "$work"
}

# deb_src_fetch_upstream DEST FOLDER SOURCE VERSION
# For a source whose Debian part the archive lists but does not serve: downloads
# its upstream tarball alone, checks it against the SHA-256 that apt's index
# gives, and unpacks it, without Debian's changes, into DEST/FOLDER. Sets
# deb_src_fetched as deb_src_fetch does. Only for a source with a single upstream
# tarball.
deb_src_fetch_upstream() {
    local dest=$1 folder=$2 source=$3 version=$4 work tarball want
    deb_src_fetched=""
    mkdir -p "$dest"
    work=$(mktemp -d "$dest/.fetch.XXXXXX")
    # Fails for the missing part, after fetching what is served.
    (cd "$work" && apt-get source -qq --download-only --only-source "$source=$version") >"$work/log" 2>&1 || true
    tarball=$(find "$work" -maxdepth 1 -name "${source}_$(deb_src_upstream "$version").orig.tar.*" ! -name '*.asc' |
        head -1)
    if [[ -z $tarball ]]; then
        echo "$deb_src_who: $source $version: not even its upstream tarball is served: $(tail -1 "$work/log")" >&2
        rm -rf "$work"
        return 0
    fi
    want=$(apt-cache showsrc --only-source "$source" 2>/dev/null | awk -v version="$version" -v file="${tarball##*/}" '
        /^Version: / { current = ($2 == version) }
        /^Checksums-Sha256:/ { sums = current; next }
        /^[^ ]/ { sums = 0 }
        sums && $3 == file { print $1; exit }')
    [[ -n $want && $(sha256sum "$tarball" | cut -d' ' -f1) == "$want" ]] ||
        { rm -rf "$work"; deb_src_fail "$source $version: ${tarball##*/} does not match the archive's checksum"; }
    mkdir "$work/unpacked"
    tar -xf "$tarball" -C "$work/unpacked" --strip-components=1 ||
        { rm -rf "$work"; deb_src_fail "could not unpack ${tarball##*/}"; }
    rm -rf "${dest:?}/$folder"
    mv "$work/unpacked" "$dest/$folder"
    rm -rf "$work"
    echo "$deb_src_who: $source $version, its upstream part only, in $dest/$folder"
    # shellcheck disable=SC2034 # read by the caller
    deb_src_fetched=$version
}
