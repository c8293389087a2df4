#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "songs/MidiReader.h"

namespace velnor {

/// What the song acceptance rule says about one file. Only format-0 files
/// with 120 ticks per quarter note enter the repository from the computer.
enum class SongVerdict {
    Accepted,
    FormatError,      ///< does not load, or its layout or tracks do not read
    Format0Required,  ///< reads, but is not format 0
    Ppqn120Required,  ///< format 0, but the division is not 120
    CannotOpen,       ///< the file cannot be opened at all
};

/// The rule applied to a reader that has been loaded (or failed to load with
/// `loaded`); parses the header and the tracks. The first failing test decides.
SongVerdict JudgeSong(CMidiReader& reader, LoadResult loaded);

/// The last two tests of the rule, for a reader whose header parsed and whose
/// tracks gave `tracksEnd`.
SongVerdict JudgeParsedSong(const CMidiReader& reader, bool tracksEnd);

/// The rule applied to the file at `path` with a fresh reader.
SongVerdict CheckSongFile(const std::string& path);

/// The rule applied to a file's bytes held in memory.
SongVerdict CheckSongBytes(std::span<const uint8_t> bytes);

/// The message the user sees for `verdict` about the file shown as `name`
/// (the bare file name): the name directly followed by the rule's words.
/// Empty when the song is accepted.
std::string SongVerdictMessage(SongVerdict verdict, const std::string& name);

/// The rule's message for the file at `path` shown as `name`; empty when accepted.
std::string SongRefusalMessage(const std::string& path, const std::string& name);

/// The song name the lists show for the file at `path`: the captured name when
/// the file loads, its layout is valid and its tracks end properly, whatever
/// its format and division; otherwise empty.
std::string ReadListSongName(const std::string& path);

}  // namespace velnor
