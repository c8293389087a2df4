#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "midi/rtmidi/RtMidiShared.h"

class RtMidiOut;

namespace velnor {

class AlsaMidiOut;
class JackMidiOut;

/// An output: on ALSA and JACK our own (see AlsaMidiOut and JackMidiOut),
/// elsewhere RtMidi's. The window's thread sends packets and the input
/// thread replies: sends take turns.
struct RtMidiOutPort {
    RtMidiOutPort();
    ~RtMidiOutPort();

    std::unique_ptr<RtMidiOut> midi;
#ifdef VELNOR_HAVE_ALSA
    std::unique_ptr<AlsaMidiOut> alsa;
#endif
#ifdef VELNOR_HAVE_JACK
    std::unique_ptr<JackMidiOut> jack;
#endif

    /// Sends one message; false (and the reason in `error`) when it was not
    /// taken.
    bool Send(const std::uint8_t* data, std::size_t size, rtmidi::ErrorSink& error);
    void Close();

  private:
    std::mutex m_send;  ///< one sender at a time through RtMidi
};

}  // namespace velnor
