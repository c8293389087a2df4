#!/usr/bin/env bash
# End to end through a real MIDI system: a private JACK server, velnor-instrument
# on its ports among two JACK MIDI clients that never answer (jack_midi_dump,
# jack_midiseq), velnor-cli finding it (find, --in auto --out auto, both
# timed), and velnor-cli driving it by port name: ports, slots, download,
# upload back (byte for byte), delete, slots, backup of the demo songs, and a
# lost acknowledgement that must fail cleanly.
#
#   scripts/e2e-jack.sh [BUILD_DIR] [SERVER]
#
# SERVER (or E2E_SERVER) is the JACK server the steps run against:
#   jackd     jackd with the dummy driver (the default);
#   pipewire  a private PipeWire daemon (XDG_RUNTIME_DIR in a temporary
#             folder), every JACK program of the steps run under pw-jack;
#   running   the one JACK clients of this environment find already.
# VELNOR_CLI and VELNOR_INSTRUMENT name other binaries (the installed ones, or
# sanitizer builds, for two). Every velnor-cli run must end with the status
# expected of it and velnor-instrument must end cleanly, so a sanitizer's
# report in either fails the run. Skips (exit 0, with a line saying why) only
# when the server cannot run.
set -euo pipefail

build=${1:-build}
server_kind=${2:-${E2E_SERVER:-jackd}}
CLI=${VELNOR_CLI:-$build/src/cli/velnor-cli}
INSTRUMENT=${VELNOR_INSTRUMENT:-$build/src/instrument-app/velnor-instrument}
NAME="Velnor Virtual Instrument"

work=$(mktemp -d /tmp/velnor-e2e.XXXXXX)
export JACK_NO_START_SERVER=1
jack_pid=""
pipewire_pid=""
instrument_pid=""
silent_pids=()

