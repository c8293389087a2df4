#pragma once

namespace velnor {

/// How many MIDI inputs and outputs WinMM has (Windows only). Asked before
/// RtMidi is, since RtMidi prints a warning on the console for a system
/// without ports of a direction.
unsigned WinMmInputCount();
unsigned WinMmOutputCount();

}  // namespace velnor
