#!/usr/bin/python3
"""Plays MIDI files and the songs Velnor converted from them with mido, an
independent reader, and compares their notes: every note on and off must be
there, at the same time in seconds within half a tick of 120 a quarter at
the local tempo; the only other times allowed are a note lengthened to one
tick (its length would have rounded to nothing) and a note started right
where such a note of its key ends (the converter reports both).

    tools/compare-playback.py SOURCE_FOLDER SONG_FOLDER

Pairs files by name; prints one line per song that differs and a summary.
Exit status 0 when every note of every song is as it should be.
Needs Debian's python3-mido."""
import os
import sys

import mido
from mido.midifiles import meta

# Some files carry key signatures mido cannot name; their notes still count.
_decode_key = meta.MetaSpec_key_signature.decode


def _lenient_key(self, message, data):
    try:
        _decode_key(self, message, data)
    except meta.KeySignatureError:
        message.key = "C"


meta.MetaSpec_key_signature.decode = _lenient_key


def notes(path):
    """Notes per (channel, key) in start order: [on, off, tick at on, tick at off]."""
    mid = mido.MidiFile(path, clip=True)
    division = mid.ticks_per_beat
    frames = None
    if division & 0x8000:  # time code: frames per second and ticks per frame
        fps = 256 - (division >> 8)
        frames = (29.97 if fps == 29 else fps) * (division & 0xFF)
    tempo, seconds, found, open_ = 500000, 0.0, {}, {}
    before, changed_at = tempo, -1.0  # the tempo before the last change, and when
    for msg in mido.merge_tracks(mid.tracks):
        if frames:
            seconds += msg.time / frames
        else:
            seconds += mido.tick2second(msg.time, division, tempo)
        if msg.type == "set_tempo" and not frames:
            if seconds != changed_at:
                before, changed_at = tempo, seconds
            tempo = msg.tempo
        # Half a tick of 120 a quarter; at a change, the longer of either side.
        local = max(tempo, before) if seconds == changed_at else tempo
        half = 1 / 480 if frames else local / 1e6 / 240
        if msg.type not in ("note_on", "note_off"):
            continue
        key = (msg.channel, msg.note)
        if msg.type == "note_on" and msg.velocity > 0:
            found.setdefault(key, []).append([seconds, None, half, None])
            open_.setdefault(key, []).append(len(found[key]) - 1)
        elif open_.get(key):
            note = found[key][open_[key].pop(0)]
            note[1], note[3] = seconds, half
    return found


def compare(source, song):
    """(note events, faults, lengthened or delayed) for one pair."""
    a, b = notes(source), notes(song)
    events, faults, moved = 0, [], 0
    if a.keys() != b.keys():
        return 0, ["keys differ"], 0
    for key, was_notes in a.items():
        is_notes = b[key]
        if len(was_notes) != len(is_notes):
            faults.append("%s: %d notes became %d" % (key, len(was_notes), len(is_notes)))
            continue
        lengthened = set()
        for i, (was, now) in enumerate(zip(was_notes, is_notes)):
            events += 2 if was[1] is not None else 1
            tick = 2 * now[2]
            on_ok = abs(now[0] - was[0]) <= max(was[2], now[2]) + 1e-9
            delayed = i - 1 in lengthened and abs(now[0] - is_notes[i - 1][1]) < 1e-9
            if not on_ok and not delayed:
                faults.append("%s note %d starts at %.6f, was %.6f" % (key, i, now[0], was[0]))
            if (was[1] is None) != (now[1] is None):
                faults.append("%s note %d lost its end" % (key, i))
                continue
            if was[1] is None:
                continue
            off_ok = abs(now[1] - was[1]) <= max(was[3], now[3]) + 1e-9
            one_tick = abs(now[1] - now[0] - tick) < 1e-6 and was[1] - was[0] < tick + 1e-9
            if one_tick or delayed:
                lengthened.add(i)
            if not off_ok and not one_tick and not delayed:
                faults.append("%s note %d ends at %.6f, was %.6f" % (key, i, now[1], was[1]))
            elif not off_ok or not on_ok:
                moved += 1
    return events, faults, moved


def main():
    sources, songs = sys.argv[1], sys.argv[2]
    total = bad = moved = files = 0
    for name in sorted(os.listdir(songs)):
        if not os.path.exists(os.path.join(sources, name)):
            continue
        events, faults, lengthened = compare(os.path.join(sources, name), os.path.join(songs, name))
        files += 1
        total += events
        moved += lengthened
        if faults:
            bad += 1
            print("%s: %d faults, first: %s" % (name, len(faults), faults[0]))
    print("%d songs, %d note events; %d songs differ; %d notes lengthened or delayed by the converter"
          % (files, total, bad, moved))
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
