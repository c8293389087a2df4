#!/usr/bin/env bash
# End to end through the ALSA sequencer. This machine has no /dev/snd/seq, so
# a small QEMU guest (TCG: a nested KVM guest hangs early in boot) boots
# Debian's own kernel with an initramfs of busybox, the sequencer's modules,
# the built programs and the libraries they need, and runs inside it the steps
# of scripts/e2e-jack.sh against velnor-instrument on ALSA: ports, slots,
# download with --verify, upload back (byte for byte), delete, backup, and the
# faults (a lost acknowledgement, a misplaced block, a short read).
#
#   scripts/e2e-alsa-vm.sh [BUILD_DIR] [--link none|usb|din] [--measure N M]
#                          [--smp CPUS] [--trace]
#
# --link    the instrument's link for the steps (default none: no pacing, so a
#           busy machine cannot fail them; usb paces like a USB instrument).
# --measure instead of the steps: N `velnor-cli slots` runs and M round trips
#           (download, then upload and compare) of a 20 KB song on the link,
#           each failure counted, with a guest thread that records the longest
#           gap between its 1 ms wake-ups; the log keeps the trace of each
#           failed run (both sides, one clock).
# --trace   with --measure: every run traced, not only the failed ones.
#
# Everything it needs (qemu-system-x86, busybox-static, cpio and the kernel
# package, downloaded and unpacked, never installed) comes from Debian;
# E2E_ALSA_CACHE (default /var/cache/velnor-e2e-alsa) keeps the kernel.
# Fails on any failed step; exits 0 only when the guest says it passed.
set -euo pipefail

if [ "${1:-}" = "--guest" ]; then
    guest=1
    shift
else
    guest=0
fi

