#include "workflows/Upload.h"

#include <filesystem>

#include "common/Utf8Path.h"
#include "stores/SongCopy.h"
#include "workflows/CloseGuard.h"
#include "workflows/Connection.h"
#include "workflows/Download.h"
#include "workflows/SlotSelection.h"

namespace velnor {

namespace fs = std::filesystem;

bool IsSafeSlotFileName(const std::string& name) {
    if (name.empty() || name == "." || name == "..") return false;
#ifdef _WIN32
    const char* kSeparators = "/\\:";
#else
    const char* kSeparators = "/\\";
#endif
    return name.find_first_of(kSeparators) == std::string::npos;
}

namespace {

/// Uploads one slot into `path` unless the user keeps what is there.
/// Returns false when the transfer failed.
bool UploadSlot(DeviceOperations& device, Prompter& prompter, const fs::path& path, int nSlot) {
    std::error_code ec;
    // A link counts as a file, even one that leads to a folder: only a real
    // folder is passed over without a word.
    const fs::file_status status = fs::symlink_status(path, ec);
    if (fs::exists(status)) {
        if (fs::is_directory(status)) return true;
        if (prompter.Ask("Replace existed file?", PromptButtons::YesNo) != PromptAnswer::Yes) {
            return true;
        }
    }
    return device.UploadSong(Utf8FromPath(path), nSlot, kTransferTimeoutMs);
}

}  // namespace

void OnUpload(DeviceOperations& device, Prompter& prompter, const std::vector<SlotEntry>& slotRows,
              const std::vector<int>& selectedSlots, const std::string& repositoryFolder,
              const std::function<void()>& refreshRepository) {
    if (!DeviceCommandAllowed(device)) return;
    DeviceCommandScope scope;
    std::vector<std::string> songs;
    GetSelectedSongs(slotRows, selectedSlots, songs);
    if (songs.empty()) return;
    const std::string folder = repositoryFolder;
    for (std::size_t i = 0; i < songs.size(); ++i) {
        const std::string& name = songs[i];
        if (name.empty()) continue;
        // A slot name is the instrument's data: one that would climb out of
        // the repository writes nothing.
        // A file whose name equals it ignoring case is the song's file: it
        // is asked about and written under its own name, so the repository
        // never holds two songs that differ only in case.
        const bool bDone =
            IsSafeSlotFileName(name) &&
            UploadSlot(device, prompter,
                       PathFromUtf8(folder) / PathFromUtf8(ExistingNameIgnoringCase(folder, name)),
                       static_cast<int>(i));
        if (!bDone) prompter.Show(name + "  Upload error!");
    }
    if (refreshRepository) refreshRepository();
}

}  // namespace velnor
