#include "program/ProgramPlatform.h"

#ifdef VELNOR_HAVE_RTMIDI
#include "midi/rtmidi/RtMidiPlatform.h"
#endif

namespace velnor {

std::unique_ptr<ProgramPlatform> MakeProgramPlatform(std::optional<instrument::Link> link) {
    std::unique_ptr<ProgramPlatform> program(new ProgramPlatform);
#ifdef VELNOR_HAVE_RTMIDI
    program->Add(std::make_unique<RtMidiPlatform>());
#endif
    auto vi = std::make_unique<instrument::VirtualInstrumentPlatform>(
        instrument::InstrumentOptions::Defaults(),
        link.value_or(instrument::LinkFromEnvironment()));
    program->m_instrument = vi.get();
    program->Add(std::move(vi));
    return program;
}

}  // namespace velnor
