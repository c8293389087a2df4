#include "songs/MidiReader.h"
#include "common/Utf8Path.h"
#include "common/Utf8Text.h"

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <new>
#include <optional>

namespace velnor {

namespace {

uint32_t ReadBig16(const uint8_t* p) {
    return uint32_t(p[0]) << 8 | p[1];
}

uint32_t ReadBig32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

/// Walks one track chunk event by event. Every read is bounded by the end of
/// the chunk, which the header walk has checked lies inside the file; an event
/// that would run past it ends the track's decoding.
class TrackDecoder {
  public:
    TrackDecoder(const uint8_t* data, uint32_t begin, uint64_t end)
        : m_data(data), m_pos(begin), m_end(end) {}

    /// Decodes the next event into `event`; false when decoding of the track ends.
    bool Next(MidiEvent& event);

  private:
    /// Reads a variable-length quantity. False when it runs past the chunk.
    /// `overflow` is set when significant bits went past 32.
    bool ReadQuantity(uint32_t& value, bool& overflow);
    /// Takes `count` bytes at the position as the event's data.
    bool Take(MidiEvent& event, uint64_t count);
    /// `Take` for the one or two data bytes of a channel message.
    bool TakeShort(MidiEvent& event, uint32_t count);
    bool TakeMeta(MidiEvent& event);
    bool TakeSysEx(MidiEvent& event);

