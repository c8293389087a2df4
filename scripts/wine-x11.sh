# Helpers for looking at Windows programs under Wine on an X display (Xvfb):
# finding a window and taking its picture. Sourced by windows-build.sh and
# windows-window-demo.sh; they need xdotool, xwd (x11-apps) and netpbm.

# The visible windows titled exactly TITLE, one "ID WIDTH" a line.
x11_windows() {
    local id
    for id in $(xdotool search --onlyvisible --name "^$1\$" 2>/dev/null); do
        echo "$id $(xdotool getwindowgeometry --shell "$id" 2>/dev/null | sed -n 's/^WIDTH=//p')"
    done
}

# Prints the id of the program's main window once it shows: titled TITLE, at
# least MIN_WIDTH pixels wide, and no narrower window of that title left
# beside it (the splash screen carries the program's name too). Fails after
# SECONDS.
x11_wait_window() {
    local title=$1 min_width=$2 until=$((SECONDS + $3)) windows main
    while [ "$SECONDS" -lt "$until" ]; do
        windows=$(x11_windows "$title")
        main=$(echo "$windows" | awk -v w="$min_width" '$2 >= w { print $1; exit }')
        if [ -n "$main" ] && ! echo "$windows" | awk -v w="$min_width" '$2 < w { f = 1 } END { exit !f }'; then
            echo "$main"
            return 0
        fi
        sleep 0.5
    done
    return 1
}

# Writes a PNG of window ID (or of the whole screen with "root") to OUT.
# With MIN_COLOURS it fails unless the picture holds that many colours at
# least: a window that has been drawn shows pictures and text, one still
# empty a colour or two.
x11_screenshot() {
    local id=$1 out=$2 least=${3:-0} colours
    if [ "$id" = root ]; then
        xwd -root -silent >"$out.xwd"
    else
        xwd -id "$id" -silent >"$out.xwd"
    fi
    xwdtopnm "$out.xwd" 2>/dev/null >"$out.ppm"
    pnmtopng "$out.ppm" 2>/dev/null >"$out"
    colours=$(ppmhist -noheader "$out.ppm" | wc -l)
    rm -f "$out.xwd" "$out.ppm"
    if [ "$colours" -lt "$least" ]; then
        echo "x11_screenshot: $out holds $colours colours, fewer than $least" >&2
        return 1
    fi
}

# The id of a visible window titled TITLE and narrower than WIDTH (a message
# box of the program whose main window is WIDTH wide) once there is one;
# fails after SECONDS.
x11_wait_small_window() {
    local title=$1 width=$2 until=$((SECONDS + $3)) small
    while [ "$SECONDS" -lt "$until" ]; do
        small=$(x11_windows "$title" | awk -v w="$width" '$2 < w { print $1; exit }')
        [ -n "$small" ] && { echo "$small"; return 0; }
        sleep 0.5
    done
    return 1
}

# Waits until window ID has been drawn and holds still (two pictures in a
# row the same, MIN_COLOURS colours at least), then keeps the last picture
# as OUT. Windows under Wine on Xvfb are shown black at first and drawn a
# moment later. Fails after SECONDS.
x11_settled_screenshot() {
    local id=$1 out=$2 least=$3 until=$((SECONDS + $4))
    rm -f "$out.last"
    while [ "$SECONDS" -lt "$until" ]; do
        if x11_screenshot "$id" "$out" "$least" 2>/dev/null; then
            if [ -f "$out.last" ] && cmp -s "$out" "$out.last"; then
                rm -f "$out.last"
                return 0
            fi
            cp "$out" "$out.last"
        fi
        sleep 0.5
    done
    rm -f "$out.last"
    echo "x11_settled_screenshot: window $id did not settle for $out" >&2
    return 1
}

# A click at X,Y inside window ID (BUTTON 1 by default, 3 for the right).
x11_click() {
    xdotool mousemove --window "$1" "$2" "$3" click "${4:-1}"
}
