#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/Prompter.h"
#include "stores/SongCopy.h"

namespace velnor {

/// One song of a drop onto the repository list. The source keeps its own
/// case (on a case-sensitive file system an upper-cased path names a file
/// that does not exist); the repository copy gets the upper-case name.
struct DroppedSong {
    std::string sourceFolder;  ///< the folder the song was dropped from
    std::string sourceName;    ///< its name there, case kept
    std::string targetName;    ///< the name in the repository: sourceName upper-cased
};

/// Letters a-z upper-cased; other bytes (UTF-8 sequences included) unchanged.
std::string UpperAscii(std::string text);

/// Turns a song's name to the upper-case name of its repository copy. The
/// window passes one that upper-cases the whole name as Unicode text
/// ("café.mid" becomes "CAFÉ.MID"); without one, only a-z are changed.
using UpperCaseName = std::function<std::string(const std::string&)>;

/// The songs of a drop, in the order the desktop gives the paths: every path
/// that ends in ".mid" without regard to case, split at its last separator.
/// Other paths (folders, .txt files, ...) are ignored; so is a path with no
/// separator after its first character. Every song keeps its own folder, so a
/// drop gathered from several folders (search results) copies each song from
/// where it is.
std::vector<DroppedSong> PlanDrop(const std::vector<std::string>& droppedPaths,
                                  const UpperCaseName& upper = UpperAscii);

/// What the checked copy of one song says about the rest of the batch.
enum class CopyStep { Continue, Cancel };

/// Copies sourceFolder/sourceName to targetFolder/targetName with the song
/// check on: refused songs are announced and skipped, an existing target asks
/// "Overwrite?  " + targetName (Yes/No/Cancel; Cancel ends the batch).
using CopyOneSong =
    std::function<CopyStep(const std::string& sourceFolder, const std::string& sourceName,
                           const std::string& targetFolder, const std::string& targetName)>;

/// The checked copy of one dropped song, to plug in as `copyOne`: the song
/// copy's own rules (acceptance check before the overwrite question,
/// "Overwrite?  " + targetName with Yes/No/Cancel, temporary file and rename)
/// with a target name of its own. Messages name the song by its target name.
CopyStep CopyDroppedSong(const std::string& sourceFolder, const std::string& sourceName,
                         const std::string& targetFolder, const std::string& targetName,
                         Prompter& prompter, const SongChecker& checker = CheckSongFile);

/// Copies the songs of a drop into `repository` through `copyOne`, in drop
/// order, until it answers Cancel. Songs from a folder of one character or
/// less are passed over, and nothing is copied when the repository path is
/// one character or less. Returns true when any copy ran: the caller then
/// reloads the repository list (and not otherwise).
bool CopyDroppedSongs(const std::vector<std::string>& droppedPaths, const std::string& repository,
                      const CopyOneSong& copyOne, const UpperCaseName& upper = UpperAscii);

}  // namespace velnor