stop() {  # stop PID: SIGTERM, then wait for it
    local pid=$1
    [ -n "$pid" ] || return 0
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
}
# Stops velnor-instrument and checks that it ended cleanly: a build with a
# sanitizer that found a fault ends with a status of its own.
stop_instrument() {
    [ -n "$instrument_pid" ] || return 0
    local status=0
    kill -TERM "$instrument_pid" 2>/dev/null || true
    wait "$instrument_pid" 2>/dev/null || status=$?
    instrument_pid=""
    [ "$status" -eq 0 ] || fail "velnor-instrument exited $status"
}
cleanup() {
    local status=$?
    stop "$instrument_pid"
    for pid in "${silent_pids[@]}"; do stop "$pid"; done
    stop "$jack_pid"
    stop "$pipewire_pid"
    if [ "$status" -ne 0 ]; then
        echo "--- e2e failed (exit $status); logs:"
        tail -n 20 "$work"/*.log 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "e2e FAIL: $*" >&2
    exit 1
}
step() { echo "e2e: $*"; }

# Runs velnor-cli once, keeping its output in $work/out; returns its exit
# status.
cli() {
    local status=0
    "$CLI" "$@" >"$work/out" 2>"$work/err" || status=$?
    cat "$work/out" "$work/err" >>"$work/cli.log"
    return $status
}
expect_ok() {
    cli "$@" || fail "velnor-cli $* exited $? ($(cat "$work/err"))"
}

# ---- the JACK server ----
need() {  # need TOOL... PACKAGE: skips when a tool is missing
    local package=${*: -1}
    for tool in "${@:1:$#-1}"; do
        if ! command -v "$tool" >/dev/null; then
            echo "e2e SKIP: $tool is not installed (Debian: $package)"
            exit 0
        fi
    done
}
start_jackd() {
    need jackd jack_wait jack_lsp jackd2
    local server="velnor-e2e-$$"
    export JACK_DEFAULT_SERVER=$server
    # Synchronous mode: a client that is late in a cycle delays the cycle
    # instead of losing its MIDI data, which a busy CI machine would otherwise see.
    jackd -n "$server" -r -S -t 2000 -d dummy -r 48000 -p 256 >"$work/jackd.log" 2>&1 &
    jack_pid=$!
    if ! jack_wait -w -t 10 >/dev/null 2>&1; then
        echo "e2e SKIP: the JACK server would not start:"
        sed 's/^/  /' "$work/jackd.log"
        exit 0
    fi
    local socket="/dev/shm/jack_${server}_$(id -u)_0"
    [ -S "$socket" ] || fail "the JACK server runs but its socket $socket is missing"
    step "JACK server $server is up"
}
# Starts a PipeWire daemon of our own and runs this script again under
# pw-jack against it; the steps find it as JACK clients find any server.
run_on_pipewire() {
    need pipewire pipewire
    need pw-jack pipewire-jack
    need jack_wait jack_lsp jackd2
    export XDG_RUNTIME_DIR="$work/runtime" PIPEWIRE_RUNTIME_DIR="$work/runtime"
    unset PIPEWIRE_REMOTE JACK_DEFAULT_SERVER
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    pipewire >"$work/pipewire.log" 2>&1 &
    pipewire_pid=$!
    if ! pw-jack jack_wait -w -t 10 >/dev/null 2>&1; then
        echo "e2e SKIP: PipeWire would not start:"
        sed 's/^/  /' "$work/pipewire.log"
        exit 0
    fi
    step "PipeWire $(pipewire --version | sed -n 's/^Linked with libpipewire //p') is up, JACK through pw-jack"
    local status=0
    pw-jack "$0" "$build" running || status=$?
    [ "$status" -eq 0 ] || fail "the steps under pw-jack failed (exit $status)"
    echo "e2e: PipeWire end-to-end passed"
    exit 0
}
case $server_kind in
    jackd) start_jackd ;;
    pipewire) run_on_pipewire ;;
    running)
        jack_wait -c >/dev/null 2>&1 || fail "no JACK server answers"
        step "a JACK server answers"
        ;;
    *) fail "unknown server \"$server_kind\" (jackd, pipewire or running)" ;;
esac

# ---- the instrument ----
# start_instrument [OPTIONS...]: starts it and waits for its ready line and
# its two ports; sets instrument_pid, in_port (the program's input, the
# instrument's output), out_port, and ports (the options that name both).
# The names may change from one start to the next (PipeWire numbers them).
start_instrument() {
    stop_instrument
    : >"$work/instrument.log"
    "$INSTRUMENT" --api jack "$@" >"$work/instrument.log" 2>&1 &
    instrument_pid=$!
    for _ in $(seq 100); do
        grep -q "ready on jack" "$work/instrument.log" && break
        kill -0 "$instrument_pid" 2>/dev/null || fail "velnor-instrument ended: $(cat "$work/instrument.log")"
        sleep 0.1
    done
    grep -q "ready on jack" "$work/instrument.log" || fail "velnor-instrument never became ready"
    in_port=""
    out_port=""
    for _ in $(seq 100); do
        # jack_lsp -p: a port name line, then its properties on the next line.
        in_port=$(jack_lsp -p | awk -v n="$NAME" \
            'index($0, n) == 1 { port = $0; next } port != "" && /output/ { print port; exit } { port = "" }')
        out_port=$(jack_lsp -p | awk -v n="$NAME" \
            'index($0, n) == 1 { port = $0; next } port != "" && /input/ { print port; exit } { port = "" }')
        [ -n "$in_port" ] && [ -n "$out_port" ] && break
        sleep 0.1
    done
    [ -n "$in_port" ] && [ -n "$out_port" ] || fail "the instrument's JACK ports did not appear"
    ports=(--in "$in_port" --out "$out_port")
}

start_instrument --link usb
step "$(head -n 1 "$work/instrument.log")"
step "ports: in \"$in_port\", out \"$out_port\""

# ---- finding the instrument among clients that never answer ----
# jack_midi_dump only listens (a port velnor-cli sends to), jack_midiseq only
# plays a note loop (a port velnor-cli hears notes from): neither answers the
# connect request. Both come with jackd2.
need jack_midi_dump jack_midiseq jackd2
jack_midi_dump >"$work/midi_dump.log" 2>&1 &
silent_pids+=($!)
jack_midiseq e2e-seq 24000 0 60 8000 12000 63 8000 >"$work/midiseq.log" 2>&1 &
silent_pids+=($!)
for _ in $(seq 100); do
    jack_lsp | grep -q "midi-monitor" && jack_lsp | grep -q "e2e-seq" && break
    sleep 0.1
done
jack_lsp | grep -q "midi-monitor" && jack_lsp | grep -q "e2e-seq" ||
    fail "jack_midi_dump and jack_midiseq did not show their ports"
expect_ok ports
port_id() {  # port_id in|out NAME: the identifier 'velnor-cli ports' gives
    awk -F '\t' -v d="$1" -v n="$2" '$1 == d && $3 == n { print $2; exit }' "$work/out"
}
in_id=$(port_id in "$in_port")
out_id=$(port_id out "$out_port")
[ -n "$in_id" ] && [ -n "$out_id" ] || fail "velnor-cli ports does not list the instrument: $(cat "$work/out")"
step "velnor-cli ports: $(grep -c . "$work/out") ports, among them $(grep -E "midi-monitor|e2e-seq" "$work/out" | cut -f 3 | paste -sd ',' -)"
ms_since() { echo $((($(date +%s%N) - $1) / 1000000)); }
t0=$(date +%s%N)
expect_ok find
find_ms=$(ms_since "$t0")
expected=$(printf '%s\t%s\t%s\t%s\t%s' "$in_id" "$in_port" "$out_id" "$out_port" "$NAME")
[ "$(cat "$work/out")" = "$expected" ] || fail "find printed: $(cat "$work/out") (expected: $expected)"
step "find: the instrument's pair alone, in ${find_ms} ms: $(cat "$work/out")"
t0=$(date +%s%N)
expect_ok slots --in auto --out auto
auto_ms=$(ms_since "$t0")
grep -q "Scale.mid" "$work/out" || fail "slots --in auto --out auto: no demo song: $(cat "$work/out")"
t0=$(date +%s%N)
expect_ok slots "${ports[@]}"
named_ms=$(ms_since "$t0")
step "slots --in auto --out auto: $(wc -l <"$work/out") lines in ${auto_ms} ms (by name: ${named_ms} ms)"
for pid in "${silent_pids[@]}"; do stop "$pid"; done
silent_pids=()
# What the silent listener heard: the connect request and nothing else.
request="f0 00 1e 2d 55 52 53 57 00 00 00 1c 01 f7"
heard=$(sed -n 's/^ *[0-9]*: //p' "$work/midi_dump.log")
[ -n "$heard" ] || fail "jack_midi_dump heard nothing: the search never tried its port"
[ -z "$(grep -vxF "$request" <<<"$heard")" ] || fail "the search sent more than the connect request: $heard"
step "jack_midi_dump heard the connect request $(grep -c . <<<"$heard") time(s) and nothing else"

# ---- a song of our own: format 0, 120 ticks, 200 notes (about 1.6 KB) ----
song="$work/song.mid"
"$(dirname "$0")/make-song.sh" "$song" "E2E Song" 200
expect_ok check "$song"
step "generated $(stat -c %s "$song") byte song: $(cat "$work/out")"

# ---- the dialogue ----
expect_ok ports
grep -qF "$in_port" "$work/out" || fail "velnor-cli ports does not list \"$in_port\""
grep -qF "$out_port" "$work/out" || fail "velnor-cli ports does not list \"$out_port\""
step "velnor-cli ports lists both"

expect_ok slots "${ports[@]}"
grep -q "Scale.mid" "$work/out" || fail "slots: no demo song: $(cat "$work/out")"
step "slots: $(wc -l <"$work/out") lines, demo songs present"

expect_ok download "$song" 7 "${ports[@]}"
step "download into slot 7"
expect_ok upload 7 "$work/back.mid" "${ports[@]}"
cmp "$song" "$work/back.mid" || fail "the song came back different"
step "upload of slot 7 is byte for byte the song sent"

expect_ok delete 7 "${ports[@]}"
expect_ok slots "${ports[@]}"
grep -q "E2E Song" "$work/out" && fail "slot 7 still holds the song after delete: $(cat "$work/out")"
step "delete: slot 7 is free again"

expect_ok backup "$work/backup" "${ports[@]}"
shopt -s nullglob
saved=("$work/backup"/*)
[ ${#saved[@]} -ge 3 ] || fail "backup wrote ${#saved[@]} files, expected the 3 demo songs"
expect_ok check "${saved[@]}"
step "backup: ${#saved[@]} files, all accepted by check"

# ---- faults: a lost acknowledgement, a block out of place, a short read ----
# Packet 1 is the connect request, 2 the song header, 3 on the song data: the
# 3rd data packet goes unacknowledged and the download must fail cleanly,
# leaving the slot empty.
start_instrument --link usb --fault drop-ack:5
status=0
cli download "$song" 8 "${ports[@]}" || status=$?
[ "$status" -eq 1 ] || fail "download with a lost acknowledgement exited $status, expected 1"
step "lost acknowledgement on download: exit 1 ($(head -n 1 "$work/err"))"
expect_ok slots "${ports[@]}"
grep -q "^8	Empty" "$work/out" || fail "slot 8 is not empty after the failed download: $(cat "$work/out")"
step "slot 8 is still empty"

# A block sent with the wrong index: the upload must fail and write no file.
start_instrument --link usb --fault block-index:0=1
status=0
cli upload 0 "$work/bad.mid" "${ports[@]}" || status=$?
[ "$status" -eq 1 ] || fail "upload of a misplaced block exited $status, expected 1"
[ ! -e "$work/bad.mid" ] || fail "the failed upload left a file behind"
step "misplaced block on upload: exit 1, no file ($(head -n 1 "$work/err"))"

# A read that announces 300 bytes more than its blocks carry: the upload must
# fail and write no file (nor leave its partial file).
start_instrument --link usb --fault short-read:300
status=0
cli upload 0 "$work/short.mid" "${ports[@]}" || status=$?
[ "$status" -eq 1 ] || fail "upload of a short read exited $status, expected 1"
[ ! -e "$work/short.mid" ] && [ ! -e "$work/short.mid.velnor-part" ] ||
    fail "the short upload left a file behind"
step "short read on upload: exit 1, no file ($(head -n 1 "$work/err"))"

stop_instrument
step "velnor-instrument ended cleanly"

echo "e2e: JACK end-to-end passed"
