#include "instrument/InstrumentSongs.h"

#include <cstdio>

namespace velnor::instrument {

namespace {

void PutVarLength(Bytes& out, std::uint32_t value) {
    std::uint8_t groups[5];
    int count = 0;
    do {
        groups[count++] = value & 0x7F;
        value >>= 7;
    } while (value != 0);
    while (count > 1) out.push_back(groups[--count] | 0x80);
    out.push_back(groups[0]);
}

void PutBigEndian(Bytes& out, std::uint32_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) out.push_back((value >> (8 * i)) & 0xFF);
}

/// Reads a variable-length quantity; false when it runs past the end.
bool ReadVarLength(const Bytes& in, std::size_t& pos, std::size_t end, std::uint32_t& value) {
    value = 0;
    for (int i = 0; i < 4; ++i) {
        if (pos >= end) return false;
        const std::uint8_t b = in[pos++];
        value = (value << 7) | (b & 0x7F);
        if ((b & 0x80) == 0) return true;
    }
    return false;
}

std::uint32_t ReadBigEndian(const Bytes& in, std::size_t pos, int bytes) {
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i) value = (value << 8) | in[pos + i];
    return value;
}

/// Walks the events of one track chunk [pos, end) looking for a track name.
bool FindTrackName(const Bytes& smf, std::size_t pos, std::size_t end, std::string& name) {
    std::uint8_t running = 0;
    while (pos < end) {
        std::uint32_t delta = 0;
        if (!ReadVarLength(smf, pos, end, delta) || pos >= end) return false;
        std::uint8_t status = smf[pos];
        if (status >= 0x80) {
            ++pos;
        } else if (running == 0) {
            return false;
        } else {
            status = running;
        }
        if (status == 0xFF || status == 0xF0 || status == 0xF7) {
            std::uint8_t type = 0;
            if (status == 0xFF) {
                if (pos >= end) return false;
                type = smf[pos++];
            }
            std::uint32_t length = 0;
            if (!ReadVarLength(smf, pos, end, length) || length > end - pos) return false;
            if (status == 0xFF && type == 0x03) {
                name.assign(smf.begin() + pos, smf.begin() + pos + length);
                return true;
            }
            if (status == 0xFF && type == 0x2F) return false;
            pos += length;
            continue;
        }
        if (status < 0xF0) running = status;
        const std::uint8_t kind = status & 0xF0;
        pos += (kind == 0xC0 || kind == 0xD0) ? 1 : 2;
    }
    return false;
}

}  // namespace

Bytes MakeSong(const std::string& trackName, const std::vector<std::vector<std::uint8_t>>& chords,
               std::uint32_t ticks) {
    Bytes track;
    track.push_back(0x00);
    track.insert(track.end(), {0xFF, 0x03});
    PutVarLength(track, static_cast<std::uint32_t>(trackName.size()));
    track.insert(track.end(), trackName.begin(), trackName.end());
    // Tempo 120 beats per minute.
    track.insert(track.end(), {0x00, 0xFF, 0x51, 0x03, 0x07, 0xA1, 0x20});
    for (const auto& chord : chords) {
        for (std::uint8_t note : chord) track.insert(track.end(), {0x00, 0x90, note, 0x64});
        bool first = true;
        for (std::uint8_t note : chord) {
            PutVarLength(track, first ? ticks : 0);
            track.insert(track.end(), {0x80, note, 0x40});
            first = false;
        }
    }
    track.insert(track.end(), {0x00, 0xFF, 0x2F, 0x00});

    Bytes smf = {'M', 'T', 'h', 'd'};
    PutBigEndian(smf, 6, 4);
    PutBigEndian(smf, 0, 2);    // format 0
    PutBigEndian(smf, 1, 2);    // one track
    PutBigEndian(smf, 120, 2);  // ticks per quarter note
    smf.insert(smf.end(), {'M', 'T', 'r', 'k'});
    PutBigEndian(smf, static_cast<std::uint32_t>(track.size()), 4);
    smf.insert(smf.end(), track.begin(), track.end());
    return smf;
}

std::vector<InstrumentSong> DemoSongs() {
    const std::vector<std::vector<std::uint8_t>> scale = {{60}, {62}, {64}, {65},
                                                          {67}, {69}, {71}, {72}};
    const std::vector<std::vector<std::uint8_t>> chords = {
        {60, 64, 67}, {65, 69, 72}, {67, 71, 74}, {60, 64, 67}};
    const std::vector<std::vector<std::uint8_t>> arpeggio = {{57}, {60}, {64}, {69},
                                                             {64}, {60}, {57}, {45, 57}};
    std::vector<InstrumentSong> songs = {
        {"", MakeSong("Scale", scale, 120)},
        {"", MakeSong("Chord Cycle", chords, 480)},
        {"", MakeSong("Arpeggio", arpeggio, 60)},
    };
    // Named by the same rule as a song the instrument receives.
    for (std::size_t i = 0; i < songs.size(); ++i) {
        songs[i].name = NameForReceivedSong(songs[i].data, static_cast<unsigned>(i));
    }
    return songs;
}

std::string FirstTrackName(const Bytes& smf) {
    if (smf.size() < 14 || ReadBigEndian(smf, 0, 4) != 0x4D546864) return {};
    std::size_t pos = 8 + static_cast<std::size_t>(ReadBigEndian(smf, 4, 4));
    while (pos + 8 <= smf.size() && pos >= 14) {
        const std::uint32_t id = ReadBigEndian(smf, pos, 4);
        const std::size_t length = ReadBigEndian(smf, pos + 4, 4);
        const std::size_t start = pos + 8;
        const std::size_t end = length > smf.size() - start ? smf.size() : start + length;
        if (id == 0x4D54726B) {  // MTrk: the first track decides
            std::string name;
            FindTrackName(smf, start, end, name);
            return name;
        }
        pos = end;
    }
    return {};
}

std::string NameForReceivedSong(const Bytes& smf, unsigned slot) {
    std::string name = FirstTrackName(smf);
    const auto nul = name.find('\0');
    if (nul != std::string::npos) name.resize(nul);
    if (name.size() > 12) name.resize(12);
    if (name.empty()) {
        char text[16];
        std::snprintf(text, sizeof text, "SONG%02u", slot);
        name = text;
    }
    return name + ".mid";
}

}  // namespace velnor::instrument
