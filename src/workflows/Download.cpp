#include "workflows/Download.h"

#include <algorithm>
#include <climits>
#include <filesystem>
#include <fstream>
#include <optional>

#include "common/Utf8Path.h"
#include "songs/SongRule.h"
#include "workflows/CloseGuard.h"
#include "workflows/Connection.h"
#include "workflows/SlotSelection.h"

namespace velnor {

namespace fs = std::filesystem;

namespace {

/// The length of a song file that can be opened for reading, or nothing (the
/// file vanished, is a folder, or may not be read).
std::optional<long long> SongFileLength(const fs::path& path) {
    std::error_code ec;
    if (!fs::is_regular_file(path, ec)) return std::nullopt;
    const std::uintmax_t nSize = fs::file_size(path, ec);
    if (ec) return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    return static_cast<long long>(std::min<std::uintmax_t>(nSize, LLONG_MAX));
}

/// The lowest slot at or after `nFrom` marked `marker`, or -1.
int NextSlot(const std::vector<SlotMark>& slots, std::size_t nFrom, SlotMark marker) {
    for (std::size_t s = nFrom; s < slots.size(); ++s) {
        if (slots[s] == marker) return static_cast<int>(s);
    }
    return -1;
}

}  // namespace

int ProgressMaximum(long long nLength) {
    const long long nMax = std::max(nLength, 0LL) / kBytesPerStep + 2;
    return static_cast<int>(std::min<long long>(nMax, INT_MAX));
}

void OnTransferProgress(ProgressBar& bar) {
    bar.StepIt();
    const int nUpper = bar.Upper();
    if (nUpper <= 0) return;
    const int nPercent = static_cast<int>(bar.GetPos() * 100.0 / nUpper);
    if (nPercent > 98) bar.SetPos(static_cast<int>(nUpper * kProgressHold));
}

void DownloadFiles(DeviceOperations& device, Prompter& prompter, ProgressBar& bar,
                   const std::vector<std::string>& files, const std::vector<SlotMark>& slots,
                   const std::string& folder, SlotMark marker,
                   const std::function<void()>& refreshSlotList) {
    DeviceCommandScope scope;
    std::size_t nCursor = 0;
    for (const std::string& name : files) {
        const int nSlot = NextSlot(slots, nCursor, marker);
        if (nSlot < 0) continue;
        nCursor = static_cast<std::size_t>(nSlot) + 1;
        const fs::path path = PathFromUtf8(folder) / PathFromUtf8(name);
        const std::optional<long long> nLength = SongFileLength(path);
        if (!nLength) {
            // The command ends here, without reading the slot list back: with
            // the instrument gone that would only add a second message.
            prompter.Show(name + "  cannot be opened!");
            bar.Hide();
            device.EnableProgress(false);
            return;
        }
        // A file put into the repository from outside may be no song: the
        // rule that lets songs in by Copy Up decides before anything is sent.
        const std::string refusal = SongRefusalMessage(Utf8FromPath(path), name);
        if (!refusal.empty()) {
            prompter.Show(refusal);
            continue;
        }
        bar.SetRange(0, ProgressMaximum(*nLength));
        bar.SetStep(1);
        // The bar may still stand where the last transfer left it.
        bar.SetPos(0);
        bar.Show();
        device.EnableProgress(true);
        if (device.DownloadSong(Utf8FromPath(path), nSlot, kTransferTimeoutMs)) {
            bar.SetPos(bar.Upper());
            prompter.Show("Download successfully!");
        } else {
            prompter.Show(name + "  Download error!");
        }
    }
    bar.Hide();
    device.EnableProgress(false);
    if (refreshSlotList) refreshSlotList();
}

namespace {

/// No slot selected: the file may go into the single free slot.
void DownloadIntoFreeSlot(DeviceOperations& device, Prompter& prompter, ProgressBar& bar,
                          const DownloadChoice& choice, const std::vector<SlotMark>& slots,
                          std::size_t nSelected, const std::function<void()>& refreshSlotList) {
    const std::size_t nFiles = choice.files.size();
    if (nSelected != 0) {
        prompter.Show("Select slot first!");
        return;
    }
    const auto nFree =
        static_cast<std::size_t>(std::count(slots.begin(), slots.end(), SlotMark::Free));
    if (nFree > nFiles) {
        prompter.Show("Select slot first!");
        return;
    }
    if (prompter.Ask("Using empty slot?", PromptButtons::YesNo) != PromptAnswer::Yes) {
        prompter.Show("Select slot first!");
        return;
    }
    DownloadFiles(device, prompter, bar, choice.files, slots, choice.repositoryFolder,
                  SlotMark::Free, refreshSlotList);
}

}  // namespace

void OnDownload(DeviceOperations& device, Prompter& prompter, ProgressBar& bar,
                const DownloadChoice& choice, const std::function<void()>& refreshSlotList) {
    if (!DeviceCommandAllowed(device)) return;
    DeviceCommandScope scope;
    device.SetProgressHandler([&bar] { OnTransferProgress(bar); });
    const std::size_t nFiles = choice.files.size();
    if (nFiles == 0) return;
    if (nFiles > 1) {
        prompter.Show("Select one file to download!");
        return;
    }
    std::vector<SlotMark> slots;
    const bool bSelectedHoldsSong = MarkSelectedSlots(choice.slotRows, choice.selectedSlots, slots);
    if (nFiles > slots.size()) {
        prompter.Show("The capacity of current divice is not enough!");
        return;
    }
    const auto nSelected =
        static_cast<std::size_t>(std::count(slots.begin(), slots.end(), SlotMark::Selected));
    if (nSelected < nFiles) {
        DownloadIntoFreeSlot(device, prompter, bar, choice, slots, nSelected, refreshSlotList);
        return;
    }
    if (bSelectedHoldsSong &&
        prompter.Ask("Overwrite?", PromptButtons::YesNo) != PromptAnswer::Yes) {
        return;
    }
    DownloadFiles(device, prompter, bar, choice.files, slots, choice.repositoryFolder,
                  SlotMark::Selected, refreshSlotList);
}

}  // namespace velnor
