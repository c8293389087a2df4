#!/usr/bin/env bash
# velnor-cli.exe under Wine against its virtual instrument: ports, slots,
# download (read back byte for byte), upload, delete and backup, with songs
# and folders whose names are not ASCII ("Übung/Café.mid", "Ωδή.mid": the
# latter is in no Windows ANSI code page of Latin letters, so only UTF-8
# arguments and paths carry it).
#
#   scripts/e2e-windows.sh VELNOR_CLI_EXE
#
# Run by scripts/windows-build.sh test, which sets up Wine (WINE, WINEPREFIX,
# WINEPATH with the MinGW runtime). VELNOR_CLI_NATIVE names a Linux
# velnor-cli whose upload of a demo song the Windows one must equal.
set -euo pipefail

EXE=$1
WINE=${WINE:-/usr/lib/wine/wine64}
[ -n "${WINEPREFIX:-}" ] || { echo "e2e-windows: run it through scripts/windows-build.sh test" >&2; exit 2; }
NAME="Velnor Virtual Instrument"

work=$(mktemp -d /tmp/velnor-e2e-win.XXXXXX)
trap 'rm -rf "$work"' EXIT
folder="$work/Übung"
mkdir "$folder"

fail() {
    echo "e2e-windows FAIL: $*" >&2
    sed 's/^/  out: /' "$work/out" >&2
    sed 's/^/  err: /' "$work/err" >&2
    exit 1
}
step() { echo "e2e-windows: $*"; }

# Runs velnor-cli.exe; its output, without the console's carriage returns,
# in $work/out and $work/err.
cli() {
    local status=0
    "$WINE" "$EXE" "$@" >"$work/out.raw" 2>"$work/err.raw" || status=$?
    tr -d '\r' <"$work/out.raw" >"$work/out"
    tr -d '\r' <"$work/err.raw" >"$work/err"
    return $status
}
expect_ok() {
    cli "$@" || fail "velnor-cli.exe $* exited $?"
}

song="$folder/Café.mid"
"$(dirname "$0")/make-song.sh" "$song" "E2E Song" 200
expect_ok check "$song"
grep -qx "Café.mid OK" "$work/out" || fail "check does not name Café.mid"
step "check: $(cat "$work/out")"

expect_ok ports
grep -qP "^in\t\d+\t$NAME$" "$work/out" || fail "ports lists no input \"$NAME\""
grep -qP "^out\t\d+\t$NAME$" "$work/out" || fail "ports lists no output \"$NAME\""
step "ports: the virtual instrument is there, in and out"

# Wine has no MIDI ports of its own: the search finds nothing, and auto never
# takes the virtual instrument instead.
status=0
cli find || status=$?
[ "$status" -eq 1 ] && [ ! -s "$work/out" ] || fail "find exited $status with no instrument to find"
status=0
cli slots --in auto --out auto || status=$?
[ "$status" -eq 1 ] && grep -q "no instrument answered" "$work/err" ||
    fail "slots --in auto --out auto exited $status with no instrument to find"
step "find: no pair, exit 1; --in auto --out auto: $(grep -o 'no instrument answered.*' "$work/err")"

expect_ok slots
grep -qP "^0\tScale.mid$" "$work/out" || fail "slots: no demo song"
step "slots: $(wc -l <"$work/out") lines, demo songs present"

expect_ok download "$song" 7 --verify
grep -q "^Verified: slot 7 holds the file byte for byte" "$work/out" || fail "download --verify"
step "download Übung/Café.mid into slot 7, read back byte for byte"

greek="$folder/Ωδή.mid"
expect_ok upload 0 "$greek"
[ -s "$greek" ] || fail "upload wrote no Übung/Ωδή.mid"
if [ -n "${VELNOR_CLI_NATIVE:-}" ] && [ -x "$VELNOR_CLI_NATIVE" ]; then
    "$VELNOR_CLI_NATIVE" upload 0 "$work/native.mid" >/dev/null
    cmp "$greek" "$work/native.mid" || fail "the Windows upload differs from the Linux one"
    step "upload slot 0 into Übung/Ωδή.mid: byte for byte the Linux upload"
fi
expect_ok download "$greek" 8 --verify
grep -q "^Verified: slot 8" "$work/out" || fail "download of the uploaded song"
step "Übung/Ωδή.mid downloads into slot 8 and reads back byte for byte"

expect_ok delete 0
grep -qx "Deleted slot 0" "$work/out" || fail "delete"
step "delete: $(cat "$work/out")"

expect_ok backup "$folder/Sicherung"
shopt -s nullglob
saved=("$folder/Sicherung"/*.mid)
[ ${#saved[@]} -eq 3 ] || fail "backup wrote ${#saved[@]} files, expected the 3 demo songs"
cmp "$folder/Sicherung/Scale.mid" "$greek" || fail "the backup of slot 0 differs from its upload"
expect_ok check "${saved[@]}"
step "backup into Übung/Sicherung: ${#saved[@]} songs, all accepted by check"

echo "e2e-windows: velnor-cli.exe end-to-end passed"
