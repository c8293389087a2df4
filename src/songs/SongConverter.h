#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "songs/SongRule.h"

namespace velnor {

/// What a conversion did to a song.
struct ConversionReport {
    int tracksMerged = 0;       ///< the source's track chunks
    double largestShiftMs = 0;  ///< the largest move in time that rounding to the new ticks caused
    int notesLengthened =
        0;  ///< notes that would have lost their length, or ended after their start
    int notesDelayed =
        0;  ///< notes started later so that the note of their key before them ends first
    int eventsLeftOut =
        0;  ///< sequence numbers, channel prefixes and port choices (one track has no use for them)
    bool timeCode = false;  ///< the source counted time in frames; its tempo events were left out
};

enum class ConversionStatus {
    Converted,    ///< a new song was made
    AlreadySong,  ///< the file passes the song rule and is taken as it is
    Refused,      ///< nothing to write; see `verdict` and `problem`
};

struct SongConversion {
    ConversionStatus status = ConversionStatus::Refused;
    /// `Accepted` when the source passes the song rule as it is,
    /// `CannotOpen` when it cannot be opened, `FormatError` otherwise.
    SongVerdict verdict = SongVerdict::FormatError;
    /// Why a file that reads could not become a song; empty when the file
    /// does not read (the rule's message says it then).
    std::string problem;
    ConversionReport report;
    /// The song's bytes (the source's own when it is already a song).
    std::vector<uint8_t> song;
};

/// Makes the Standard MIDI File `file` (format 0 or 1, any division, ticks
/// per quarter or time code) into a song the instrument takes: format 0,
/// 120 ticks per quarter note, playing the same. The tracks are merged in the
/// order of their events' times; each tempo change and each event goes to the
/// tick nearest its original time in seconds under the song's new tempo map,
/// so rounding never builds up. Notes are paired first (per channel and key,
/// first in first out) and none is lost or cut: a note keeps at least one
/// tick, and where an off and an on of the same key meet on one tick the off
/// comes first. Every other event keeps its bytes; the first track's name is
/// the first event. A file that already passes the rule is returned as it
/// is. The result always passes the song rule, or nothing is returned.
SongConversion ConvertSong(std::span<const uint8_t> file);

/// `ConvertSong` for the file at `path` (read whole; the file is not changed).
SongConversion ConvertSongFile(const std::string& path);

/// The message for a conversion that was refused, about the file shown as
/// `name`: the song rule's own message when the file does not read, else
/// the name followed by " cannot be converted: " and the problem.
std::string ConversionRefusalMessage(const SongConversion& conversion, const std::string& name);

/// What a conversion did, in words ("3 tracks merged, largest time shift
/// 1.04 ms, no note lengthened").
std::string ConversionReportText(const ConversionReport& report);

}  // namespace velnor
