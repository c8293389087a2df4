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
