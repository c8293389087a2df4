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

bool MarkSelectedSlots(const std::vector<SlotEntry>& rows, const std::vector<int>& selected,
                       std::vector<SlotMark>& slots) {
    slots.clear();
    for (const SlotEntry& row : rows) slots.push_back(row.bFree ? SlotMark::Free : SlotMark::Song);
    bool bHoldsSong = false;
    for (int row : SelectedRowsInOrder(selected, rows.size())) {
        if (!rows[row].bFree) bHoldsSong = true;
        slots[row] = SlotMark::Selected;
    }
    return bHoldsSong;
}

void GetSelectedSongs(const std::vector<SlotEntry>& rows, const std::vector<int>& selected,
                      std::vector<std::string>& songs) {
    songs.assign(rows.size(), std::string());
    for (int row : SelectedRowsInOrder(selected, rows.size())) {
        if (!rows[row].bFree) songs[row] = rows[row].name;
    }
}

void DeleteSelectedSlots(Prompter& prompter, const std::vector<SlotEntry>& rows,
                         const std::vector<int>& selected,
                         const std::function<void(int)>& deleteSlot) {
    const std::vector<int> order = SelectedRowsInOrder(selected, rows.size());
    if (order.empty() || !deleteSlot) return;
    DeviceCommandScope scope;
    // The rows as they were when the command started: the batch never sees
    // the list change under it.
    const std::vector<SlotEntry> slots = rows;
    for (int row : order) {
        if (slots[row].bFree) continue;
        if (prompter.Ask("Delete " + slots[row].name + "?", PromptButtons::YesNo) ==
            PromptAnswer::Yes) {
            deleteSlot(row);
        }
    }
    deleteSlot(-1);
}

}  // namespace velnor
