#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace velnor {

/// One decoded event of a track.
struct MidiEvent {
    uint32_t time = 0;                    ///< absolute ticks from the start of the track
    uint32_t length = 0;                  ///< number of data bytes
    uint8_t status = 0;                   ///< the status byte in force (0x80 to 0xFF)
    std::array<uint8_t, 7> inlineData{};  ///< the data when length is at most 7
    std::vector<uint8_t> externalData;    ///< the data when length is more than 7

    const uint8_t* Data() const { return length <= 7 ? inlineData.data() : externalData.data(); }
    /// The meta event FF 2F 00 (End of Track).
    bool IsEndOfTrack() const { return status == 0xFF && length == 1 && inlineData[0] == 0x2F; }
};

/// How a load ended. `CannotOpen` is kept apart from a failed read: the song
/// copy ends its batch on it, the song lists leave the name blank.
enum class LoadResult { Loaded, Failed, CannotOpen };

/// Reads one Standard MIDI File: checks its chunk layout, decodes its tracks
/// and captures the song's name: the first track name (FF 03) of the first
/// track, failing that its first text event (FF 01), failing that nothing;
/// text that is not UTF-8 is read as Windows-1252. One reader serves one
/// file; it never reads past the loaded bytes.
///
/// Events are not kept one by one: a track's decoding is deterministic, so
/// the reader keeps each track's event count and last event and decodes the
/// track again when a caller asks for its events. Memory stays near the size
/// of the file whatever the number of events.
class CMidiReader {
  public:
    static constexpr int kHeaderOk = 0;
    static constexpr int kHeaderNothingLoaded = 1;
    static constexpr int kHeaderInvalid = 2;
    static constexpr int kHeaderNoMemory = 3;

    CMidiReader() = default;
    CMidiReader(const CMidiReader&) = delete;
    CMidiReader& operator=(const CMidiReader&) = delete;
    virtual ~CMidiReader();

    /// Full path of the file, set before `LoadFile`.
    std::string m_strFileName;

    /// Reads the whole of `m_strFileName`. `Failed` when the buffer cannot be
    /// allocated or fewer bytes than the file's length arrive; `CannotOpen`
    /// when the path does not name a readable regular file.
    LoadResult LoadFile();
    /// Loads a copy of `bytes` as if read from a file; false when out of memory.
    bool LoadFromMemory(std::span<const uint8_t> bytes);

    /// 0 = header and chunk layout valid, 1 = nothing loaded, 2 = not a valid
    /// file, 3 = out of memory for the per-track tables.
    int ParseHeader();
    /// Decodes every track; true when every track with events ends with End
    /// of Track. Meaningful after `ParseHeader` returned 0.
    bool ParseTracks();
    /// Decodes one track: counts its events, keeps the last one and, for the
    /// first track, takes the song name.
    void ParseTrack(int track);

    const std::string& GetSongName() const { return m_strSongName; }
    uint8_t GetFormat() const { return m_nFormat; }
    int GetDivision() const { return m_nDivision; }
    int GetTrackCount() const { return m_nTrackCount; }
    uint32_t GetFileSize() const { return m_nFileSize; }
    const std::array<uint8_t, 14>& GetRawHeader() const { return m_rawHeader; }

    /// Events decoded for `track` by `ParseTracks` (0 for a track out of range).
    size_t GetEventCount(int track) const;
    /// The last event decoded for `track`, or null when it has none.
    const MidiEvent* GetLastEvent(int track) const;
    /// Every event of `track` in file order, decoded again from the bytes.
    std::vector<MidiEvent> GetEvents(int track) const;

    /// Frees everything and empties the name, the path and the counts.
    void Reset();

  private:
    struct Track {
        uint32_t chunkStart = 0;   ///< where the MTrk tag starts in the file data
        uint32_t chunkLength = 0;  ///< the chunk's declared data length
        size_t eventCount = 0;
        MidiEvent last;
    };

    void DropData();
    bool IsTrack(int track) const { return track >= 0 && size_t(track) < m_tracks.size(); }

    std::unique_ptr<uint8_t[]> m_data;
    uint32_t m_nFileSize = 0;
    int m_nTrackCount = 0;
    uint8_t m_nFormat = 0;
    int m_nDivision = 0;
    std::array<uint8_t, 14> m_rawHeader{};
    std::vector<Track> m_tracks;
    std::string m_strSongName;
    bool m_bSongNameTaken = false;  ///< a track name has been taken
};

}  // namespace velnor
