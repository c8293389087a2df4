#!/usr/bin/env bash
# The Windows build: velnor_core, the RtMidi backend on WinMM, velnor-cli.exe,
# the window program velnor.exe and the test programs, cross-built with
# Debian's MinGW-w64 (cmake/mingw-w64.cmake), then run under Wine.
#
#   scripts/windows-build.sh [BUILD_DIR] [qt|build|test|package|demo]...
#
#   qt       Qt for MinGW only (the build step does it first when needed);
#   build    configure and build (the default when no step is named);
#   test     the core's test programs and the window's (Qt Test) under Wine,
#            then velnor-cli.exe against its virtual instrument
#            (scripts/e2e-windows.sh);
#   package  BUILD_DIR/velnor-VERSION-windows-x64.zip: velnor.exe and
#            velnor-cli.exe, the DLLs and Qt plugins they need, Help.mht and a
#            README; velnor.exe is started from the staged folder under Wine
#            on Xvfb first and must show its window;
#   demo     the zip's window used as a user would under Wine: Connect,
#            Copy Up, Download, Upload (scripts/windows-window-demo.sh), with
#            a picture of each step in BUILD_DIR/window-demo.
#
# RtMidi comes from Debian's source package (apt-get source rtmidi, with a
# deb-src entry for the archive the machine already uses), GoogleTest from
# /usr/src/googletest. Qt is built for MinGW from Debian's qt6-base source
# once, into BUILD_DIR/_deps, or into $VELNOR_QT_CACHE when that names a folder
# (CI keeps it there between runs); a folder per Qt version, configure options
# and compiler, so a change of any of them builds a new one. Nothing of these
# is kept in this tree.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/wine-x11.sh

