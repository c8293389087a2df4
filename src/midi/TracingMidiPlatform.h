#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "midi/MidiPlatform.h"

namespace velnor {

/// Wraps a platform and reports every System Exclusive packet sent and every
/// chunk received, one line each: milliseconds since the trace began, the
/// direction ("out" or "in") and the bytes in hexadecimal. Everything else is
/// passed through unchanged.
///
/// Lines come from two threads (the sending thread and the input thread); the
/// sink is called under a lock, one line at a time, and must not call back
/// into the platform.
class TracingMidiPlatform : public MidiPlatform {
  public:
    using Sink = std::function<void(const std::string& line)>;

    /// `inner` must outlive the tracer.
    TracingMidiPlatform(MidiPlatform& inner, Sink sink);
    TracingMidiPlatform(const TracingMidiPlatform&) = delete;
    TracingMidiPlatform& operator=(const TracingMidiPlatform&) = delete;

    /// "[    12.345 ms] out F0 00 1E ... F7"
    static std::string FormatLine(std::chrono::microseconds elapsed, const char* direction,
                                  const std::uint8_t* data, std::size_t size);

    unsigned midiInGetNumDevs() override { return m_inner.midiInGetNumDevs(); }
    unsigned midiOutGetNumDevs() override { return m_inner.midiOutGetNumDevs(); }
    MidiResult midiInGetDevCaps(unsigned id, std::string& name) override {
        return m_inner.midiInGetDevCaps(id, name);
    }
    MidiResult midiOutGetDevCaps(unsigned id, std::string& name) override {
        return m_inner.midiOutGetDevCaps(id, name);
    }
    MidiResult midiInOpen(HMIDIIN* handle, unsigned id, MidiInProc callback,
                          void* instance) override;
    MidiResult midiInPrepareHeader(HMIDIIN handle, MIDIHDR* header) override {
        return m_inner.midiInPrepareHeader(handle, header);
    }
    MidiResult midiInUnprepareHeader(HMIDIIN handle, MIDIHDR* header) override {
        return m_inner.midiInUnprepareHeader(handle, header);
    }
    MidiResult midiInAddBuffer(HMIDIIN handle, MIDIHDR* header) override {
        return m_inner.midiInAddBuffer(handle, header);
    }
    MidiResult midiInStart(HMIDIIN handle) override { return m_inner.midiInStart(handle); }
    MidiResult midiInStop(HMIDIIN handle) override { return m_inner.midiInStop(handle); }
    MidiResult midiInReset(HMIDIIN handle) override { return m_inner.midiInReset(handle); }
    MidiResult midiInClose(HMIDIIN handle) override { return m_inner.midiInClose(handle); }
    MidiResult midiOutOpen(HMIDIOUT* handle, unsigned id) override {
        return m_inner.midiOutOpen(handle, id);
    }
    MidiResult midiOutPrepareHeader(HMIDIOUT handle, MIDIHDR* header) override {
        return m_inner.midiOutPrepareHeader(handle, header);
    }
    MidiResult midiOutUnprepareHeader(HMIDIOUT handle, MIDIHDR* header) override {
        return m_inner.midiOutUnprepareHeader(handle, header);
    }
    MidiResult midiOutLongMsg(HMIDIOUT handle, MIDIHDR* header) override;
    MidiResult midiOutReset(HMIDIOUT handle) override { return m_inner.midiOutReset(handle); }
    MidiResult midiOutClose(HMIDIOUT handle) override { return m_inner.midiOutClose(handle); }

  private:
    /// The caller's callback of one opened input; kept until the tracer goes,
    /// so a callback still running after a close finds it.
    struct Listener {
        TracingMidiPlatform* tracer = nullptr;
        MidiInProc callback = nullptr;
        void* instance = nullptr;
    };

    static void ForwardInput(HMIDIIN handle, unsigned message, void* instance, MIDIHDR* header);
    void Trace(const char* direction, const std::uint8_t* data, std::size_t size);

    MidiPlatform& m_inner;
    Sink m_sink;
    const std::chrono::steady_clock::time_point m_start;
    std::mutex m_mutex;  ///< one line at a time; guards m_listeners
    std::vector<std::unique_ptr<Listener>> m_listeners;
};

}  // namespace velnor