    const uint8_t* m_data;
    uint64_t m_pos;
    uint64_t m_end;
    uint32_t m_time = 0;
    uint8_t m_running = 0;  // 0: no status byte seen yet in this track
};

bool TrackDecoder::ReadQuantity(uint32_t& value, bool& overflow) {
    overflow = false;
    if (m_pos < m_end && !(m_data[m_pos] & 0x80)) {  // most quantities are one byte
        value = m_data[m_pos++];
        return true;
    }
    value = 0;
    while (m_pos < m_end) {
        uint8_t byte = m_data[m_pos++];
        if (value > 0x01FFFFFF) overflow = true;
        value = value << 7 | (byte & 0x7F);  // unsigned: the top bits drop off
        if (!(byte & 0x80)) return true;
    }
    return false;
}

bool TrackDecoder::TakeShort(MidiEvent& event, uint32_t count) {
    if (count > m_end - m_pos) return false;
    const uint8_t* from = m_data + m_pos;
    event.length = count;
    event.inlineData[0] = from[0];
    if (count == 2) event.inlineData[1] = from[1];
    m_pos += count;
    return true;
}

bool TrackDecoder::Take(MidiEvent& event, uint64_t count) {
    if (count > m_end - m_pos) return false;
    const uint8_t* from = m_data + m_pos;
    event.length = uint32_t(count);
    if (count <= event.inlineData.size()) {
        std::memcpy(event.inlineData.data(), from, count);
        event.externalData.clear();
    } else {
        event.externalData.assign(from, from + count);
    }
    m_pos += count;
    return true;
}

bool TrackDecoder::TakeMeta(MidiEvent& event) {
    if (m_pos >= m_end) return false;
    uint8_t type = m_data[m_pos++];
    uint32_t size = 0;
    bool overflow = false;
    if (!ReadQuantity(size, overflow) || overflow || size > m_end - m_pos) return false;
    // The type byte and the data are stored together; the quantity between
    // them in the file is not.
    const uint8_t* from = m_data + m_pos;
    event.length = size + 1;
    if (event.length <= event.inlineData.size()) {
        event.inlineData[0] = type;
        std::memcpy(event.inlineData.data() + 1, from, size);
        event.externalData.clear();
    } else {
        event.externalData.resize(event.length);
        event.externalData[0] = type;
        std::memcpy(event.externalData.data() + 1, from, size);
    }
    m_pos += size;
    return true;
}

bool TrackDecoder::TakeSysEx(MidiEvent& event) {
    // Everything up to and including the first F7; the length field a file
    // writes after F0 stays the first data byte.
    const void* found = std::memchr(m_data + m_pos, 0xF7, size_t(m_end - m_pos));
    if (!found) return false;
    return Take(event, uint64_t(static_cast<const uint8_t*>(found) - (m_data + m_pos)) + 1);
}

bool TrackDecoder::Next(MidiEvent& event) {
    uint32_t delta = 0;
    bool overflow = false;
    // A delta time too long for 32 bits keeps its low bits, as the tick
    // counter itself wraps.
    if (!ReadQuantity(delta, overflow) || m_pos >= m_end) return false;
    uint8_t byte = m_data[m_pos];
    if (byte & 0x80) {
        m_running = byte;
        ++m_pos;
    } else if (m_running == 0) {
        return false;
    }
    m_time += delta;
    event.time = m_time;
    event.status = m_running;
    try {
        switch (m_running & 0xF0) {
            case 0x80:
            case 0x90:
            case 0xA0:
            case 0xB0:
            case 0xE0:
                return TakeShort(event, 2);
            case 0xC0:
            case 0xD0:
                return TakeShort(event, 1);
            default:
                break;
        }
        if (m_running == 0xF0 || m_running == 0xF7) return TakeSysEx(event);
        if (m_running == 0xFF) return TakeMeta(event);
        uint32_t size = 0;
        if (!ReadQuantity(size, overflow) || overflow) return false;
        return Take(event, size);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

constexpr uint8_t kText = 0x01;
constexpr uint8_t kTrackName = 0x03;

/// The text of a meta event as UTF-8: its data up to the first zero byte,
/// read as Windows-1252 when it is not UTF-8. The type byte is not part of it.
std::string MetaText(const MidiEvent& event) {
    const char* text = reinterpret_cast<const char*>(event.Data()) + 1;
    size_t size = event.length - 1;
    const void* zero = std::memchr(text, 0, size);
    if (zero) size = size_t(static_cast<const char*>(zero) - text);
    return NameAsUtf8(std::string_view(text, size));
}

}  // namespace

CMidiReader::~CMidiReader() {
    Reset();
}

LoadResult CMidiReader::LoadFile() {
    std::error_code ec;
    // Only a regular file is read: a folder, a device or a pipe (which would
    // block the program until someone writes to it) cannot be opened.
    const std::filesystem::path path = PathFromUtf8(m_strFileName);
    if (!std::filesystem::is_regular_file(path, ec)) return LoadResult::CannotOpen;
    uintmax_t size = std::filesystem::file_size(path, ec);
    if (ec) return LoadResult::CannotOpen;
    std::FILE* file = OpenFile(path, "rb");
    if (!file) return LoadResult::CannotOpen;
    DropData();
    if (size > std::numeric_limits<uint32_t>::max()) {
        std::fclose(file);
        return LoadResult::Failed;
    }
    std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[size ? size : 1]);
    size_t got = data ? std::fread(data.get(), 1, size, file) : 0;
    std::fclose(file);
    if (!data || got != size) return LoadResult::Failed;
    m_data = std::move(data);
    m_nFileSize = uint32_t(size);
    return LoadResult::Loaded;
}

void CMidiReader::DropData() {
    // The track tables point into the data: they go with it.
    m_tracks.clear();
    m_data.reset();
    m_nFileSize = 0;
}

bool CMidiReader::LoadFromMemory(std::span<const uint8_t> bytes) {
    DropData();
    if (bytes.size() > std::numeric_limits<uint32_t>::max()) return false;
    std::unique_ptr<uint8_t[]> data(new (std::nothrow) uint8_t[bytes.empty() ? 1 : bytes.size()]);
    if (!data) return false;
    if (!bytes.empty()) std::memcpy(data.get(), bytes.data(), bytes.size());
    m_data = std::move(data);
    m_nFileSize = uint32_t(bytes.size());
    return true;
}

int CMidiReader::ParseHeader() {
    m_tracks.clear();
    if (!m_data) return kHeaderNothingLoaded;
    const uint8_t* d = m_data.get();
    std::memcpy(m_rawHeader.data(), d, std::min<size_t>(m_nFileSize, m_rawHeader.size()));
    if (m_nFileSize < m_rawHeader.size()) return kHeaderInvalid;
    if (std::memcmp(d, "MThd", 4) != 0 || ReadBig32(d + 4) != 6) return kHeaderInvalid;
    m_nFormat = d[9];  // the high byte of the format field is not looked at
    m_nTrackCount = int(ReadBig16(d + 10));
    m_nDivision = int(ReadBig16(d + 12));
    if (m_nFormat > 1) return kHeaderInvalid;
    // Every track needs at least its chunk header: a file too short for them
    // all cannot pass the walk below, so no tables are allocated for it.
    if (14 + 8 * uint64_t(m_nTrackCount) > m_nFileSize) return kHeaderInvalid;
    std::vector<Track> tracks;
    try {
        tracks.resize(size_t(m_nTrackCount));
    } catch (const std::bad_alloc&) {
        return kHeaderNoMemory;
    }
    uint64_t pos = 14;
    for (Track& track : tracks) {
        if (pos + 8 > m_nFileSize || std::memcmp(d + pos, "MTrk", 4) != 0) return kHeaderInvalid;
        track.chunkStart = uint32_t(pos);
        track.chunkLength = ReadBig32(d + pos + 4);
        pos += 8 + uint64_t(track.chunkLength);
    }
    if (pos != m_nFileSize) return kHeaderInvalid;
    m_tracks = std::move(tracks);
    return kHeaderOk;
}

void CMidiReader::ParseTrack(int track) {
    if (!IsTrack(track)) return;
    Track& t = m_tracks[size_t(track)];
    t.eventCount = 0;
    TrackDecoder decoder(m_data.get(), t.chunkStart + 8,
                         uint64_t(t.chunkStart) + 8 + t.chunkLength);
    // Events are decoded into two buffers in turn, so the last good one stays
    // whole when the next fails, and nothing is copied per event.
    MidiEvent events[2];
    int current = 0;
    // The song's name is the first track's name (FF 03), failing that its
    // first text (FF 01); never the bytes of a tempo or another meta event.
    std::optional<std::string> firstText;
    while (decoder.Next(events[current])) {
        const MidiEvent& event = events[current];
        if (track == 0 && event.status == 0xFF && !m_bSongNameTaken) {
            if (event.Data()[0] == kTrackName) {
                m_strSongName = MetaText(event);
                m_bSongNameTaken = true;
            } else if (event.Data()[0] == kText && !firstText) {
                firstText = MetaText(event);
            }
        }
        ++t.eventCount;
        current ^= 1;
    }
    t.last = std::move(events[current ^ 1]);
    if (track == 0 && !m_bSongNameTaken && firstText) m_strSongName = std::move(*firstText);
}

bool CMidiReader::ParseTracks() {
    bool result = true;
    for (size_t i = 0; i < m_tracks.size(); ++i) {
        ParseTrack(int(i));
        const Track& t = m_tracks[i];
        if (t.eventCount != 0 && !t.last.IsEndOfTrack()) result = false;
    }
    return result;
}

size_t CMidiReader::GetEventCount(int track) const {
    return IsTrack(track) ? m_tracks[size_t(track)].eventCount : 0;
}

const MidiEvent* CMidiReader::GetLastEvent(int track) const {
    if (!IsTrack(track) || m_tracks[size_t(track)].eventCount == 0) return nullptr;
    return &m_tracks[size_t(track)].last;
}

std::vector<MidiEvent> CMidiReader::GetEvents(int track) const {
    std::vector<MidiEvent> events;
    if (!IsTrack(track)) return events;
    const Track& t = m_tracks[size_t(track)];
    events.reserve(t.eventCount);
    TrackDecoder decoder(m_data.get(), t.chunkStart + 8,
                         uint64_t(t.chunkStart) + 8 + t.chunkLength);
    MidiEvent event;
    while (decoder.Next(event)) events.push_back(event);
    return events;
}

void CMidiReader::Reset() {
    m_data.reset();
    m_nFileSize = 0;
    m_nTrackCount = 0;
    m_tracks.clear();
    m_tracks.shrink_to_fit();
    m_strSongName.clear();
    m_bSongNameTaken = false;
    m_strFileName.clear();
}

}  // namespace velnor
