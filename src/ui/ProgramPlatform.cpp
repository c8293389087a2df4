#include "ui/ProgramPlatform.h"

#include "midi/CMidiDevice.h"
#include "program/ProgramPlatform.h"

std::unique_ptr<velnor::MidiPlatform> ProgramPlatform() {
    return velnor::MakeProgramPlatform();
}

void StartPortLayer(velnor::MidiPlatform* platform) {
    velnor::CMidiDevice::SetPlatform(platform);
    velnor::CMidiDevice::GetInstance();
}
