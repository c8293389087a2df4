#include "songs/StandardMidiFile.h"

#include <cstdint>
#include <cstring>
#include <new>

namespace velnor {

namespace {

uint32_t Big16(const uint8_t* p) {
    return uint32_t(p[0]) << 8 | p[1];
}

uint32_t Big32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

/// Decodes the events of one track chunk, data[begin, end), into `events`.
bool ReadTrack(const uint8_t* data, uint64_t pos, uint64_t end, uint16_t track,
               std::vector<SmfEvent>& events, uint64_t& trackEnd) {
    uint64_t tick = 0;
    uint8_t running = 0;  // the channel status in force; 0 before the first
    while (pos < end) {
        uint32_t delta = 0;
        if (!ReadQuantity(data, pos, end, delta) || pos >= end) return false;
        tick += delta;
        SmfEvent event;
        event.tick = tick;
        event.track = track;
        const uint64_t at = pos;
        uint8_t status = data[pos];
        if (status & 0x80) {
            ++pos;
        } else if (running != 0) {
            status = running;
        } else {
            return false;  // a data byte with no status before it
        }
        event.status = status;
        if (status < 0xF0) {
            running = status;
            const uint32_t count = (status & 0xE0) == 0xC0 ? 1 : 2;  // program, channel pressure
            if (count > end - pos) return false;
            for (uint32_t i = 0; i < count; ++i) {
                if (data[pos + i] & 0x80) return false;
            }
            event.begin = uint32_t(pos);
            event.size = count;
            pos += count;
        } else if (status == 0xFF || status == 0xF0 || status == 0xF7) {
            if (status == 0xFF) {
                if (pos >= end) return false;
                event.type = data[pos++];
            }
            uint32_t length = 0;
            if (!ReadQuantity(data, pos, end, length) || length > end - pos) return false;
            pos += length;
            event.begin = uint32_t(at);
            event.size = uint32_t(pos - at);
        } else {
            return false;  // system common and real-time bytes are no file events
        }
        events.push_back(event);
        trackEnd = tick;
        if (status == 0xFF && event.type == 0x2F) break;  // End of Track ends the track
    }
    return true;
}

}  // namespace

bool ReadQuantity(const uint8_t* data, uint64_t& pos, uint64_t end, uint32_t& value) {
    value = 0;
    for (int i = 0; i < 4 && pos < end; ++i) {
        const uint8_t byte = data[pos++];
        value = value << 7 | (byte & 0x7F);
        if (!(byte & 0x80)) return true;
    }
    return false;
}

SmfReadResult ReadStandardMidiFile(std::span<const uint8_t> bytes, SmfContents& contents) {
    contents = SmfContents{};
    const uint8_t* d = bytes.data();
    const uint64_t size = bytes.size();
    if (size < 14 || size > UINT32_MAX || std::memcmp(d, "MThd", 4) != 0) {
        return SmfReadResult::Unreadable;
    }
    const uint32_t headerLength = Big32(d + 4);
    if (headerLength < 6 || headerLength > size - 8) return SmfReadResult::Unreadable;
    contents.format = int(Big16(d + 8));
    const uint32_t announced = Big16(d + 10);
    contents.division = uint16_t(Big16(d + 12));
    if (contents.format == 2) return SmfReadResult::Format2;
    if (contents.format > 2) return SmfReadResult::Unreadable;
    try {
        // A channel event takes at least two bytes of the file.
        contents.events.reserve(size_t(size / 3));
        uint64_t pos = 8 + uint64_t(headerLength);
        while (contents.trackCount < int(announced)) {
            if (pos + 8 > size) return SmfReadResult::Unreadable;
            const uint64_t length = Big32(d + pos + 4);
            const uint64_t begin = pos + 8;
            if (length > size - begin) return SmfReadResult::Unreadable;  // cut short
            if (std::memcmp(d + pos, "MTrk", 4) == 0) {
                contents.trackStarts.push_back(uint32_t(contents.events.size()));
                uint64_t trackEnd = 0;
                if (!ReadTrack(d, begin, begin + length, uint16_t(contents.trackCount),
                               contents.events, trackEnd)) {
                    return SmfReadResult::Unreadable;
                }
                contents.trackEnds.push_back(trackEnd);
                ++contents.trackCount;
            }
            pos = begin + length;
        }
        contents.trackStarts.push_back(uint32_t(contents.events.size()));
    } catch (const std::bad_alloc&) {
        return SmfReadResult::Unreadable;
    }
    return SmfReadResult::Ok;
}

}  // namespace velnor
