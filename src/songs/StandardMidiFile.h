#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace velnor {

/// One event of a Standard MIDI File as the file format defines it, pointing
/// into the file's bytes (which must outlive it).
struct SmfEvent {
    uint64_t tick = 0;   ///< absolute ticks from the start of its track
    uint32_t begin = 0;  ///< meta and SysEx: where the status byte is; channel: the first data byte
    uint32_t size = 0;   ///< meta and SysEx: the event's bytes from `begin`; channel: 1 or 2
    uint8_t status = 0;  ///< the status in force: 0x80-0xEF, 0xF0, 0xF7 or 0xFF
    uint8_t type = 0;    ///< the meta type of a meta event
    uint16_t track = 0;  ///< the track chunk it came from, counted from 0
};

/// A file read by `ReadStandardMidiFile`: its header fields and its events,
/// track after track, each track in file order.
struct SmfContents {
    int format = 0;
    uint16_t division =
        0;  ///< the raw field: ticks per quarter, or time code when the top bit is set
    int trackCount = 0;
    std::vector<SmfEvent> events;
    /// Where each track's events start in `events`, with one more entry for the end.
    std::vector<uint32_t> trackStarts;
    /// Per track, the tick of its End of Track (or of its last event when it has none).
    std::vector<uint64_t> trackEnds;
};

/// How a standard reading ended.
enum class SmfReadResult {
    Ok,
    Unreadable,  ///< the chunks or an event break the file format (or a track is cut short)
    Format2,     ///< independent sequences: nothing to merge them by
};

/// Reads `bytes` as the Standard MIDI File format defines it: a header of six
/// or more bytes, the announced number of MTrk chunks (chunks of other kinds
/// are passed over), events with running status, SysEx and meta events by
/// their length. A track ends at its End of Track; a track without one ends
/// with its chunk. Running status carries across meta and SysEx events, as
/// many sequencers write it. Never reads past `bytes`.
SmfReadResult ReadStandardMidiFile(std::span<const uint8_t> bytes, SmfContents& contents);

/// Reads a variable-length quantity at `pos` (at most four bytes, as the
/// format allows). False when it runs past `end` or is longer.
bool ReadQuantity(const uint8_t* data, uint64_t& pos, uint64_t end, uint32_t& value);

}  // namespace velnor
