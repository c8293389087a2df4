#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/Prompter.h"

namespace velnor {

/// The text of a free slot, everywhere in the program (exact, case-sensitive).
inline constexpr const char* kEmptySlot = "Empty";

// The selection readers and the Delete batch work on what the slot list shows:
// `rows` holds the text of every row in row order (row index = slot number)
// and `selected` the indexes of the selected rows, in any order. Indexes
// outside the rows and repeated indexes are ignored.

/// Fills `slots` with one entry per row: the row's text, or the empty string
/// for a selected row. Returns true when at least one selected row holds a
/// song (its text is not "Empty").
bool MarkSelectedSlots(const std::vector<std::string>& rows, const std::vector<int>& selected,
                       std::vector<std::string>& slots);

/// Fills `songs` with one entry per row: the row's text when the row is
/// selected and not "Empty", else the empty string.
void GetSelectedSongs(const std::vector<std::string>& rows, const std::vector<int>& selected,
                      std::vector<std::string>& songs);

/// The slot list's Delete command. Nothing selected: nothing at all.
/// Otherwise, for each selected row from the top: an "Empty" row is passed
/// over; any other asks "Delete <name>?" (Yes/No) and on Yes calls
/// `deleteSlot(row)`, which must finish the deletion before it returns.
/// Finally `deleteSlot(-1)`, whatever the answers were (the pane reloads the
/// list then). An empty `deleteSlot` (no pane to tell) does nothing at all.
void DeleteSelectedSlots(Prompter& prompter, const std::vector<std::string>& rows,
                         const std::vector<int>& selected,
                         const std::function<void(int)>& deleteSlot);

/// The selected rows that exist, ascending, each once.
std::vector<int> SelectedRowsInOrder(const std::vector<int>& selected, std::size_t nRows);

}  // namespace velnor
