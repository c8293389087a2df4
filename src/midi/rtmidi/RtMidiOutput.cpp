#include "midi/rtmidi/RtMidiOutput.h"

#include <RtMidi.h>

#ifdef VELNOR_HAVE_ALSA
#include "midi/rtmidi/AlsaMidiOut.h"
#endif
#ifdef VELNOR_HAVE_JACK
#include "midi/rtmidi/JackMidiOut.h"
#endif

namespace velnor {

RtMidiOutPort::RtMidiOutPort() = default;
RtMidiOutPort::~RtMidiOutPort() = default;

bool RtMidiOutPort::Send(const std::uint8_t* data, std::size_t size, rtmidi::ErrorSink& error) {
#ifdef VELNOR_HAVE_JACK
    if (jack) {
        if (jack->Send(data, size)) return true;
        error.Store("The JACK output is full");
        return false;
    }
#endif
#ifdef VELNOR_HAVE_ALSA
    if (alsa) {
        if (alsa->Send(data, size)) return true;
        error.Store("The ALSA sequencer did not take the message");
        return false;
    }
#endif
    if (!midi) return false;
    std::lock_guard lock(m_send);
    try {
        midi->sendMessage(data, size);
    } catch (const RtMidiError& e) {
        error.Store(e.getMessage());
        return false;
    }
    return true;
}

void RtMidiOutPort::Close() {
    if (midi) midi->closePort();
#ifdef VELNOR_HAVE_ALSA
    alsa.reset();
#endif
#ifdef VELNOR_HAVE_JACK
    jack.reset();
#endif
}

}  // namespace velnor
