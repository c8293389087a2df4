#pragma once
// Plays a Standard MIDI File on paper: every event with its time in seconds,
// worked out straight from the file's own tempo map in floating point. The
// converter's tests compare a source and its song this way.

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "songs/StandardMidiFile.h"

namespace velnor::test {

struct Heard {
    double seconds = 0;
    double tickSeconds =
        0;  ///< one tick of 120 a quarter at the file's tempo here (the longer at a change)
    double nextTick = 0;         ///< the same from here on (the tempo after a change)
    std::vector<uint8_t> bytes;  ///< channel events: status and data; others: as in the file
    int track = 0;
    size_t index = 0;  ///< place in its track
};

struct Playback {
    bool ok = false;
    std::vector<Heard> events;  ///< in time order, End of Track and left-out kinds excluded
    double end = 0;             ///< time of the latest End of Track
};

inline Playback Play(const std::vector<uint8_t>& file) {
    Playback play;
    SmfContents c;
    if (ReadStandardMidiFile(file, c) != SmfReadResult::Ok) return play;
    const bool timeCode = c.division & 0x8000;
    double frameTick = 0;
    if (timeCode) {
        const int frames = -int(int8_t(c.division >> 8));
        frameTick = 1.0 / ((frames == 29 ? 29.97 : frames) * (c.division & 0xFF));
    }
    // (tick, track, index) -> tempo in microseconds per quarter
    std::vector<std::tuple<uint64_t, int, size_t, double>> tempos;
    for (size_t i = 0; i < c.events.size(); ++i) {
        const SmfEvent& e = c.events[i];
        const uint8_t* d = file.data() + e.begin;
        if (!timeCode && e.status == 0xFF && e.type == 0x51 && e.size == 6) {
            tempos.emplace_back(e.tick, e.track, i, double(d[3] << 16 | d[4] << 8 | d[5]));
        }
    }
    std::sort(tempos.begin(), tempos.end());
    const auto at = [&](uint64_t tick, double& tickSeconds, double& nextTick) {
        if (timeCode) {
            tickSeconds = nextTick = 1.0 / 240;  // 120 a quarter at 120 beats a minute
            return double(tick) * frameTick;
        }
        double seconds = 0;
        uint64_t from = 0;
        double tempo = 500000;
        double longest = 0;  // at a change, the longer of the ticks on either side
        for (const auto& [t, track, i, value] : tempos) {
            if (t > tick) break;
            seconds += double(t - from) * tempo / 1e6 / c.division;
            if (t == tick) longest = std::max(longest, tempo);
            from = t;
            tempo = std::max(value, 1.0);
        }
        tickSeconds = std::max(longest, tempo) / 1e6 / 120;
        nextTick = tempo / 1e6 / 120;
        return seconds + double(tick - from) * tempo / 1e6 / c.division;
    };
    for (size_t i = 0; i < c.events.size(); ++i) {
        const SmfEvent& e = c.events[i];
        const uint8_t* d = file.data() + e.begin;
        Heard h;
        h.seconds = at(e.tick, h.tickSeconds, h.nextTick);
        h.track = e.track;
        h.index = i;
        if (e.status == 0xFF &&
            (e.type == 0x2F || e.type == 0x00 || e.type == 0x20 || e.type == 0x21)) {
            if (e.type == 0x2F) play.end = std::max(play.end, h.seconds);
            continue;
        }
        if (timeCode && e.status == 0xFF && e.type == 0x51) continue;
        if (e.status < 0xF0) h.bytes.push_back(e.status);
        for (uint32_t k = 0; k < e.size; ++k) h.bytes.push_back(d[k]);  // (insert trips GCC 12)
        play.events.push_back(std::move(h));
    }
    for (uint64_t end : c.trackEnds) {
        double unused;
        play.end = std::max(play.end, at(end, unused, unused));
    }
    std::stable_sort(play.events.begin(), play.events.end(), [](const Heard& a, const Heard& b) {
        return std::tie(a.seconds, a.track) < std::tie(b.seconds, b.track);
    });
    play.ok = true;
    return play;
}

inline bool IsNoteOff(const std::vector<uint8_t>& b) {
    return b.size() == 3 && ((b[0] & 0xF0) == 0x80 || ((b[0] & 0xF0) == 0x90 && b[2] == 0));
}

inline bool IsNoteOn(const std::vector<uint8_t>& b) {
    return b.size() == 3 && (b[0] & 0xF0) == 0x90 && b[2] != 0;
}

/// A note: its on and off times (off -1 when it never ends), in on order per key.
struct Note {
    double on = 0;
    double off = -1;
    double tick = 0;      ///< one tick of 120 a quarter at the note's start
    double nextTick = 0;  ///< the length of the tick it starts on
    double offTick = 0;   ///< the same at its end
};

/// Pairs the notes of a playback first in first out, per channel and key.
inline std::map<int, std::vector<Note>> Notes(const Playback& play) {
    std::map<int, std::vector<Note>> notes;
    std::map<int, size_t> open;  // key -> index of its earliest open note
    for (const Heard& h : play.events) {
        if (!IsNoteOn(h.bytes) && !IsNoteOff(h.bytes)) continue;
        const int key = (h.bytes[0] & 0x0F) << 7 | h.bytes[1];
        std::vector<Note>& list = notes[key];
        if (IsNoteOn(h.bytes)) {
            if (!open.count(key)) open[key] = list.size();
            list.push_back({h.seconds, -1, h.tickSeconds, h.nextTick, 0});
        } else if (open.count(key)) {
            list[open[key]].off = h.seconds;
            list[open[key]].offTick = h.tickSeconds;
            size_t next = open[key] + 1;
            if (next < list.size()) {
                open[key] = next;
            } else {
                open.erase(key);
            }
        }
    }
    return notes;
}

}  // namespace velnor::test
