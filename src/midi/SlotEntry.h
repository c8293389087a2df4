#pragma once

#include <string>
#include <vector>

namespace velnor {

/// The text the slot list shows for a free slot.
inline constexpr const char* kEmptySlot = "Empty";

/// One slot of the instrument, as its slot list shows it. Whether the slot
/// is free is state of its own: "Empty" is also a name a song may have, and
/// a song of that name must never be taken for a free slot.
struct SlotEntry {
    std::string name;    ///< the song's name; "Empty" for a free slot
    bool bFree = false;  ///< the instrument gave the slot no name (length 0)

    bool operator==(const SlotEntry&) const = default;
};

}  // namespace velnor
