#include "ui/ProgramPlatform.h"

#include "midi/CMidiDevice.h"
#include "midi/InstrumentSearch.h"
#include "program/ProgramPlatform.h"

std::unique_ptr<velnor::MidiPlatform> ProgramPlatform() {
    std::unique_ptr<velnor::ProgramPlatform> program = velnor::MakeProgramPlatform();
    // The port dialog's Find searches the real ports only.
    velnor::SetBuiltInInstrument(&program->Instrument());
    return program;
}

void StartPortLayer(velnor::MidiPlatform* platform) {
    velnor::CMidiDevice::SetPlatform(platform);
    velnor::CMidiDevice::GetInstance();
}
