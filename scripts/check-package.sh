#!/usr/bin/env bash
# Installs the Debian package built by `make package` on this machine and
# runs what it installed: velnor-cli slots and check, the desktop entry and
# AppStream data through their validators, the program's layout (Help.mht
# beside the program), the window program as an ordinary user (its
# Repository must land in the user's data folder), the JACK end-to-end test
# with the installed binaries, and removal. Needs root (apt-get).
#   scripts/check-package.sh [BUILD_DIR]
set -euo pipefail
build=${1:-build}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d /tmp/velnor-package.XXXXXX)
gui_pid=""
cleanup() {
    if [ -n "$gui_pid" ]; then kill -TERM "$gui_pid" 2>/dev/null || true; wait "$gui_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "package FAIL: $*" >&2
    exit 1
}
step() { echo "package: $*"; }

debs=("$build"/velnor_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "expected one velnor_*.deb in $build, found: ${debs[*]}"
deb=$(readlink -f "${debs[0]}")
step "$(basename "$deb"), $(stat -c %s "$deb") bytes"
dpkg-deb --field "$deb" Package Version Section Maintainer Depends | sed 's/^/  /'
depends=$(dpkg-deb --field "$deb" Depends)
for lib in libc6 libqt6widgets6 librtmidi6 qt6-qpa-plugins; do
    grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log"; fail "apt-get install failed"; }
step "installed: $(dpkg-query -W -f='${Package} ${Version} ${Status}' velnor)"

# The installed command-line tools.
command -v velnor-cli velnor-instrument velnor >/dev/null || fail "a program is missing from PATH"
velnor-cli slots >"$work/slots" 2>&1 || fail "velnor-cli slots: $(cat "$work/slots")"
grep -q "Scale.mid" "$work/slots" || fail "velnor-cli slots shows no demo song: $(cat "$work/slots")"
step "velnor-cli slots: $(wc -l <"$work/slots") lines"
"$here/make-song.sh" "$work/Package Song.mid" "Package Song" 16
velnor-cli check "$work/Package Song.mid" || fail "velnor-cli check refused a generated song"
velnor-instrument --help >/dev/null || fail "velnor-instrument --help"

# The layout: the program with its help document, reached through bin/velnor.
program=$(readlink -f "$(command -v velnor)")
[ "$program" = /usr/libexec/velnor/velnor ] || fail "velnor resolves to $program"
[ -f /usr/libexec/velnor/Help.mht ] || fail "Help.mht is not beside the program"
for size in 16 24 32 48 64 128 256; do
    [ -f "/usr/share/icons/hicolor/${size}x${size}/apps/org.velnor.Velnor.png" ] ||
        fail "no ${size}x${size} icon"
done
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate /usr/share/applications/org.velnor.Velnor.desktop
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net --pedantic /usr/share/metainfo/org.velnor.Velnor.metainfo.xml
fi
step "layout, icons, desktop entry and AppStream data are right"

# The window program as an ordinary user: its folder is not writable, so the
# Repository goes to the user's data folder.
home="$work/home"
mkdir -p "$home"
chmod 755 "$work"
chown nobody:nogroup "$home"
setpriv --reuid=nobody --regid=nogroup --clear-groups \
    env -i HOME="$home" PATH=/usr/bin:/bin QT_QPA_PLATFORM=offscreen velnor >"$work/gui.log" 2>&1 &
gui_pid=$!
repository="$home/.local/share/Velnor/Velnor/Repository"
for _ in $(seq 300); do
    [ -d "$repository" ] && break
    kill -0 "$gui_pid" 2>/dev/null || fail "velnor ended at start: $(cat "$work/gui.log")"
    sleep 0.1
done
[ -d "$repository" ] || fail "no Repository in the user's data folder: $(find "$home")"
[ ! -e /usr/libexec/velnor/Repository ] || fail "a Repository was made in the program folder"
kill -TERM "$gui_pid"
wait "$gui_pid" 2>/dev/null || true
gui_pid=""
step "velnor as an ordinary user keeps its Repository in ${repository#"$home"/}"

# The whole dialogue once more, with the installed binaries.
VELNOR_CLI=/usr/bin/velnor-cli VELNOR_INSTRUMENT=/usr/bin/velnor-instrument "$here/e2e-jack.sh"

DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq velnor >"$work/apt.log" 2>&1 ||
    { cat "$work/apt.log"; fail "apt-get remove failed"; }
[ ! -e /usr/libexec/velnor ] && [ ! -e /usr/bin/velnor ] || fail "removal left files behind"
step "removed cleanly"
