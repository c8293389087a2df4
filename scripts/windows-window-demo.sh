#!/usr/bin/env bash
# The window of the Windows zip, used as a user would, under Wine on a
# private Xvfb display, with nothing but what the zip holds on its path:
# Connect to the virtual instrument, Copy Up a song from a folder of the
# user's into the repository, Download it into an empty slot, Upload that
# slot back into the repository. The uploaded file must equal the song byte
# for byte. A picture of each step goes to OUT_DIR.
#
#   scripts/windows-window-demo.sh ZIP OUT_DIR
#
# The clicks go to places in the 800 by 600 main window (its layout is
# fixed); every step waits for what it causes (a window, a file), bounded.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/wine-x11.sh

zip=$(realpath "$1")
out=$(realpath -m "$2")
WINE=${WINE:-/usr/lib/wine/wine64}
mkdir -p "$out"
rm -f "$out"/*.png

work=$(mktemp -d /tmp/velnor-window-demo.XXXXXX)
pid=""
xvfb_pid=""
cleanup() {
    [ -z "$pid" ] || kill "$pid" 2>/dev/null || true
    "$(dirname "$WINE")/wineserver" -k 2>/dev/null || true
    [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "window-demo FAIL: $*" >&2
    x11_screenshot root "$out/failed.png" || true
    sed 's/^/  velnor.exe: /' "$work/velnor.log" >&2 || true
    exit 1
}
step() { echo "window-demo: $*"; }

# Wine and Xvfb of our own; the program finds only the zip's DLLs.
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" WINEPATH=""
mkdir "$WINEPREFIX"
mkfifo "$work/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
xvfb_pid=$!
display=""
read -r -t 60 display <"$work/display" || true
[ -n "$display" ] || fail "Xvfb did not start"
export DISPLAY=":$display"
"$WINE" wineboot --init >/dev/null 2>&1

unzip -q "$zip" -d "$work"
program=$(ls -d "$work"/velnor-*-windows-x64)
repository="$program/Repository"
# Wine names the user's folder after the Unix user. "Album" sorts before
# Wine's own folders there (AppData ...), so it is the first in the tree.
home="$WINEPREFIX/drive_c/users/$(id -un)"
[ -d "$home" ] || fail "no user folder $home"
song="$home/Album/Morning.mid"
mkdir "$home/Album"
scripts/make-song.sh "$song" "Morning Song" 300

(cd "$program" && exec "$WINE" velnor.exe) >"$work/velnor.log" 2>&1 &
pid=$!
main=$(x11_wait_window Velnor 800 120) || fail "velnor.exe shows no window"
x11_settled_screenshot "$main" "$out/1-window.png" 16 60 || fail "the window is not drawn"
step "the window: 1-window.png"

# A message box of the program (a window titled Velnor, smaller than the
# main one): its picture, then its OK button (bottom right), then gone.
message_box() {
    local picture=$1 box width height
    box=$(x11_wait_small_window Velnor 800 120) || fail "no message box for $picture"
    x11_settled_screenshot "$box" "$out/$picture" 8 60 || fail "the message box is not drawn"
    eval "$(xdotool getwindowgeometry --shell "$box")"
    width=$WIDTH
    height=$HEIGHT
    x11_click "$box" $((width - 50)) $((height - 24))
    local until=$((SECONDS + 60))
    while x11_windows Velnor | awk '$2 < 800 { f = 1 } END { exit !f }'; do
        [ "$SECONDS" -lt "$until" ] || fail "the message box of $picture does not close"
        sleep 0.5
    done
}
wait_for_file() {
    local until=$((SECONDS + 120))
    until [ -s "$1" ]; do
        [ "$SECONDS" -lt "$until" ] || fail "no $1"
        sleep 0.5
    done
}

# Connect: the port dialog, the virtual instrument as input and output, OK.
x11_click "$main" 80 262
dialog=$(timeout 60 xdotool search --sync --onlyvisible --name '^MIDI Device$' | head -n 1) ||
    fail "Connect opens no port dialog"
x11_settled_screenshot "$dialog" "$out/2-ports.png" 8 60 || fail "the port dialog is not drawn"
x11_click "$dialog" 100 40
x11_click "$dialog" 430 40
x11_settled_screenshot "$dialog" "$out/2-ports.png" 8 60 || fail "the port dialog is not drawn"
x11_click "$dialog" 545 302
message_box 3-connected.png
x11_settled_screenshot "$main" "$out/4-slots.png" 16 60 || fail "the window is not drawn"
step "Connect: 2-ports.png, 3-connected.png, the slot list in 4-slots.png"

# Copy Up: the folder Album in the tree, its song in the list, Copy Up.
x11_click "$main" 85 326
x11_click "$main" 330 325
x11_click "$main" 399 262
wait_for_file "$repository/Morning.mid"
cmp -s "$song" "$repository/Morning.mid" || fail "the copy in the repository differs"
x11_settled_screenshot "$main" "$out/5-copied.png" 16 60 || fail "the window is not drawn"
step "Copy Up: Album\\Morning.mid is in the repository, 5-copied.png"

# Download: the repository's song, the first empty slot (3), Download.
x11_click "$main" 330 32
x11_click "$main" 60 92
x11_click "$main" 212 50
message_box 6-downloaded.png
x11_settled_screenshot "$main" "$out/7-slot-filled.png" 16 60 || fail "the window is not drawn"
step "Download into slot 3: 6-downloaded.png, 7-slot-filled.png"

# Upload: slot 3's menu, Upload; the file is named after the slot's song.
x11_click "$main" 60 92 3
menu=$(x11_wait_small_window Velnor 800 60) || fail "the slot list opens no menu"
x11_settled_screenshot "$menu" "$out/8-menu.png" 8 60 || fail "the menu is not drawn"
x11_click "$menu" 60 66
wait_for_file "$repository/Morning Song.mid"
cmp "$song" "$repository/Morning Song.mid" || fail "the uploaded song differs from the one sent"
x11_settled_screenshot "$main" "$out/9-uploaded.png" 16 60 || fail "the window is not drawn"
step "Upload of slot 3: Morning Song.mid equals the song byte for byte, 8-menu.png, 9-uploaded.png"
# The tree's roots: the home folder closed, the drives below it.
x11_click "$main" 12 305
x11_settled_screenshot "$main" "$out/10-drives.png" 16 60 || fail "the window is not drawn"
step "the folder tree's roots, the home folder and the drives: 10-drives.png"
echo "window-demo: passed; pictures in $out"
