#!/usr/bin/env bash
# Builds a program outside the source tree against the toolkit, the way a user
# would, and runs it on the display:
#   install_check.sh MODE SOURCE_DIR BUILD_DIR VERSION
#   find-package   cmake --install into a temporary prefix, then find_package
#   pkg-config     the same prefix, then g++ with pkg-config's flags
#   subdirectory   the sources as a subproject, without GoogleTest or Google Benchmark
#   deb            cpack -G DEB, unpacked with dpkg -x, then both ways above; the
#                  package's dependencies must be exactly the packages that hold
#                  the libraries its pkg-config file links
#   recipe         the README's commands for installing and for the package
#                  configure only the libraries
#   windows        the README's Windows install commands, then a program
#                  cross-built against that prefix and run under Wine; skipped
#                  (77) without the cross build's tools (scripts/setup-windows)
set -euo pipefail
mode=$1 source=$(realpath "$2") build=$(realpath "$3") version=$4
work=$(mktemp -d /tmp/stimulark-install.XXXXXX)
trap 'rm -rf "$work"' EXIT
cp -r "$source/tests/install/consumer" "$work/consumer"

fail() { echo "FAIL: $*" >&2; exit 1; }

# Runs a built program (the command line up to it), which draws a red square on
# blue and a word in the default font and reports them.
check_run() {
    local out
    out=$("$@" first "last argument") || fail "$* exited with $?"
    out=${out%$'\r'} # Windows' C runtime ends the line with CR LF
    local want="version $version; 3 arguments, last last argument; centre 1 0 0; corner 0 0 1; text 1 line, inked"
    [[ $out == "$want" ]] || fail "$* printed \"$out\", expected \"$want\""
    echo "ran: $out"
}

# Runs the README's "cmake -S . -B FOLDER ..." command (its continued lines
# joined) in the source tree, with the build folder in the work folder.
readme_configure() { # folder
    local folder=$1 line word words configure=()
    line=$(awk -v start="cmake -S . -B $folder " '
        found { line = line $0 }
        !found && index($0, start) == 1 { found = 1; line = $0 }
        found { if (sub(/\\$/, "", line)) next; print line; exit }' "$source/README.md")
    [[ -n $line ]] || fail "README.md shows no \"cmake -S . -B $folder\" command"
    read -ra words <<<"$line"
    for word in "${words[@]}"; do
        [[ $word == "$folder" ]] && word=$work/$folder
        configure+=("$word")
    done
    (cd "$source" && "${configure[@]}") >"$work/$folder.log" 2>&1 ||
        { cat "$work/$folder.log"; fail "the README's \"$line\" failed"; }
}

# Only the libraries are built, besides CMake's own targets and the reference.
check_only_libraries() { # build folder
    local extra
    extra=$(cmake --build "$1" --target help | sed -n 's/^\.\.\. \([^ ]*\).*/\1/p' |
        grep -vxE 'all|clean|depend|edit_cache|rebuild_cache|install(/local|/strip)?|list_install_components|package(_source)?|docs|stimulark|stimulark_main' || true)
    [[ -z $extra ]] || fail "the README's $(basename "$1") commands also build: $(echo $extra)"
    echo "$(basename "$1"): only the libraries"
}

cmake_build() { # folder, configure arguments...
    local dir=$1
    shift
    cmake -S "$work/consumer" -B "$dir" -DCMAKE_CXX_COMPILER=g++ "$@" >"$dir.log" 2>&1 ||
        { cat "$dir.log"; fail "configure failed"; }
    cmake --build "$dir" -j2 --target consumer >>"$dir.log" 2>&1 || { cat "$dir.log"; fail "build failed"; }
}

pkg_config_build() { # pkg-config folder, output
    PKG_CONFIG_PATH=$1 PKG_CONFIG_LIBDIR=$1 bash -c \
        'g++ -std=c++20 "$0" $(pkg-config --cflags --libs stimulark-main) -o "$1"' \
        "$work/consumer/consumer.cpp" "$2" || fail "g++ with pkg-config failed"
}

# Each installed header compiles on its own (none includes a header left behind)
# and without a warning under a user's strict flags, included as a program
# includes it: with -I, as pkg-config gives the folder, so its warnings show.
check_headers() { # include folder
    local include=$1 header name cxx
    for header in $(cd "$include" && find stimulark -name '*.hpp' | sort); do
        name=${header//\//_}
        printf '#include "%s"\n' "$header" >"$work/$name.cpp"
        for cxx in g++ clang++; do
            "$cxx" -std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Werror \
                -I"$include" "$work/$name.cpp" || fail "$header does not compile alone without warnings ($cxx)"
        done
    done
}

pc_folder() { dirname "$(find "$1" -name stimulark.pc | head -1)"; }

# Only what a program needs is installed: no backend, platform or test-support
# headers, and no test backend inside the library.
check_installed() {
    local prefix=$1
    local private
    private=$(find "$prefix" \( -path '*/platform/sdl*' -o -name Platform.hpp -o -name 'Scripted*' \
        -o -name PngCommon.hpp -o -name SafeFileWriter.hpp -o -name '*test*' \) -print)
    [[ -z $private ]] || fail "private files installed: $private"
    nm -C "$(find "$prefix" -name libstimulark.a)" | grep -q ScriptedPlatform && fail "the scripted backend is in the library"
    [[ -f $(find "$prefix" -name StimularkConfigVersion.cmake) ]] || fail "no package version file"
}

case $mode in
find-package)
    cmake --install "$build" --prefix "$work/prefix" >/dev/null
    check_installed "$work/prefix"
    check_headers "$work/prefix/include"
    cmake_build "$work/build" -DCMAKE_PREFIX_PATH="$work/prefix"
    check_run "$work/build/consumer"
    ;;
pkg-config)
    cmake --install "$build" --prefix "$work/prefix" >/dev/null
    pkg_config_build "$(pc_folder "$work/prefix")" "$work/consumer-pc"
    check_run "$work/consumer-pc"
    ;;
