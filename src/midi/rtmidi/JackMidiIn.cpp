#include "midi/rtmidi/JackMidiIn.h"

#include <jack/jack.h>
#include <jack/midiport.h>

#include <cerrno>

namespace velnor {

JackMidiIn::JackMidiIn(Receive receive) : m_receive(std::move(receive)) {
    sem_init(&m_ready, 0, 0);
}

JackMidiIn::~JackMidiIn() {
    Close();
    sem_destroy(&m_ready);
}

bool JackMidiIn::Open(const std::string& clientName, const std::string& portName,
                      std::string& error) {
    if (!OpenJackMidiPort(clientName, portName, true, m_client, m_port, error)) return false;
    m_thread = std::thread(&JackMidiIn::Run, this);
    return StartJackClient(*m_client, &JackMidiIn::Process, this, clientName, error);
}

bool JackMidiIn::Connect(const std::string& source, std::string& error) {
    if (m_client && ConnectJackPort(*m_client, m_port, source, false)) return true;
    error = "JACK could not connect " + source + " to our input";
    return false;
}

void JackMidiIn::Close() {
    // No process cycle runs after the close: the queue has no more writer.
    if (m_client) m_client->Close();
    if (m_thread.joinable()) {
        m_stop.store(true, std::memory_order_release);
        sem_post(&m_ready);
        m_thread.join();
    }
}

// JACK's process thread: copies, counts and posts; nothing else.
int JackMidiIn::Process(std::uint32_t frames, void* arg) {
    auto* self = static_cast<JackMidiIn*>(arg);
    void* buffer = jack_port_get_buffer(self->m_port, frames);
    const std::uint32_t count = jack_midi_get_event_count(buffer);
    bool queued = false;
    for (std::uint32_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, buffer, i) != 0 || event.size == 0) continue;
        if (self->m_queue.PushFromTheOnlyWriter(event.buffer, event.size)) {
            queued = true;
        } else {
            self->m_dropped.fetch_add(1, std::memory_order_relaxed);
        }
    }
    if (queued) sem_post(&self->m_ready);
    return 0;
}

// Our thread: the messages, one at a time, in the order JACK delivered them.
void JackMidiIn::Run() {
    std::vector<std::uint8_t> message;
    for (;;) {
        while (sem_wait(&m_ready) != 0 && errno == EINTR) {
        }
        if (m_stop.load(std::memory_order_acquire)) return;
        while (const std::size_t size = m_queue.NextSize()) {
            message.resize(size);
            m_queue.Pop(message.data());
            m_receive(message.data(), message.size());
        }
    }
}

}  // namespace velnor
