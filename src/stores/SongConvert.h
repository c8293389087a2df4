#pragma once

#include <string>
#include <vector>

#include "common/Prompter.h"
#include "stores/SongCopy.h"

namespace velnor {

/// One song to convert into a folder: where it is, and the name its song
/// takes there (the name a copy would give it).
struct SongToConvert {
    std::string sourceFolder;
    std::string sourceName;
    std::string targetName;
};

/// A song check for `CopySongFiles` that also notes, in `refused`, each song
/// the rule refuses only for its format or division: it reads, so the
/// converter can make it a song. The target name is the song's own name.
SongChecker NoteSongsToConvert(std::vector<SongToConvert>& refused);

/// Converts the songs into `targetFolder` in turn, each as a copy would take
/// it: a file that is already a song is copied as it is; a file that does not
/// read gets the song rule's message and one that cannot be converted says
/// why, and the batch goes on; a file that cannot be opened is reported and
/// ends the batch; an existing target asks "Overwrite?  " + its name (Cancel
/// ends the batch). The song is written through a temporary file and a rename;
/// the source is never changed. Sources that are no files are passed over.
/// Returns the number of songs written.
int ConvertSongFiles(const std::vector<SongToConvert>& songs, const std::string& targetFolder,
                     Prompter& prompter, TargetNames targetNames = TargetNames::IgnoreCase);

/// The question after a copy that refused `count` songs only for their format
/// or division.
std::string ConvertQuestion(size_t count);

/// After a Copy Up or a drop: when it refused songs only for their format or
/// division, one question says how many and offers to convert them all into
/// `targetFolder` (Yes, No); on Yes, `ConvertSongFiles`. Returns the number
/// of songs written.
int OfferConversion(const std::vector<SongToConvert>& refused, const std::string& targetFolder,
                    Prompter& prompter, TargetNames targetNames = TargetNames::IgnoreCase);

}  // namespace velnor