subdirectory)
    cmake_build "$work/build" -DSTIMULARK_SOURCE_DIR="$source" \
        -DCMAKE_DISABLE_FIND_PACKAGE_GTest=ON -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=ON
    if grep -E '^(GTest_DIR|benchmark_DIR|CMAKE_C_COMPILER:.*clang)' "$work/build/CMakeCache.txt"; then
        fail "the subproject looked for the test or benchmark tools"
    fi
    if cmake --build "$work/build" --target help | grep -E '(test_|_bench|gyrdex)'; then
        fail "the subproject configured tests, benchmarks or the demo"
    fi
    check_run "$work/build/consumer"
    ;;
deb)
    (cd "$build" && cpack -G DEB -B "$work/packages" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; fail "cpack failed"; }
    deb=$(find "$work/packages" -maxdepth 1 -name '*.deb')
    echo "package: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB"
    dpkg-deb -c "$deb" | awk '{print "  " $3 " " $6}'
    dpkg -x "$deb" "$work/root"
    check_installed "$work/root"
    cmake_build "$work/build" -DCMAKE_PREFIX_PATH="$work/root/usr"
    check_run "$work/build/consumer"
    pkg_config_build "$(pc_folder "$work/root")" "$work/consumer-pc"
    check_run "$work/consumer-pc"

    # Besides those, the default font's package, which fontconfig finds at run time.
    declared=$(dpkg-deb -f "$deb" Depends | tr ',' '\n' | sed -E 's/\(.*\)//; s/ //g' | sort -u)
    needed=$({
        echo fonts-dejavu-core
        for lib in $(PKG_CONFIG_PATH=$(pc_folder "$work/root") pkg-config --libs-only-l stimulark); do
            name=${lib#-l}
            [[ $name == stimulark ]] && continue
            file=$(realpath -s "$(g++ -print-file-name="lib$name.so")")
            dpkg -S "$file" | cut -d: -f1
        done
    } | sort -u)
    [[ $declared == "$needed" ]] ||
        fail "the package depends on [$(echo $declared)] but its libraries need [$(echo $needed)]"
    echo "depends: $(echo $declared)"
    ;;
recipe)
    # The README's install and package commands configure only what they install:
    # the suite, the benchmarks and the demo would make the build four times as long.
    for folder in build-install build-deb; do
        readme_configure "$folder"
        check_only_libraries "$work/$folder"
    done
    ;;
