#include "midi/rtmidi/ProgramPlatform.h"

#include "midi/rtmidi/RtMidiPlatform.h"

namespace velnor {

std::unique_ptr<ProgramPlatform> MakeProgramPlatform(std::optional<instrument::Link> link) {
    std::unique_ptr<ProgramPlatform> program(new ProgramPlatform);
    program->Add(std::make_unique<RtMidiPlatform>());
    auto vi = std::make_unique<instrument::VirtualInstrumentPlatform>(
        instrument::InstrumentOptions::Defaults(),
        link.value_or(instrument::LinkFromEnvironment()));
    program->m_instrument = vi.get();
    program->Add(std::move(vi));
    return program;
}

}  // namespace velnor
