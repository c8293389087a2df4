#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "common/Prompter.h"
#include "songs/SongRule.h"

namespace velnor {

/// Joins a folder and a bare file name with one separator; a folder that
/// already ends in one yields a doubled separator, which the file system takes.
std::string SongPath(const std::string& folder, const std::string& name);

/// How a target name meets the names already in the target folder. In the
/// repository a name that equals an existing file's name ignoring letter case
/// is that file: it brings the overwrite question and Yes replaces it under its
/// own name, so the repository never holds two songs that differ only in case.
/// Other folders take names exactly as they are.
enum class TargetNames { Exact, IgnoreCase };

/// `name` with every letter lower-cased, one character for one, as a
/// case-blind file system compares names. A byte that starts no UTF-8
/// character stands for itself and equals only the same byte.
std::u32string FoldedName(const std::string& name);

/// The repository's one case-blind rule: the name that `name` goes by in
/// `folder`. That is `name` when an entry of that name exists or none equals
/// it ignoring case; otherwise the name of the entry that does (the first in
/// byte order when several do). Everything that writes a file into the
/// repository writes it under this name.
std::string ExistingNameIgnoringCase(const std::string& folder, const std::string& name);

/// Copies the songs `names` (bare file names, in order) from `sourceFolder`
/// to `targetFolder`, each under its name read as UTF-8 (NameAsUtf8: a name
/// from elsewhere that is not UTF-8 is never written). Names whose source is missing, a folder or
/// anything but a file are passed over silently. With `checkSongs`, every song must pass the
/// acceptance rule first (one message per refused song, the others go on; a
/// song that cannot be opened at all is reported and ends the batch). An
/// existing target brings "Overwrite?  " + name with Yes, No and Cancel; Cancel
/// ends the batch; this holds when source and target are the same file too
/// (Yes leaves its bytes as they were). A copy that fails leaves the target as
/// it was and shows nothing: callers reload their lists, which show what arrived.
void CopySongFiles(const std::vector<std::string>& names, const std::string& sourceFolder,
                   const std::string& targetFolder, bool checkSongs, Prompter& prompter,
                   TargetNames targetNames = TargetNames::Exact);

/// The acceptance rule as the copy applies it; tests put their own in.
using SongChecker = std::function<SongVerdict(const std::string& path)>;

/// `CopySongFiles` with the rule supplied by the caller.
void CopySongFiles(const std::vector<std::string>& names, const std::string& sourceFolder,
                   const std::string& targetFolder, bool checkSongs, Prompter& prompter,
                   const SongChecker& checker, TargetNames targetNames = TargetNames::Exact);

/// The copy of one song, as `CopySongFiles` does it for each name, from
/// sourceFolder/sourceName to targetFolder/targetName. Messages and the
/// overwrite question name the song by `targetName`. Returns false when the
/// batch must end: Cancel on the overwrite question, or a song that cannot be
/// opened at all.
bool CopySongFile(const std::string& sourceFolder, const std::string& sourceName,
                  const std::string& targetFolder, const std::string& targetName, bool checkSongs,
                  Prompter& prompter, const SongChecker& checker = CheckSongFile,
                  TargetNames targetNames = TargetNames::Exact);

/// Whether `path` is a song source a copy takes: it exists and, links
/// followed, is a regular file.
bool IsSongSource(const std::string& path);

/// The end of a song's way into `targetFolder`: the name it takes there (with
/// `IgnoreCase`, the existing file's name when one equals it ignoring case),
/// "Overwrite?  " + targetName when that exists (Yes, No, Cancel), then
/// `write` with the target's path. False when the batch must end (Cancel).
bool PutSong(const std::string& targetFolder, const std::string& targetName, Prompter& prompter,
             TargetNames targetNames, const std::function<bool(const std::string& target)>& write);

/// Copies the file `source` to `target` through a temporary file beside the
/// target, renamed over it only once every byte is written; the source's
/// permissions and modification time go with it. On failure the target is as
/// it was and no temporary file remains. False on failure.
bool CopyFileSafely(const std::string& source, const std::string& target);

}  // namespace velnor
