// Apart from RtMidiPlatform.cpp: <windows.h> and <mmsystem.h> define names
// the port layer's own declarations use.
#include "midi/rtmidi/WinMmPorts.h"

#include <windows.h>
// after windows.h, which it needs
#include <mmsystem.h>

namespace velnor {

unsigned WinMmInputCount() {
    return ::midiInGetNumDevs();
}

unsigned WinMmOutputCount() {
    return ::midiOutGetNumDevs();
}

}  // namespace velnor
