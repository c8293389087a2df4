#include "midi/TracingMidiPlatform.h"

#include <cstdio>

namespace velnor {

TracingMidiPlatform::TracingMidiPlatform(MidiPlatform& inner, Sink sink)
    : m_inner(inner), m_sink(std::move(sink)), m_start(std::chrono::steady_clock::now()) {}

std::string TracingMidiPlatform::FormatLine(std::chrono::microseconds elapsed,
                                            const char* direction, const std::uint8_t* data,
                                            std::size_t size) {
    char stamp[48];
    const long long us = elapsed.count();
    std::snprintf(stamp, sizeof stamp, "[%6lld.%03lld ms] %-3s", us / 1000, us % 1000, direction);
    std::string line = stamp;
    static const char kHex[] = "0123456789ABCDEF";
    line.reserve(line.size() + 3 * size);
    for (std::size_t i = 0; i < size; ++i) {
        line += ' ';
        line += kHex[data[i] >> 4];
        line += kHex[data[i] & 0x0F];
    }
    return line;
}

void TracingMidiPlatform::Trace(const char* direction, const std::uint8_t* data, std::size_t size) {
    if (!m_sink || !data) return;
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - m_start);
    const std::string line = FormatLine(elapsed, direction, data, size);
    std::lock_guard lock(m_mutex);
    m_sink(line);
}

MidiResult TracingMidiPlatform::midiInOpen(HMIDIIN* handle, unsigned id, MidiInProc callback,
                                           void* instance) {
    Listener* listener = nullptr;
    {
        std::lock_guard lock(m_mutex);
        m_listeners.push_back(std::make_unique<Listener>(Listener{this, callback, instance}));
        listener = m_listeners.back().get();
    }
    return m_inner.midiInOpen(handle, id, &TracingMidiPlatform::ForwardInput, listener);
}

void TracingMidiPlatform::ForwardInput(HMIDIIN handle, unsigned message, void* instance,
                                       MIDIHDR* header) {
    auto* listener = static_cast<Listener*>(instance);
    if (!listener) return;
    if (message == MIM_LONGDATA && header)
        listener->tracer->Trace("in", header->lpData, header->dwBytesRecorded);
    if (listener->callback) listener->callback(handle, message, listener->instance, header);
}

MidiResult TracingMidiPlatform::midiOutLongMsg(HMIDIOUT handle, MIDIHDR* header) {
    if (header) Trace("out", header->lpData, header->dwBufferLength);
    return m_inner.midiOutLongMsg(handle, header);
}

}  // namespace velnor
