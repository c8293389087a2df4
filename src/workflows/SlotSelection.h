#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/Prompter.h"
#include "midi/SlotEntry.h"

namespace velnor {

// The selection readers and the Delete batch work on what the slot list shows:
// `rows` holds every row in row order (row index = slot number), each with
// whether its slot is free, and `selected` the indexes of the selected rows,
// in any order. Indexes outside the rows and repeated indexes are ignored.
// A slot is free by its own state, never by its text: a song may be named
// "Empty".

/// How Download sees a slot: selected, else free or holding a song.
enum class SlotMark { Song, Free, Selected };

/// Fills `slots` with one mark per row. Returns true when at least one
/// selected row holds a song.
bool MarkSelectedSlots(const std::vector<SlotEntry>& rows, const std::vector<int>& selected,
                       std::vector<SlotMark>& slots);

/// Fills `songs` with one entry per row: the song's name when the row is
/// selected and holds a song, else the empty string.
void GetSelectedSongs(const std::vector<SlotEntry>& rows, const std::vector<int>& selected,
                      std::vector<std::string>& songs);

/// The slot list's Delete command. Nothing selected: nothing at all.
/// Otherwise, for each selected row from the top: a free slot is passed
/// over; a song asks "Delete <name>?" (Yes/No) and on Yes calls
/// `deleteSlot(row)`, which must finish the deletion before it returns.
/// Finally `deleteSlot(-1)`, whatever the answers were (the pane reloads the
/// list then). An empty `deleteSlot` (no pane to tell) does nothing at all.
void DeleteSelectedSlots(Prompter& prompter, const std::vector<SlotEntry>& rows,
                         const std::vector<int>& selected,
                         const std::function<void(int)>& deleteSlot);

/// The selected rows that exist, ascending, each once.
std::vector<int> SelectedRowsInOrder(const std::vector<int>& selected, std::size_t nRows);

}  // namespace velnor
