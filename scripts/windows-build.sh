#!/usr/bin/env bash
# The Windows build: velnor_core, the RtMidi backend on WinMM, velnor-cli.exe
# and the core's test programs, cross-built with Debian's MinGW-w64
# (cmake/mingw-w64.cmake), then run under Wine.
#
#   scripts/windows-build.sh [BUILD_DIR] [build|test|package]...
#
#   build    configure and build (the default when no step is named);
#   test     the core's test programs under Wine, then velnor-cli.exe against
#            its virtual instrument (scripts/e2e-windows.sh);
#   package  BUILD_DIR/velnor-VERSION-windows-x64.zip: velnor-cli.exe, the
#            MinGW runtime DLLs it needs, Help.mht and a README.
#
# RtMidi comes from Debian's source package (apt-get source rtmidi, with a
# deb-src entry for the archive the machine already uses), GoogleTest from
# /usr/src/googletest. Nothing of either is kept in this tree.
set -euo pipefail
cd "$(dirname "$0")/.."

build=${1:-build-windows}
shift || true
steps=("$@")
[ ${#steps[@]} -gt 0 ] || steps=(build)

MINGW=x86_64-w64-mingw32
WINE=${WINE:-/usr/lib/wine/wine64}
deps="$build/_deps"
TESTS=(test_common test_midi test_songs test_stores test_stores_lists test_instrument
    test_instrument_app test_workflows test_cli test_program_platform)

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

do_build() {
    section "build"
    scripts/install-deps.sh
    fetch_rtmidi
    cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
        -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
        -DVELNOR_WERROR=ON -DVELNOR_BUILD_GUI=OFF \
        -DVELNOR_RTMIDI_SOURCE_DIR="$(realpath "$rtmidi_dir")" \
        -DVELNOR_GTEST_SOURCE_DIR=/usr/src/googletest \
        -DCMAKE_GTEST_DISCOVER_TESTS_DISCOVERY_MODE=PRE_TEST >"$deps/configure.log" ||
        { cat "$deps/configure.log"; exit 1; }
    cmake --build "$build" -j "$(nproc)" --target velnor-cli "${TESTS[@]}"
}

# The folders of the MinGW runtime DLLs (libstdc++, libgcc, winpthread).
runtime_dirs() {
    dirname "$($MINGW-g++-posix -print-file-name=libstdc++-6.dll)"
    dirname "$($MINGW-g++-posix -print-file-name=libwinpthread-1.dll)"
}

# A Wine of our own: its prefix in a temporary folder, no display, quiet.
wine_started=""
start_wine() {
    wine_started=1
    [ -x "$WINE" ] || { echo "windows: Wine is missing ($WINE; Debian: wine64)" >&2; exit 1; }
    WINEPREFIX=$(mktemp -d /tmp/velnor-wine.XXXXXX)
    export WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" DISPLAY=
    local dirs
    dirs=$(runtime_dirs | while read -r d; do printf 'Z:%s;' "$d"; done)
    export WINEPATH="${dirs%;}"
    trap stop_wine EXIT
    "$WINE" wineboot --init >/dev/null 2>&1
}
stop_wine() {
    "$(dirname "$WINE")/wineserver" -k 2>/dev/null || true
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
    section "velnor-cli.exe end to end under Wine"
    local native=""
    [ -x build/src/cli/velnor-cli ] && native=build/src/cli/velnor-cli
    WINE="$WINE" VELNOR_CLI_NATIVE="$native" scripts/e2e-windows.sh "$build/src/cli/velnor-cli.exe"
}

do_package() {
    section "package"
    local version name stage zip
    version=$(sed -n 's/^project(velnor VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
    name="velnor-$version-windows-x64"
    stage="$build/$name"
    zip="$build/$name.zip"
    rm -rf "$stage" "$zip"
    mkdir -p "$stage"
    cp "$build/src/cli/velnor-cli.exe" res/Help.mht "$stage/"
    cp scripts/windows-readme.txt "$stage/README.txt"
    # Every DLL velnor-cli.exe imports that is not Windows' own.
    local dll found
    for dll in $($MINGW-objdump -p "$stage/velnor-cli.exe" | sed -n 's/^\s*DLL Name: //p'); do
        found=""
        for d in $(runtime_dirs); do
            [ -f "$d/$dll" ] && found="$d/$dll" && break
        done
        [ -n "$found" ] && cp "$found" "$stage/"
    done
    # The runtime DLLs import one another.
    for dll in "$stage"/*.dll; do
        for dep in $($MINGW-objdump -p "$dll" | sed -n 's/^\s*DLL Name: //p'); do
            for d in $(runtime_dirs); do
                [ -f "$d/$dep" ] && [ ! -f "$stage/$dep" ] && cp "$d/$dep" "$stage/"
            done
        done
    done
    $MINGW-strip --strip-unneeded "$stage"/*.exe "$stage"/*.dll
    # The folder alone must run: its own DLLs, nothing from this machine.
    [ -n "$wine_started" ] || start_wine
    WINEPATH="" "$WINE" "$stage/velnor-cli.exe" ports >"$build/package-check.log" 2>&1 ||
        { cat "$build/package-check.log"; echo "windows: the packaged velnor-cli.exe does not run" >&2; exit 1; }
    grep -q "Velnor Virtual Instrument" "$build/package-check.log" ||
        { cat "$build/package-check.log"; echo "windows: the packaged velnor-cli.exe lists no instrument" >&2; exit 1; }
    (cd "$build" && zip -q -r "$name.zip" "$name")
    echo "windows: $zip:"
    unzip -l "$zip" | sed 's/^/  /'
}

for step in "${steps[@]}"; do
    case $step in
        build) do_build ;;
        test) do_build && do_test ;;
        package) [ -f "$build/src/cli/velnor-cli.exe" ] || do_build; do_package ;;
        *) echo "unknown step $step (build, test or package)" >&2; exit 2 ;;
    esac
done
