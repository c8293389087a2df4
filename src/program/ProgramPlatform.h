#pragma once

#include <memory>
#include <optional>

#include "instrument/VirtualInstrumentPlatform.h"
#include "midi/CompositeMidiPlatform.h"

namespace velnor {

/// The platform the program and velnor-cli talk through: the system's real
/// MIDI ports first (where the RtMidi backend is built), then the virtual
/// instrument, so the instrument is the last input and the last output port
/// ("Velnor Virtual Instrument").
class ProgramPlatform : public CompositeMidiPlatform {
  public:
    ProgramPlatform(const ProgramPlatform&) = delete;
    ProgramPlatform& operator=(const ProgramPlatform&) = delete;

    /// What CMidiDevice::SetPlatform takes.
    MidiPlatform& Platform() { return *this; }
    instrument::VirtualInstrumentPlatform& Instrument() { return *m_instrument; }

  private:
    ProgramPlatform() = default;
    friend std::unique_ptr<ProgramPlatform> MakeProgramPlatform(std::optional<instrument::Link>);

    instrument::VirtualInstrumentPlatform* m_instrument = nullptr;
};

/// Builds the program's platform. The instrument's link is `link`, or the one
/// VELNOR_INSTRUMENT_LINK names (USB when unset).
std::unique_ptr<ProgramPlatform> MakeProgramPlatform(
    std::optional<instrument::Link> link = std::nullopt);

}  // namespace velnor
