#pragma once

#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

struct _snd_seq;

namespace velnor {

/// A MIDI output port on the ALSA sequencer, with a client of its own, in
/// place of RtMidi's. RtMidi opens its output without blocking and does not
/// look at what draining the output returns: an event the sequencer does not
/// take at once stays in the library's buffer, unsent, until the next message
/// is drained behind it, and the send counts as done. The instrument's reply
/// then arrives with the next message, after the program has given up on it.
/// Here each event is written straight to the sequencer by a client that
/// blocks, and a refusal is a failed send.
///
/// Carries System Exclusive data only (whole messages or pieces of one), the
/// only kind the port layer and the instrument send.
class AlsaMidiOut {
  public:
    AlsaMidiOut();
    ~AlsaMidiOut();
    AlsaMidiOut(const AlsaMidiOut&) = delete;
    AlsaMidiOut& operator=(const AlsaMidiOut&) = delete;

    /// Opens a client named `clientName` with one output port `portName`,
    /// which other clients may connect to.
    bool Open(const std::string& clientName, const std::string& portName, std::string& error);

    /// Connects the port to `destination`, named as the port lists name it:
    /// "client:port C:P".
    bool Connect(const std::string& destination, std::string& error);

    /// Sends one message to every port connected to ours; false when the
    /// sequencer refuses it. Any thread; one send at a time.
    bool Send(const std::uint8_t* data, std::size_t size);

  private:
    std::mutex m_send;  ///< one writer at a time
    _snd_seq* m_seq = nullptr;
    int m_port = -1;
};

}  // namespace velnor
