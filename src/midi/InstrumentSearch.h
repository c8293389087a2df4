#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "midi/MidiPlatform.h"

namespace velnor {

/// One MIDI port of the system: its identifier in its direction and its name.
/// Two ports of the same name are told apart by their identifiers.
struct SearchPort {
    unsigned id = 0;
    std::string name;
};

/// The ports a search listens on and sends to.
struct SearchPorts {
    std::vector<SearchPort> inputs;
    std::vector<SearchPort> outputs;
};

/// An input and an output on which the instrument answered the connect
/// request, and the name it gave.
struct FoundInstrument {
    SearchPort in;
    SearchPort out;
    std::string deviceName;
};

/// Every port of `platform` but those of `leftOut` (the built-in virtual
/// instrument, always there by its own name): all ports when `leftOut` is
/// null, none when `platform` is `leftOut`, and when `platform` is a
/// CompositeMidiPlatform the ports its other platforms own.
SearchPorts PortsToSearch(MidiPlatform& platform, const MidiPlatform* leftOut);

/// The program's built-in virtual instrument, which the port dialog's search
/// leaves out; set once at start-up (null: none).
void SetBuiltInInstrument(const MidiPlatform* platform);
const MidiPlatform* BuiltInInstrument();

/// The part of a port name that names the device or client: the text before
/// the first ':' ("Midi Through" of "Midi Through:Midi Through Port-0 14:0",
/// the JACK client of "client:port", without the "-01" JACK adds to a second
/// client of the same name), and where the next part names a
/// direction, as PipeWire's bridge does ("Midi-Bridge:USB MIDI 1 (capture):
/// ..."), that part up to " (capture)" or " (playback)" too.
std::string PortDeviceName(const std::string& portName);

/// The outputs in the order a search tries them: those whose device name
/// (PortDeviceName) is an input's first, then the rest, each group in
/// identifier order.
std::vector<SearchPort> OutputsInTryOrder(const SearchPorts& ports);

/// Looks for the instrument among the system's ports: listens on every input
/// at once, each with its own message assembly, and sends the connect request
/// to one output at a time, waiting as Connect does: up to ACK_TIMEOUT_MS for
/// the acknowledgement, then up to CONNECT_TIMEOUT_MS for the reply. A connect
/// reply with status 0 names the pair. Nothing else is ever sent: no
/// complaint about a bad checksum, no reply. The request's own echo (a
/// loopback port) is never taken for a reply. An output that was answered is
/// asked once more, and counts only when answered again: a reply later than
/// the waits would otherwise be taken for the next output's. Every port it opens is closed
/// before Run returns, also after Cancel.
///
/// Works through `platform` only, not through the port layer: call it while
/// the port layer's ports are closed (the port dialog's listing closes them).
/// Run and the waits run on the calling thread through the EventPump; the
/// input callbacks on the platform's threads. One object runs one search.
class CInstrumentSearch {
  public:
    explicit CInstrumentSearch(MidiPlatform& platform);
    virtual ~CInstrumentSearch();
    CInstrumentSearch(const CInstrumentSearch&) = delete;
    CInstrumentSearch& operator=(const CInstrumentSearch&) = delete;

    /// Tries the outputs of `ports` in OutputsInTryOrder; stops after the
    /// first output that was answered when `bFirstOnly`. The pairs that
    /// answered, in the order found.
    std::vector<FoundInstrument> Run(const SearchPorts& ports, bool bFirstOnly);

    /// Ends a running search at its next look at the time (any thread); a
    /// search cancelled before it runs tries nothing.
    void Cancel();
    bool Cancelled() const { return m_bCancelled.load(std::memory_order_acquire); }

  protected:
    /// Waits until `done` or `timeoutMs` has passed, sleeping in the
    /// EventPump (which the input callbacks wake).
    virtual void WaitFor(unsigned timeoutMs, const std::function<bool()>& done);

  private:
    struct Listener;

    static void OnInput(HMIDIIN handle, unsigned message, void* instance, MIDIHDR* header);
    static void OnMessage(void* context, const std::uint8_t* message, int length);
    void Judge(std::size_t input, const std::uint8_t* message, int length);
    void OpenListeners(const std::vector<SearchPort>& inputs);
    void CloseListener(Listener& listener);
    void TryOutput(const SearchPort& output, std::vector<FoundInstrument>& found);
    /// Sends the connect request to `handle` and waits as Connect does; what
    /// each input answered.
    std::vector<std::optional<std::string>> Ask(HMIDIOUT handle);
    void Send(HMIDIOUT handle);
    void CloseOutput(HMIDIOUT handle);
    /// The identifier `port` has now: ports opened since the listing (ours,
    /// on JACK) may stand before it.
    std::optional<unsigned> Resolve(const SearchPort& port, bool input);
    bool Acknowledged();
    bool Answered();

    MidiPlatform& m_platform;
    std::vector<std::unique_ptr<Listener>> m_listeners;
    std::vector<SearchPort> m_inputPorts;  ///< per listener
    std::vector<std::uint8_t> m_request;
    std::atomic<bool> m_bCancelled{false};

    std::mutex m_mutex;  ///< guards what follows: written by the input threads
    bool m_bTrying = false;
    std::vector<bool> m_acked;                          ///< per listener, this try
    std::vector<std::optional<std::string>> m_answers;  ///< per listener, this try
};

}  // namespace velnor