# ======================================================================
# Inside the guest: the steps (bash from the initramfs, busybox for the rest).
# ======================================================================
if [ "$guest" = 1 ]; then
    link=none
    measure=""
    trace_all=0
    while [ $# -gt 0 ]; do
        case $1 in
            --link) link=$2; shift 2 ;;
            --measure) measure="$2 $3"; shift 3 ;;
            --trace) trace_all=1; shift ;;
            *) shift ;;
        esac
    done
    CLI=/velnor/velnor-cli
    INSTRUMENT=/velnor/velnor-instrument
    NAME="Velnor Virtual Instrument"
    work=/tmp/e2e
    mkdir -p "$work"
    instrument_pid=""

    fail() {
        echo "e2e FAIL: $*"
        [ -f "$work/instrument.log" ] && sed 's/^/  instrument: /' "$work/instrument.log" | tail -n 20
        exit 1
    }
    step() { echo "e2e: $*"; }
    cli() {
        local status=0
        "$CLI" "$@" >"$work/out" 2>"$work/err" || status=$?
        return $status
    }
    expect_ok() {
        cli "$@" || fail "velnor-cli $* exited $? ($(cat "$work/err"))"
    }
    stop_instrument() {
        [ -n "$instrument_pid" ] || return 0
        local status=0
        kill -TERM "$instrument_pid" 2>/dev/null || true
        wait "$instrument_pid" 2>/dev/null || status=$?
        instrument_pid=""
        [ "$status" -eq 0 ] || fail "velnor-instrument exited $status"
    }
    # start_instrument [OPTIONS...]: starts it on ALSA, waits for its ready
    # line and its two ports; sets ports (the options that name both).
    start_instrument() {
        stop_instrument
        "$INSTRUMENT" --api alsa "$@" >"$work/instrument.log" 2>&1 &
        instrument_pid=$!
        local i
        for i in $(seq 100); do
            grep -q "ready on alsa" "$work/instrument.log" && break
            kill -0 "$instrument_pid" 2>/dev/null || fail "velnor-instrument ended"
            sleep 0.1
        done
        grep -q "ready on alsa" "$work/instrument.log" || fail "velnor-instrument never became ready"
        expect_ok ports
        # The sequencer's names: "client:port client-number:port-number".
        in_port=$(awk -F'\t' -v n="$NAME:" '$1 == "in" && index($3, n) == 1 { print $3; exit }' "$work/out")
        out_port=$(awk -F'\t' -v n="$NAME:" '$1 == "out" && index($3, n) == 1 { print $3; exit }' "$work/out")
        [ -n "$in_port" ] && [ -n "$out_port" ] || fail "the instrument's ALSA ports are not listed: $(cat "$work/out")"
        ports=(--in "$in_port" --out "$out_port")
    }

    [ -c /dev/snd/seq ] || fail "no /dev/snd/seq in the guest"
    step "guest: $(uname -r), $(nproc) CPU(s), ALSA sequencer $(cat /proc/asound/version 2>/dev/null | head -n 1)"

    if [ -n "$measure" ]; then
        set -- $measure
        slots_runs=$1
        trips=$2
        /velnor/wakeup-gaps >"$work/gaps" &
        gaps_pid=$!
        start_instrument --link "$link"
        step "measuring on link $link: $slots_runs slots runs, $trips round trips of $(stat -c %s /velnor/song20k.mid) bytes"
        trace=()
        [ "$trace_all" = 1 ] && trace=(--trace)
        # A failed run is run with its trace kept, and the instrument's trace
        # lines (its receipts and acknowledgements) printed beside them.
        slots_failed=0
        t0=$(date +%s)
        for i in $(seq "$slots_runs"); do
            : >"$work/instrument.log"
            if ! cli slots --trace "${ports[@]}" || ! grep -q "Scale.mid" "$work/out"; then
                slots_failed=$((slots_failed + 1))
                echo "--- slots run $i failed: $(head -n 1 "$work/err")"
                cat "$work/err" "$work/instrument.log" | grep '^\[' | tail -n 40 || true
            fi
        done
        t1=$(date +%s)
        step "slots: $slots_failed of $slots_runs failed ($((t1 - t0)) s)"
        trips_failed=0
        download_ms=0
        upload_ms=0
        for i in $(seq "$trips"); do
            : >"$work/instrument.log"
            rm -f "$work/back.mid"
            a=${EPOCHREALTIME/./}
            ok=1
            cli download /velnor/song20k.mid 9 --trace "${ports[@]}" || ok=0
            b=${EPOCHREALTIME/./}
            [ "$ok" = 1 ] && { cli upload 9 "$work/back.mid" "${ports[@]}" || ok=0; }
            c=${EPOCHREALTIME/./}
            [ "$ok" = 1 ] && { cmp -s /velnor/song20k.mid "$work/back.mid" || ok=0; }
            if [ "$ok" = 0 ]; then
                trips_failed=$((trips_failed + 1))
                echo "--- round trip $i failed: $(head -n 1 "$work/err")"
                cat "$work/err" "$work/instrument.log" | grep '^\[' | tail -n 40 || true
            else
                download_ms=$((download_ms + (b - a) / 1000))
                upload_ms=$((upload_ms + (c - b) / 1000))
            fi
        done
        good=$((trips - trips_failed))
        step "round trips: $trips_failed of $trips failed"
        [ "$good" -gt 0 ] && step "mean of the good ones: download $((download_ms / good)) ms, upload $((upload_ms / good)) ms (each a whole velnor-cli run)"
        kill -TERM "$gaps_pid" 2>/dev/null || true
        wait "$gaps_pid" 2>/dev/null || true
        step "guest wake-up gaps: $(cat "$work/gaps")"
        stop_instrument
        echo "e2e: MEASURED slots_failed=$slots_failed trips_failed=$trips_failed"
        exit 0
    fi

    start_instrument --link "$link"
    step "$(head -n 1 "$work/instrument.log")"
    step "ports: in \"$in_port\", out \"$out_port\""

    song=/velnor/song.mid
    expect_ok check "$song"
    step "song of $(stat -c %s "$song") bytes: $(cat "$work/out")"

    expect_ok ports
    grep -qF "$in_port" "$work/out" && grep -qF "$out_port" "$work/out" || fail "ports does not list both"
    step "velnor-cli ports lists both"

    # Midi Through (snd-seq-dummy) sends back whatever it is sent: the
    # search must hear its echo of the connect request and pass it over.
    through=$(awk -F'\t' '$1 == "out" && index($3, "Midi Through:") == 1 { print $3; exit }' "$work/out")
    [ -n "$through" ] || fail "no Midi Through port in the guest: $(cat "$work/out")"
    t0=$(cut -d' ' -f1 /proc/uptime)
    expect_ok find
    t1=$(cut -d' ' -f1 /proc/uptime)
    [ "$(grep -c . "$work/out")" -eq 1 ] || fail "find printed more or less than one pair: $(cat "$work/out")"
    IFS=$'\t' read -r _ found_in _ found_out found_name <"$work/out"
    [ "$found_in" = "$in_port" ] && [ "$found_out" = "$out_port" ] && [ "$found_name" = "$NAME" ] ||
        fail "find printed: $(cat "$work/out")"
    step "find: the instrument's pair alone beside \"$through\", in $(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%d", (b - a) * 1000 }') ms"
    expect_ok slots --in auto --out auto
    grep -q "Scale.mid" "$work/out" || fail "slots --in auto --out auto: no demo song: $(cat "$work/out")"
    step "slots --in auto --out auto: $(wc -l <"$work/out") lines"

    expect_ok slots "${ports[@]}"
    grep -q "Scale.mid" "$work/out" || fail "slots: no demo song: $(cat "$work/out")"
    step "slots: $(wc -l <"$work/out") lines, demo songs present"

    expect_ok download "$song" 7 --verify "${ports[@]}"
    step "download into slot 7, verified"
    expect_ok upload 7 "$work/back.mid" "${ports[@]}"
    cmp "$song" "$work/back.mid" || fail "the song came back different"
    step "upload of slot 7 is byte for byte the song sent"

    expect_ok delete 7 "${ports[@]}"
    expect_ok slots "${ports[@]}"
    grep -q "E2E Song" "$work/out" && fail "slot 7 still holds the song after delete"
    step "delete: slot 7 is free again"

    expect_ok backup "$work/backup" "${ports[@]}"
    saved=("$work/backup"/*)
    [ ${#saved[@]} -ge 3 ] || fail "backup wrote ${#saved[@]} files, expected the 3 demo songs"
    expect_ok check "${saved[@]}"
    step "backup: ${#saved[@]} files, all accepted by check"

    # Packet 1 is the connect request, 2 the song header, 3 on the song data.
    start_instrument --link "$link" --fault drop-ack:5
    status=0
    cli download "$song" 8 "${ports[@]}" || status=$?
    [ "$status" -eq 1 ] || fail "download with a lost acknowledgement exited $status, expected 1"
    step "lost acknowledgement on download: exit 1 ($(head -n 1 "$work/err"))"
    expect_ok slots "${ports[@]}"
    grep -q "^8	Empty" "$work/out" || fail "slot 8 is not empty after the failed download"
    step "slot 8 is still empty"

    start_instrument --link "$link" --fault block-index:0=1
    status=0
    cli upload 0 "$work/bad.mid" "${ports[@]}" || status=$?
    [ "$status" -eq 1 ] || fail "upload of a misplaced block exited $status, expected 1"
    [ ! -e "$work/bad.mid" ] || fail "the failed upload left a file behind"
    step "misplaced block on upload: exit 1, no file ($(head -n 1 "$work/err"))"

    start_instrument --link "$link" --fault short-read:300
    status=0
    cli upload 0 "$work/short.mid" "${ports[@]}" || status=$?
    [ "$status" -eq 1 ] || fail "upload of a short read exited $status, expected 1"
    [ ! -e "$work/short.mid" ] && [ ! -e "$work/short.mid.velnor-part" ] || fail "the short upload left a file behind"
    step "short read on upload: exit 1, no file ($(head -n 1 "$work/err"))"

    stop_instrument
    step "velnor-instrument ended cleanly"
    echo "e2e: ALSA end-to-end passed"
    exit 0
fi

# ======================================================================
# On the host: packages, kernel, initramfs, QEMU.
# ======================================================================
build=build
link=none
measure=()
smp=2
trace=()
while [ $# -gt 0 ]; do
    case $1 in
        --link) link=$2; shift 2 ;;
        --measure) measure=(--measure "$2" "$3"); shift 3 ;;
        --smp) smp=$2; shift 2 ;;
        --trace) trace=(--trace); shift ;;
        -*) echo "unknown option $1" >&2; exit 2 ;;
        *) build=$1; shift ;;
    esac
done
here=$(cd "$(dirname "$0")" && pwd)
CLI=$build/src/cli/velnor-cli
INSTRUMENT=$build/src/instrument-app/velnor-instrument
cache=${E2E_ALSA_CACHE:-/var/cache/velnor-e2e-alsa}
[ -x "$CLI" ] && [ -x "$INSTRUMENT" ] || { echo "e2e-alsa: build velnor-cli and velnor-instrument in $build first" >&2; exit 1; }

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
missing=()
for p in qemu-system-x86 busybox-static cpio; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "e2e-alsa: installing ${missing[*]}"
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Debian's kernel, unpacked from its package (never installed on the host).
$sudo mkdir -p "$cache"
$sudo chown "$(id -u)" "$cache"
kernel_pkg=$(apt-cache depends linux-image-amd64 2>/dev/null | awk '/Depends: linux-image-/ { print $2; exit }')
if [ -z "$kernel_pkg" ]; then
    $sudo apt-get update -qq
    kernel_pkg=$(apt-cache depends linux-image-amd64 | awk '/Depends: linux-image-/ { print $2; exit }')
fi
[ -n "$kernel_pkg" ] || { echo "e2e-alsa: Debian names no kernel package" >&2; exit 1; }
kdir="$cache/$kernel_pkg"
if [ ! -f "$kdir/done" ]; then
    rm -rf "$kdir"
    mkdir -p "$kdir"
    (cd "$kdir" && apt-get download "$kernel_pkg" >/dev/null 2>&1) ||
        { echo "e2e-alsa: cannot download $kernel_pkg" >&2; exit 1; }
    dpkg-deb -x "$kdir"/*.deb "$kdir/root"
    rm -f "$kdir"/*.deb
    touch "$kdir/done"
fi
vmlinuz=$(ls "$kdir"/root/boot/vmlinuz-* | head -n 1)
moddir=$(ls -d "$kdir"/root/lib/modules/* | head -n 1)

work=$(mktemp -d /tmp/velnor-e2e-alsa.XXXXXX)
trap 'rm -rf "$work"' EXIT
root="$work/root"
mkdir -p "$root"/{bin,dev,proc,sys,tmp,velnor,lib/modules,etc,root}

cp /bin/busybox "$root/bin/busybox"
for m in soundcore snd snd-timer snd-seq-device snd-seq snd-seq-dummy; do
    f=$(find "$moddir" -name "$m.ko*" | head -n 1)
    [ -n "$f" ] || { echo "e2e-alsa: module $m missing from $kernel_pkg" >&2; exit 1; }
    case $f in
        *.xz) xz -dc "$f" >"$root/lib/modules/$m.ko" ;;
        *.zst) zstd -qdc "$f" >"$root/lib/modules/$m.ko" ;;
        *) cp "$f" "$root/lib/modules/$m.ko" ;;
    esac
done

# The wake-up recorder: sleeps 1 ms at a time and reports the longest gap
# between two wake-ups, and how many exceeded 10 and 50 ms.
cat >"$work/wakeup-gaps.cpp" <<'EOF'
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>
static std::atomic<bool> stop{false};
int main() {
    std::signal(SIGTERM, [](int) { stop = true; });
    using C = std::chrono::steady_clock;
    auto last = C::now();
    long long longest = 0, over10 = 0, over50 = 0, wakes = 0;
    while (!stop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        const auto now = C::now();
        const long long gap = std::chrono::duration_cast<std::chrono::microseconds>(now - last).count();
        last = now;
        ++wakes;
        if (gap > longest) longest = gap;
        over10 += gap > 10000;
        over50 += gap > 50000;
    }
    std::printf("longest %.1f ms over %lld wake-ups, %lld over 10 ms, %lld over 50 ms\n",
                longest / 1000.0, wakes, over10, over50);
}
EOF
g++ -O2 -pthread -o "$root/velnor/wakeup-gaps" "$work/wakeup-gaps.cpp"

cp "$CLI" "$INSTRUMENT" "$root/velnor/"
cp "$(command -v bash)" "$root/bin/bash"
"$here/make-song.sh" "$root/velnor/song.mid" "E2E Song" 200
"$here/make-song.sh" "$root/velnor/song20k.mid" "E2E Big Song" 2500
cp "$0" "$root/e2e.sh"
# Every library ldd names, at the same path, and the loader.
for lib in $(ldd "$CLI" "$INSTRUMENT" "$root/velnor/wakeup-gaps" "$root/bin/bash" |
    awk '/=> \// { print $3 } /^\t\/lib/ { print $1 }' | sort -u); do
    mkdir -p "$root$(dirname "$lib")"
    cp -L "$lib" "$root$lib"
done
mkdir -p "$root/usr/share"
cp -r /usr/share/alsa "$root/usr/share/alsa"

cat >"$root/init" <<EOF
#!/bin/busybox sh
/bin/busybox --install -s /bin
export PATH=/bin HOME=/root
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
mount -t tmpfs tmp /tmp
mkdir -p /dev/shm && mount -t tmpfs shm /dev/shm
for m in soundcore snd snd-timer snd-seq-device snd-seq snd-seq-dummy; do insmod /lib/modules/\$m.ko || echo "insmod \$m failed"; done
ifconfig lo 127.0.0.1 up 2>/dev/null
cd /tmp
bash /e2e.sh --guest --link $link ${measure[*]} ${trace[*]}
echo "E2E-ALSA-GUEST-EXIT \$?"
poweroff -f
EOF
chmod +x "$root/init"
(cd "$root" && find . | cpio -o -H newc --quiet | gzip -1) >"$work/initrd.gz"

echo "e2e-alsa: booting $kernel_pkg under QEMU (TCG, $smp CPU(s)), initramfs $(($(stat -c %s "$work/initrd.gz") / 1024)) KB"
status=0
timeout "${E2E_ALSA_TIMEOUT:-1800}" qemu-system-x86_64 -accel tcg -m 1024 -smp "$smp" \
    -kernel "$vmlinuz" -initrd "$work/initrd.gz" \
    -append "console=ttyS0 quiet loglevel=3 panic=-1" \
    -nographic -no-reboot -nodefaults -serial stdio </dev/null | tee "$work/console.log" || status=$?
[ "$status" -eq 0 ] || { echo "e2e-alsa: QEMU ended with $status" >&2; exit 1; }
grep -q "^E2E-ALSA-GUEST-EXIT 0" "$work/console.log" || { echo "e2e-alsa: the guest's steps failed" >&2; exit 1; }
exit 0
