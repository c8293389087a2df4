#include "midi/rtmidi/JackMidiOut.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <cerrno>

namespace velnor {

JackMidiOut::JackMidiOut() = default;

JackMidiOut::~JackMidiOut() {
    // Closing the client ends its process cycles; the queue, freed after
    // this, is no longer read by anyone.
    if (m_client) m_client->Close();
}

bool JackMidiOut::Open(const std::string& clientName, const std::string& portName,
                       std::string& error) {
    m_client = JackClient::Open(clientName);
    if (!m_client) {
        error = "The JACK server cannot be reached";
        return false;
    }
    jack_client_t* client = m_client->Get();
    m_port =
        jack_port_register(client, portName.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (m_port == nullptr) {
        error = "JACK refused the port " + portName;
        return false;
    }
    if (jack_set_process_callback(client, &JackMidiOut::Process, this) != 0 ||
        jack_activate(client) != 0) {
        error = "JACK would not start the client " + clientName;
        return false;
    }
    return true;
}

bool JackMidiOut::Connect(const std::string& destination, std::string& error) {
    int result = -1;
    if (m_port != nullptr) {
        m_client->With([&](jack_client_t* client) {
            result = jack_connect(client, jack_port_name(m_port), destination.c_str());
        });
    }
    if (result == 0 || result == EEXIST) return true;
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
