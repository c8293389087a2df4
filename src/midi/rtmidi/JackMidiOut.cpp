#include "midi/rtmidi/JackMidiOut.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace velnor {

JackMidiOut::JackMidiOut() : m_queue(std::make_unique<std::uint8_t[]>(kCapacity)) {}

JackMidiOut::~JackMidiOut() {
    // Closing the client ends its process cycles; the queue, freed after
    // this, is no longer read by anyone.
    if (m_client != nullptr) jack_client_close(m_client);
}

bool JackMidiOut::Open(const std::string& clientName, const std::string& portName,
                       std::string& error) {
    jack_status_t status{};
    m_client = jack_client_open(clientName.c_str(), JackNoStartServer, &status);
    if (m_client == nullptr) {
        error = "The JACK server cannot be reached";
        return false;
    }
    m_port =
        jack_port_register(m_client, portName.c_str(), JACK_DEFAULT_MIDI_TYPE, JackPortIsOutput, 0);
    if (m_port == nullptr) {
        error = "JACK refused the port " + portName;
        return false;
    }
    if (jack_set_process_callback(m_client, &JackMidiOut::Process, this) != 0 ||
        jack_activate(m_client) != 0) {
        error = "JACK would not start the client " + clientName;
        return false;
    }
    return true;
}

bool JackMidiOut::Connect(const std::string& destination, std::string& error) {
    const int result = jack_connect(m_client, jack_port_name(m_port), destination.c_str());
    if (result == 0 || result == EEXIST) return true;
    error = std::string("JACK could not connect ") + jack_port_name(m_port) + " to " + destination;
    return false;
}

void JackMidiOut::Put(std::size_t at, const void* data, std::size_t size) {
    const std::size_t offset = at % kCapacity;
    const std::size_t first = std::min(size, kCapacity - offset);
    std::memcpy(&m_queue[offset], data, first);
    std::memcpy(&m_queue[0], static_cast<const std::uint8_t*>(data) + first, size - first);
}

void JackMidiOut::Get(std::size_t at, void* data, std::size_t size) const {
    const std::size_t offset = at % kCapacity;
    const std::size_t first = std::min(size, kCapacity - offset);
    std::memcpy(data, &m_queue[offset], first);
    std::memcpy(static_cast<std::uint8_t*>(data) + first, &m_queue[0], size - first);
}

bool JackMidiOut::Send(const std::uint8_t* data, std::size_t size) {
    if (m_port == nullptr || size == 0) return false;
    const std::uint32_t length = static_cast<std::uint32_t>(size);
    const std::size_t written = m_written.load(std::memory_order_relaxed);
    const std::size_t free = kCapacity - (written - m_read.load(std::memory_order_acquire));
    if (sizeof length + size > free) return false;
    Put(written, &length, sizeof length);
    Put(written + sizeof length, data, size);
    m_written.store(written + sizeof length + size, std::memory_order_release);
    return true;
}

// JACK's process thread: no locks, no allocation.
int JackMidiOut::Process(std::uint32_t frames, void* arg) {
    auto* self = static_cast<JackMidiOut*>(arg);
    void* buffer = jack_port_get_buffer(self->m_port, frames);
    jack_midi_clear_buffer(buffer);
    std::size_t read = self->m_read.load(std::memory_order_relaxed);
    const std::size_t written = self->m_written.load(std::memory_order_acquire);
    bool wroteAny = false;
    while (read != written) {
        std::uint32_t length = 0;
        self->Get(read, &length, sizeof length);
        jack_midi_data_t* event = length <= jack_midi_max_event_size(buffer)
                                      ? jack_midi_event_reserve(buffer, 0, length)
                                      : nullptr;
        if (event != nullptr) {
            self->Get(read + sizeof length, event, length);
        } else if (wroteAny) {
            break;  // the rest goes in the next cycle
        }
        // A message that does not fit into a whole cycle's buffer can never
        // be carried; it is dropped, so that the ones after it still are.
        wroteAny = true;
        read += sizeof length + length;
    }
    self->m_read.store(read, std::memory_order_release);
    return 0;
}

}  // namespace velnor
