#!/usr/bin/python3
"""The peer converter of bench_convert: Debian's python3-mido merges the
tracks, rescales every delta time to 120 ticks a quarter and saves, for every
MIDI file of a folder; prints the MB/s of input. With a second folder, writes
the songs there too (for tools/compare-playback.py).

    convert_mido.py FOLDER [PASSES] [OUT_FOLDER]"""
import io
import os
import sys
import time

import mido


def convert(data):
    mid = mido.MidiFile(file=io.BytesIO(data), clip=True)
    track = mido.MidiTrack()
    for msg in mido.merge_tracks(mid.tracks):
        msg.time = round(msg.time * 120 / mid.ticks_per_beat)
        track.append(msg)
    out = mido.MidiFile(type=0, ticks_per_beat=120)
    out.tracks.append(track)
    buffer = io.BytesIO()
    out.save(file=buffer)
    return buffer.getvalue()


def main():
    folder = sys.argv[1]
    passes = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    target = sys.argv[3] if len(sys.argv) > 3 else None
    files = {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), "rb") as f:
            files[name] = f.read()
    done, total, failed = 0.0, 0, 0
    for _ in range(passes):
        start = time.process_time()
        for name, data in files.items():
            try:
                song = convert(data)
            except Exception:
                failed += 1
                continue
            total += len(data)
            if target:
                with open(os.path.join(target, name), "wb") as f:
                    f.write(song)
        done += time.process_time() - start
    print("mido: %.2f MB/s (%d files, %d refused)" % (total / done / 1e6, len(files), failed // passes))


main()
