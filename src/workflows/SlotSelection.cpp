#include "workflows/SlotSelection.h"

#include <algorithm>

#include "workflows/CloseGuard.h"

namespace velnor {

std::vector<int> SelectedRowsInOrder(const std::vector<int>& selected, std::size_t nRows) {
    std::vector<int> rows;
    for (int row : selected) {
        if (row >= 0 && static_cast<std::size_t>(row) < nRows) rows.push_back(row);
    }
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    return rows;
}

bool MarkSelectedSlots(const std::vector<std::string>& rows, const std::vector<int>& selected,
                       std::vector<std::string>& slots) {
    slots = rows;
    bool bHoldsSong = false;
    for (int row : SelectedRowsInOrder(selected, rows.size())) {
        if (slots[row] != kEmptySlot) bHoldsSong = true;
        slots[row].clear();
    }
    return bHoldsSong;
}

void GetSelectedSongs(const std::vector<std::string>& rows, const std::vector<int>& selected,
                      std::vector<std::string>& songs) {
    songs.assign(rows.size(), std::string());
    for (int row : SelectedRowsInOrder(selected, rows.size())) {
        if (rows[row] != kEmptySlot) songs[row] = rows[row];
    }
}

void DeleteSelectedSlots(Prompter& prompter, const std::vector<std::string>& rows,
                         const std::vector<int>& selected,
                         const std::function<void(int)>& deleteSlot) {
    const std::vector<int> order = SelectedRowsInOrder(selected, rows.size());
    if (order.empty() || !deleteSlot) return;
    DeviceCommandScope scope;
    // The rows as they were when the command started: the batch never sees
    // the list change under it.
    const std::vector<std::string> names = rows;
    for (int row : order) {
        const std::string& name = names[row];
        if (name == kEmptySlot) continue;
        if (prompter.Ask("Delete " + name + "?", PromptButtons::YesNo) == PromptAnswer::Yes) {
            deleteSlot(row);
        }
    }
    deleteSlot(-1);
}

}  // namespace velnor
