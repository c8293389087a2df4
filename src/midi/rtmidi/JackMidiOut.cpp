#include "midi/rtmidi/JackMidiOut.h"

#include <jack/jack.h>
#include <jack/midiport.h>

namespace velnor {

JackMidiOut::JackMidiOut() = default;

JackMidiOut::~JackMidiOut() {
    // Closing the client ends its process cycles; the queue, freed after
    // this, is no longer read by anyone.
    if (m_client) m_client->Close();
}

bool JackMidiOut::Open(const std::string& clientName, const std::string& portName,
                       std::string& error) {
    return OpenJackMidiPort(clientName, portName, false, m_client, m_port, error) &&
           StartJackClient(*m_client, &JackMidiOut::Process, this, clientName, error);
}

bool JackMidiOut::Connect(const std::string& destination, std::string& error) {
    if (m_client && ConnectJackPort(*m_client, m_port, destination, true)) return true;
    error = "JACK could not connect our output to " + destination;
    return false;
}

bool JackMidiOut::Send(const std::uint8_t* data, std::size_t size) {
    return m_port != nullptr && m_queue.Push(data, size);
}

// JACK's process thread: no locks, no allocation.
int JackMidiOut::Process(std::uint32_t frames, void* arg) {
    auto* self = static_cast<JackMidiOut*>(arg);
    void* buffer = jack_port_get_buffer(self->m_port, frames);
    jack_midi_clear_buffer(buffer);
    bool wroteAny = false;
    while (const std::size_t size = self->m_queue.NextSize()) {
        jack_midi_data_t* event = size <= jack_midi_max_event_size(buffer)
                                      ? jack_midi_event_reserve(buffer, 0, size)
                                      : nullptr;
        if (event == nullptr && wroteAny) break;  // the rest goes in the next cycle
        // A message that does not fit into a whole cycle's buffer can never
        // be carried; it is dropped, so that the ones after it still are.
        self->m_queue.Pop(event);
        wroteAny = true;
    }
    return 0;
}

}  // namespace velnor