windows)
    # The Windows toolkit installed with the README's commands, a program
    # cross-built against it as the README shows and run under Wine.
    mingw=x86_64-w64-mingw32-g++-posix
    if ! command -v "$mingw" >/dev/null || [[ ! -f $source/.deps/mingw64/stamp ]]; then
        echo "skipped: no MinGW-w64 cross build here; scripts/setup-windows prepares it"
        exit 77
    fi
    wine_dir=/usr/lib/wine
    [[ -x $wine_dir/wine64 && -x $wine_dir/wineserver ]] ||
        fail "Wine's 64-bit loader is not in $wine_dir: run scripts/setup-windows"
    readme_configure build-windows-install
    check_only_libraries "$work/build-windows-install"
    cmake --build "$work/build-windows-install" -j2 >"$work/build-windows-install.log" 2>&1 ||
        { cat "$work/build-windows-install.log"; fail "building the Windows toolkit failed"; }
    cmake --install "$work/build-windows-install" --prefix "$work/prefix" >/dev/null

    # Found through CMAKE_PREFIX_PATH, which the toolchain file's search roots
    # would otherwise hide.
    cmake -S "$work/consumer" -B "$work/build" -DCMAKE_TOOLCHAIN_FILE="$source/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_PREFIX_PATH="$work/prefix" -DCMAKE_BUILD_TYPE=Release >"$work/build.log" 2>&1 ||
        { cat "$work/build.log"; fail "configuring the Windows program failed"; }
    cmake --build "$work/build" -j2 >>"$work/build.log" 2>&1 || { cat "$work/build.log"; fail "build failed"; }

    # windows.h declares Rectangle, BYTE and FLOAT at global scope, and MinGW's
    # GL/gl.h includes it: the README's programs compile beside either header,
    # included before the toolkit's or after it.
    for program in "$work/consumer/consumer.cpp" "$source"/examples/*.cpp; do
        for header in windows.h GL/gl.h; do
            for order in before after; do
                {
                    if [[ $order == after ]]; then echo '#include "stimulark/stimulark.hpp"'; fi
                    echo "#include <$header>"
                    echo "#include \"$program\""
                } >"$work/order.cpp"
                "$mingw" -std=c++20 -fsyntax-only -I"$work/prefix/include" "$work/order.cpp" ||
                    fail "$(basename "$program") does not compile with <$header> included $order the toolkit's header"
            done
        done
    done
    echo "the consumer and examples/*.cpp compile with <windows.h> or <GL/gl.h> before or after the toolkit"

    # A prefix of its own, made in some 20 s.
    export WINEPREFIX=$work/wineprefix WINEDEBUG=-all STIMULARK_NOTIFICATIONS=stderr
    trap '"$wine_dir/wineserver" -k 2>/dev/null || true; rm -rf "$work"' EXIT
    "$wine_dir/wine64" wineboot -i </dev/null >"$work/wineboot.log" 2>&1 ||
        { cat "$work/wineboot.log"; fail "making a Wine prefix failed"; }
    "$wine_dir/wineserver" -w
    # The program draws in the default font.
    # shellcheck source=scripts/lib/wine-fonts.sh
    source "$source/scripts/lib/wine-fonts.sh"
    wine_fonts "$WINEPREFIX"
    check_run "$wine_dir/wine64" "$work/build/consumer.exe"
    ;;
*) fail "unknown mode $mode" ;;
esac
