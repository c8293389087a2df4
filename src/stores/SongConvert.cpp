#include "stores/SongConvert.h"

#include "common/TemporaryFile.h"
#include "common/Utf8Path.h"
#include "common/Utf8Text.h"
#include "songs/SongConverter.h"

namespace velnor {

SongChecker NoteSongsToConvert(std::vector<SongToConvert>& refused) {
    return [&refused](const std::string& path) {
        const SongVerdict verdict = CheckSongFile(path);
        if (verdict == SongVerdict::Format0Required || verdict == SongVerdict::Ppqn120Required) {
            // Copies form the path as folder + "/" + name.
            const size_t cut = path.rfind('/');
            const std::string folder =
                cut == std::string::npos ? std::string() : path.substr(0, cut);
            const std::string name = cut == std::string::npos ? path : path.substr(cut + 1);
            refused.push_back({folder, name, NameAsUtf8(name)});  // Velnor writes UTF-8 names
        }
        return verdict;
    };
}

int ConvertSongFiles(const std::vector<SongToConvert>& songs, const std::string& targetFolder,
                     Prompter& prompter, TargetNames targetNames) {
    int written = 0;
    for (const SongToConvert& song : songs) {
        const std::string source = SongPath(song.sourceFolder, song.sourceName);
        if (!IsSongSource(source)) continue;
        const SongConversion conversion = ConvertSongFile(source);
        if (conversion.status == ConversionStatus::Refused) {
            prompter.Show(ConversionRefusalMessage(conversion, song.targetName));
            if (conversion.verdict == SongVerdict::CannotOpen) break;
            continue;
        }
        const bool goOn = PutSong(
            targetFolder, song.targetName, prompter, targetNames, [&](const std::string& target) {
                if (!WriteFileSafely(PathFromUtf8(target), conversion.song.data(),
                                     conversion.song.size())) {
                    return false;
                }
                ++written;
                return true;
            });
        if (!goOn) break;
    }
    return written;
}

std::string ConvertQuestion(size_t count) {
    const std::string songs = count == 1 ? "1 song is" : std::to_string(count) + " songs are";
    return songs +
           " not of format 0 with 120 ticks per quarter note, as the instrument needs.\n"
           "Convert " +
           (count == 1 ? "it" : "them all") + " into the Repository?";
}

int OfferConversion(const std::vector<SongToConvert>& refused, const std::string& targetFolder,
                    Prompter& prompter, TargetNames targetNames) {
    if (refused.empty()) return 0;
    if (prompter.Ask(ConvertQuestion(refused.size()), PromptButtons::YesNo) != PromptAnswer::Yes) {
        return 0;
    }
    return ConvertSongFiles(refused, targetFolder, prompter, targetNames);
}

}  // namespace velnor
