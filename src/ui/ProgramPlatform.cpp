#include "ui/ProgramPlatform.h"

#include "midi/CMidiDevice.h"
#ifdef VELNOR_HAVE_RTMIDI
#include "midi/rtmidi/ProgramPlatform.h"
#else
#include "instrument/VirtualInstrumentPlatform.h"
#endif

std::unique_ptr<velnor::MidiPlatform> ProgramPlatform() {
#ifdef VELNOR_HAVE_RTMIDI
    return velnor::MakeProgramPlatform();
#else
    // Without the RtMidi backend the virtual instrument is the only port pair.
    using velnor::instrument::InstrumentOptions;
    return std::make_unique<velnor::instrument::VirtualInstrumentPlatform>(
        InstrumentOptions::Defaults(), velnor::instrument::LinkFromEnvironment());
#endif
}

void StartPortLayer(velnor::MidiPlatform* platform) {
    velnor::CMidiDevice::SetPlatform(platform);
    velnor::CMidiDevice::GetInstance();
}
