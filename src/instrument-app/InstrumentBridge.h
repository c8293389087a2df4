#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "instrument/VirtualInstrumentPlatform.h"

namespace velnor::instrument {

/// Puts the virtual instrument behind a pair of real MIDI ports: each message
/// that arrives on the port (one packet of the program's) goes to the
/// instrument as if the program had sent it over the instrument's own port,
/// and everything the instrument sends back, once its link model lets it
/// arrive, goes out through `send`.
///
/// Threads: Receive() may be called on any one thread (the MIDI system's);
/// `send` is called on the instrument's thread, one message or, with a split
/// fault, one piece of a message at a time.
class InstrumentBridge {
  public:
    using Send = std::function<bool(const std::uint8_t* data, std::size_t size)>;

    InstrumentBridge(VirtualInstrumentPlatform& instrument, Send send);
    ~InstrumentBridge();
    InstrumentBridge(const InstrumentBridge&) = delete;
    InstrumentBridge& operator=(const InstrumentBridge&) = delete;

    /// Opens the instrument's ports; false with a message when it cannot.
    bool Start(std::string& error);
    /// Hands one message from the wire to the instrument.
    void Receive(const std::uint8_t* data, std::size_t size);
    /// Closes the instrument's ports; nothing is sent after it returns.
    void Stop();

  private:
    static void OnInstrumentData(HMIDIIN handle, unsigned message, void* instance, MIDIHDR* header);

    VirtualInstrumentPlatform& m_instrument;
    Send m_send;
    HMIDIIN m_in = 0;
    HMIDIOUT m_out = 0;
    std::atomic<bool> m_started = false;
    std::vector<std::vector<std::uint8_t>> m_storage;
    std::vector<MIDIHDR> m_headers;
};

}  // namespace velnor::instrument
