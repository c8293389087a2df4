#pragma once

#include <functional>
#include <string>
#include <vector>

#include "common/Prompter.h"
#include "midi/SlotEntry.h"
#include "workflows/DeviceOperations.h"

namespace velnor {

/// True when a slot name can be used as a file name inside the repository
/// without leaving it: not empty, not "." or "..", and free of path
/// separators ('/' and '\\'; on Windows also ':', which names a drive).
bool IsSafeSlotFileName(const std::string& name);

/// The Upload command. Does nothing at all unless connected, with a port
/// layer and idle, or when the slot list has no rows. Otherwise fetches the
/// song of every selected slot that holds one, in ascending slot order, into
/// the repository file named after the slot: an existing real folder of that
/// name skips the slot silently; an existing file, or one whose name equals
/// the slot's ignoring case, asks "Replace existed file?" (Yes/No) before
/// anything is sent, and Yes writes it under its own name; a failed transfer, or a slot name
/// that would leave the repository, shows "<name>  Upload error!" and the
/// next slot is still handled. Finally `refreshRepository` is called.
void OnUpload(DeviceOperations& device, Prompter& prompter, const std::vector<SlotEntry>& slotRows,
              const std::vector<int>& selectedSlots, const std::string& repositoryFolder,
              const std::function<void()>& refreshRepository);

}  // namespace velnor
