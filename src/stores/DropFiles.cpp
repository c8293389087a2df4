#include "stores/DropFiles.h"

#include "common/Utf8Text.h"
#include "stores/FileRows.h"
#include "stores/SongCopy.h"

namespace velnor {

namespace {

std::size_t LastSeparator(const std::string& path) {
#ifdef _WIN32
    return path.find_last_of("/\\");
#else
    return path.find_last_of('/');
#endif
}

}  // namespace

std::string UpperAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

std::vector<DroppedSong> PlanDrop(const std::vector<std::string>& droppedPaths,
                                  const UpperCaseName& upper) {
    std::vector<DroppedSong> songs;
    for (const std::string& path : droppedPaths) {
        if (!HasSongExtension(path)) continue;
        const std::size_t cut = LastSeparator(path);
        if (cut == std::string::npos || cut == 0) continue;
        std::string name = path.substr(cut + 1);
        // Named as Velnor names every file it writes: valid UTF-8.
        const std::string text = NameAsUtf8(name);
        std::string target = upper ? upper(text) : UpperAscii(text);
        songs.push_back({path.substr(0, cut), std::move(name), std::move(target)});
    }
    return songs;
}

CopyStep CopyDroppedSong(const std::string& sourceFolder, const std::string& sourceName,
                         const std::string& targetFolder, const std::string& targetName,
                         Prompter& prompter, const SongChecker& checker) {
    return CopySongFile(sourceFolder, sourceName, targetFolder, targetName, true, prompter, checker,
                        TargetNames::IgnoreCase)
               ? CopyStep::Continue
               : CopyStep::Cancel;
}

bool CopyDroppedSongs(const std::vector<std::string>& droppedPaths, const std::string& repository,
                      const CopyOneSong& copyOne, const UpperCaseName& upper) {
    if (repository.size() <= 1 || !copyOne) return false;
    bool copied = false;
    for (const DroppedSong& song : PlanDrop(droppedPaths, upper)) {
        if (song.sourceFolder.size() <= 1) continue;
        copied = true;
        if (copyOne(song.sourceFolder, song.sourceName, repository, song.targetName) ==
            CopyStep::Cancel) {
            break;
        }
    }
    return copied;
}

}  // namespace velnor