build=${1:-build-windows}
shift || true
steps=("$@")
[ ${#steps[@]} -gt 0 ] || steps=(build)

MINGW=x86_64-w64-mingw32
WINE=${WINE:-/usr/lib/wine/wine64}
deps="$build/_deps"
QT_VERSION=6.4.2
TESTS=(test_common test_midi test_songs test_stores test_stores_lists test_instrument
    test_instrument_app test_workflows test_cli test_program_platform)
# The window's tests (Qt Test).
UI_TESTS=(test_frame test_widgets test_shell_services test_device_connect test_device_transfers
    test_repository_pane test_browser_panes test_middle_commands)

section() { printf '\n== windows: %s (at %ss)\n' "$*" "$SECONDS"; }
as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

# A deb-src entry beside each deb entry of the machine's own archive.
add_deb_src() {
    local list=/etc/apt/sources.list.d/velnor-deb-src.sources
    if grep -rqs '^Types:.*deb-src\|^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        return 0
    fi
    echo "Adding deb-src entries ($list) for the Debian archive in use"
    {
        for f in /etc/apt/sources.list.d/*.sources; do
            [ -f "$f" ] && sed -n '/^Types:.*\bdeb\b/,/^$/p' "$f" | grep -q 'deb.debian.org\|debian' &&
                sed 's/^Types: *deb$/Types: deb-src/' "$f"
            echo
        done
    } | as_root tee "$list.tmp" >/dev/null
    if [ -f /etc/apt/sources.list ]; then
        sed -n 's/^deb \(.*debian.*\)/deb-src \1/p' /etc/apt/sources.list | as_root tee "${list%.sources}.list" >/dev/null
    fi
    as_root mv "$list.tmp" "$list"
    as_root apt-get update -qq
}

fetch_rtmidi() {
    rtmidi_dir=$(ls -d "$deps"/rtmidi-*/ 2>/dev/null | head -n 1 || true)
    if [ -n "$rtmidi_dir" ] && [ -f "$rtmidi_dir/RtMidi.cpp" ]; then return 0; fi
    add_deb_src
    mkdir -p "$deps"
    (cd "$deps" && apt-get source -qq rtmidi)
    rtmidi_dir=$(ls -d "$deps"/rtmidi-*/ | head -n 1)
    [ -f "$rtmidi_dir/RtMidi.cpp" ] || { echo "no RtMidi.cpp in $rtmidi_dir" >&2; exit 1; }
}

# Qt for MinGW, built once from Debian's qt6-base source into $qt_prefix;
# every later build reuses it. Core, Gui, Widgets, Test and the platform
# plugins are what the window needs. Debian's tarball leaves out wintab.h, so
# tablet events are off; OpenGL stays on (dynamic): without it the Windows
# platform plugin of 6.4.2 does not compile. The host tools (moc, rcc, uic)
# are Debian's own, from qt6-base-dev-tools.
QT_OPTIONS=(-DQT_HOST_PATH=/usr -DQT_HOST_PATH_CMAKE_DIR=/usr/lib/x86_64-linux-gnu/cmake
    -DCMAKE_BUILD_TYPE=Release -DQT_BUILD_EXAMPLES=OFF -DQT_BUILD_TESTS=OFF
    -DFEATURE_sql=OFF -DFEATURE_network=OFF -DFEATURE_dbus=OFF -DFEATURE_printsupport=OFF
    -DFEATURE_concurrent=OFF -DFEATURE_xml=OFF -DFEATURE_tabletevent=OFF)
qt_key=$({ printf '%s\n' "${QT_OPTIONS[@]}"; $MINGW-g++-posix -dumpfullversion; } | sha1sum | cut -c1-10)
qt_prefix=${VELNOR_QT_CACHE:-$deps}/qt-$QT_VERSION-mingw-$qt_key
build_qt() {
    # Two builds sharing the cache wait for each other: one builds, the
    # other then finds it.
    mkdir -p "$(dirname "$qt_prefix")"
    exec {qt_lock}>"$qt_prefix.lock"
    flock "$qt_lock"
    if [ -f "$qt_prefix/lib/cmake/Qt6/qt.toolchain.cmake" ] && [ -f "$qt_prefix/.velnor-complete" ]; then
        echo "windows: Qt for MinGW present in $qt_prefix, not rebuilt"
        exec {qt_lock}>&-
        return 0
    fi
    section "Qt $QT_VERSION for MinGW (once, into $qt_prefix)"
    add_deb_src
    mkdir -p "$deps"
    local src qbuild="$deps/qt-build-$qt_key"
    src=$(ls -d "$deps"/qt6-base-"$QT_VERSION"*/ 2>/dev/null | head -n 1 || true)
    if [ -z "$src" ] || [ ! -f "$src/CMakeLists.txt" ]; then
        (cd "$deps" && apt-get source -qq qt6-base >qt6-source.log 2>&1) ||
            { cat "$deps/qt6-source.log"; exit 1; }
        src=$(ls -d "$deps"/qt6-base-"$QT_VERSION"*/ 2>/dev/null | head -n 1 || true)
        [ -n "$src" ] || { echo "windows: the archive's qt6-base is not $QT_VERSION:" \
            "$(ls -d "$deps"/qt6-base-*/)" >&2; exit 1; }
    fi
    rm -rf "$qt_prefix"
    # A build that stopped half way goes on where it stopped.
    [ -f "$qbuild/build.ninja" ] || cmake -S "$src" -B "$qbuild" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" "${QT_OPTIONS[@]}" \
        >"$deps/qt6-configure.log" 2>&1 ||
        { tail -n 50 "$deps/qt6-configure.log"; exit 1; }
    cmake --build "$qbuild" -j "$(nproc)" >"$deps/qt6-build.log" 2>&1 ||
        { tail -n 50 "$deps/qt6-build.log"; exit 1; }
    # Qt's CMake files find their folder from where they lie: any prefix works.
    cmake --install "$qbuild" --prefix "$(realpath -m "$qt_prefix")" >"$deps/qt6-install.log" 2>&1 ||
        { tail -n 50 "$deps/qt6-install.log"; exit 1; }
    touch "$qt_prefix/.velnor-complete"
    # The build tree is 1 GB or more and nothing reads it again.
    rm -rf "$qbuild" "$src"
    echo "windows: Qt for MinGW installed in $qt_prefix (at ${SECONDS}s)"
    exec {qt_lock}>&-
}

do_build() {
    section "build"
    scripts/install-deps.sh
    fetch_rtmidi
    build_qt
    section "velnor.exe, velnor-cli.exe and the tests"
    # Qt's toolchain file loads ours first, then points CMake at this Qt.
    local toolchain="$qt_prefix/lib/cmake/Qt6/qt.toolchain.cmake"
    if [ -f "$build/CMakeCache.txt" ] &&
        ! grep -qx "CMAKE_TOOLCHAIN_FILE:[A-Z]*=$(realpath "$toolchain")" "$build/CMakeCache.txt"; then
        rm -rf "$build/CMakeCache.txt" "$build/CMakeFiles"  # configured with another toolchain
    fi
    cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE="$(realpath "$toolchain")" \
        -DQT_CHAINLOAD_TOOLCHAIN_FILE="$PWD/cmake/mingw-w64.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
        -DVELNOR_WERROR=ON -DVELNOR_BUILD_GUI=ON \
        -DVELNOR_RTMIDI_SOURCE_DIR="$(realpath "$rtmidi_dir")" \
        -DVELNOR_GTEST_SOURCE_DIR=/usr/src/googletest \
        -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST >"$deps/configure.log" ||
        { cat "$deps/configure.log"; exit 1; }
    cmake --build "$build" -j "$(nproc)" --target velnor velnor-cli "${TESTS[@]}" "${UI_TESTS[@]}"
}

# The folders of the MinGW runtime DLLs (libstdc++, libgcc, winpthread).
runtime_dirs() {
    dirname "$($MINGW-g++-posix -print-file-name=libstdc++-6.dll)"
    dirname "$($MINGW-g++-posix -print-file-name=libwinpthread-1.dll)"
}

# A Wine of our own: its prefix in a temporary folder, quiet, drawing on a
# private Xvfb display. The MinGW runtime and Qt's DLLs are on its PATH for
# the programs of the build tree; the packaged folder runs without them.
wine_started=""
start_wine() {
    wine_started=1
    [ -x "$WINE" ] || { echo "windows: Wine is missing ($WINE; Debian: wine64)" >&2; exit 1; }
    WINEPREFIX=$(mktemp -d /tmp/velnor-wine.XXXXXX)
    export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    local dirs
    dirs=$({ runtime_dirs; realpath "$qt_prefix/bin"; } | while read -r d; do printf 'Z:%s;' "$d"; done)
    export WINEPATH="${dirs%;}"
    trap stop_wine EXIT
    # Xvfb names its display on a pipe once it listens.
    mkfifo "$WINEPREFIX/display"
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$WINEPREFIX/display" 2>/dev/null &
    xvfb_pid=$!
    local display=""
    read -r -t 60 display <"$WINEPREFIX/display" || true
    [ -n "$display" ] || { echo "windows: Xvfb did not start" >&2; exit 1; }
    export DISPLAY=":$display"
    "$WINE" wineboot --init >/dev/null 2>&1
}
stop_wine() {
    "$(dirname "$WINE")/wineserver" -k 2>/dev/null || true
    [ -z "${xvfb_pid:-}" ] || kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$WINEPREFIX"
}

do_test() {
    section "the core's tests under Wine"
    start_wine
    local exe failed=()
    for t in "${TESTS[@]}"; do
        exe=$(find "$build/tests" -name "$t.exe" | head -n 1)
        if "$WINE" "$exe" --gtest_brief=1 >"$build/$t.log" 2>&1; then
            local skipped
            skipped=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) tests\?[.,].*/, \1 skipped (POSIX only)/p' "$build/$t.log")
            echo "$t: $(grep -o '[0-9]* tests\? from [0-9]* test suites\? ran' "$build/$t.log" | head -n 1), passed$skipped"
        else
            failed+=("$t")
            cat "$build/$t.log"
        fi
    done
    [ ${#failed[@]} -eq 0 ] || { echo "windows: FAILED under Wine: ${failed[*]}" >&2; exit 1; }
    run_ui_tests
    section "velnor-cli.exe end to end under Wine"
    local native=""
    [ -x build/src/cli/velnor-cli ] && native=build/src/cli/velnor-cli
    WINE="$WINE" VELNOR_CLI_NATIVE="$native" scripts/e2e-windows.sh "$build/src/cli/velnor-cli.exe"
}

# The window's Qt Test programs, without a display as on Linux (Qt's
# offscreen platform, drawing with Debian's DejaVu fonts) and with the
# instrument's link as fast as CTest sets it. Wine hands a Windows program no
# QT_* variable of Linux: it takes WINEQT_* for them. Qt Test writes to a
# file (on Windows its standard output goes to the debugger). A test that
# cannot run on Windows skips itself and says why.
run_ui_tests() {
    section "the window's tests under Wine"
    local t exe log totals failed=()
    for t in "${UI_TESTS[@]}"; do
        exe=$(find "$build/tests" -name "$t.exe" | head -n 1)
        log="$(realpath "$build")/$t.log"
        rm -f "$log"
        if WINEQT_QPA_PLATFORM=offscreen WINEQT_QPA_FONTDIR="Z:/usr/share/fonts/truetype/dejavu" \
            VELNOR_INSTRUMENT_LINK=none timeout 900 "$WINE" "$exe" -o "Z:$log,txt" >"$log.out" 2>&1; then
            totals=$(tr -d '\r' <"$log" | sed -n 's/^Totals: \([^,]*, [^,]*, [^,]*\),.*/\1/p')
            echo "$t: $totals"
            tr -d '\r' <"$log" | sed -n 's/^SKIP   : \(.*\)/    skipped: \1/p'
        else
            failed+=("$t")
            tr -d '\r' <"$log" | grep -v '^PASS   :' || cat "$log.out"
        fi
    done
    [ ${#failed[@]} -eq 0 ] || { echo "windows: FAILED under Wine: ${failed[*]}" >&2; exit 1; }
}

# Copies into $stage every DLL that the given programs and plugins import
# from the MinGW runtime or from Qt, then those that these import in turn.
# Windows' own DLLs are found in neither folder and stay out.
copy_imports() {
    local queue=("$@") file dll d dirs
    mapfile -t dirs < <(runtime_dirs; echo "$qt_prefix/bin")
    while [ ${#queue[@]} -gt 0 ]; do
        file=${queue[0]}
        queue=("${queue[@]:1}")
        for dll in $($MINGW-objdump -p "$file" | sed -n 's/^\s*DLL Name: //p'); do
            [ -f "$stage/$dll" ] && continue
            for d in "${dirs[@]}"; do
                if [ -f "$d/$dll" ]; then
                    cp "$d/$dll" "$stage/"
                    queue+=("$stage/$dll")
                    break
                fi
            done
        done
    done
}

# velnor.exe from $stage under Wine with its own DLLs only: its window must
# come up and be drawn. A screenshot of it goes to $build/package-window.png.
# What the program made beside itself (its Repository) is removed again.
check_window() {
    local before log="$build/package-window.log" window
    before=$(cd "$stage" && find . | sort)
    (cd "$stage" && WINEPATH="" exec "$WINE" velnor.exe) >"$log" 2>&1 &
    local pid=$!
    # The main window is 800 by 600 at least, its splash gone; drawn, its
    # pictures and lists give many colours, an empty frame one or two.
    window=$(x11_wait_window Velnor 800 120) || true
    if [ -n "$window" ]; then
        x11_settled_screenshot "$window" "$build/package-window.png" 16 60 || window=""
    fi
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
    [ -n "$window" ] || { cat "$log"; echo "windows: the packaged velnor.exe shows no window" >&2; exit 1; }
    echo "windows: the packaged velnor.exe shows its window ($build/package-window.png)"
    rm -rf "$stage/Repository"
    [ "$(cd "$stage" && find . | sort)" = "$before" ] ||
        { echo "windows: velnor.exe left files in the package:" >&2;
          diff <(echo "$before") <(cd "$stage" && find . | sort) >&2; exit 1; }
}

do_package() {
    section "package"
    local version name zip
    version=$(sed -n 's/^project(velnor VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
    name="velnor-$version-windows-x64"
    stage="$build/$name"
    zip="$build/$name.zip"
    rm -rf "$stage" "$zip"
    mkdir -p "$stage/platforms" "$stage/styles"
    cp "$build/src/ui/velnor.exe" "$build/src/cli/velnor-cli.exe" res/Help.mht "$stage/"
    cp scripts/windows-readme.txt "$stage/README.txt"
    # Qt loads these at run time, so no import names them: the Windows
    # platform (the window itself) and the Windows look of the widgets.
    cp "$qt_prefix/plugins/platforms/qwindows.dll" "$stage/platforms/"
    cp "$qt_prefix/plugins/styles/qwindowsvistastyle.dll" "$stage/styles/"
    copy_imports "$stage"/*.exe "$stage"/platforms/*.dll "$stage"/styles/*.dll
    $MINGW-strip --strip-unneeded "$stage"/*.exe "$stage"/*.dll "$stage"/*/*.dll
    # The folder alone must run: its own DLLs, nothing from this machine.
    [ -n "$wine_started" ] || start_wine
    WINEPATH="" "$WINE" "$stage/velnor-cli.exe" ports >"$build/package-check.log" 2>&1 ||
        { cat "$build/package-check.log"; echo "windows: the packaged velnor-cli.exe does not run" >&2; exit 1; }
    grep -q "Velnor Virtual Instrument" "$build/package-check.log" ||
        { cat "$build/package-check.log"; echo "windows: the packaged velnor-cli.exe lists no instrument" >&2; exit 1; }
    check_window
    (cd "$build" && zip -q -r "$name.zip" "$name")
    echo "windows: $zip:"
    unzip -l "$zip" | sed 's/^/  /'
}

for step in "${steps[@]}"; do
    case $step in
        qt) build_qt ;;
        build) do_build ;;
        test) do_build && do_test ;;
        package) [ -f "$build/src/ui/velnor.exe" ] || do_build; do_package ;;
        demo)
            section "the zip's window under Wine: Connect, Copy Up, Download, Upload"
            zip=$(ls "$build"/velnor-*-windows-x64.zip 2>/dev/null | head -n 1)
            [ -n "$zip" ] || { echo "windows: no zip in $build; run the package step first" >&2; exit 2; }
            WINE="$WINE" scripts/windows-window-demo.sh "$zip" "$build/window-demo" ;;
        *) echo "unknown step $step (qt, build, test, package or demo)" >&2; exit 2 ;;
    esac
done
