#include "ui/ProgramPlatform.h"

#include "instrument/VirtualInstrumentPlatform.h"
#include "midi/CMidiDevice.h"
#include "midi/CompositeMidiPlatform.h"
#ifdef VELNOR_HAVE_RTMIDI
#include "midi/rtmidi/RtMidiPlatform.h"
#endif

std::unique_ptr<velnor::MidiPlatform> ProgramPlatform() {
    using velnor::instrument::InstrumentOptions;
    using velnor::instrument::VirtualInstrumentPlatform;
    auto composite = std::make_unique<velnor::CompositeMidiPlatform>();
#ifdef VELNOR_HAVE_RTMIDI
    composite->Add(std::make_unique<velnor::RtMidiPlatform>());
#endif
    composite->Add(std::make_unique<VirtualInstrumentPlatform>(
        InstrumentOptions::Defaults(), velnor::instrument::LinkFromEnvironment()));
    return composite;
}

void StartPortLayer(velnor::MidiPlatform* platform) {
    velnor::CMidiDevice::SetPlatform(platform);
    velnor::CMidiDevice::GetInstance();
}
