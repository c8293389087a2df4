#!/usr/bin/env bash
# Writes a small format-0 Standard MIDI File with 120 ticks per quarter note:
#   scripts/make-song.sh FILE [TRACK_NAME] [NOTES]
# NOTES notes one after another (default 200: about 1.6 KB), each a quarter
# note long, with the track name as its first event.
set -euo pipefail
file=$1
name=${2:-Test Song}
notes=${3:-200}
hex() { printf '\\x%02x' "$1"; }
# The meta length counts bytes: in a UTF-8 locale ${#name} counts characters.
name_bytes=$(LC_ALL=C; echo ${#name})

track=$(mktemp)
trap 'rm -f "$track"' EXIT
# Bash strings cannot hold NUL bytes: the track goes straight into a file.
{
    printf "\\x00\\xff\\x03$(hex $name_bytes)%s" "$name"
    for ((i = 0; i < notes; i++)); do
        key=$(hex $((48 + i % 24)))
        printf "\\x00\\x90${key}\\x50\\x78\\x80${key}\\x40"
    done
    printf '\x00\xff\x2f\x00'
} >"$track"
length=$(stat -c %s "$track")
{
    printf 'MThd\x00\x00\x00\x06\x00\x00\x00\x01\x00\x78MTrk'
    printf "$(hex $((length >> 24 & 255)))$(hex $((length >> 16 & 255)))"
    printf "$(hex $((length >> 8 & 255)))$(hex $((length & 255)))"
    cat "$track"
} >"$file"
