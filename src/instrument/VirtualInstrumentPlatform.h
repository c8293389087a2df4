#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "instrument/InstrumentDevice.h"
#include "instrument/LinkModel.h"
#include "midi/MidiPlatform.h"

namespace velnor::instrument {

/// The virtual instrument as a MIDI platform: one input and one output port,
/// both named "Velnor Virtual Instrument".
///
/// Threads: midiOutLongMsg copies the packet and returns at once. The
/// instrument's own thread answers each packet, holds every message it sends
/// back until the link model says it has crossed the wire, and then delivers
/// it through the input callback (MIM_LONGDATA) into the buffers queued with
/// midiInAddBuffer, in buffer-sized chunks. The callback runs on that thread
/// with no lock held, so it may add buffers and send packets itself. After
/// midiInStop, midiInReset or midiInClose has returned no callback is made.
class VirtualInstrumentPlatform : public MidiPlatform {
  public:
    explicit VirtualInstrumentPlatform(InstrumentOptions options = InstrumentOptions::Defaults(),
                                       Link link = LinkFromEnvironment());
    ~VirtualInstrumentPlatform() override;
    VirtualInstrumentPlatform(const VirtualInstrumentPlatform&) = delete;
    VirtualInstrumentPlatform& operator=(const VirtualInstrumentPlatform&) = delete;

    // The link model and the faults apply to packets sent from now on.
    void SetLink(Link link);
    Link GetLink() const;
    void SetFaults(InstrumentFaults faults);
    /// Parses a fault list such as "drop-ack:3,split:2"; false and a message
    /// in `error` when it cannot be read (the faults in force stay).
    bool SetFaults(const std::string& text, std::string& error);

    /// Back to `options` (or to what a new user sees), with no faults and no
    /// records; messages still on their way are dropped.
    void Reset(InstrumentOptions options);
    void ResetToDefaults() { Reset(InstrumentOptions::Defaults()); }

    // Inspection, for tests: copies taken under the lock.
    std::vector<Bytes> PacketsReceived() const;
    std::vector<Bytes> MessagesReceived() const;
    /// Every message the instrument sent back, acknowledgements included.
    std::vector<Bytes> MessagesSent() const;
    std::vector<std::optional<InstrumentSong>> Slots() const;
    std::uint32_t UsedMemory() const;

    /// Waits (without spinning) until every packet sent so far has been
    /// answered and everything the instrument sent has been delivered or
    /// dropped; false when `timeout` passed first.
    bool WaitUntilIdle(std::chrono::milliseconds timeout);

    unsigned midiInGetNumDevs() override { return 1; }
    unsigned midiOutGetNumDevs() override { return 1; }
    MidiResult midiInGetDevCaps(unsigned id, std::string& name) override;
    MidiResult midiOutGetDevCaps(unsigned id, std::string& name) override;
    MidiResult midiInOpen(HMIDIIN* handle, unsigned id, MidiInProc callback,
                          void* instance) override;
    MidiResult midiInPrepareHeader(HMIDIIN handle, MIDIHDR* header) override;
    MidiResult midiInUnprepareHeader(HMIDIIN handle, MIDIHDR* header) override;
    MidiResult midiInAddBuffer(HMIDIIN handle, MIDIHDR* header) override;
    MidiResult midiInStart(HMIDIIN handle) override;
    MidiResult midiInStop(HMIDIIN handle) override;
    MidiResult midiInReset(HMIDIIN handle) override;
    MidiResult midiInClose(HMIDIIN handle) override;
    MidiResult midiOutOpen(HMIDIOUT* handle, unsigned id) override;
    MidiResult midiOutPrepareHeader(HMIDIOUT handle, MIDIHDR* header) override;
    MidiResult midiOutUnprepareHeader(HMIDIOUT handle, MIDIHDR* header) override;
    MidiResult midiOutLongMsg(HMIDIOUT handle, MIDIHDR* header) override;
    MidiResult midiOutReset(HMIDIOUT handle) override;
    MidiResult midiOutClose(HMIDIOUT handle) override;

  private:
    using Clock = std::chrono::steady_clock;
    struct Inbound {
        Bytes data;
        Clock::time_point arrival;
    };
    struct Outbound {
        Bytes data;
        Clock::time_point due;
        std::size_t offset = 0;
        std::size_t chunk = 0;  ///< bytes per delivery; 0 = as large as the buffer
    };

    void Run();
    void ProcessInbound(std::unique_lock<std::mutex>& lock);
    /// Delivers the next due chunk; false when there is nothing to do now.
    bool DeliverOne(std::unique_lock<std::mutex>& lock);
    void WaitForCallbackToEnd(std::unique_lock<std::mutex>& lock);
    bool ValidIn(HMIDIIN handle) const { return m_inOpen && handle == m_inHandle; }
    bool ValidOut(HMIDIOUT handle) const { return m_outOpen && handle == m_outHandle; }

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;  ///< the instrument thread waits on it
    std::condition_variable m_idle;  ///< WaitUntilIdle and midiInStop wait on it
    InstrumentDevice m_device;
    Link m_link;
    const Clock::time_point m_epoch;  ///< USB frames are counted from here
    bool m_stop = false;

    std::deque<Inbound> m_inbound;
    std::deque<Outbound> m_outbound;
    Clock::time_point m_toInstrumentFree;  ///< when the wire to the instrument is free
    Clock::time_point m_fromInstrumentFree;

    bool m_inOpen = false;
    bool m_inStarted = false;
    HMIDIIN m_inHandle = 0;
    MidiInProc m_callback = nullptr;
    void* m_instance = nullptr;
    std::deque<MIDIHDR*> m_buffers;
    bool m_inCallback = false;
    std::thread::id m_threadId;

    bool m_outOpen = false;
    HMIDIOUT m_outHandle = 0;
    std::uintptr_t m_nextHandle = 0x7E50;

    std::thread m_thread;
};

}  // namespace velnor::instrument
